// [data, first] = acq_window(s, first_sweep, last_sweep)
// Any span of an acq_open session's sweeps, by absolute number (1 = the
// session's first sweep), that its history still holds.
#include <cmath>
#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/user_session.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_SESSION, IN_FIRST, IN_LAST, INPUT_COUNT };
enum { OUT_DATA, OUT_FIRST, OUTPUT_COUNT };

// A sweep number: a whole number from 1 on.
double sweep_number(const mxArray* a, const char* which) {
  if (!host::is_real_double(a) || host::numel(a) != 1 || !(mxGetScalar(a) >= 1) ||
      mxGetScalar(a) != std::floor(mxGetScalar(a)) || mxGetScalar(a) > 9.0e15)
    host::fail_for("acq_window", "badSpan", "%s must be a sweep number: a whole number, 1 for the session's first sweep.",
                   which);
  return mxGetScalar(a);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT)
    host::fail_for("acq_window", "nargin", "Call [data, first] = acq_window(s, first_sweep, last_sweep).");
  host::require_nargout("acq_window", nlhs, OUTPUT_COUNT, "[data, first] = acq_window(s, first_sweep, last_sweep)");
  SessionRecord session;
  Engine* e = session_engine("acq_window", prhs[IN_SESSION], session);
  const int64_t first = static_cast<int64_t>(sweep_number(prhs[IN_FIRST], "FIRST_SWEEP"));
  const int64_t last = static_cast<int64_t>(sweep_number(prhs[IN_LAST], "LAST_SWEEP"));
  if (last < first)
    host::fail_for("acq_window", "badSpan", "LAST_SWEEP (%lld) comes before FIRST_SWEEP (%lld).",
                   static_cast<long long>(last), static_cast<long long>(first));

  const int64_t received = engine_received(e);
  const int64_t capacity = engine_capacity(e);
  const int64_t oldest = received > capacity ? received - capacity : 0;
  if (last > received)
    host::fail_for("acq_window", "notYet",
                   "Sweep %lld has not arrived yet: session %d has received %lld sweeps (%.3f s more to wait).",
                   static_cast<long long>(last), session.id, static_cast<long long>(received),
                   static_cast<double>(last - received) / session.rate);
  if (first - 1 < oldest)
    host::fail_for("acq_window", "gone",
                   "Sweep %lld is gone: the history of session %d holds sweeps %lld to %lld (%.1f s). Take windows "
                   "sooner, or open with a longer 'history'.",
                   static_cast<long long>(first), session.id, static_cast<long long>(oldest + 1),
                   static_cast<long long>(received), static_cast<double>(capacity) / session.rate);
  int64_t copied_from = 0;
  mxArray* data = copy_span(e, first - 1, last, copied_from);
  if (copied_from != first - 1) {
    mxDestroyArray(data);
    host::fail_for("acq_window", "gone",
                   "Sweep %lld was overwritten while it was copied: the history of session %d moved on by then.",
                   static_cast<long long>(first), session.id);
  }
  plhs[OUT_DATA] = data;
  if (nlhs > OUT_FIRST) plhs[OUT_FIRST] = mxCreateDoubleScalar(static_cast<double>(first));
}
