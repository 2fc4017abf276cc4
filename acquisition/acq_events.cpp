// ev = acq_events(s)
// The trigger onsets of an acq_open session since the previous call, as
// its reader thread detected them on every sweep.
#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/user_session.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_SESSION, INPUT_COUNT };
enum { OUT_EVENTS, OUTPUT_COUNT };

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_for("acq_events", "nargin", "Call ev = acq_events(s) with one session struct.");
  host::require_nargout("acq_events", nlhs, OUTPUT_COUNT, "ev = acq_events(s)");
  SessionRecord session;
  Engine* e = session_engine("acq_events", prhs[IN_SESSION], session);

  // The onsets go straight into host memory: nothing of ours is held while
  // the outputs are made.
  const size_t pending = engine_pending_events(e);
  TriggerEvent* events = static_cast<TriggerEvent*>(mxMalloc((pending > 0 ? pending : 1) * sizeof(TriggerEvent)));
  int64_t dropped = 0;
  const size_t n = engine_take_events(e, events, pending, dropped);
  mxArray* sweep = mxCreateDoubleMatrix(static_cast<mwSize>(n), 1, mxREAL);
  mxArray* code = mxCreateDoubleMatrix(static_cast<mwSize>(n), 1, mxREAL);
  mxArray* seconds = mxCreateDoubleMatrix(static_cast<mwSize>(n), 1, mxREAL);
  for (size_t k = 0; k < n; ++k) {
    mxGetPr(sweep)[k] = static_cast<double>(events[k].sweep) + 1.0;
    mxGetPr(code)[k] = static_cast<double>(events[k].code);
    mxGetPr(seconds)[k] = static_cast<double>(events[k].sweep) / session.rate;
  }
  mxFree(events);
  static const char* const FIELDS[] = {"sweep", "code", "seconds"};
  plhs[OUT_EVENTS] = mxCreateStructMatrix(1, 1, 3, const_cast<const char**>(FIELDS));
  mxSetField(plhs[OUT_EVENTS], 0, "sweep", sweep);
  mxSetField(plhs[OUT_EVENTS], 0, "code", code);
  mxSetField(plhs[OUT_EVENTS], 0, "seconds", seconds);
  if (dropped > 0)
    mexWarnMsgIdAndTxt("acq_events:eventsLost",
                       "%lld onsets of session %d were dropped: more than a million waited for acq_events.",
                       static_cast<long long>(dropped), session.id);
}
