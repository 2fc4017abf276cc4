// tri_qform_f32(P, x) -> q
// Quadratic form x' * S * x of a double column x with the symmetric single
// matrix S held packed in P, without unpacking it.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_PACKED, IN_X };
enum { OUT_VALUE };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 2) host::fail("tri_qform_f32:nargin", "Two inputs required: tri_qform_f32(P, x).");
  if (!host::is_real_single(prhs[IN_PACKED]))
    host::fail("tri_qform_f32:notSingle", "P must be a real single vector.");
  if (!host::is_real_double(prhs[IN_X])) host::fail("tri_qform_f32:notDouble", "x must be a real, full double column.");
  // a is the row count of x (a row x is read as its first element).
  const size_t a = host::rows(prhs[IN_X]);
  if (host::numel(prhs[IN_X]) < a) host::fail("tri_qform_f32:emptyX", "x has %zu rows but no columns.", a);
  if (a > 65535) host::fail("tri_qform_f32:tooLarge", "x must not have more than 65535 rows.");
  const int64_t L = packed::packed_length(static_cast<int64_t>(a));
  if (host::numel(prhs[IN_PACKED]) < static_cast<size_t>(L))
    host::fail("tri_qform_f32:shortPacked", "P must hold at least %lld values for a %zu-element x (it holds %zu).",
               static_cast<long long>(L), a, host::numel(prhs[IN_PACKED]));

  const double q = packed::tri_qform(static_cast<const float*>(mxGetData(prhs[IN_PACKED])),
                                     mxGetPr(prhs[IN_X]), static_cast<int64_t>(a));
  plhs[OUT_VALUE] = mxCreateDoubleMatrix(1, 1, mxREAL);
  mxGetPr(plhs[OUT_VALUE])[0] = q;
}
