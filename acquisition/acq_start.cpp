// [lib, drv, open, usb_write, read_sweeps, read_pointer, close, ring,
//  channels, rate, sync, trigger, eeg, exg, pointer] = acq_start(driver_path)
// Loads the amplifier driver library, reads the amplifier's status from a
// probe ring, restarts the driver with a session ring sized for the decoded
// layout and hands the session back as fifteen scalars.
#include <cstdint>

#include "acquisition/session_entry.h"
#include "acquisition/session_scalars.h"
#include "acquisition/sessions.h"
#include "acquisition/start.h"
#include "acquisition/start_entry.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_PATH };

[[noreturn]] void refuse_already_open(const SessionRecord& live) {
  host::fail_for("acq_start", "alreadyOpen",
                 "The driver library already has a live acquisition %s. Stop it first: acq_stop with its "
                 "scalars (outputs %s of acq_start), or acq_stop_all() if they are lost.",
                 describe(live).text, output_numbers(STOP_INPUTS, 5).text);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != 1) host::fail_text("One input argument required.");
  if (nlhs != SESSION_SCALARS) host::fail_text("15 output arguments required.");
  if (!mxIsChar(prhs[IN_PATH]) || host::rows(prhs[IN_PATH]) != 1 || host::cols(prhs[IN_PATH]) <= 4)
    host::fail_text("First input argument must be a string.");
  DriverPath path;
  read_driver_path("acq_start", prhs[IN_PATH], path);

  StartHeld held;
  AmplifierStatus status;
  StartVoice voice;
  voice.already_open = refuse_already_open;
  start_or_fail(path.text, voice, held, status);

  mexPrintf("Setting up MATLAB return variables...\n");
  // Recorded before the outputs are made: should making them fail, the
  // session is still known, and acq_stop_all or the exit hook stop it.
  SessionRecord session = session_of(held, status, path.text);
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
