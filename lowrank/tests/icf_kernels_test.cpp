// icf_dotpower and icf_ortho: worked examples, bit-exact agreement with the
// literal procedure, the factor against the kernel matrix, edge cases and
// bad input through the stand-in host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <random>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "host/standin/standin.h"
#include "lowrank/dotpower.h"
#include "lowrank/memory.h"
#include "lowrank/ortho.h"
#include "testing/icf_reference.h"
#include "testing/test_util.h"

namespace {

using eegtest::random_data;
using eegtest::same_bits;
using standin::Array;

// The tests below run their calls in a child process under an address-space
// limit (setrlimit, Linux only), where a request that got through would fail
// instead of exhausting the machine.
#if defined(__SANITIZE_ADDRESS__)
#define NO_ADDRESS_LIMIT "an address-space limit does not go with the sanitizer's shadow memory"
#elif defined(_WIN32)
#define NO_ADDRESS_LIMIT "the address-space limit is POSIX's setrlimit: Linux only"
#else
// Limits the process to `gib` GiB of address space; exits with 3 when it
// cannot.
void limit_address_space(int gib) {
  struct rlimit lim;
  lim.rlim_cur = lim.rlim_max = rlim_t(gib) << 30;
  if (setrlimit(RLIMIT_AS, &lim) != 0) std::exit(3);
}
#endif

// Largest |K - G·G'| over the pivoted order and the unexplained trace.
template <class Kernel>
void check_reproduces(const lowrank::IcfResult& r, int32_t n, Kernel K, double tol) {
  std::vector<int> seen(static_cast<size_t>(n), 0);
  for (int32_t s : r.perm) ++seen[static_cast<size_t>(s)];
  for (int c : seen) ASSERT_EQ(c, 1);
  double trace_left = 0, worst = 0;
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double approx = 0;
      for (int32_t j = 0; j < r.rank; ++j) approx += r.factor[a + j * n] * r.factor[b + j * n];
      const double k = K(r.perm[a], r.perm[b]);
      if (a == b) trace_left += k - approx;
      worst = std::max(worst, std::fabs(k - approx));
    }
  EXPECT_LE(trace_left, tol * 1.0001 + 1e-9);
  EXPECT_LE(worst, tol + 1e-9);
}

// ---- polynomial kernel ----

TEST(IcfDotpower, WorkedExample) {
  const double X[] = {1, 2, 3};
  EXPECT_EQ(lowrank::dotpower_diagonal(X, 1, 3, 1, 1, 2), (std::vector<double>{4, 25, 100}));
  auto r = lowrank::icf_dotpower(X, 1, 3, 1.0, 1.0, 2, 0.5, 30);
  ASSERT_EQ(r.rank, 2);
  EXPECT_EQ(r.perm, (std::vector<int32_t>{0, 2, 1}));
  const double expected[6] = {2, 8, 4.5, 0, 6, 2.166667};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(r.factor[k], expected[k], 5e-7) << k;
  EXPECT_EQ(r.factor[0], 2.0);
  EXPECT_EQ(r.factor[1], 8.0);
  EXPECT_EQ(r.factor[4], 6.0);
}

TEST(IcfDotpower, MatchesLiteralProcedureBitForBit) {
  struct Case { int32_t d, n; double offset, scale; int32_t degree; double tol; unsigned seed; };
  for (const Case& c : {Case{1, 50, 1.0, 1.0, 3, 0.0, 1}, Case{3, 200, 1.0, 0.5, 2, 1e-9, 2},
                        Case{6, 301, 0.3, 0.2, 4, 1e-4, 3}, Case{2, 90, -0.5, 1.0, 3, 0.0, 4},
                        Case{5, 120, 2.0, 0.1, 1, 0.0, 5}}) {
    auto X = random_data(static_cast<size_t>(c.d) * c.n, c.seed);
    for (int32_t v = 0; v + 5 < c.n; v += 11)  // repeats: zero residuals and ties
      std::memcpy(&X[static_cast<size_t>(v + 5) * c.d], &X[static_cast<size_t>(v) * c.d], c.d * sizeof(double));
    auto ref = lowrank_ref::icf_dotpower(X.data(), c.d, c.n, c.offset, c.scale, c.degree, c.tol, 30 * c.d);
    for (int32_t capacity : {2, 3, 30 * c.d, c.n + 1}) {
      auto got = lowrank::icf_dotpower(X.data(), c.d, c.n, c.offset, c.scale, c.degree, c.tol, capacity);
      ASSERT_EQ(got.rank, ref.rank) << c.n << " capacity " << capacity;
      EXPECT_EQ(got.perm, ref.perm);
      EXPECT_TRUE(same_bits(ref.G, got.factor.data(), ref.G.size())) << c.n << " capacity " << capacity;
    }
  }
}

