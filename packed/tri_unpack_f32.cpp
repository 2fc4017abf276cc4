// tri_unpack_f32(P) -> S
// Rebuilds the full symmetric single matrix from its packed upper triangle.
#include "host/mexhost.h"
#include "packed/tri.h"

namespace {
enum { IN_PACKED, INPUT_COUNT };
enum { OUT_MATRIX, OUTPUT_COUNT };
const char* const DELIVERABLE = "tri_unpack_f32";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, INPUT_COUNT, "One input required: tri_unpack_f32(P).");
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, "S = tri_unpack_f32(P)");
  host::require_real_single(DELIVERABLE, prhs[IN_PACKED], "P must be a real single vector.");
  // The length is the row count of a column and the column count of a row:
  // taking the row count alone unpacked a row as its first entry, and a
  // matrix (a square S given by mistake) as the start of its first column,
  // without a word, so a matrix is refused.  Every column tri_pack_f32 makes
  // unpacks.
  const size_t rows = host::rows(prhs[IN_PACKED]), cols = host::cols(prhs[IN_PACKED]);
  if (rows > 1 && cols > 1)
    host::fail_for(DELIVERABLE, "notVector", "P must be a vector, not a %zu-by-%zu matrix (S = tri_unpack_f32(P)).",
                   rows, cols);
  const size_t L = rows == 1 ? cols : rows;
  if (L > static_cast<size_t>(packed::MAX_PACKED_LENGTH))
    host::fail_for(DELIVERABLE, "tooLarge", "P must not have more than %lld values (a %lld-by-%lld matrix).",
                   static_cast<long long>(packed::MAX_PACKED_LENGTH), static_cast<long long>(packed::MAX_PACKED_SIDE),
                   static_cast<long long>(packed::MAX_PACKED_SIDE));
  const int64_t a = packed::packed_side(static_cast<int64_t>(L));
  if (packed::packed_length(a) != static_cast<int64_t>(L))
    host::fail_for(DELIVERABLE, "notTriangular", "The length of P (%zu) must be a triangular number a*(a+1)/2.", L);
  if (host::numel(prhs[IN_PACKED]) < L)
    host::fail_for(DELIVERABLE, "notTriangular", "P holds fewer than %zu values.", L);

  plhs[OUT_MATRIX] = mxCreateNumericMatrix(static_cast<mwSize>(a), static_cast<mwSize>(a), mxSINGLE_CLASS, mxREAL);
  packed::tri_unpack(static_cast<const float*>(mxGetData(prhs[IN_PACKED])), a,
                     static_cast<float*>(mxGetData(plhs[OUT_MATRIX])));
}
