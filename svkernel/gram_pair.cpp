// v = gram_pair(x, y, model)
// Kernel value of the first row of x (first vector) and the first row of y
// (second vector) under the kernel of a support-vector model struct.
#include "host/mexhost.h"
#include "svkernel/kernel.h"
#include "svkernel/sv_model.h"

namespace {
enum { IN_X, IN_Y, IN_MODEL };
enum { OUT_V };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  using namespace svkernel;
  if (nrhs < 3) host::fail("gram_pair:nargin", "Three inputs required: v = gram_pair(x, y, model).");
  checkDataMatrix("gram_pair", prhs[IN_X], "x", 1);
  checkDataMatrix("gram_pair", prhs[IN_Y], "y", 2);
  if (host::rows(prhs[IN_X]) == 0) host::fail("gram_pair:noRows", "Input 1 (x) must have at least one row.");
  if (host::rows(prhs[IN_Y]) == 0) host::fail("gram_pair:noRows", "Input 2 (y) must have at least one row.");

  createRegistry("gram_pair");
  const sv_model* model = restoreModel(prhs[IN_MODEL]);
  // Every row of both is converted, though only the first rows are used.
  const example* const* xs = mexToDoc(prhs[IN_X]);
  const example* const* ys = mexToDoc(prhs[IN_Y]);
  if (!kernelKnown(model->kernel.kernel_type)) raiseText("ERR-005 - unknown kernel function");

  mxArray* v = mxCreateDoubleMatrix(1, 1, mxREAL);
  mxGetPr(v)[0] = static_cast<double>(evalKernel(model->kernel, *xs[0]->vec, *ys[0]->vec));
  releaseAll();
  plhs[OUT_V] = v;
}
