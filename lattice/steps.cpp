#include "lattice/steps.h"

#include <vector>

namespace lattice {

PointRows forward_steps(const int32_t* blocking, int32_t M, int32_t N, const int32_t* current,
                        const int32_t* maxima) {
  // Candidate j (current raised by 1 in dimension j) dominates blocking
  // point q exactly when q exceeds current nowhere, or only in dimension j
  // and there by exactly 1.  One pass over the blocking points thus finds
  // every refused candidate.
  std::vector<char> refused(static_cast<size_t>(M), 0);
  bool all_refused = false;
  for (int32_t q = 0; q < N && !all_refused; ++q) {
    const int32_t* b = blocking + static_cast<size_t>(q) * M;
    int32_t above = -1;  // the one dimension where b exceeds current
    bool several = false;
    for (int32_t l = 0; l < M; ++l) {
      if (b[l] <= current[l]) continue;
      if (above >= 0) {
        several = true;
        break;
      }
      above = l;
    }
    if (several) continue;
    if (above < 0) {
      all_refused = true;
    } else if (static_cast<int64_t>(b[above]) == static_cast<int64_t>(current[above]) + 1) {
      refused[above] = 1;
    }
  }

  PointRows rows;
  rows.dims = M;
  for (int32_t j = 0; j < M && !all_refused; ++j) {
    if (!(current[j] < maxima[j]) || refused[j]) continue;
    rows.coords.insert(rows.coords.end(), current, current + M);
    rows.coords[static_cast<size_t>(rows.count) * M + j] += 1;  // current[j] < maxima[j]: no overflow
    ++rows.count;
  }
  return rows;
}

}  // namespace lattice
