// A deliberately misbehaving extension, selected by its first input, that
// proves the stand-in host notices each fault the real host would suffer.
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/mexhost.h"

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  char what[32] = {0};
  if (nrhs < 1 || mxGetString(prhs[0], what, sizeof what) != 0) host::fail("probe:nargin", "need a mode");
  const std::string mode = what;
  if (mode == "error") host::fail("probe:failed", "failed with %d", 42);
  if (mode == "text") host::fail_text("plain message");
  if (mode == "swallow") {
    try {
      mexErrMsgTxt("swallowed");
    } catch (const std::exception&) {
    }
    return;
  }
  if (mode == "escape") throw std::runtime_error("boom");
  if (mode == "pastslot") {
    plhs[0] = mxCreateDoubleScalar(1);
    plhs[nlhs > 0 ? nlhs : 1] = mxCreateDoubleScalar(2);
    return;
  }
  if (mode == "modify") {
    mxGetPr(prhs[1])[0] = -1;
    return;
  }
  if (mode == "leak") {
    mxMalloc(100);
    mxCreateDoubleMatrix(2, 2, mxREAL);
    return;
  }
  if (mode == "talk") {
    mexPrintf("hello %s\n", "world");
    mexWarnMsgIdAndTxt("probe:first", "first %d", 1);
    mexWarnMsgIdAndTxt("probe:second", "second");
    plhs[0] = mxCreateDoubleScalar(3);
    return;
  }
  if (mode == "transpose") {
    mxArray* in[1] = {mxDuplicateArray(prhs[1])};
    if (mexCallMATLAB(1, plhs, 1, in, "transpose") != 0) host::fail("probe:callFailed", "transpose failed");
    mxDestroyArray(in[0]);
    return;
  }
}
