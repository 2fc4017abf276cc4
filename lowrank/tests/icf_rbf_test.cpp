#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "host/standin/standin.h"
#include "lowrank/rbf.h"
#include "testing/icf_reference.h"
#include "testing/test_util.h"

namespace {

using eegtest::random_data;
using eegtest::same_bits;
using standin::Array;



TEST(IcfRbf, WorkedExample) {
  const double X[] = {0, 1, 3};
  auto r = lowrank::icf_rbf(X, 1, 3, 1.0, 0.01, 30);
  ASSERT_EQ(r.rank, 3);
  EXPECT_EQ(r.perm, (std::vector<int32_t>{0, 2, 1}));
  const double expected[9] = {1, 0.011109, 0.606531, 0, 0.999938, 0.128605, 0, 0, 0.784590};
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(r.factor[k], expected[k], 5e-7) << k;
  EXPECT_EQ(r.factor[0], 1.0);
  EXPECT_EQ(r.factor[3], 0.0);  // above the diagonal

  auto r2 = lowrank::icf_rbf(X, 1, 3, 1.0, 0.7, 30);
  ASSERT_EQ(r2.rank, 2);
  EXPECT_EQ(std::memcmp(r.factor.data(), r2.factor.data(), 6 * sizeof(double)), 0);
}

TEST(IcfRbf, MatchesLiteralProcedureBitForBit) {
  // Several shapes, tolerances and capacities, including ones that make the
  // buffer grow many times (capacity 2) and rank-deficient data (repeats).
  struct Case { int32_t d, n; double sigma, tol; unsigned seed; };
  for (const Case& c : {Case{1, 40, 0.5, 0.0, 1}, Case{3, 200, 1.0, 1e-9, 2}, Case{7, 333, 2.5, 1e-3, 3},
                        Case{20, 500, 4.0, 1e-6, 4}, Case{2, 64, 0.3, 0.0, 5}}) {
    auto X = random_data(static_cast<size_t>(c.d) * c.n, c.seed);
    // Repeat a few samples so that zero residuals and ties occur.
    for (int32_t v = 0; v + 7 < c.n; v += 9)
      std::memcpy(&X[static_cast<size_t>(v + 7) * c.d], &X[static_cast<size_t>(v) * c.d], c.d * sizeof(double));
    auto ref = lowrank_ref::icf_rbf(X.data(), c.d, c.n, c.sigma, c.tol, 30 * c.d);
    for (int32_t capacity : {-5, 1, 2, 3, 30 * c.d, c.n + 1}) {
      auto got = lowrank::icf_rbf(X.data(), c.d, c.n, c.sigma, c.tol, capacity);
      ASSERT_EQ(got.rank, ref.rank) << c.n << " capacity " << capacity;
      EXPECT_EQ(got.perm, ref.perm);
      EXPECT_TRUE(same_bits(ref.G, got.factor.data(), ref.G.size())) << "n=" << c.n << " capacity " << capacity;
    }
  }
}

TEST(IcfRbf, FactorReproducesKernelWithinStopRule) {
  const int32_t d = 4, n = 300;
  auto X = random_data(d * n, 11);
  const double tol = 1e-4;
  auto r = lowrank::icf_rbf(X.data(), d, n, 1.2, tol, 10);
  ASSERT_GT(r.rank, 0);
  std::vector<int> seen(n, 0);
  for (int32_t s : r.perm) ++seen[s];
  for (int c : seen) EXPECT_EQ(c, 1);
  double trace_left = 0, worst = 0;
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double s = 0;
      for (int32_t t = 0; t < d; ++t) {
        double diff = X[t + d * r.perm[a]] - X[t + d * r.perm[b]];
        s += diff * diff;
      }
      double k = std::exp(-s / (2 * 1.2 * 1.2)), approx = 0;
      for (int32_t j = 0; j < r.rank; ++j) approx += r.factor[a + j * n] * r.factor[b + j * n];
      if (a == b) trace_left += k - approx;
      worst = std::max(worst, std::fabs(k - approx));
    }
  EXPECT_LE(trace_left, tol * 1.0001);
  EXPECT_LE(worst, tol);  // |K - GG'| entries are bounded by the residual trace for a PSD remainder
}

TEST(IcfRbf, EdgeCases) {
  auto empty = lowrank::icf_rbf(nullptr, 1, 0, 1.0, 0.0, 1);
  EXPECT_EQ(empty.rank, 0);
  const double one[] = {5};
  EXPECT_EQ(lowrank::icf_rbf(one, 1, 1, 1.0, 0.5, 30).rank, 1);
  EXPECT_EQ(lowrank::icf_rbf(one, 1, 1, 1.0, 1.0, 30).rank, 0);
  // sigma = 0: entries between distinct samples are 0, identical samples NaN.
  const double two[] = {0, 1, 1};
  auto z = lowrank::icf_rbf(two, 1, 3, 0.0, 0.0, 30);
  EXPECT_GE(z.rank, 1);
  // NaN tolerance: no step.
  EXPECT_EQ(lowrank::icf_rbf(two, 1, 3, 1.0, std::nan(""), 30).rank, 0);
}

