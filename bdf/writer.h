// The BDF writer: 24-bit samples of the amplifier's words, record after
// record, in a file that is valid after every data record.  Plain C++; no
// host header, no exceptions across this interface.
//
// Each signal stores the upper three bytes of one word of every appended
// sweep (its source word), exactly, little-endian, with no arithmetic: the
// 24-bit sample of a channel word, or the upper 24 bits of the status word.
//
// What a crash keeps.  Every data record is handed to the operating system
// the moment it fills, followed by the header's record count, so a crash or
// kill of the process leaves a file that every reader opens up to its last
// whole record (a record cut by the kill is ignored by readers, and
// bdf_repair drops it for the strict ones).  What a power loss keeps is up
// to the disk: the writer asks the system to put the file on the disk once
// every FileSpec::sync_seconds of recorded data (default 1 s) and at the
// close, so a power loss keeps at least everything up to the last such sync;
// records after it may be there or not, and a count that runs ahead of them
// is what bdf_repair sets right.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bdf {

struct SignalSpec {
  std::string label;       // at most 16 characters
  std::string transducer;  // at most 80
  std::string unit;        // at most 8: "uV", "Boolean"
  std::string prefilter;   // at most 80
  double physical_min = 0, physical_max = 0;
  int32_t digital_min = -8388608, digital_max = 8388607;
  int32_t source_word = 0;  // the word of each appended sweep whose upper three bytes this signal stores
};

struct FileSpec {
  std::string patient, recording;  // the header's identification fields (80 characters each)
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;  // start, local time
  int32_t rate = 0;           // sweeps per second
  int32_t record_sweeps = 0;  // sweeps per data record, 1 to rate (0: record_sweeps_for(rate, signals))
  int32_t sweep_words = 0;    // 32-bit words per appended sweep
  std::vector<SignalSpec> signals;  // file order, Status last
  // Seconds of recorded data between two requests to put the file on the
  // disk (fdatasync); 0: only at the close.  It costs no processor time to
  // speak of, only the disk's.
  double sync_seconds = 1.0;
};

// The specs of our amplifier's signals: EEG and ExG ("uV", physical -262144 to 262143, digital
// -8388608 to 8388607) and Status ("Status", "Boolean", physical and digital -8388608 to 8388607).
SignalSpec amplifier_signal(const std::string& label, int32_t source_word);
SignalSpec status_signal(int32_t source_word);

// Largest data record that strict readers accept (EDFlib refuses larger
// ones), in bytes.
constexpr int64_t RECORD_BYTES_LIMIT = 10 * 1024 * 1024;

// Sweeps per data record for a rate and signal count: a record lasts at most 1 s and stays within
// what strict readers accept (EDFlib's record size limit); the record's duration in seconds is
// exact in the header's 8 characters.  The largest such count that divides the rate (1 s, 1/2 s,
// 1/4 s, ...), when there is one.
int32_t record_sweeps_for(int32_t rate, int32_t signal_count);

// An open file being written.  The counters are for the thread that calls
// the functions below (they are plain, not atomic).
struct Writer {
  int64_t records = 0;  // data records in the file
  int64_t sweeps = 0;   // sweeps in those records (padding included)
  int64_t padded = 0;   // sweeps added by writer_close to complete the last record

  // The writer's own state.
  FileSpec spec;
  std::string path;
  std::FILE* file = nullptr;
  std::vector<int32_t> sources;       // each signal's source word
  std::vector<unsigned char> record;  // the data record being filled
  int32_t fill = 0;                   // sweeps in `record`
  int64_t unsynced_records = 0;       // records since the last sync
  int64_t sync_records = 0;           // records between syncs (0: only at the close)
  std::string failure;                // the first failure, empty while none

  Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer();  // closes a file still open without completing its last record
};

enum class OpenResult { ok, exists, failed };

// Creates FILE and writes the header (record count 0). An existing FILE is refused (exists)
// unless overwrite. `error` gets a message naming the file and the system's reason.  A spec that
// breaks the header's limits (field lengths, ranges, a source word outside the sweep) is refused
// (failed) before anything is created.
OpenResult writer_open(Writer& w, const std::string& path, const FileSpec& spec, bool overwrite,
                       std::string& error);

// Appends `count` sweeps of spec.sweep_words int32 words each (sweep after sweep). Every record
// that fills is written at once, followed by the header's record count (so that the file is
// valid after every record). False on a write error (a full disk: the message says so); the
// writer then refuses further appends.
bool writer_append(Writer& w, const int32_t* sweeps, int64_t count, std::string& error);

// Sweeps waiting for their record to fill.
int64_t writer_pending(const Writer& w);

// Finishes the file: a partial last record is completed by repeating its last sweep (counted in
// `padded`), the count written, the file put on the disk and closed. Safe to call once after any
// failure: it then closes what is open and returns false with the first failure's message (the
// records written before it stay valid).  True for a writer that never opened.
bool writer_close(Writer& w, std::string& error);

}  // namespace bdf
