// n = acq_stop_all()
// Stops every live acquisition session of this process, as acq_stop does
// each, and says which: the way out when a script has lost its session
// scalars.
#include "acquisition/session_entry.h"
#include "acquisition/sessions.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { OUT_COUNT };

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* /*prhs*/[]) {
  attach_to_host();
  if (nrhs != 0) host::fail_for("acq_stop_all", "nargin", "acq_stop_all takes no inputs (it was given %d).", nrhs);
  host::require_nargout("acq_stop_all", nlhs, 1, "n = acq_stop_all()");

  // Every session is released before any warning is raised, so that a
  // warning turned into an error cannot leave one running.
  SessionRecord stopped[MAX_SESSIONS];
  StopOutcome outcomes[MAX_SESSIONS];
  int count = 0;
  while (count < MAX_SESSIONS && take_next_session(stopped[count])) {
    outcomes[count] = stop_session(stopped[count]);
    ++count;
  }
  for (int k = 0; k < count; ++k) {
    mexPrintf("Stopped acquisition %s.\n", describe(stopped[k]).text);
    print_recording(outcomes[k]);
    if (!outcomes[k].handshake_ok)
      mexWarnMsgIdAndTxt("BioSemi:HandshakeProblem",
                         "The handshake while shutting down the BioSemi driver gave an error.");
    if (!outcomes[k].close_ok) mexWarnMsgIdAndTxt("BioSemi:CloseProblem", "Closing the BioSemi driver gave an error.");
  }
  if (nlhs >= 1) plhs[OUT_COUNT] = mxCreateDoubleScalar(static_cast<double>(count));
}
