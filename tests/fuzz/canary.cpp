// A deliberately broken MEX file, built only in the sanitized tree.  The
// fuzz runner calls it once per run to prove that the sanitizers loaded
// into octave-cli really report a fault, so that a quiet fuzz run means
// something.
//   fuzz_canary('fine')   returns 42
//   fuzz_canary('heap')   reads one element past a heap block (AddressSanitizer)
//   fuzz_canary('ub')     overflows a signed integer (UndefinedBehaviorSanitizer)
#include <climits>
#include <cstring>
#include <vector>

#include "host/mexhost.h"

namespace {
// Kept out of the optimizer's sight so that the faults really happen.
volatile int g_index = 4;
volatile int g_big = INT_MAX;
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  char mode[16] = {0};
  if (nrhs < 1 || !mxIsChar(prhs[0]) || mxGetString(prhs[0], mode, sizeof mode) != 0)
    host::fail("fuzz_canary:mode", "Input 1 must be 'fine', 'heap' or 'ub'.");
  double value = 42;
  if (std::strcmp(mode, "heap") == 0) {
    std::vector<int> block(4);
    value = block.data()[g_index];
  } else if (std::strcmp(mode, "ub") == 0) {
    const int big = g_big;
    value = big + g_index;
  }
  plhs[0] = mxCreateDoubleScalar(value);
}
