// Forward steps of one multi-index past a blocking set (an M × N int32
// matrix, one point per column).
#pragma once

#include <cstdint>

#include "lattice/frontier.h"

namespace lattice {

// The points current + e_j (j increasing) with current[j] < maxima[j] that
// dominate no blocking point (are not >= it in every coordinate).  current
// and maxima hold M entries.
PointRows forward_steps(const int32_t* blocking, int32_t M, int32_t N, const int32_t* current,
                        const int32_t* maxima);

}  // namespace lattice
