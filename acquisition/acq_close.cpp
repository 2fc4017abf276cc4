// stopped = acq_close(s)
// Stops a session that acq_open started: its reader thread and recording,
// then the driver as acq_stop does.  A session no longer live is left
// alone (false), so that an onCleanup may run after an explicit close.
#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/user_session.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_SESSION, INPUT_COUNT };
enum { OUT_STOPPED, OUTPUT_COUNT };

const void* address_field(const mxArray* s, const char* name) {
  const mxArray* f = scalar_field(s, name, mxUINT64_CLASS);
  return f ? reinterpret_cast<const void*>(static_cast<uintptr_t>(host::first_of<uint64_t>(f))) : nullptr;
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_for("acq_close", "nargin", "Call acq_close(s) with one session struct.");
  host::require_nargout("acq_close", nlhs, OUTPUT_COUNT, "stopped = acq_close(s)");
  const SessionKey key = session_key("acq_close", prhs[IN_SESSION]);
  SessionRecord live;
  bool stopped = false;
  StopOutcome outcome;
  // The struct's other scalars must name the same session, as for acq_stop.
  if (find_session_by_id(key.id, key.ring, live)) {
    const mxArray* s = prhs[IN_SESSION];
    const void* library = address_field(s, "library");
    const void* handle = address_field(s, "driver");
    const UsbWriteFn usb_write = from_address<UsbWriteFn>(address_value(address_field(s, "usb_write")));
    const CloseDriverFn close = from_address<CloseDriverFn>(address_value(address_field(s, "close_driver")));
    SessionRecord session;
    if (take_for_stop(library, handle, usb_write, close, key.ring, session) == SessionMatch::live) {
      outcome = stop_session(session);
      stopped = true;
    }
  }
  plhs[OUT_STOPPED] = mxCreateLogicalScalar(stopped);
  if (!stopped) return;
  // Every release has run; what the driver and the file reported follows.
  print_recording(outcome);
  if (!outcome.handshake_ok)
    mexWarnMsgIdAndTxt("BioSemi:HandshakeProblem", "The handshake while shutting down the BioSemi driver gave an error.");
  if (!outcome.close_ok) mexWarnMsgIdAndTxt("BioSemi:CloseProblem", "Closing the BioSemi driver gave an error.");
  if (outcome.record_error[0])
    mexWarnMsgIdAndTxt("acq_close:recordFailed", "Recording to %s failed: %s", outcome.record_path,
                       outcome.record_error);
}
