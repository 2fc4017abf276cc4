#include <gtest/gtest.h>

#include <random>

#include "lattice/frontier.h"
#include "testing/lattice_reference.h"
#include "testing/random_sets.h"

namespace {

// The result as rows, each row a point.
std::vector<std::vector<double>> rows_of(const std::vector<double>& v, size_t R, size_t M) {
  std::vector<std::vector<double>> rows(R, std::vector<double>(M));
  for (size_t r = 0; r < R; ++r)
    for (size_t k = 0; k < M; ++k) rows[r][k] = v[r + k * R];
  return rows;
}

std::vector<std::vector<double>> run(const std::vector<int32_t>& set, int32_t M, const std::vector<int32_t>& bounds,
                                     bool active_only) {
  const int32_t N = M == 0 ? 0 : static_cast<int32_t>(set.size() / M);
  lattice::PointRows rows = lattice::frontier(set.data(), M, N, bounds.data(), active_only);
  EXPECT_EQ(rows.dims, M);
  std::vector<double> out(static_cast<size_t>(rows.count) * M);
  lattice::write_rows(rows, out.data());
  return rows_of(out, rows.count, M);
}

using Rows = std::vector<std::vector<double>>;

TEST(Frontier, WorkedExamples) {
  // (2,2) is generated again from (1,2) and listed once.
  const std::vector<int32_t> l_shape{1, 1, 2, 1, 1, 2};
  for (bool active_only : {false, true})
    EXPECT_EQ(run(l_shape, 2, {9, 9}, active_only), (Rows{{3, 1}, {2, 2}, {1, 3}}));

  // One active dimension: the unit points of the inactive ones come last.
  const std::vector<int32_t> pair{1, 1, 1, 2, 1, 1};
  EXPECT_EQ(run(pair, 3, {3, 3, 3}, false), (Rows{{1, 2, 1}, {1, 1, 2}, {3, 1, 1}}));
  EXPECT_EQ(run(pair, 3, {3}, true), (Rows{{3, 1, 1}, {1, 2, 1}, {1, 1, 2}}));
  EXPECT_EQ(run(pair, 3, {2, 3, 3}, false), (Rows{{1, 2, 1}, {1, 1, 2}}));
  EXPECT_EQ(run(pair, 3, {2}, true), (Rows{{1, 2, 1}, {1, 1, 2}}));

  // Bounds go by active position in lattice_frontier, by dimension in the full variant.
  const std::vector<int32_t> middle{1, 1, 1, 1, 2, 1};
  EXPECT_EQ(run(middle, 3, {5, 2, 5}, true), (Rows{{1, 3, 1}, {2, 1, 1}, {1, 1, 2}}));
  EXPECT_EQ(run(middle, 3, {5, 2, 5}, false), (Rows{{2, 1, 1}, {1, 1, 2}}));

  // The all-ones point alone.
  EXPECT_EQ(run({1, 1, 1}, 3, {}, true), (Rows{{2, 1, 1}, {1, 2, 1}, {1, 1, 2}}));
  EXPECT_EQ(run({1, 1, 1}, 3, {2, 1, 5}, false), (Rows{{2, 1, 1}, {1, 1, 2}}));

  // No members.
  EXPECT_EQ(run({}, 3, {}, true), (Rows{{2, 1, 1}, {1, 2, 1}, {1, 1, 2}}));
  EXPECT_TRUE(run({}, 3, {}, false).empty());
  EXPECT_TRUE(run({}, 0, {}, true).empty());
  EXPECT_EQ(lattice::bounds_read(nullptr, 3, 0, false), 0);
  EXPECT_EQ(lattice::bounds_read(middle.data(), 3, 2, false), 3);
  EXPECT_EQ(lattice::bounds_read(middle.data(), 3, 2, true), 1);
  EXPECT_EQ(lattice::active_dimensions(middle.data(), 3, 2), (std::vector<int32_t>{1}));
}

TEST(Frontier, BothVariantsAgreeAsSetsWhenBoundsCorrespond) {
  const int32_t M = 5;
  const auto set = lattice_test::downward_closed(M, 60, 3, {0, 2, 3});
  auto active = run(set, M, {4, 5, 6}, true);
  auto full = run(set, M, {4, 9, 5, 6, 9}, false);
  std::sort(active.begin(), active.end());
  std::sort(full.begin(), full.end());
  EXPECT_EQ(active, full);
}

// The indexed search against the plain linear scans: random downward-closed
// sets, with and without inactive dimensions, loose and tight bounds.
TEST(Frontier, MatchesLinearScanOnRandomClosedSets) {
  std::mt19937 gen(11);
  for (int trial = 0; trial < 60; ++trial) {
    const int32_t M = 1 + static_cast<int32_t>(gen() % 9);
    const int32_t count = trial < 50 ? 1 + static_cast<int32_t>(gen() % 300) : 2000 + static_cast<int32_t>(gen() % 1500);
    std::vector<int32_t> grow;
    for (int32_t k = 0; k < M; ++k)
      if (gen() % 3 != 0) grow.push_back(k);
    if (grow.empty()) grow.push_back(0);
    const auto set = lattice_test::downward_closed(M, count, 100 + trial, grow);
    const int32_t N = static_cast<int32_t>(set.size() / M);
    std::vector<int32_t> bounds(M);
    for (int32_t& b : bounds) b = trial % 2 ? 1 + static_cast<int32_t>(gen() % 8) : 1000;
    for (bool active_only : {false, true}) {
      auto ref = lattice_ref::frontier(set.data(), M, N, bounds.data(), active_only);
      lattice::PointRows rows = lattice::frontier(set.data(), M, N, bounds.data(), active_only);
      ASSERT_EQ(static_cast<size_t>(rows.count), ref.rows) << "trial " << trial;
      std::vector<double> out(ref.v.size());
      lattice::write_rows(rows, out.data());
      EXPECT_EQ(out, ref.v) << "trial " << trial << " active_only " << active_only;
    }
  }
}

// Repeated columns (outside the caller's promise of distinct members) are
// answered like one copy, and a long run of them costs about as much as
// reading it: two million copies of the all-ones point finish at once.
TEST(Frontier, RepeatedColumnsAreIndexedOnce) {
  const int32_t N = 2000000;
  const std::vector<int32_t> ones2(2 * static_cast<size_t>(N), 1);
  EXPECT_EQ(run(ones2, 2, {5, 5}, false), (Rows{{2, 1}, {1, 2}}));
  EXPECT_EQ(run(ones2, 2, {}, true), (Rows{{2, 1}, {1, 2}}));
  // No rows at all: every column is the same empty point.
  lattice::PointRows none = lattice::frontier(nullptr, 0, N, nullptr, false);
  EXPECT_EQ(none.count, 0);
  none = lattice::frontier(nullptr, 0, N, nullptr, true);
  EXPECT_EQ(none.count, 0);
  // A few repeats inside a closed set change nothing against the scans.
  std::vector<int32_t> set = lattice_test::downward_closed(3, 40, 8);
  set.insert(set.end(), set.begin(), set.begin() + 3 * 10);
  const int32_t M = 3, NS = static_cast<int32_t>(set.size() / 3);
  const std::vector<int32_t> bounds{4, 4, 4};
  for (bool active_only : {false, true}) {
    auto ref = lattice_ref::frontier(set.data(), M, NS, bounds.data(), active_only);
    lattice::PointRows rows = lattice::frontier(set.data(), M, NS, bounds.data(), active_only);
    ASSERT_EQ(static_cast<size_t>(rows.count), ref.rows);
    std::vector<double> out(ref.v.size());
    lattice::write_rows(rows, out.data());
    EXPECT_EQ(out, ref.v) << active_only;
  }
}

// Sets that break the caller's promises (duplicates, gaps, coordinates below
// 1, extreme values) still give what the linear scans give.
TEST(Frontier, MatchesLinearScanOnArbitraryMatrices) {
  std::mt19937 gen(5);
  for (int trial = 0; trial < 200; ++trial) {
    const int32_t M = static_cast<int32_t>(gen() % 5), N = static_cast<int32_t>(gen() % 40);
    std::vector<int32_t> set(static_cast<size_t>(M) * N), bounds(M);
    for (int32_t& v : set) v = static_cast<int32_t>(gen() % 5) - 1;
    if (trial % 10 == 0 && !set.empty()) set[0] = 2147483647;
    if (trial % 10 == 1 && !set.empty()) set[0] = -2147483647 - 1;
    for (int32_t& b : bounds) b = trial % 3 ? static_cast<int32_t>(gen() % 6) - 1 : 2147483647;
    for (bool active_only : {false, true}) {
      auto ref = lattice_ref::frontier(set.data(), M, N, bounds.data(), active_only);
      lattice::PointRows rows = lattice::frontier(set.data(), M, N, bounds.data(), active_only);
      ASSERT_EQ(static_cast<size_t>(rows.count), ref.rows) << "trial " << trial;
      std::vector<double> out(ref.v.size());
      lattice::write_rows(rows, out.data());
      EXPECT_EQ(out, ref.v) << "trial " << trial;
    }
  }
}

}  // namespace
