// Random downward-closed multi-index sets for tests and benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace lattice_test {

// A downward-closed set of `count` points in M dimensions (M × count,
// column-major, int32) that contains the all-ones point, grown by adding
// admissible forward neighbours of random members.  Only the dimensions
// listed in `grow` ever leave 1 (all of them when empty); coordinates stay
// at or below `cap`.  Columns come out shuffled.
inline std::vector<int32_t> downward_closed(int32_t M, int32_t count, unsigned seed, std::vector<int32_t> grow = {},
                                            int32_t cap = 1 << 20) {
  std::mt19937 gen(seed);
  if (grow.empty())
    for (int32_t k = 0; k < M; ++k) grow.push_back(k);
  std::vector<std::vector<int32_t>> points{std::vector<int32_t>(M, 1)};
  std::set<std::vector<int32_t>> members(points.begin(), points.end());
  if (M == 0) count = 1;
  for (long attempt = 0; static_cast<int32_t>(points.size()) < count && attempt < 400L * count; ++attempt) {
    std::vector<int32_t> cand = points[gen() % points.size()];
    const int32_t k = grow[gen() % grow.size()];
    if (cand[k] >= cap) continue;
    cand[k] += 1;
    if (members.count(cand)) continue;
    bool closed = true;
    for (int32_t f = 0; f < M && closed; ++f) {
      if (cand[f] <= 1) continue;
      cand[f] -= 1;
      closed = members.count(cand) > 0;
      cand[f] += 1;
    }
    if (!closed) continue;
    members.insert(cand);
    points.push_back(cand);
  }
  std::shuffle(points.begin(), points.end(), gen);
  std::vector<int32_t> out;
  for (const auto& p : points) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace lattice_test
