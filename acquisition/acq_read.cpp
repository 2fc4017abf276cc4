// [data, s] = acq_read(s)
// Every sweep of an acq_open session since the previous read, from the
// history its reader thread fills, as int32 kept-channels-by-n.
#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/user_session.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_SESSION, INPUT_COUNT };
enum { OUT_DATA, OUT_SESSION, OUTPUT_COUNT };

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_for("acq_read", "nargin", "Call [data, s] = acq_read(s) with one session struct.");
  // Both outputs, as scripts written for the session struct expect: the
  // data and the session they came from.
  if (nlhs != OUTPUT_COUNT)
    host::fail_for("acq_read", "nargout", "Call [data, s] = acq_read(s): two outputs (it was asked for %d).", nlhs);
  SessionRecord session;
  Engine* e = session_engine("acq_read", prhs[IN_SESSION], session);

  // Trouble of the reader thread (or of the recording) ends this read with
  // its own error, once; the sweeps stay in the history for the next read.
  EngineProblem problem;
  if (engine_take_problem(e, problem)) host::fail_for("acq_read", problem.condition, "%s", problem.text);

  const int64_t received = engine_received(e);
  const int64_t capacity = engine_capacity(e);
  const int64_t oldest = received > capacity ? received - capacity : 0;
  const int64_t cursor = engine_read_cursor(e);
  const int64_t from = cursor > oldest ? cursor : oldest;
  int64_t first = from;
  mxArray* data = copy_span(e, from, received, first);
  const int64_t lost = first - cursor;
  plhs[OUT_DATA] = data;
  plhs[OUT_SESSION] = mxDuplicateArray(prhs[IN_SESSION]);
  // The read is recorded before any warning, so that a warning turned into
  // an error (a lab that stops on loss) leaves the session moved on: the
  // next read goes on from here, and this read's sweeps stay in the
  // history for acq_window.
  engine_move_read_cursor(e, received, lost > 0 ? lost : 0);
  if (lost > 0)
    mexWarnMsgIdAndTxt("acq_read:dataLost",
                       "%lld sweeps (%.2f s, sweeps %lld to %lld) were lost: this read of session %d came later than "
                       "its history holds (%lld sweeps, %.1f s). It returns the %lld sweeps held (%lld to %lld). "
                       "Read more often, or open with a longer 'history'.",
                       static_cast<long long>(lost), static_cast<double>(lost) / session.rate,
                       static_cast<long long>(cursor + 1), static_cast<long long>(first), session.id,
                       static_cast<long long>(capacity), static_cast<double>(capacity) / session.rate,
                       static_cast<long long>(received - first), static_cast<long long>(first + 1),
                       static_cast<long long>(received));
}