// The entry through the stand-in host.
TEST(IcfRbfEntry, OutputsAndSlots) {
  auto r = standin::call("icf_rbf", 2, {standin::real(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(0.01)});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(mxGetM(r.out(0)), 3u);
  EXPECT_EQ(mxGetN(r.out(0)), 3u);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{0, 2, 1}));
  EXPECT_EQ(r.printed, "");

  auto one = standin::call("icf_rbf", 1, {standin::real(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(0.01)});
  ASSERT_TRUE(one.ok);
  EXPECT_TRUE(one.clean());
  EXPECT_EQ(one.outputs.size(), 1u);
  auto zero = standin::call("icf_rbf", 0, {standin::real(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(0.01)});
  ASSERT_TRUE(zero.ok);
  EXPECT_TRUE(zero.clean());
  EXPECT_EQ(mxGetN(zero.out(0)), 3u);

  // A fourth input truncating to 0 behaves as absent; a small one as a large one.
  auto X = random_data(3 * 120, 21);
  auto base = standin::call("icf_rbf", 2, {standin::real(3, 120, X), standin::scalar(1.1), standin::scalar(1e-7)});
  for (double h : {0.7, -0.7, 1.0, 500.0}) {
    auto other = standin::call("icf_rbf", 2, {standin::real(3, 120, X), standin::scalar(1.1), standin::scalar(1e-7),
                                             standin::scalar(h)});
    ASSERT_TRUE(other.ok) << h;
    EXPECT_EQ(standin::doubles(other.out(0)), standin::doubles(base.out(0))) << h;
    EXPECT_EQ(standin::doubles(other.out(1)), standin::doubles(base.out(1))) << h;
  }
}

TEST(IcfRbfEntry, BadInputIsRefusedWithIdentifier) {
  struct Case { const char* id; std::vector<Array> in; };
  std::vector<Case> cases;
  cases.push_back({"icf_rbf:nargin", {}});
  cases.back().in.push_back(standin::real(1, 3, {0, 1, 3}));
  cases.back().in.push_back(standin::scalar(1));
  auto add = [&](const char* id, Array x, Array sigma, Array tol) {
    Case c{id, {}};
    c.in.push_back(std::move(x));
    c.in.push_back(std::move(sigma));
    c.in.push_back(std::move(tol));
    cases.push_back(std::move(c));
  };
  add("icf_rbf:notDouble", standin::single(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(0.1));
  add("icf_rbf:notDouble", standin::complex(1, 3), standin::scalar(1), standin::scalar(0.1));
  add("icf_rbf:notDouble", standin::real(1, 3, {0, 1, 3}), standin::int32(1, 1, {1}), standin::scalar(0.1));
  add("icf_rbf:notDouble", standin::sparse(1, 3, {0}, {1}, {1.0}), standin::scalar(1), standin::scalar(0.1));
  add("icf_rbf:emptyInput", standin::real(1, 3, {0, 1, 3}), standin::real(0, 0), standin::scalar(0.1));
  add("icf_rbf:noDimensions", standin::real(0, 3), standin::scalar(1), standin::scalar(0.1));
  add("icf_rbf:negativeTol", standin::real(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(-1e-3));
  for (const Case& c : cases) {
    auto r = standin::call("icf_rbf", 2, c.in);
    EXPECT_FALSE(r.ok) << c.id;
    EXPECT_EQ(r.error_id, c.id);
    EXPECT_TRUE(r.clean()) << c.id;
  }
  for (double h : {-2.0, std::nan(""), 1e12}) {
    auto r = standin::call("icf_rbf", 2, {standin::real(1, 3, {0, 1, 3}), standin::scalar(1), standin::scalar(0.1),
                                         standin::scalar(h)});
    EXPECT_FALSE(r.ok) << h;
    EXPECT_NE(r.error_id.find("icf_rbf:"), std::string::npos);
  }
  // 0 × 0 data is n = 0, not an error.
  auto r = standin::call("icf_rbf", 2, {standin::real(0, 0), standin::scalar(1), standin::scalar(0)});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_EQ(mxGetN(r.out(1)), 0u);
}

// Asking for more outputs than a factorization has is refused with an
// identifier, before any work; the largest count allowed still works.
TEST(IcfEntries, MoreOutputsThanTheFunctionHasAreRefused) {
  auto row = [] { return standin::real(1, 3, {0, 1, 3}); };
  auto s = [](double v) { return standin::scalar(v); };
  struct Case { const char* name; int most; std::vector<Array> in; };
  std::vector<Case> cases;
  cases.push_back({"icf_rbf", 2, {}});
  cases.back().in.push_back(row());
  for (double v : {1.0, 0.01}) cases.back().in.push_back(s(v));
  cases.push_back({"icf_dotpower", 2, {}});
  cases.back().in.push_back(row());
  for (double v : {1.0, 1.0, 2.0, 0.5}) cases.back().in.push_back(s(v));
  cases.push_back({"icf_ortho", 2, {}});
  cases.back().in.push_back(row());
  for (double v : {1.0, 2.0, 0.0}) cases.back().in.push_back(s(v));
  cases.push_back({"icf_matrix", 4, {}});
  cases.back().in.push_back(standin::real(2, 2, {2, 1, 1, 2}));
  for (double v : {0.0, 2.0}) cases.back().in.push_back(s(v));
  for (const Case& c : cases) {
    const std::string name = c.name;
    eegtest::expect_error(standin::call(name, c.most + 1, c.in), name + ":nargout");
    auto ok = standin::call(name, c.most, c.in);
    ASSERT_TRUE(ok.ok) << name << ": " << ok.error_text;
    EXPECT_TRUE(ok.clean()) << name;
  }
  auto r = standin::call("icf_rbf", 3, cases[0].in);
  EXPECT_EQ(r.error_text, "At most 2 outputs: [G, perm] = icf_rbf(X, sigma, tol [, expected_rank]).");
}

}  // namespace
