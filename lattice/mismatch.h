// Coordinate mismatch counts of one multi-index, the probe, against a set
// (an M × N int32 matrix, one point per column): a Hamming distance over
// integer coordinates.
#pragma once

#include <cstdint>

namespace lattice {

// counts[j] = number of rows l < M with set(l, j) != probe[l], for every
// column j.
void mismatch_counts(const int32_t* probe, const int32_t* set, int32_t M, int32_t N, double* counts);

// The smallest mismatch count below M and the 1-based number of the first
// column that has it; M and 0 when no column has fewer than M mismatches.
struct Nearest {
  int32_t count = 0;
  int32_t column = 0;
};
Nearest nearest_member(const int32_t* probe, const int32_t* set, int32_t M, int32_t N);

}  // namespace lattice
