// acq_stop(lib, drv, usb_write, close, ring)
// Ends a session that acq_start began: disable message, close the driver,
// unload the library, free the ring.  Driver problems are warnings; every
// step runs.
#include <cstdint>

#include "acquisition/driver.h"
#include "acquisition/session_entry.h"
#include "acquisition/session_scalars.h"
#include "acquisition/sessions.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_LIBRARY, IN_HANDLE, IN_USB_WRITE, IN_CLOSE, IN_RING, INPUT_COUNT };

void* pointer_in(const mxArray* a) { return reinterpret_cast<void*>(static_cast<uintptr_t>(host::first_of<uint64_t>(a))); }

// Scalars that do not name a live session release nothing: a second stop,
// or values of another session, would otherwise free and unload what is no
// longer (or not) theirs.
[[noreturn]] void refuse(SessionMatch match, const SessionRecord& session) {
  const Text outputs = output_numbers(STOP_INPUTS, 5);
  const char* which = match == SessionMatch::other_library  ? "Input 1, the library handle,"
                      : match == SessionMatch::other_handle ? "Input 2, the driver handle,"
                                                            : "Input 3 or 4, a driver function address,";
  if (match == SessionMatch::unknown)
    host::fail_for("acq_stop", "noSession",
                   "The inputs do not name a live acquisition session of this process: it was stopped already or "
                   "never started, or these are not outputs %s of acq_start. Nothing was released.",
                   outputs.text);
  host::fail_for("acq_stop", "noSession",
                 "%s does not belong to %s, whose ring input 5 names. Pass outputs %s of one acq_start. Nothing was "
                 "released.",
                 which, describe(session).text, outputs.text);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int /*nlhs*/, mxArray* /*plhs*/[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_text("Five input argument required.");
  for (int k = 0; k < INPUT_COUNT; ++k)
    if (host::numel(prhs[k]) != 1) host::fail_text("All inputs must be scalars.");
  // Each value is read as 64 bits: the session scalars must keep the class
  // acq_start gave them.
  for (int k = 0; k < INPUT_COUNT; ++k)
    host::require_uint64("acq_stop", prhs[k], "Input %d must be the uint64 scalar that acq_start returned.", k + 1);

  void* const library = pointer_in(prhs[IN_LIBRARY]);
  void* const handle = pointer_in(prhs[IN_HANDLE]);
  const UsbWriteFn usb_write = from_address<UsbWriteFn>(host::first_of<uint64_t>(prhs[IN_USB_WRITE]));
  const CloseDriverFn close = from_address<CloseDriverFn>(host::first_of<uint64_t>(prhs[IN_CLOSE]));
  void* const ring = pointer_in(prhs[IN_RING]);
  if (!library || !usb_write || !close)
    host::fail_for("acq_stop", "nullAddress",
                   "The library handle and the USB_WRITE and CLOSE_DRIVER_ASYNC addresses must not be 0.");

  SessionRecord session;
  const SessionMatch match = take_for_stop(library, handle, usb_write, close, ring, session);
  if (match != SessionMatch::live) refuse(match, session);

  // Every release runs; the warnings come after them, in the order the
  // problems occurred, so that a warning turned into an error cannot leave
  // the library loaded or the ring allocated.
  const StopOutcome outcome = stop_session(session);
  if (!outcome.handshake_ok)
    mexWarnMsgIdAndTxt("BioSemi:HandshakeProblem", "The handshake while shutting down the BioSemi driver gave an error.");
  if (!outcome.close_ok) mexWarnMsgIdAndTxt("BioSemi:CloseProblem", "Closing the BioSemi driver gave an error.");
}
