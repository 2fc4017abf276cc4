// icf_matrix: the worked example, bit-exact agreement with the literal
// procedure, stopping rules, edge cases and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "host/standin/standin.h"
#include "lowrank/matrix.h"
#include "testing/icf_reference.h"

namespace {

using standin::Array;

// Gaussian kernel matrix of n random points in d dimensions.
std::vector<double> gaussian_matrix(int32_t d, int32_t n, double sigma, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> dist;
  std::vector<double> X(static_cast<size_t>(d) * n), A(static_cast<size_t>(n) * n);
  for (double& v : X) v = dist(gen);
  for (int32_t u = 0; u < n; ++u)
    for (int32_t v = 0; v < n; ++v) {
      double s = 0;
      for (int32_t t = 0; t < d; ++t) s += (X[t + d * u] - X[t + d * v]) * (X[t + d * u] - X[t + d * v]);
      A[u + static_cast<size_t>(n) * v] = std::exp(-s / (2 * sigma * sigma));
    }
  return A;
}

const double EXAMPLE_MATRIX[9] = {1, 0.606531, 0.011109, 0.606531, 1, 0.135335, 0.011109, 0.135335, 1};

std::vector<double> example_matrix() {
  // The exact Gaussian values of samples 0, 1, 3 with sigma 1.
  const double x[3] = {0, 1, 3};
  std::vector<double> A(9);
  for (int u = 0; u < 3; ++u)
    for (int v = 0; v < 3; ++v) A[u + 3 * v] = std::exp(-(x[u] - x[v]) * (x[u] - x[v]) / 2);
  return A;
}

TEST(IcfMatrix, WorkedExample) {
  auto A = example_matrix();
  for (int k = 0; k < 9; ++k) ASSERT_NEAR(A[k], EXAMPLE_MATRIX[k], 5e-7);
  std::vector<double> G(9, 0.0);
  auto r = lowrank::icf_matrix(A.data(), 3, 0.25, 3, G.data());
  EXPECT_EQ(r.rank, 2);
  EXPECT_EQ(r.perm, (std::vector<int32_t>{0, 2, 1}));
  EXPECT_EQ(r.trace, 3.0);
  const double expected[9] = {1, 0.011109, 0.606531, 0, 0.999938, 0.128605, 0, 0, 0};
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(G[k], expected[k], 5e-7) << k;
  for (int k = 6; k < 9; ++k) EXPECT_EQ(G[k], 0.0);
  EXPECT_NEAR(r.remaining / r.trace, 0.205194, 5e-7);
}

TEST(IcfMatrix, MatchesLiteralProcedureBitForBit) {
  struct Case { int32_t d, n; double sigma, tol; int32_t max_rank; unsigned seed; };
  for (const Case& c : {Case{2, 60, 0.8, 0.0, 60, 1}, Case{3, 150, 1.0, 1e-6, 40, 2}, Case{5, 200, 2.0, 1e-9, 250, 3},
                        Case{1, 70, 0.3, 1e-3, 10, 4}}) {
    auto A = gaussian_matrix(c.d, c.n, c.sigma, c.seed);
    auto ref = lowrank_ref::icf_matrix(A.data(), c.n, c.tol, c.max_rank);
    std::vector<double> G(static_cast<size_t>(c.n) * c.max_rank, 0.0);
    auto got = lowrank::icf_matrix(A.data(), c.n, c.tol, c.max_rank, G.data());
    ASSERT_EQ(got.rank, ref.rank) << c.n;
    EXPECT_EQ(got.perm, ref.perm);
    EXPECT_EQ(std::memcmp(G.data(), ref.G.data(), G.size() * sizeof(double)), 0) << c.n;
    EXPECT_EQ(std::memcmp(&got.remaining, &ref.remaining, sizeof(double)), 0);
    EXPECT_EQ(got.trace, ref.trace);
  }
}

TEST(IcfMatrix, StopsByRankAndReproducesMatrix) {
  const int32_t n = 120;
  auto A = gaussian_matrix(3, n, 1.5, 9);
  // Rank bound 1: the first column is row 0 of A over sqrt(A[0,0]).
  std::vector<double> G1(n, 0.0);
  auto r1 = lowrank::icf_matrix(A.data(), n, 0.0, 1, G1.data());
  ASSERT_EQ(r1.rank, 1);
  EXPECT_EQ(G1[0], 1.0);
  EXPECT_EQ(G1[5], A[0 + static_cast<size_t>(n) * r1.perm[5]] / 1.0);
  // Relative stop: G·G' matches A on the pivoted order within the threshold.
  const double tol = 1e-6;
  std::vector<double> G(static_cast<size_t>(n) * n, 0.0);
  auto r = lowrank::icf_matrix(A.data(), n, tol, n, G.data());
  ASSERT_LT(r.rank, n);
  EXPECT_LE(r.remaining, r.trace * tol);
  double worst = 0;
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double approx = 0;
      for (int32_t j = 0; j < r.rank; ++j) approx += G[a + j * n] * G[b + j * n];
      worst = std::max(worst, std::fabs(A[r.perm[a] + static_cast<size_t>(n) * r.perm[b]] - approx));
    }
  EXPECT_LE(worst, r.trace * tol);
}

