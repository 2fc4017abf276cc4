// tri_pack_f32(S) -> P
// Packs the upper triangle (with the diagonal) of a square single matrix,
// column by column, into a column vector.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_MATRIX };
enum { OUT_PACKED };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 1) host::fail("tri_pack_f32:nargin", "One input required: tri_pack_f32(S).");
  if (!host::is_real_single(prhs[IN_MATRIX]))
    host::fail("tri_pack_f32:notSingle", "S must be a real single matrix.");
  const size_t a = host::rows(prhs[IN_MATRIX]);
  if (host::cols(prhs[IN_MATRIX]) < a)
    host::fail("tri_pack_f32:notSquare", "S must have at least as many columns as rows (it is %zu-by-%zu).", a,
               host::cols(prhs[IN_MATRIX]));
  // The packed length is a 32-bit count.
  if (a > 65535) host::fail("tri_pack_f32:tooLarge", "S must not have more than 65535 rows.");

  const int64_t L = packed::packed_length(static_cast<int64_t>(a));
  plhs[OUT_PACKED] = mxCreateNumericMatrix(static_cast<mwSize>(L), 1, mxSINGLE_CLASS, mxREAL);
  packed::tri_pack(static_cast<const float*>(mxGetData(prhs[IN_MATRIX])), static_cast<int64_t>(a),
                   static_cast<float*>(mxGetData(plhs[OUT_PACKED])));
}
