// v = gram_pair(x, y, model)
// Kernel value of the first row of x (first vector) and the first row of y
// (second vector) under the kernel of a support-vector model struct.
#include "host/mexhost.h"
#include "svkernel/kernel.h"
#include "svkernel/registry.h"
#include "svkernel/gram_entry.h"

namespace {
enum { IN_X, IN_Y, IN_MODEL };
enum { OUT_V };
const char* const DELIVERABLE = "gram_pair";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  using namespace svkernel;
  host::require_nargin(DELIVERABLE, nrhs, 3, "Three inputs required: v = gram_pair(x, y, model).");
  host::require_nargout(DELIVERABLE, nlhs, 1, "v = gram_pair(x, y, model)");
  checkDataMatrix(DELIVERABLE, prhs[IN_X], "x", 1);
  checkDataMatrix(DELIVERABLE, prhs[IN_Y], "y", 2);
  if (host::rows(prhs[IN_X]) == 0) host::fail_for(DELIVERABLE, "noRows", "Input 1 (x) must have at least one row.");
  if (host::rows(prhs[IN_Y]) == 0) host::fail_for(DELIVERABLE, "noRows", "Input 2 (y) must have at least one row.");

  CallScope call(DELIVERABLE);
  const sv_model* model = restoreModel(call, prhs[IN_MODEL]);
  // Every row of both is converted, though only the first rows are used.
  const example* const* xs = mexToDoc(call, prhs[IN_X]);
  const example* const* ys = mexToDoc(call, prhs[IN_Y]);
  if (!kernelKnown(model->kernel.kernel_type)) raiseText(call, "ERR-005 - unknown kernel function");

  mxArray* v = mxCreateDoubleMatrix(1, 1, mxREAL);
  mxGetPr(v)[0] = static_cast<double>(evalKernel(model->kernel, *xs[0]->vec, *ys[0]->vec));
  releaseAll(call);
  plhs[OUT_V] = v;
}
