// What acq_start and acq_open share of a start: reading the driver path,
// running the start protocol with its printed report, the battery warning,
// and every release before an error.  Included by those two entry files
// only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "acquisition/session_entry.h"
#include "acquisition/sessions.h"
#include "acquisition/start.h"
#include "host/dynlib.h"
#include "host/mexhost.h"

namespace {

// The path buffer holds at most this many bytes, terminating zero included.
constexpr size_t PATH_BUFFER_BYTES = 16384;

struct DriverPath {
  char text[PATH_BUFFER_BYTES];
};

// The driver path of input `input` (a char row of 5 or more characters,
// checked by the caller), refused with "<deliverable>:pathTooLong" when it
// does not fit.
inline void read_driver_path(const char* deliverable, const mxArray* input, DriverPath& path) {
  const size_t chars = host::numel(input);
  if (chars >= PATH_BUFFER_BYTES)
    host::fail_for(deliverable, "pathTooLong", "The driver library path has %zu characters; at most %zu are accepted.",
                   chars, PATH_BUFFER_BYTES - 1);
  mxGetNChars(input, path.text, static_cast<mwSize>(chars + 1));
  path.text[chars] = '\0';
}

inline void print_to_host(const char* text) { mexPrintf("%s", text); }
inline void print_nothing(const char*) {}

// The battery warning is raised while the probe ring and the open driver are
// held.  A script that has turned that warning into an error makes the host
// end the call from inside the warning; this guard, destroyed as the host's
// error unwinds the call, then releases everything as the other failures of
// the probe phase do, instead of leaving the driver running.
struct ReleaseIfWarningEndsCall {
  acquisition::StartHeld& held;
  bool armed = true;
  ~ReleaseIfWarningEndsCall() {
    if (armed) acquisition::release_start(held);
  }
};

// How a start speaks: which printing, and what a failure adds to the fixed
// message.
struct StartVoice {
  acquisition::PrintFn print = print_to_host;
  // Called after the release when the library already has a live session;
  // raises the error.
  void (*already_open)(const acquisition::SessionRecord& live) = nullptr;
  // A failure whose library is our simulated amplifier adds the reason the
  // simulator gives for refusing (AMPSIM_LAST_REFUSAL), which would
  // otherwise go to the standard error only.
  bool explain_refusal = false;
};

// The simulated amplifier's export that tells why it refused an open.
using LastRefusalFn = int32_t (*)(char* text, int32_t bytes);

// Releases what the start holds, then raises the message (with the
// simulator's reason, when asked for and there is one).  Nothing the host
// does not reclaim is held when the error is raised.
[[noreturn]] inline void give_up(acquisition::StartHeld& held, const char* message, const StartVoice& voice) {
  char text[1024];
  std::snprintf(text, sizeof text, "%s", message);
  if (voice.explain_refusal && held.library) {
    if (void* found = acquisition::find_export(held.library, "AMPSIM_LAST_REFUSAL")) {
      char reason[512] = {0};
      int32_t length = 0;
      try {
        length = reinterpret_cast<LastRefusalFn>(found)(reason, static_cast<int32_t>(sizeof reason));
      } catch (...) {
        length = 0;
      }
      reason[sizeof reason - 1] = '\0';
      if (length > 0 && reason[0])
        std::snprintf(text, sizeof text, "%s The simulated amplifier refused: %s.", message, reason);
    }
  }
  acquisition::release_start(held);
  host::fail_text(text);
}

// "session 2 (/path, 282 channels at 2048 Hz)" of the session that holds
// the library, when there is one.
inline bool live_session_of(const acquisition::StartHeld& held, acquisition::SessionRecord& live) {
  return acquisition::find_session_by_library(held.library, live);
}

// Loads the driver, probes the amplifier and restarts the driver with the
// session ring, printing the steps; on success `held` is the running
// session.  Every failure releases what is held and raises its message.
inline void start_or_fail(const char* path, const StartVoice& voice, acquisition::StartHeld& held,
                          acquisition::AmplifierStatus& status) {
  using namespace acquisition;
  if (const char* message = load_driver(path, held, voice.print)) give_up(held, message, voice);
  // A library with a live session would refuse a second connection; say
  // which session holds it instead.  The load above only counted one more
  // reference to the library, which the release gives back.
  SessionRecord live;
  if (live_session_of(held, live)) {
    release_start(held);
    voice.already_open(live);
  }
  if (const char* message = probe_amplifier(held, status, voice.print)) give_up(held, message, voice);
  if (status.battery_low) {
    ReleaseIfWarningEndsCall guard{held};
    mexWarnMsgIdAndTxt("BioSemi:BatteryLow",
                       "The BioSemi battery is low; amplifier will shut down within 30-60 minutes.");
    guard.armed = false;
  }
  if (const char* message = restart_driver(held, status, voice.print)) give_up(held, message, voice);
}

// The running session as the record keeps it; a path too long for the
// record keeps its end, where the file name is.
inline acquisition::SessionRecord session_of(const acquisition::StartHeld& held,
                                             const acquisition::AmplifierStatus& status, const char* path) {
  acquisition::SessionRecord s;
  s.library = held.library;
  s.driver = held.driver;
  s.handle = held.handle;
  s.ring = held.ring;
  s.ring_bytes = held.ring_bytes;
  s.channels = static_cast<int32_t>(status.layout.total);
  s.rate = static_cast<int32_t>(status.sampling_rate);
  const size_t length = std::strlen(path);
  const size_t most = static_cast<size_t>(acquisition::SESSION_PATH_CHARS);
  if (length <= most) {
    std::memcpy(s.path, path, length + 1);
  } else {
    std::memcpy(s.path, "...", 3);
    std::memcpy(s.path + 3, path + length - (most - 3), most - 3 + 1);
  }
  return s;
}

}  // namespace