TEST(IcfMatrix, EdgeCases) {
  auto A = example_matrix();
  std::vector<double> G(12, 0.0);
  // max_rank 0 and tol >= 1: no step, remaining = t0.
  auto none = lowrank::icf_matrix(A.data(), 3, 0.0, 0, G.data());
  EXPECT_EQ(none.rank, 0);
  EXPECT_EQ(none.remaining / none.trace, 1.0);
  EXPECT_EQ(lowrank::icf_matrix(A.data(), 3, 1.0, 3, G.data()).rank, 0);
  // max_rank above n: at most n steps, the rest of the columns stay zero.
  auto all = lowrank::icf_matrix(A.data(), 3, 0.0, 4, G.data());
  EXPECT_EQ(all.rank, 3);
  EXPECT_EQ(all.remaining, 0.0);
  for (int k = 9; k < 12; ++k) EXPECT_EQ(G[k], 0.0);
  // Zero trace: NaN ratio, no step.
  const double Z[4] = {0, 0, 0, 0};
  auto z = lowrank::icf_matrix(Z, 2, 0.5, 2, G.data());
  EXPECT_EQ(z.rank, 0);
  EXPECT_TRUE(std::isnan(z.remaining / z.trace));
  // Zero diagonal at sample 0 of a PSD matrix: one step, NaN remaining trace.
  const double P[9] = {0, 0, 0, 0, 2, 1, 0, 1, 2};
  std::fill(G.begin(), G.end(), 0.0);
  auto p = lowrank::icf_matrix(P, 3, 0.1, 3, G.data());
  EXPECT_EQ(p.rank, 1);
  EXPECT_EQ(G[0], 0.0);
  EXPECT_TRUE(std::isnan(G[1]));
  EXPECT_TRUE(std::isnan(p.remaining));
  // Only the diagonal and the pivots' rows are read: changing the lower
  // triangle (the columns of the pivots below them) changes nothing.
  auto B = example_matrix();
  std::vector<double> G2(9, 0.0), G3(9, 0.0);
  auto rb = lowrank::icf_matrix(B.data(), 3, 0.25, 2, G2.data());
  B[2 + 3 * 0] = 17;  // row 2, column 0: pivot 0's column, never read
  B[1 + 3 * 2] = -4;  // row 1, column 2: sample 1 is never a pivot
  auto rc = lowrank::icf_matrix(B.data(), 3, 0.25, 2, G3.data());
  EXPECT_EQ(rb.perm, rc.perm);
  EXPECT_EQ(G2, G3);
  // n = 0.
  auto e = lowrank::icf_matrix(nullptr, 0, 0.1, 3, nullptr);
  EXPECT_EQ(e.rank, 0);
  EXPECT_TRUE(std::isnan(e.remaining / e.trace));
}

