#include "acquisition/sessions.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "acquisition/engine.h"
#include "host/dynlib.h"

namespace acquisition {

namespace {

// The host calls its extensions from one thread, so the lock is never
// contended; a spin lock on an atomic flag needs no threading runtime
// (std::mutex does, and not every MinGW toolchain provides one).
struct SpinLock {
  std::atomic_flag flag = ATOMIC_FLAG_INIT;
  void lock() {
    while (flag.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { flag.clear(std::memory_order_release); }
};

struct Hold {
  SpinLock& l;
  explicit Hold(SpinLock& lock) : l(lock) { l.lock(); }
  ~Hold() { l.unlock(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

// The record.  Fixed storage: adding a session never allocates, so that a
// start cannot fail here once the driver runs (except when full).
struct Record {
  SpinLock lock;
  SessionRecord sessions[MAX_SESSIONS];
  bool live[MAX_SESSIONS] = {false};
  int32_t next_id = 1;
  // Tokens of the attached modules; the four acquisition entries, each
  // attached once per load.
  static constexpr int MODULE_SLOTS = 32;
  const void* modules[MODULE_SLOTS] = {nullptr};
};

Record& record() {
  static Record r;
  return r;
}

// Index of the live session whose ring is `ring`, or -1.
int find_ring(Record& r, const void* ring) {
  if (!ring) return -1;
  for (int k = 0; k < MAX_SESSIONS; ++k)
    if (r.live[k] && r.sessions[k].ring == ring) return k;
  return -1;
}

}  // namespace

int64_t session_clock_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool add_session(SessionRecord& session) {
  Record& r = record();
  Hold hold(r.lock);
  for (int k = 0; k < MAX_SESSIONS; ++k) {
    if (r.live[k]) continue;
    session.id = r.next_id++;
    session.started_ns = session_clock_ns();
    session.last_fetch_ns = session.started_ns;
    r.sessions[k] = session;
    r.live[k] = true;
    return true;
  }
  return false;
}

bool find_session_by_library(const void* library, SessionRecord& out) {
  Record& r = record();
  Hold hold(r.lock);
  for (int k = 0; k < MAX_SESSIONS; ++k)
    if (r.live[k] && r.sessions[k].library == library) {
      out = r.sessions[k];
      return true;
    }
  return false;
}

bool find_session_by_id(int32_t id, const void* ring, SessionRecord& out) {
  Record& r = record();
  Hold hold(r.lock);
  const int k = find_ring(r, ring);
  if (k < 0 || r.sessions[k].id != id) return false;
  out = r.sessions[k];
  return true;
}

int32_t read_session_pointer(const void* ring, ReadPointerFn read_pointer, void* handle, uint32_t* pointer) {
  Engine* engine = nullptr;
  {
    Record& r = record();
    Hold hold(r.lock);
    const int k = find_ring(r, ring);
    if (k >= 0) engine = r.sessions[k].engine;
  }
  if (engine) return engine_read_pointer(engine, pointer);
  return call_read_pointer(read_pointer, handle, pointer);
}

SessionMatch match_fetch(const void* handle, ReadPointerFn read_pointer, const void* ring, int32_t channels,
                         SessionRecord& out) {
  Record& r = record();
  Hold hold(r.lock);
  const int k = find_ring(r, ring);
  if (k < 0) return SessionMatch::unknown;
  const SessionRecord& s = r.sessions[k];
  out = s;
  if (s.handle != handle) return SessionMatch::other_handle;
  if (s.driver.read_pointer != read_pointer) return SessionMatch::other_function;
  if (s.channels != channels) return SessionMatch::other_channels;
  return SessionMatch::live;
}

void note_fetch(const void* ring, int64_t when_ns) {
  Record& r = record();
  Hold hold(r.lock);
  const int k = find_ring(r, ring);
  if (k >= 0) r.sessions[k].last_fetch_ns = when_ns;
}

SessionMatch take_for_stop(const void* library, const void* handle, UsbWriteFn usb_write, CloseDriverFn close,
                           const void* ring, SessionRecord& out) {
  Record& r = record();
  Hold hold(r.lock);
  const int k = find_ring(r, ring);
  if (k < 0) return SessionMatch::unknown;
  const SessionRecord& s = r.sessions[k];
  out = s;
  if (s.library != library) return SessionMatch::other_library;
  if (s.handle != handle) return SessionMatch::other_handle;
  if (s.driver.usb_write != usb_write || s.driver.close != close) return SessionMatch::other_function;
  r.live[k] = false;
  return SessionMatch::live;
}

bool take_next_session(SessionRecord& out) {
  Record& r = record();
  Hold hold(r.lock);
  int oldest = -1;
  for (int k = 0; k < MAX_SESSIONS; ++k)
    if (r.live[k] && (oldest < 0 || r.sessions[k].id < r.sessions[oldest].id)) oldest = k;
  if (oldest < 0) return false;
  out = r.sessions[oldest];
  r.live[oldest] = false;
  return true;
}

int live_session_count() {
  Record& r = record();
  Hold hold(r.lock);
  int n = 0;
  for (int k = 0; k < MAX_SESSIONS; ++k) n += r.live[k] ? 1 : 0;
  return n;
}

bool attach_module(const void* token) {
  Record& r = record();
  Hold hold(r.lock);
  int free_slot = -1;
  for (int k = 0; k < Record::MODULE_SLOTS; ++k) {
    if (r.modules[k] == token) return false;
    if (!r.modules[k] && free_slot < 0) free_slot = k;
  }
  // With every slot taken (not with four modules) the module goes
  // unattached: its exit hook is not registered, and the others' still are.
  if (free_slot < 0) return false;
  r.modules[free_slot] = token;
  return true;
}

bool detach_module(const void* token) {
  Record& r = record();
  Hold hold(r.lock);
  bool found = false, others = false;
  for (int k = 0; k < Record::MODULE_SLOTS; ++k) {
    if (r.modules[k] == token) {
      r.modules[k] = nullptr;
      found = true;
    } else if (r.modules[k]) {
      others = true;
    }
  }
  return found && !others;
}

StopOutcome stop_session(const SessionRecord& session) {
  StopOutcome outcome;
  bool reader_ended = true;
  if (session.engine) {
    RecordSummary summary;
    reader_ended = engine_stop(session.engine, summary);
    outcome.recorded = summary.recorded;
    outcome.record_sweeps = summary.sweeps;
    outcome.record_padded = summary.padded;
    outcome.record_lost = summary.lost;
    outcome.record_seconds = summary.seconds;
    std::snprintf(outcome.record_path, sizeof outcome.record_path, "%s", summary.path);
    std::snprintf(outcome.record_error, sizeof outcome.record_error, "%s", summary.error);
  }
  unsigned char disable[CONTROL_MESSAGE_BYTES];
  make_disable_message(disable);
  outcome.handshake_ok = call_usb_write(session.driver, session.handle, disable) != 0;
  outcome.close_ok = call_close(session.driver, session.handle) != 0;
  // A reader thread caught in a driver call that never returned may still
  // touch the library, the ring and its history: they stay.
  if (!reader_ended) return outcome;
  engine_destroy(session.engine);
  unload_library(session.library);
  std::free(session.ring);
  return outcome;
}

int stop_all_sessions() {
  int stopped = 0;
  SessionRecord session;
  while (take_next_session(session)) {
    stop_session(session);
    ++stopped;
  }
  return stopped;
}

}  // namespace acquisition
