// The process-wide record of the live acquisition sessions, and how a
// session ends.  Plain C++; no host header.
//
// The record lives in one small shared library (libacq_sessions.so,
// acq_sessions.dll) that every acquisition entry links and finds beside
// itself.  The entries are separate modules, each with its own copy of any
// static data; the one copy of the record in the process is what lets
// acq_fetch and acq_stop recognise the sessions acq_start began, lets
// acq_stop_all reach sessions whose scalars a script has lost, and lets the
// last module to be unloaded stop what is still running.
//
// A session is added by acq_start once the driver runs with its session
// ring, and taken out by the stop that ends it.  Every function may be
// called from the host's thread at any time; the record is guarded by a
// lock.  Nothing here calls the host.
#pragma once

#include <cstdint>

#include "acquisition/driver.h"

#if defined(_WIN32)
#if defined(ACQ_SESSIONS_BUILD)
#define ACQ_SESSIONS_API __declspec(dllexport)
#else
#define ACQ_SESSIONS_API __declspec(dllimport)
#endif
#else
#define ACQ_SESSIONS_API __attribute__((visibility("default")))
#endif

namespace acquisition {

struct Engine;

// At most this many sessions live at once (one per driver library).
constexpr int MAX_SESSIONS = 64;
// Characters of the driver path kept for messages.
constexpr int SESSION_PATH_CHARS = 255;

struct SessionRecord {
  int32_t id = 0;  // 1, 2, ... in the order started; never reused in a process
  void* library = nullptr;
  DriverExports driver;
  void* handle = nullptr;
  unsigned char* ring = nullptr;
  int32_t ring_bytes = 0;
  int32_t channels = 0;
  int32_t rate = 0;                   // Hz
  int64_t last_fetch_ns = 0;          // session_clock_ns() of the previous fetch (of the start at first)
  int64_t started_ns = 0;             // session_clock_ns() of the start
  char path[SESSION_PATH_CHARS + 1] = {0};  // the driver path, shortened with "..." when longer
  // The reader thread and history of a session that acq_open started (null
  // for acq_start's): owned by the record, ended by stop_session.
  Engine* engine = nullptr;
};

// How scalars handed back by a script relate to the live sessions.
enum class SessionMatch {
  live,            // they name a live session
  unknown,         // no live session has this ring: stopped, never started or not a ring address
  other_handle,    // the ring's session has another driver handle
  other_function,  // ... another READ_POINTER, USB_WRITE or CLOSE_DRIVER_ASYNC address
  other_channels,  // ... another channel count
  other_library,   // ... another library handle
};

// A monotonic clock in nanoseconds, the same for every module.
ACQ_SESSIONS_API int64_t session_clock_ns();

// Adds a running session, gives it the next id and stamps its start (also as
// the time of its previous fetch).  False when MAX_SESSIONS are live.
ACQ_SESSIONS_API bool add_session(SessionRecord& session);

// The live session that uses this library module, if any.
ACQ_SESSIONS_API bool find_session_by_library(const void* library, SessionRecord& out);

// The live session with this id and ring, if any.
ACQ_SESSIONS_API bool find_session_by_id(int32_t id, const void* ring, SessionRecord& out);

// READ_POINTER of the session that owns this ring: under its engine's driver
// lock when it has a reader thread, so that the two never call the driver at
// once.  A driver that throws reads as a failure.
ACQ_SESSIONS_API int32_t read_session_pointer(const void* ring, ReadPointerFn read_pointer, void* handle,
                                              uint32_t* pointer);

// For a fetch: whether the driver handle, READ_POINTER address, ring and
// channel count name a live session.  `out` receives the ring's session
// whenever one has this ring (also when another value does not match).
ACQ_SESSIONS_API SessionMatch match_fetch(const void* handle, ReadPointerFn read_pointer, const void* ring,
                                          int32_t channels, SessionRecord& out);

// Records that the session with this ring was fetched at `when_ns`.
ACQ_SESSIONS_API void note_fetch(const void* ring, int64_t when_ns);

// For a stop: whether the five values name a live session; if they do, the
// session is taken out of the record and returned in `out`, and the caller
// must end it (stop_session).  Otherwise nothing changes; `out` receives the
// ring's session when one has this ring.
ACQ_SESSIONS_API SessionMatch take_for_stop(const void* library, const void* handle, UsbWriteFn usb_write,
                                            CloseDriverFn close, const void* ring, SessionRecord& out);

// Takes any one live session out of the record (the oldest); false when
// none is left.
ACQ_SESSIONS_API bool take_next_session(SessionRecord& out);

// Number of live sessions.
ACQ_SESSIONS_API int live_session_count();

// The acquisition modules that the host has loaded, each known by a token
// of its own (the address of its exit hook).  attach_module is true when
// the token was not attached yet (the module must then register its exit
// hook with the host); detach_module is true when the token was the last
// one attached, i.e. the last acquisition module is being unloaded.
ACQ_SESSIONS_API bool attach_module(const void* token);
ACQ_SESSIONS_API bool detach_module(const void* token);

// How a stop went: the driver's results for the disable message and the
// close, and the recording's end.
struct StopOutcome {
  bool handshake_ok = true;
  bool close_ok = true;
  bool recorded = false;
  int64_t record_sweeps = 0, record_padded = 0, record_lost = 0;
  double record_seconds = 0;
  char record_path[SESSION_PATH_CHARS + 1] = {0};
  char record_error[256] = {0};
};

// Ends a session taken out of the record: its reader thread and recording
// first, then the disable message, close the driver, unload the library,
// free the ring, in this order; every step runs whatever the driver reports
// (and a driver that throws counts as one that failed).
ACQ_SESSIONS_API StopOutcome stop_session(const SessionRecord& session);

// Takes every live session out of the record and ends it; returns how many.
// For exit hooks: reports nothing.
ACQ_SESSIONS_API int stop_all_sessions();

}  // namespace acquisition
