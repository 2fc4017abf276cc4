// K = gram_square(X, model)
// Square Gram matrix of the rows of X under the kernel of a support-vector
// model struct: K(i, j) = kernel(row i, row j), single-precision values
// widened to double.
#include "host/mexhost.h"
#include "svkernel/kernel.h"
#include "svkernel/sv_model.h"

namespace {
enum { IN_X, IN_MODEL };
enum { OUT_K };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  using namespace svkernel;
  if (nrhs < 2) host::fail("gram_square:nargin", "Two inputs required: K = gram_square(X, model).");
  checkDataMatrix("gram_square", prhs[IN_X], "X", 1);

  createRegistry("gram_square");
  const sv_model* model = restoreModel(prhs[IN_MODEL]);
  const int32_t M = static_cast<int32_t>(host::rows(prhs[IN_X]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[IN_X]));
  const example* const* rows = mexToDoc(prhs[IN_X]);
  const kernel_parm parm = model->kernel;
  if (M > 0 && !kernelKnown(parm.kernel_type)) raiseText("ERR-005 - unknown kernel function");

  // Working copies for the blocked evaluation, taken before any thread runs.
  float* packed = M > 0 ? trackedArray<float>(gramPackedFloats(M, N)) : nullptr;
  double* sq = M > 0 ? trackedArray<double>(static_cast<size_t>(M)) : nullptr;
  if (M > 0) packRows(rows, M, N, packed, sq);

  mxArray* K = mxCreateDoubleMatrix(static_cast<mwSize>(M), static_cast<mwSize>(M), mxREAL);
  double* out = mxGetPr(K);
  const int threads = gramThreads(M, N);
  host::CoreFailure failure = host::run_core([&] { gramDense(parm, packed, sq, M, N, out, threads); });
  if (failure.failed) {
    mxDestroyArray(K);
    raiseId("internal", "The Gram matrix could not be computed (%.400s).", failure.text);
  }
  releaseAll();
  plhs[OUT_K] = K;
}
