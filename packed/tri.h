// Packed symmetric matrices.  A symmetric a × a matrix S is held as the
// column of its a(a+1)/2 distinct entries, the upper triangle with the
// diagonal column by column: S(0,0), S(0,1), S(1,1), S(0,2), S(1,2), S(2,2), …
// Entry S(i, j), i <= j, sits at j(j+1)/2 + i.  Single-precision values are
// copied as 32-bit patterns, so every bit (NaN payloads included) survives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace packed {

// Length of the packed form of an a × a matrix.
inline int64_t packed_length(int64_t a) { return a * (a + 1) / 2; }

// Largest side whose packed length is a signed 32-bit count: 65535 gives
// 2147450880, 65536 would give 2147516416 > 2^31 - 1.
constexpr int64_t MAX_PACKED_SIDE = 65535;
constexpr int64_t MAX_PACKED_LENGTH = MAX_PACKED_SIDE * (MAX_PACKED_SIDE + 1) / 2;

// Side a of a packed vector of length L: floor(sqrt(2L)), exact when L is a
// triangular number.
int64_t packed_side(int64_t L);

// Packs the upper triangle of the a × a (or a × more) column-major matrix S,
// leading dimension a, into out (packed_length(a) values).
void tri_pack(const float* S, int64_t a, float* out);

// Rebuilds the full symmetric a × a matrix from the packed vector P.
void tri_unpack(const float* P, int64_t a, float* S);

// xᵀ S x for the symmetric S that P stands for, x of length a.  The terms are
// added one at a time in packed order: (w·x_j)·x_j on the diagonal,
// ((w·2)·x_i)·x_j off it, w the packed entry as a double.
double tri_qform(const float* P, const double* x, int64_t a);

}  // namespace packed
