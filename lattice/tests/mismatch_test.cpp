#include <gtest/gtest.h>

#include <random>

#include "lattice/mismatch.h"
#include "testing/lattice_reference.h"

namespace {

TEST(Mismatch, WorkedExamples) {
  const int32_t probe[] = {1, 2, 3};
  const int32_t set[] = {1, 2, 3, 1, 1, 3, 3, 1, 1};
  double counts[3] = {-1, -1, -1};
  lattice::mismatch_counts(probe, set, 3, 3, counts);
  EXPECT_EQ(std::vector<double>(counts, counts + 3), (std::vector<double>{0, 1, 3}));
  lattice::Nearest best = lattice::nearest_member(probe, set, 3, 3);
  EXPECT_EQ(best.count, 0);
  EXPECT_EQ(best.column, 1);

  const int32_t tie_probe[] = {1, 2}, tie_set[] = {2, 2, 1, 1};
  best = lattice::nearest_member(tie_probe, tie_set, 2, 2);
  EXPECT_EQ(best.count, 1);
  EXPECT_EQ(best.column, 1);  // the first column wins the tie

  const int32_t ones[] = {1, 1}, twos[] = {2, 2};
  best = lattice::nearest_member(ones, twos, 2, 1);
  EXPECT_EQ(best.count, 2);
  EXPECT_EQ(best.column, 0);

  best = lattice::nearest_member(ones, nullptr, 2, 0);  // M × 0
  EXPECT_EQ(best.count, 2);
  EXPECT_EQ(best.column, 0);
  best = lattice::nearest_member(nullptr, nullptr, 0, 4);  // 0 × N
  EXPECT_EQ(best.count, 0);
  EXPECT_EQ(best.column, 0);
  double zeros[4] = {-1, -1, -1, -1};
  lattice::mismatch_counts(nullptr, nullptr, 0, 4, zeros);
  EXPECT_EQ(std::vector<double>(zeros, zeros + 4), (std::vector<double>(4, 0.0)));
}

TEST(Mismatch, NearestMatchesLinearScanAndCounts) {
  std::mt19937 gen(9);
  for (int trial = 0; trial < 1000; ++trial) {
    const int32_t M = static_cast<int32_t>(gen() % 6), N = static_cast<int32_t>(gen() % 30);
    std::vector<int32_t> set(static_cast<size_t>(M) * N), probe(M);
    for (int32_t& v : set) v = static_cast<int32_t>(gen() % 3);
    for (int32_t& v : probe) v = static_cast<int32_t>(gen() % 3);
    auto ref = lattice_ref::nearest(probe.data(), set.data(), M, N);
    lattice::Nearest best = lattice::nearest_member(probe.data(), set.data(), M, N);
    EXPECT_EQ(best.count, ref.first) << trial;
    EXPECT_EQ(best.column, ref.second) << trial;
    // The nearest count is the smallest full count below M, at its first column.
    std::vector<double> counts(N);
    lattice::mismatch_counts(probe.data(), set.data(), M, N, counts.data());
    int32_t first = 0;
    for (int32_t j = 0; j < N; ++j)
      if (counts[j] < M && (first == 0 || counts[j] < counts[first - 1])) first = j + 1;
    EXPECT_EQ(best.column, first) << trial;
    if (first > 0) {
      EXPECT_EQ(best.count, counts[first - 1]);
    }
  }
}

// Counts for every row count from 0 past the fixed-row versions, against
// the literal loop; extreme values differ from the probe like any other.
TEST(Mismatch, CountsMatchLiteralForEveryRowCount) {
  std::mt19937 gen(31);
  for (int32_t M = 0; M <= 12; ++M)
    for (int32_t N : {0, 1, 7, 300}) {
      std::vector<int32_t> set(static_cast<size_t>(M) * N), probe(M);
      for (int32_t& v : set) v = static_cast<int32_t>(gen() % 3);
      for (int32_t& v : probe) v = static_cast<int32_t>(gen() % 3);
      if (M > 0 && N > 0) {
        set[0] = -2147483647 - 1;
        set.back() = 2147483647;
      }
      std::vector<double> counts(N, -1.0);
      lattice::mismatch_counts(probe.data(), set.data(), M, N, counts.data());
      EXPECT_EQ(counts, lattice_ref::mismatch(probe.data(), set.data(), M, N)) << "M=" << M << " N=" << N;
    }
}

}  // namespace
