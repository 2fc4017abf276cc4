// K = gram_square(X, model)
// Square Gram matrix of the rows of X under the kernel of a support-vector
// model struct: K(i, j) = kernel(row i, row j), single-precision values
// widened to double.
#include "host/mexhost.h"
#include "svkernel/kernel.h"
#include "svkernel/registry.h"
#include "svkernel/gram_entry.h"

namespace {
enum { IN_X, IN_MODEL };
enum { OUT_K };
const char* const DELIVERABLE = "gram_square";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  using namespace svkernel;
  host::require_nargin(DELIVERABLE, nrhs, 2, "Two inputs required: K = gram_square(X, model).");
  host::require_nargout(DELIVERABLE, nlhs, 1, "K = gram_square(X, model)");
  checkDataMatrix(DELIVERABLE, prhs[IN_X], "X", 1);

  // The model is read in full before the data matrix is looked at.
  CallScope call(DELIVERABLE);
  const sv_model* model = restoreModel(call, prhs[IN_MODEL]);
  const int32_t M = static_cast<int32_t>(host::rows(prhs[IN_X]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[IN_X]));
  const example* const* rows = mexToDoc(call, prhs[IN_X]);
  const kernel_parm parm = model->kernel;
  if (M > 0 && !kernelKnown(parm.kernel_type)) raiseText(call, "ERR-005 - unknown kernel function");

  // Working copies for the blocked evaluation, taken before any thread runs.
  float* packed = M > 0 ? trackedArray<float>(call, gramPackedFloats(M, N)) : nullptr;
  double* sq = M > 0 ? trackedArray<double>(call, static_cast<size_t>(M)) : nullptr;
  if (M > 0) packRows(rows, M, N, packed, sq);

  // gramDense writes every element, so the host need not clear the M*M
  // doubles first (for M = 4000, 128 MB).
  mxArray* K = mxCreateUninitNumericMatrix(static_cast<mwSize>(M), static_cast<mwSize>(M), mxDOUBLE_CLASS, mxREAL);
  double* out = mxGetPr(K);
  const int threads = gramThreads(M, N);
  host::CoreFailure failure = host::run_core([&] { gramDense(parm, packed, sq, M, N, out, threads); });
  if (failure.failed) {
    mxDestroyArray(K);
    raiseId(call, "internal", "The Gram matrix could not be computed (%.400s).", failure.text);
  }
  releaseAll(call);
  plhs[OUT_K] = K;
}
