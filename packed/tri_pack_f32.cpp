// tri_pack_f32(S) -> P
// Packs the upper triangle (with the diagonal) of a square single matrix,
// column by column, into a column vector.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_MATRIX, INPUT_COUNT };
enum { OUT_PACKED, OUTPUT_COUNT };
const char* const DELIVERABLE = "tri_pack_f32";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, INPUT_COUNT, "One input required: tri_pack_f32(S).");
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, "P = tri_pack_f32(S)");
  host::require_real_single(DELIVERABLE, prhs[IN_MATRIX], "S must be a real single matrix.");
  const size_t a = host::rows(prhs[IN_MATRIX]);
  if (host::cols(prhs[IN_MATRIX]) < a)
    host::fail_for(DELIVERABLE, "notSquare", "S must have at least as many columns as rows (it is %zu-by-%zu).", a,
                   host::cols(prhs[IN_MATRIX]));
  if (a > static_cast<size_t>(packed::MAX_PACKED_SIDE))
    host::fail_for(DELIVERABLE, "tooLarge", "S must not have more than %lld rows.",
                   static_cast<long long>(packed::MAX_PACKED_SIDE));

  const int64_t L = packed::packed_length(static_cast<int64_t>(a));
  plhs[OUT_PACKED] = mxCreateNumericMatrix(static_cast<mwSize>(L), 1, mxSINGLE_CLASS, mxREAL);
  packed::tri_pack(static_cast<const float*>(mxGetData(prhs[IN_MATRIX])), static_cast<int64_t>(a),
                   static_cast<float*>(mxGetData(plhs[OUT_PACKED])));
}
