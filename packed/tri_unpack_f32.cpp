// tri_unpack_f32(P) -> S
// Rebuilds the full symmetric single matrix from its packed upper triangle.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_PACKED };
enum { OUT_MATRIX };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 1) host::fail("tri_unpack_f32:nargin", "One input required: tri_unpack_f32(P).");
  if (!host::is_real_single(prhs[IN_PACKED]))
    host::fail("tri_unpack_f32:notSingle", "P must be a real single column.");
  // The length is the row count (a row vector is read as one entry).
  const size_t L = host::rows(prhs[IN_PACKED]);
  if (L > host::kMaxDim / 2) host::fail("tri_unpack_f32:tooLarge", "P must not have more than 1073741823 rows.");
  const int64_t a = packed::packed_side(static_cast<int64_t>(L));
  if (packed::packed_length(a) != static_cast<int64_t>(L))
    host::fail("tri_unpack_f32:notTriangular",
               "The length of P (%zu) must be a triangular number a*(a+1)/2.", L);
  if (host::numel(prhs[IN_PACKED]) < L)
    host::fail("tri_unpack_f32:notTriangular", "P holds fewer than %zu values.", L);

  plhs[OUT_MATRIX] = mxCreateNumericMatrix(static_cast<mwSize>(a), static_cast<mwSize>(a), mxSINGLE_CLASS, mxREAL);
  packed::tri_unpack(static_cast<const float*>(mxGetData(prhs[IN_PACKED])), a,
                     static_cast<float*>(mxGetData(plhs[OUT_MATRIX])));
}
