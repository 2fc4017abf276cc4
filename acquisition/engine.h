// The engine of a session that acq_open starts: a reader thread that drains
// the driver's ring into a history addressed by sweep number, whatever the
// script does, detects the trigger onsets on every sweep, and feeds the
// recorder when the session records to a file.  Plain C++; no host header.
//
// The engine lives in the session library (libacq_sessions), beside the
// record of live sessions, so that its threads outlive any one MEX module;
// the session's stop ends them before the driver is disabled.  Its threads
// never call the host.  What goes wrong in them (a driver that stalls,
// reports a bad pointer, loses the sync word, fails or throws; a file that
// cannot be written) is kept as a problem that the entries turn into host
// errors at the script's next read.
//
// The host's thread calls every function below except from inside the
// engine; the engine's own threads only read the driver's ring, call
// READ_POINTER under the session's driver lock, and write the history, the
// events and the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/sessions.h"

namespace acquisition {

struct Engine;

struct EngineConfig {
  DriverExports driver;
  void* handle = nullptr;
  const unsigned char* ring = nullptr;
  int32_t ring_bytes = 0;
  int32_t channels = 0;        // words per sweep in the ring
  int32_t rate = 0;            // sweeps per second
  uint32_t first_pointer = 0;  // where the first sweep begins in the ring
  std::vector<int32_t> keep;   // words of a sweep kept, ascending; 0 and 1 (sync, status) first
  std::vector<std::string> labels;  // one per kept word
  int64_t history_sweeps = 0;
  std::string record_path;     // empty: no recording
  bool overwrite = false;
  std::string recording_text;  // the file's recording identification
};

enum class EngineRefusal { none, out_of_memory, file_exists, file_failed };

struct EngineRefused {
  EngineRefusal refusal = EngineRefusal::none;
  char message[512] = {0};
};

// Allocates the history and creates the file; the threads start only with
// engine_start.  Null (and `why`) when refused.
ACQ_SESSIONS_API Engine* engine_create(const EngineConfig& config, EngineRefused& why);
ACQ_SESSIONS_API void engine_start(Engine* e);

// What a stop reports of the recording.
struct RecordSummary {
  bool recorded = false;
  int64_t sweeps = 0;   // sweeps written to the file
  int64_t padded = 0;   // of which repeated to complete the last record
  int64_t lost = 0;     // sweeps the file misses
  double seconds = 0;
  char path[SESSION_PATH_CHARS + 1] = {0};
  char error[256] = {0};  // the recorder's failure, if any
};

// Ends the reader (on a record boundary when recording, waiting at most one
// record's time for it), drains the history into the file and finishes it,
// and joins the threads.  False when the reader did not end in time (a
// driver call that never returns): the caller must then leave the driver
// library loaded.  Safe to call more than once.
ACQ_SESSIONS_API bool engine_stop(Engine* e, RecordSummary& summary);
ACQ_SESSIONS_API void engine_destroy(Engine* e);

// Serialises the calls of the driver's READ_POINTER on a session whose
// reader thread calls it too; a driver that throws reads as a failure.
ACQ_SESSIONS_API int32_t engine_read_pointer(Engine* e, uint32_t* pointer);

// ---- Reading the history (the host's thread) ----

ACQ_SESSIONS_API int32_t engine_rows(const Engine* e);
ACQ_SESSIONS_API int64_t engine_capacity(const Engine* e);
// Sweeps received so far (complete in the history): the next sweep's
// number, 0-based.
ACQ_SESSIONS_API int64_t engine_received(const Engine* e);
// Copies sweeps [from, to) (0-based, within those held) into dest and
// returns the first that was still intact after the copy.
ACQ_SESSIONS_API int64_t engine_copy(const Engine* e, int64_t from, int64_t to, int32_t* dest);

// Where acq_read goes on from, and how many sweeps the reads have lost to
// the history's overflow; only the host's thread touches them.
ACQ_SESSIONS_API int64_t engine_read_cursor(const Engine* e);
ACQ_SESSIONS_API void engine_move_read_cursor(Engine* e, int64_t next, int64_t lost);

struct TriggerEvent {
  int64_t sweep;  // 0-based
  uint32_t code;  // 16-bit trigger value
};
// Onsets detected and not yet taken.
ACQ_SESSIONS_API size_t engine_pending_events(Engine* e);
// Takes at most `most` of them, oldest first, into dest and returns how
// many; `dropped` counts those that overflowed the queue since the
// previous take.
ACQ_SESSIONS_API size_t engine_take_events(Engine* e, TriggerEvent* dest, size_t most, int64_t& dropped);

// A problem of the engine's threads, for the script.
struct EngineProblem {
  char condition[32] = {0};  // acq_read:<condition>
  char text[400] = {0};
};
// The oldest problem not yet reported; false when there is none.
ACQ_SESSIONS_API bool engine_take_problem(Engine* e, EngineProblem& problem);

struct EngineStatus {
  int64_t received = 0, held = 0, capacity = 0;
  int64_t lost_by_reads = 0;    // sweeps acq_read could not return (the history overflowed)
  int64_t lost_by_reader = 0;   // sweeps the reader missed (the ring overflowed), estimated
  int64_t events = 0;
  bool running = false;         // the reader thread runs
  bool stalled = false;         // the driver's pointer stands still
  double reader_cpu_seconds = 0;  // the reader thread's processor time
  double seconds = 0;           // since the reader started
  EngineProblem last_problem;   // empty when none
  bool recording = false;
  int64_t records_written = 0, sweeps_written = 0;
  double seconds_written = 0;
  double recorder_cpu_seconds = 0;  // the recorder thread's processor time
  char record_error[256] = {0};
};
ACQ_SESSIONS_API void engine_status(const Engine* e, EngineStatus& status);

}  // namespace acquisition
