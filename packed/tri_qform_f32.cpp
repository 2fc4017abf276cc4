// tri_qform_f32(P, x) -> q
// Quadratic form x' * S * x of a double column x with the symmetric single
// matrix S held packed in P, without unpacking it.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_PACKED, IN_X, INPUT_COUNT };
enum { OUT_VALUE, OUTPUT_COUNT };
const char* const DELIVERABLE = "tri_qform_f32";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, INPUT_COUNT, "Two inputs required: tri_qform_f32(P, x).");
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, "q = tri_qform_f32(P, x)");
  host::require_real_single(DELIVERABLE, prhs[IN_PACKED], "P must be a real single vector.");
  host::require_real_double(DELIVERABLE, prhs[IN_X], "x must be a real, full double column.");
  // a is the length of x, a column or a row: taking the row count alone
  // read a row x as its first element, without a word, so a matrix is
  // refused.
  const size_t rows = host::rows(prhs[IN_X]), cols = host::cols(prhs[IN_X]);
  if (rows > 1 && cols > 1)
    host::fail_for(DELIVERABLE, "notVector", "x must be a vector, not a %zu-by-%zu matrix.", rows, cols);
  const size_t a = rows == 1 ? cols : rows;
  if (host::numel(prhs[IN_X]) < a) host::fail_for(DELIVERABLE, "emptyX", "x has %zu rows but no columns.", a);
  if (a > static_cast<size_t>(packed::MAX_PACKED_SIDE))
    host::fail_for(DELIVERABLE, "tooLarge", "x must not have more than %lld rows.",
                   static_cast<long long>(packed::MAX_PACKED_SIDE));
  const int64_t L = packed::packed_length(static_cast<int64_t>(a));
  if (host::numel(prhs[IN_PACKED]) < static_cast<size_t>(L))
    host::fail_for(DELIVERABLE, "shortPacked", "P must hold at least %lld values for a %zu-element x (it holds %zu).",
                   static_cast<long long>(L), a, host::numel(prhs[IN_PACKED]));

  const double q = packed::tri_qform(static_cast<const float*>(mxGetData(prhs[IN_PACKED])), mxGetPr(prhs[IN_X]),
                                     static_cast<int64_t>(a));
  plhs[OUT_VALUE] = host::scalar_out(q);
}