TEST(IcfDotpower, FactorReproducesKernelWithinStopRule) {
  const int32_t d = 3, n = 150;
  auto X = random_data(d * n, 7);
  const double tol = 1e-6;
  // Degree 2 in 3 dimensions: rank at most 10, positive semidefinite.
  auto r = lowrank::icf_dotpower(X.data(), d, n, 1.0, 0.5, 2, tol, 4);
  EXPECT_LE(r.rank, 10);
  check_reproduces(r, n, [&](int32_t u, int32_t v) {
    double s = 0;
    for (int32_t t = 0; t < d; ++t) s += X[t + d * u] * X[t + d * v];
    return (0.5 * s + 1.0) * (0.5 * s + 1.0);
  }, tol);
}

TEST(IcfDotpower, EdgeCases) {
  auto X = random_data(2 * 20, 9);
  // Degree 0: everything is 1, one step explains it all.
  auto zero = lowrank::icf_dotpower(X.data(), 2, 20, 0.7, 3.0, 0, 0.0, 30);
  ASSERT_EQ(zero.rank, 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(zero.factor[i], 1.0);
  // n = 1: one step whatever the diagonal, a NaN for a negative one.
  const double one[] = {2};
  auto r1 = lowrank::icf_dotpower(one, 1, 1, -10.0, 1.0, 1, 0.5, 30);
  ASSERT_EQ(r1.rank, 1);
  EXPECT_TRUE(std::isnan(r1.factor[0]));
  // A trace below tol < n still makes one step; tol >= n makes none.
  const double small[] = {0.01, 0.02, 0.03};
  EXPECT_EQ(lowrank::icf_dotpower(small, 1, 3, 0.0, 1.0, 2, 2.5, 30).rank, 1);
  EXPECT_EQ(lowrank::icf_dotpower(X.data(), 2, 20, 1.0, 1.0, 2, 20.0, 30).rank, 0);
  // A zero sample 0 with offset 0: G[0,0] = 0, NaN column, stop after one step.
  std::vector<double> Z = X;
  Z[0] = Z[1] = 0;
  auto zs = lowrank::icf_dotpower(Z.data(), 2, 20, 0.0, 1.0, 2, 0.0, 30);
  ASSERT_EQ(zs.rank, 1);
  EXPECT_EQ(zs.factor[0], 0.0);
  EXPECT_TRUE(std::isnan(zs.factor[1]));
  // n = 0.
  EXPECT_EQ(lowrank::icf_dotpower(nullptr, 1, 0, 1.0, 1.0, 2, 0.0, 1).rank, 0);
}

TEST(IcfDotpowerEntry, ExampleTruncationAndSlots) {
  auto call = [](int nlhs, double degree, double tol, std::vector<double> extra = {}) {
    std::vector<Array> in;
    in.push_back(standin::real(1, 3, {1, 2, 3}));
    in.push_back(standin::scalar(1));
    in.push_back(standin::scalar(1));
    in.push_back(standin::scalar(degree));
    in.push_back(standin::scalar(tol));
    for (double e : extra) in.push_back(standin::scalar(e));
    return standin::call("icf_dotpower", nlhs, in);
  };
  auto r = call(2, 2, 0.5);
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(mxGetM(r.out(0)), 3u);
  EXPECT_EQ(mxGetN(r.out(0)), 2u);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{0, 2, 1}));
  EXPECT_EQ(r.printed, "");
  // 2.9 acts as 2; expected_rank and ignored extra inputs change nothing.
  for (auto& other : {call(2, 2.9, 0.5), call(2, 2, 0.5, {1}), call(2, 2, 0.5, {0.6, 99})}) {
    ASSERT_TRUE(other.ok);
    EXPECT_EQ(standin::doubles(other.out(0)), standin::doubles(r.out(0)));
    EXPECT_EQ(standin::doubles(other.out(1)), standin::doubles(r.out(1)));
  }
  auto zero = call(0, 2, 0.5);
  ASSERT_TRUE(zero.ok);
  EXPECT_TRUE(zero.clean());
  EXPECT_EQ(zero.outputs.size(), 1u);
}

