// What the acquisition entries share about the session record: the exit
// hook that stops the live sessions when the host unloads the last
// acquisition module, and the one-line description of a session in
// messages.  Included by the entry files only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "acquisition/session_scalars.h"
#include "acquisition/sessions.h"
#include "host/mexhost.h"

// Internal linkage on purpose: every module has its own copy of these, and
// the address of its own exit hook is the token by which the record counts
// the loaded modules.
namespace {

// Registered with the host by every acquisition module; runs when the host
// unloads the module (clear, clear all, exit).  The last acquisition module
// to go stops every session still live, so that the driver is never left
// running with nothing in the process able to stop it.  No host calls: the
// host may be shutting down.
void stop_sessions_at_exit() {
  if (acquisition::detach_module(reinterpret_cast<const void*>(&stop_sessions_at_exit)))
    acquisition::stop_all_sessions();
}

// First thing in every acquisition entry: the module makes itself known to
// the record, and registers its exit hook the first time.
void attach_to_host() {
  if (acquisition::attach_module(reinterpret_cast<const void*>(&stop_sessions_at_exit)))
    mexAtExit(stop_sessions_at_exit);
}

// The one line a stop prints about the session's recording, if it had one:
// "Recorded 163840 sweeps (80.000 s) to rec.bdf, 0 lost."
inline void print_recording(const acquisition::StopOutcome& o) {
  if (!o.recorded) return;
  if (o.record_padded > 0)
    mexPrintf("Recorded %lld sweeps (%.3f s) to %s, the last %lld repeated to complete the last record, %lld lost.\n",
              static_cast<long long>(o.record_sweeps), o.record_seconds, o.record_path,
              static_cast<long long>(o.record_padded), static_cast<long long>(o.record_lost));
  else
    mexPrintf("Recorded %lld sweeps (%.3f s) to %s, %lld lost.\n", static_cast<long long>(o.record_sweeps),
              o.record_seconds, o.record_path, static_cast<long long>(o.record_lost));
}

inline uint64_t address_value(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

// Texts of fixed size, so that no heap memory is held when an error that
// quotes them is raised.
struct Text {
  char text[acquisition::SESSION_PATH_CHARS + 128];
};

// "session 2 (/path/to/driver.so, 282 channels at 2048 Hz)"
inline Text describe(const acquisition::SessionRecord& s) {
  Text t;
  std::snprintf(t.text, sizeof t.text, "session %d (%s, %d channels at %d Hz)", s.id, s.path, s.channels, s.rate);
  return t;
}

// "1, 2, 6, 8 and 9": the acq_start outputs that an entry's first `count`
// inputs are.
inline Text output_numbers(const acquisition::SessionScalar* inputs, int count) {
  Text t;
  size_t used = 0;
  for (int k = 0; k < count && used < sizeof t.text; ++k) {
    const char* sep = k == 0 ? "" : k + 1 == count ? " and " : ", ";
    const int n = std::snprintf(t.text + used, sizeof t.text - used, "%s%d", sep, static_cast<int>(inputs[k]) + 1);
    if (n < 0) break;
    used += static_cast<size_t>(n);
  }
  return t;
}

}  // namespace