TEST(IcfMatrixEntry, OutputsAndSlots) {
  auto A = example_matrix();
  auto r = standin::call("icf_matrix", 4, {standin::real(3, 3, A), standin::scalar(0.25), standin::scalar(3)});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(mxGetM(r.out(0)), 3u);
  EXPECT_EQ(mxGetN(r.out(0)), 3u);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{1, 3, 2}));
  EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{2}));
  EXPECT_NEAR(standin::doubles(r.out(3))[0], 0.205194, 5e-7);
  EXPECT_EQ(r.arrays_reclaimed, 0);
  for (int nlhs : {0, 1, 2, 3}) {
    auto s = standin::call("icf_matrix", nlhs, {standin::real(3, 3, A), standin::scalar(0.25), standin::scalar(3.9)});
    ASSERT_TRUE(s.ok);
    EXPECT_TRUE(s.clean()) << nlhs;
    EXPECT_EQ(s.outputs.size(), static_cast<size_t>(nlhs < 1 ? 1 : nlhs));
    EXPECT_EQ(standin::doubles(s.out(0)), standin::doubles(r.out(0)));
  }
  // max_rank above n keeps max_rank columns; n = 0 gives a 0 × max_rank factor.
  auto wide = standin::call("icf_matrix", 4, {standin::real(3, 3, A), standin::scalar(0), standin::scalar(5)});
  EXPECT_EQ(mxGetN(wide.out(0)), 5u);
  EXPECT_EQ(standin::doubles(wide.out(2))[0], 3.0);
  auto empty = standin::call("icf_matrix", 4, {standin::real(0, 0), standin::scalar(0.1), standin::scalar(2)});
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(mxGetM(empty.out(0)), 0u);
  EXPECT_EQ(mxGetN(empty.out(0)), 2u);
  EXPECT_EQ(mxGetN(empty.out(1)), 0u);
  EXPECT_TRUE(std::isnan(standin::doubles(empty.out(3))[0]));
}

TEST(IcfMatrixEntry, BadInputIsRefusedWithIdentifier) {
  auto A = example_matrix();
  struct Case { const char* id; Array a, tol, rank; };
  std::vector<Case> cases;
  cases.push_back({"icf_matrix:notSquare", standin::real(2, 3, {1, 0, 0, 1, 0, 0}), standin::scalar(0.1), standin::scalar(2)});
  cases.push_back({"icf_matrix:notSquare", standin::real(3, 2, {1, 0, 0, 0, 1, 0}), standin::scalar(0.1), standin::scalar(2)});
  cases.push_back({"icf_matrix:negativeCount", standin::real(3, 3, A), standin::scalar(0.1), standin::scalar(-1)});
  cases.push_back({"icf_matrix:badCount", standin::real(3, 3, A), standin::scalar(0.1), standin::scalar(std::nan(""))});
  cases.push_back({"icf_matrix:negativeThreshold", standin::real(3, 3, A), standin::scalar(-0.1), standin::scalar(4)});
  cases.push_back({"icf_matrix:notDouble", standin::single(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}), standin::scalar(0.1), standin::scalar(2)});
  cases.push_back({"icf_matrix:notDouble", standin::sparse(3, 3, {0}, {0}, {1.0}), standin::scalar(0.1), standin::scalar(2)});
  cases.push_back({"icf_matrix:emptyInput", standin::real(3, 3, A), standin::real(1, 0), standin::scalar(2)});
  for (Case& c : cases) {
    auto r = standin::call("icf_matrix", 4, {std::move(c.a), std::move(c.tol), std::move(c.rank)});
    EXPECT_FALSE(r.ok) << c.id;
    EXPECT_EQ(r.error_id, c.id);
    EXPECT_TRUE(r.clean()) << c.id;
  }
  EXPECT_EQ(standin::call("icf_matrix", 4, {standin::real(3, 3, A), standin::scalar(0.1)}).error_id,
            "icf_matrix:nargin");
  // A negative threshold is within bounds while max_rank <= n.
  auto ok = standin::call("icf_matrix", 4, {standin::real(3, 3, A), standin::scalar(-0.1), standin::scalar(3)});
  ASSERT_TRUE(ok.ok);
  EXPECT_EQ(standin::doubles(ok.out(2))[0], 3.0);
}

}  // namespace