TEST(IcfDotpowerEntry, BadInputIsRefusedWithIdentifier) {
  auto base = [] {
    std::vector<Array> in;
    in.push_back(standin::real(2, 3, {1, 2, 3, 4, 5, 6}));
    for (double v : {1.0, 1.0, 2.0, 0.1}) in.push_back(standin::scalar(v));
    return in;
  };
  struct Case { const char* id; size_t slot; Array value; };
  std::vector<Case> cases;
  cases.push_back({"icf_dotpower:notDouble", 0, standin::single(1, 3, {1, 2, 3})});
  cases.push_back({"icf_dotpower:notDouble", 0, standin::complex(1, 3)});
  cases.push_back({"icf_dotpower:notDouble", 3, standin::int32(1, 1, {2})});
  cases.push_back({"icf_dotpower:emptyInput", 2, standin::real(0, 0)});
  cases.push_back({"icf_dotpower:noDimensions", 0, standin::real(0, 3)});
  cases.push_back({"icf_dotpower:negativeTol", 4, standin::scalar(-1)});
  cases.push_back({"icf_dotpower:badDegree", 3, standin::scalar(std::nan(""))});
  cases.push_back({"icf_dotpower:badDegree", 3, standin::scalar(3e9)});
  cases.push_back({"icf_dotpower:negativeCount", 5, standin::scalar(-3)});
  for (Case& c : cases) {
    auto in = base();
    if (c.slot == in.size()) in.push_back(nullptr);
    in[c.slot] = std::move(c.value);
    auto r = standin::call("icf_dotpower", 2, in);
    EXPECT_FALSE(r.ok) << c.id;
    EXPECT_EQ(r.error_id, c.id);
    EXPECT_TRUE(r.clean()) << c.id;
  }
  auto in = base();
  in.pop_back();
  EXPECT_EQ(standin::call("icf_dotpower", 2, in).error_id, "icf_dotpower:nargin");
}

// ---- Hermite-type kernel ----

TEST(IcfOrtho, WorkedExample) {
  const double x[] = {0, 1};
  auto table = lowrank::ortho_table(x, 2, 1.0, 2);
  const double h[6] = {1, 0, -2, 0.606531, 1.213061, 1.213061};  // sample by sample
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(table[k], h[k], 5e-7) << k;
  auto kd = lowrank::ortho_diagonal(table, 2, 2);
  EXPECT_EQ(kd[0], 1.5);
  EXPECT_NEAR(kd[1], 1.287578, 5e-7);
  auto r = lowrank::icf_ortho(x, 2, 1.0, 2, 0.0, 30);
  ASSERT_EQ(r.rank, 2);
  EXPECT_EQ(r.perm, (std::vector<int32_t>{0, 1}));
  EXPECT_NEAR(r.factor[0], 1.224745, 5e-7);
  EXPECT_NEAR(r.factor[1], 0.247615, 5e-7);
  EXPECT_EQ(r.factor[2], 0.0);
  EXPECT_NEAR(r.factor[3], 1.107368, 5e-7);
  // The entry of a sample with itself is its diagonal exactly.
  EXPECT_EQ(r.factor[0], std::sqrt(1.5));
}

TEST(IcfOrtho, MatchesLiteralProcedureBitForBit) {
  struct Case { int32_t n; double sigma; int32_t m; double tol; unsigned seed; };
  for (const Case& c : {Case{40, 1.0, 1, 0.0, 1}, Case{200, 0.7, 5, 1e-12, 2}, Case{333, 1.5, 12, 1e-8, 3},
                        Case{64, 2.0, 40, 0.0, 4}}) {
    auto x = random_data(static_cast<size_t>(c.n), c.seed, 1.5);
    for (int32_t v = 0; v + 3 < c.n; v += 13) x[v + 3] = x[v];
    auto ref = lowrank_ref::icf_ortho(x.data(), c.n, c.sigma, c.m, c.tol, 30);
    for (int32_t capacity : {2, 30, c.n + 1}) {
      auto got = lowrank::icf_ortho(x.data(), c.n, c.sigma, c.m, c.tol, capacity);
      ASSERT_EQ(got.rank, ref.rank) << c.n << " capacity " << capacity;
      EXPECT_EQ(got.perm, ref.perm);
      EXPECT_TRUE(same_bits(ref.G, got.factor.data(), ref.G.size())) << c.n << " capacity " << capacity;
    }
  }
}

