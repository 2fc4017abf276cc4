// Forward steps of one multi-index past a blocking set, and coordinate
// mismatch counts of one multi-index against a set.  Sets are M × N int32
// matrices, one point per column.
#pragma once

#include <cstdint>

#include "lattice/frontier.h"

namespace lattice {

// The points current + e_j (j increasing) with current[j] < maxima[j] that
// dominate no blocking point (are not >= it in every coordinate).  current
// and maxima hold M entries.
PointRows forward_steps(const int32_t* blocking, int32_t M, int32_t N, const int32_t* current,
                        const int32_t* maxima);

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
