// st = acq_status(s)
// How an acq_open session stands: sweeps received, held and lost, whether
// its reader runs, its last driver problem, and its recording.
#include <cstdint>

#include "acquisition/engine.h"
#include "acquisition/user_session.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_SESSION, INPUT_COUNT };
enum { OUT_STATUS, OUTPUT_COUNT };

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_for("acq_status", "nargin", "Call st = acq_status(s) with one session struct.");
  host::require_nargout("acq_status", nlhs, OUTPUT_COUNT, "st = acq_status(s)");
  SessionRecord session;
  const Engine* e = session_engine("acq_status", prhs[IN_SESSION], session);
  EngineStatus st;
  engine_status(e, st);

  static const char* const FIELDS[] = {"received",        "held",          "seconds_held",   "capacity",
                                       "lost",            "lost_by_reads", "lost_by_reader", "events",
                                       "running",         "stalled",       "problem",        "problem_id",
                                       "seconds",         "reader_cpu",    "record",         "records_written",
                                       "sweeps_written",  "seconds_written", "recorder_cpu",    "record_error"};
  mxArray* s = mxCreateStructMatrix(1, 1, static_cast<int>(sizeof FIELDS / sizeof FIELDS[0]),
                                    const_cast<const char**>(FIELDS));
  const double rate = session.rate;
  mxSetField(s, 0, "received", mxCreateDoubleScalar(static_cast<double>(st.received)));
  mxSetField(s, 0, "held", mxCreateDoubleScalar(static_cast<double>(st.held)));
  mxSetField(s, 0, "seconds_held", mxCreateDoubleScalar(static_cast<double>(st.held) / rate));
  mxSetField(s, 0, "capacity", mxCreateDoubleScalar(static_cast<double>(st.capacity)));
  mxSetField(s, 0, "lost", mxCreateDoubleScalar(static_cast<double>(st.lost_by_reads + st.lost_by_reader)));
  mxSetField(s, 0, "lost_by_reads", mxCreateDoubleScalar(static_cast<double>(st.lost_by_reads)));
  mxSetField(s, 0, "lost_by_reader", mxCreateDoubleScalar(static_cast<double>(st.lost_by_reader)));
  mxSetField(s, 0, "events", mxCreateDoubleScalar(static_cast<double>(st.events)));
  mxSetField(s, 0, "running", mxCreateLogicalScalar(st.running));
  mxSetField(s, 0, "stalled", mxCreateLogicalScalar(st.stalled));
  mxSetField(s, 0, "problem", mxCreateString(st.last_problem.text));
  char id[64] = {0};
  if (st.last_problem.condition[0]) std::snprintf(id, sizeof id, "acq_read:%s", st.last_problem.condition);
  mxSetField(s, 0, "problem_id", mxCreateString(id));
  mxSetField(s, 0, "seconds", mxCreateDoubleScalar(st.seconds));
  mxSetField(s, 0, "reader_cpu", mxCreateDoubleScalar(st.reader_cpu_seconds));
  mxSetField(s, 0, "record", mxCreateLogicalScalar(st.recording));
  mxSetField(s, 0, "records_written", mxCreateDoubleScalar(static_cast<double>(st.records_written)));
  mxSetField(s, 0, "sweeps_written", mxCreateDoubleScalar(static_cast<double>(st.sweeps_written)));
  mxSetField(s, 0, "seconds_written", mxCreateDoubleScalar(st.seconds_written));
  mxSetField(s, 0, "recorder_cpu", mxCreateDoubleScalar(st.recorder_cpu_seconds));
  mxSetField(s, 0, "record_error", mxCreateString(st.record_error));
  plhs[OUT_STATUS] = s;
}
