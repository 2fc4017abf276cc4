// [lib, drv, open, usb_write, read_sweeps, read_pointer, close, ring,
//  channels, rate, sync, trigger, eeg, exg, pointer] = acq_start(driver_path)
// Loads the amplifier driver library, reads the amplifier's status from a
// probe ring, restarts the driver with a session ring sized for the decoded
// layout and hands the session back as fifteen scalars.
#include <cstdint>
#include <cstring>

#include "acquisition/session_entry.h"
#include "acquisition/session_scalars.h"
#include "acquisition/sessions.h"
#include "acquisition/start.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_PATH };

// The path buffer holds at most this many bytes, terminating zero included.
constexpr size_t PATH_BUFFER_BYTES = 16384;

void print_to_host(const char* text) { mexPrintf("%s", text); }

// Releases what the start holds, then raises the message.  Nothing the host
// does not reclaim is held when the error is raised.
[[noreturn]] void give_up(StartHeld& held, const char* message) {
  release_start(held);
  host::fail_text(message);
}

// The battery warning is raised while the probe ring and the open driver are
// held.  A script that has turned that warning into an error makes the host
// end the call from inside the warning; this guard, destroyed as the host's
// error unwinds the call, then releases everything as the other failures of
// the probe phase do, instead of leaving the driver running.
struct ReleaseIfWarningEndsCall {
  StartHeld& held;
  bool armed = true;
  ~ReleaseIfWarningEndsCall() {
    if (armed) release_start(held);
  }
};

uint64_t address_value(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

// The running session as the record keeps it; a path too long for the
// record keeps its end, where the file name is.
SessionRecord session_of(const StartHeld& held, const AmplifierStatus& status, const char* path) {
  SessionRecord s;
  s.library = held.library;
  s.driver = held.driver;
  s.handle = held.handle;
  s.ring = held.ring;
  s.ring_bytes = held.ring_bytes;
  s.channels = static_cast<int32_t>(status.layout.total);
  s.rate = static_cast<int32_t>(status.sampling_rate);
  const size_t length = std::strlen(path);
  if (length <= static_cast<size_t>(SESSION_PATH_CHARS)) {
    std::memcpy(s.path, path, length + 1);
  } else {
    std::memcpy(s.path, "...", 3);
    std::memcpy(s.path + 3, path + length - (SESSION_PATH_CHARS - 3), SESSION_PATH_CHARS - 3 + 1);
  }
  return s;
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != 1) host::fail_text("One input argument required.");
  if (nlhs != SESSION_SCALARS) host::fail_text("15 output arguments required.");
  if (!mxIsChar(prhs[IN_PATH]) || host::rows(prhs[IN_PATH]) != 1 || host::cols(prhs[IN_PATH]) <= 4)
    host::fail_text("First input argument must be a string.");
  const size_t path_chars = host::numel(prhs[IN_PATH]);
  if (path_chars >= PATH_BUFFER_BYTES)
    host::fail_for("acq_start", "pathTooLong", "The driver library path has %zu characters; at most %zu are accepted.",
                   path_chars, PATH_BUFFER_BYTES - 1);
  char path[PATH_BUFFER_BYTES];
  mxGetNChars(prhs[IN_PATH], path, static_cast<mwSize>(path_chars + 1));
  path[path_chars] = '\0';

  StartHeld held;
  AmplifierStatus status;
  if (const char* message = load_driver(path, held, print_to_host)) give_up(held, message);
  // A library with a live session would refuse a second connection; say
  // which session holds it instead.  The load above only counted one more
  // reference to the library, which the release gives back.
  SessionRecord live;
  if (find_session_by_library(held.library, live)) {
    release_start(held);
    host::fail_for("acq_start", "alreadyOpen",
                   "The driver library already has a live acquisition %s. Stop it first: acq_stop with its "
                   "scalars (outputs %s of acq_start), or acq_stop_all() if they are lost.",
                   describe(live).text, output_numbers(STOP_INPUTS, 5).text);
  }
  if (const char* message = probe_amplifier(held, status, print_to_host)) give_up(held, message);
  if (status.battery_low) {
    ReleaseIfWarningEndsCall guard{held};
    mexWarnMsgIdAndTxt("BioSemi:BatteryLow",
                       "The BioSemi battery is low; amplifier will shut down within 30-60 minutes.");
    guard.armed = false;
  }
  if (const char* message = restart_driver(held, status, print_to_host)) give_up(held, message);

  mexPrintf("Setting up MATLAB return variables...\n");
  // Recorded before the outputs are made: should making them fail, the
  // session is still known, and acq_stop_all or the exit hook stop it.
  SessionRecord session = session_of(held, status, path);
  if (!add_session(session)) {
    release_start(held);
    host::fail_for("acq_start", "tooManySessions", "%d acquisition sessions are live already; stop one first.",
                   MAX_SESSIONS);
  }
  const ChannelLayout& layout = status.layout;
  plhs[SESSION_LIBRARY] = host::scalar_out<uint64_t>(address_value(held.library));
  plhs[SESSION_DRIVER] = host::scalar_out<uint64_t>(address_value(held.handle));
  plhs[SESSION_OPEN] = host::scalar_out<uint64_t>(address_of(held.driver.open));
  plhs[SESSION_USB_WRITE] = host::scalar_out<uint64_t>(address_of(held.driver.usb_write));
  plhs[SESSION_READ_SWEEPS] = host::scalar_out<uint64_t>(address_of(held.driver.read_multiple_sweeps));
  plhs[SESSION_READ_POINTER] = host::scalar_out<uint64_t>(address_of(held.driver.read_pointer));
  plhs[SESSION_CLOSE] = host::scalar_out<uint64_t>(address_of(held.driver.close));
  plhs[SESSION_RING] = host::scalar_out<uint64_t>(address_value(held.ring));
  plhs[SESSION_CHANNELS] = host::scalar_out<int32_t>(static_cast<int32_t>(layout.total));
  plhs[SESSION_RATE] = host::scalar_out<int32_t>(static_cast<int32_t>(status.sampling_rate));
  plhs[SESSION_SYNC] = host::scalar_out<int32_t>(static_cast<int32_t>(layout.sync));
  plhs[SESSION_TRIGGER] = host::scalar_out<int32_t>(static_cast<int32_t>(layout.trigger));
  plhs[SESSION_EEG] = host::scalar_out<int32_t>(static_cast<int32_t>(layout.eeg));
  plhs[SESSION_EXG] = host::scalar_out<int32_t>(static_cast<int32_t>(layout.exg));
  plhs[SESSION_POINTER] = host::scalar_out<int32_t>(0);
}
