#include <gtest/gtest.h>

#include <random>

#include "lattice/steps.h"
#include "testing/lattice_reference.h"

namespace {

std::vector<double> steps(const std::vector<int32_t>& blocking, int32_t M, const std::vector<int32_t>& current,
                          const std::vector<int32_t>& maxima, size_t* count = nullptr) {
  const int32_t N = M == 0 ? 0 : static_cast<int32_t>(blocking.size() / M);
  lattice::PointRows rows = lattice::forward_steps(blocking.data(), M, N, current.data(), maxima.data());
  EXPECT_EQ(rows.dims, M);
  if (count) *count = static_cast<size_t>(rows.count);
  std::vector<double> out(static_cast<size_t>(rows.count) * M);
  lattice::write_rows(rows, out.data());
  return out;
}

TEST(ForwardSteps, WorkedExamples) {
  // Column-major R × 2 results.
  EXPECT_EQ(steps({2, 2}, 2, {1, 1}, {3, 3}), (std::vector<double>{2, 1, 1, 2}));
  EXPECT_EQ(steps({2, 1}, 2, {1, 1}, {3, 3}), (std::vector<double>{1, 2}));
  EXPECT_EQ(steps({}, 2, {1, 1}, {3, 1}), (std::vector<double>{2, 1}));
  size_t count = 9;
  EXPECT_TRUE(steps({5, 5, 1, 1}, 2, {1, 1}, {3, 3}, &count).empty());  // contains current
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(steps({5, 5, 1, 0}, 2, {1, 1}, {3, 3}, &count).empty());  // current dominates (1,0)
  EXPECT_TRUE(steps({}, 0, {7}, {9}, &count).empty());
  EXPECT_EQ(count, 0u);
}

TEST(ForwardSteps, MatchesLinearScan) {
  std::mt19937 gen(3);
  for (int trial = 0; trial < 2000; ++trial) {
    const int32_t M = static_cast<int32_t>(gen() % 6), N = static_cast<int32_t>(gen() % 12);
    std::vector<int32_t> blocking(static_cast<size_t>(M) * N), current(M), maxima(M);
    for (int32_t& v : blocking) v = static_cast<int32_t>(gen() % 5);
    for (int32_t& v : current) v = static_cast<int32_t>(gen() % 4);
    for (int32_t& v : maxima) v = static_cast<int32_t>(gen() % 5);
    if (trial % 50 == 0 && M > 0) {
      current[0] = 2147483647;
      maxima[0] = 2147483647;
      if (N > 0) blocking[0] = -2147483647 - 1;
    }
    auto ref = lattice_ref::extend(blocking.data(), M, N, current.data(), maxima.data());
    size_t count = 0;
    EXPECT_EQ(steps(blocking, M, current, maxima, &count), ref.v) << "trial " << trial;
    EXPECT_EQ(count, ref.rows);
  }
}

}  // namespace