TEST(IcfOrtho, FactorReproducesKernelWithinStopRule) {
  const int32_t n = 200, m = 6;
  auto x = random_data(n, 5);
  const double tol = 1e-9;
  auto r = lowrank::icf_ortho(x.data(), n, 1.0, m, tol, 30);
  EXPECT_LE(r.rank, m + 1);
  auto h = [](double v, int q) {  // Hermite function by the textbook recurrence
    double g = std::exp(-v * v / 2), a = 1, b = 2 * v;
    if (q == 0) return g;
    for (int k = 2; k <= q; ++k) {
      double c = 2 * v * b - 2 * (k - 1) * a;
      a = b;
      b = c;
    }
    return g * b;
  };
  check_reproduces(r, n, [&](int32_t u, int32_t v) {
    double s = 0, N = 1;
    for (int q = 0; q <= m; ++q) {
      if (q) N *= 2 * q;
      s += h(x[u], q) * h(x[v], q) / N;
    }
    return s;
  }, tol);
}

TEST(IcfOrtho, EdgeCases) {
  // m = 1: g(x) g(y) (1 + 2xy).
  const double two[] = {0.5, -1.25};
  auto r = lowrank::icf_ortho(two, 2, 1.0, 1, 0.0, 30);
  const double g0 = std::exp(-0.125), g1 = std::exp(-0.78125);
  EXPECT_NEAR(r.factor[0] * r.factor[1], g0 * g1 * (1 + 2 * 0.5 * -1.25), 1e-15);
  // One sample at 0 with m = 2: diagonal 1.5.
  const double zero[] = {0};
  auto z = lowrank::icf_ortho(zero, 1, 1.0, 2, 0.5, 30);
  ASSERT_EQ(z.rank, 1);
  EXPECT_EQ(z.factor[0], std::sqrt(1.5));
  // tol >= n: no step even though the trace exceeds tol.
  EXPECT_EQ(lowrank::icf_ortho(zero, 1, 1.0, 2, 1.0, 30).rank, 0);
  // sigma = 0 with a sample at 0: NaN entries, stop after one step.
  const double s0[] = {0, 1, 2};
  EXPECT_EQ(lowrank::icf_ortho(s0, 3, 0.0, 2, 0.0, 30).rank, 1);
  // A rank beyond 29 grows the default buffer without changing anything.
  auto x = random_data(80, 8, 2.0);
  auto big = lowrank::icf_ortho(x.data(), 80, 3.0, 45, 0.0, 30);
  auto ref = lowrank_ref::icf_ortho(x.data(), 80, 3.0, 45, 0.0, 81);
  EXPECT_GT(big.rank, 29);
  ASSERT_EQ(big.rank, ref.rank);
  EXPECT_TRUE(same_bits(ref.G, big.factor.data(), ref.G.size()));
}

