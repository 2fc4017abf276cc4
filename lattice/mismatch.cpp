#include "lattice/mismatch.h"

#include <cstddef>

namespace lattice {

void mismatch_counts(const int32_t* probe, const int32_t* set, int32_t M, int32_t N, double* counts) {
  for (int32_t j = 0; j < N; ++j) {
    const int32_t* col = set + static_cast<size_t>(j) * M;
    int32_t c = 0;
    for (int32_t l = 0; l < M; ++l) c += col[l] != probe[l];
    counts[j] = static_cast<double>(c);
  }
}

Nearest nearest_member(const int32_t* probe, const int32_t* set, int32_t M, int32_t N) {
  Nearest best;
  best.count = M;
  for (int32_t j = 0; j < N && best.count > 0; ++j) {
    const int32_t* col = set + static_cast<size_t>(j) * M;
    int32_t c = 0;
    // Stop counting once this column cannot beat the best so far.
    for (int32_t l = 0; l < M && c < best.count; ++l) c += col[l] != probe[l];
    if (c < best.count) {
      best.count = c;
      best.column = j + 1;
    }
  }
  return best;
}

}  // namespace lattice