// No samples with a huge order is a plain empty result: nothing may be sized
// by the order alone.  The child runs with 2 GiB of address space, far below
// the 16 GiB that order-sized buffers would take.
TEST(IcfOrtho, NoSamplesWithHugeOrderAllocatesNothingByOrder) {
#if defined(NO_ADDRESS_LIMIT)
  GTEST_SKIP() << NO_ADDRESS_LIMIT;
#else
  EXPECT_EXIT(
      {
        limit_address_space(2);
        auto r = lowrank::icf_ortho(nullptr, 0, 1.0, 2147483646, 0.0, 1);
        if (r.rank != 0 || !r.perm.empty() || !r.factor.empty()) std::exit(1);
        auto e = standin::call("icf_ortho", 2, {standin::real(1, 0), standin::scalar(1), standin::scalar(2147483646),
                                                standin::scalar(0)});
        if (!e.ok || !e.clean() || mxGetM(e.out(0)) != 0 || mxGetN(e.out(0)) != 0 || mxGetN(e.out(1)) != 0)
          std::exit(2);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

// A request whose work buffers exceed the machine's physical memory is
// refused before anything is allocated, with <deliverable>:outOfMemory: the
// factor sized by expected_rank, the Hermite table sized by the order,
// icf_matrix's factor sized by max_rank.  The child runs with
// 4 GiB of address space, so that a request that got through would fail
// there (with another message) rather than exhaust the machine.
TEST(IcfEntries, BuffersBeyondPhysicalMemoryAreRefusedUpFront) {
#if defined(NO_ADDRESS_LIMIT)
  GTEST_SKIP() << NO_ADDRESS_LIMIT;
#else
  EXPECT_EXIT(
      {
        limit_address_space(4);
        auto refused = [](const standin::Result& r, const std::string& id) {
          return !r.ok && r.error_id == id && r.clean() && r.error_text.find("physical memory") != std::string::npos;
        };
        // 200000 samples and a factor of 200001 columns: 320 GB.
        std::vector<double> x(200000, 0.5);
        auto rbf = standin::call("icf_rbf", 2, {standin::real(1, 200000, x), standin::scalar(1), standin::scalar(0),
                                                standin::scalar(1e9)});
        if (!refused(rbf, "icf_rbf:outOfMemory")) std::exit(10);
        auto dot = standin::call("icf_dotpower", 2, {standin::real(1, 200000, x), standin::scalar(1), standin::scalar(1),
                                                     standin::scalar(2), standin::scalar(0), standin::scalar(1e9)});
        if (!refused(dot, "icf_dotpower:outOfMemory")) std::exit(11);
        // A 100 × 100 matrix and 2e9 factor columns: 1.6 TB.
        auto mat = standin::call("icf_matrix", 4, {standin::real(100, 100, std::vector<double>(10000, 0.0)),
                                                   standin::scalar(0), standin::scalar(2e9)});
        if (!refused(mat, "icf_matrix:outOfMemory")) std::exit(12);
        // One sample of order 2147483646: a table of 2^31 doubles, 17 GB (the
        // normalizers stop at the first infinite one).  Refused up front on a
        // machine with less; on a larger one the table cannot be had under
        // the limit: the same identifier either way, and the host lives.
        auto ortho = standin::call("icf_ortho", 2, {standin::scalar(0.5), standin::scalar(1),
                                                    standin::scalar(2147483646), standin::scalar(0.5)});
        if (lowrank::physical_memory_bytes() < (uint64_t(17) << 30) ? !refused(ortho, "icf_ortho:outOfMemory")
                                                                      : (ortho.ok || ortho.error_id != "icf_ortho:outOfMemory" || !ortho.clean()))
          std::exit(13);
        // Within memory the same calls work: a small expected_rank.
        auto small = standin::call("icf_rbf", 2, {standin::real(1, 200000, x), standin::scalar(1),
                                                  standin::scalar(199999), standin::scalar(10)});
        if (!small.ok || mxGetN(small.out(0)) != 1) std::exit(14);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

TEST(IcfOrthoEntry, ExampleTruncationAndBadInput) {
  auto call = [](double order, double tol, Array x = nullptr) {
    std::vector<Array> in;
    in.push_back(x ? std::move(x) : standin::real(1, 2, {0, 1}));
    in.push_back(standin::scalar(1));
    in.push_back(standin::scalar(order));
    in.push_back(standin::scalar(tol));
    return standin::call("icf_ortho", 2, in);
  };
  auto r = call(2, 0);
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(mxGetN(r.out(0)), 2u);
  EXPECT_NEAR(standin::doubles(r.out(0))[3], 1.107368, 5e-7);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{0, 1}));
  auto frac = call(2.7, 0);
  EXPECT_EQ(standin::doubles(frac.out(0)), standin::doubles(r.out(0)));
  // A column's values are samples as a row's are (it was read as one sample,
  // without an error); a matrix is refused.
  auto col = call(2, 0, standin::real(2, 1, {0, 1}));
  ASSERT_TRUE(col.ok);
  EXPECT_EQ(standin::doubles(col.out(0)), standin::doubles(r.out(0)));
  EXPECT_EQ(standin::doubles(col.out(1)), standin::doubles(r.out(1)));
  EXPECT_EQ(call(2, 0, standin::real(2, 2, {0, 1, 2, 3})).error_id, "icf_ortho:notVector");

  EXPECT_EQ(call(0.9, 0).error_id, "icf_ortho:badOrder");
  EXPECT_EQ(call(-3, 0).error_id, "icf_ortho:badOrder");
  EXPECT_EQ(call(std::nan(""), 0).error_id, "icf_ortho:badOrder");
  EXPECT_EQ(call(3e9, 0).error_id, "icf_ortho:tooLarge");
  EXPECT_EQ(call(2, -1).error_id, "icf_ortho:negativeTol");
  EXPECT_EQ(call(2, 0, standin::real(0, 2)).error_id, "icf_ortho:noDimensions");
  EXPECT_EQ(call(2, 0, standin::single(1, 2, {0, 1})).error_id, "icf_ortho:notDouble");
  auto few = standin::call("icf_ortho", 2, {standin::real(1, 2, {0, 1}), standin::scalar(1), standin::scalar(2)});
  EXPECT_EQ(few.error_id, "icf_ortho:nargin");
  EXPECT_TRUE(few.clean());
}

}  // namespace
