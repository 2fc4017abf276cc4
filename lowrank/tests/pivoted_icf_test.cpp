// The fast procedure against the literal one, bit for bit, for every way it
// can run: each instruction set this processor has, one thread and two, one
// pass per column and the candidate pool (turned on from the first step on
// which it may be, with passes of up to 3, 8 and 16 columns), at
// sizes around the vector tiles (8, 24, 32 rows), the term groups (8
// columns) and the blocks of rows (2048), ranks past the buffer's growth,
// with repeated samples (ties and zero residuals) and with NaN and infinite
// kernel values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/huge_pages.h"
#include "lowrank/dotpower.h"
#include "lowrank/matrix.h"
#include "lowrank/ortho.h"
#include "lowrank/rbf.h"
#include "testing/icf_reference.h"
#include "testing/test_util.h"

namespace {

using eegtest::random_data;

// Every way of running the procedure that this machine offers.
std::vector<lowrank::IcfOptions> all_options() {
  std::vector<lowrank::IcfOptions> out;
  for (lowrank::Isa isa : {lowrank::Isa::base, lowrank::Isa::avx2, lowrank::Isa::avx512}) {
    if (!lowrank::isa_available(isa)) continue;
    for (int threads : {1, 2})
      for (int refill : {1, 3, 8, lowrank::POOL_REFILL}) {
        lowrank::IcfOptions o;
        o.isa = isa;
        o.threads = threads;
        o.refill = refill;
        o.pool_from = 0;
        out.push_back(o);
      }
  }
  return out;
}

std::string describe(const lowrank::IcfOptions& o) {
  return std::string(lowrank::isa_name(o.isa)) + ", " + std::to_string(o.threads) + " thread(s), refill " +
         std::to_string(o.refill);
}

// n·d normal values with every ninth sample repeated seven samples later.
std::vector<double> data_with_repeats(int32_t d, int32_t n, unsigned seed) {
  auto X = random_data(static_cast<size_t>(d) * n, seed);
  for (int32_t v = 0; v + 7 < n; v += 9)
    std::memcpy(&X[static_cast<size_t>(v + 7) * d], &X[static_cast<size_t>(v) * d], d * sizeof(double));
  return X;
}

// Compares every way of running with the reference; counts in *hits the
// steps whose pivot came from the pool (so that a test can tell the pool was
// used).
template <class Run>
void expect_same_as(const lowrank_ref::Result& ref, Run&& run, const std::string& what, int64_t* hits = nullptr) {
  for (const lowrank::IcfOptions& o : all_options()) {
    lowrank::IcfStats stats;
    const lowrank::IcfResult got = run(o, &stats);
    ASSERT_EQ(got.rank, ref.rank) << what << ", " << describe(o);
    ASSERT_EQ(got.perm, ref.perm) << what << ", " << describe(o);
    ASSERT_EQ(std::memcmp(got.factor.data(), ref.G.data(), ref.G.size() * sizeof(double)), 0)
        << what << ", " << describe(o);
    EXPECT_EQ(stats.steps, ref.rank);
    EXPECT_GE(stats.columns, stats.steps);
    if (hits) *hits += stats.steps - stats.passes;
  }
}

TEST(PivotedIcf, RbfMatchesLiteralProcedure) {
  struct Case { int32_t d, n; double sigma, tol; int32_t capacity; };
  int64_t hits = 0;
  for (const Case& c : {Case{1, 1, 1.0, 0.0, 2}, Case{3, 7, 1.0, 0.0, 2}, Case{2, 8, 0.7, 0.0, 3},
                        Case{5, 9, 1.5, 0.0, 30}, Case{4, 25, 0.9, 0.0, 2}, Case{20, 33, 4.0, 1e-12, 5},
                        Case{3, 130, 0.6, 1e-9, 2}, Case{2, 2049, 0.5, 40.0, 10}, Case{6, 4100, 3.0, 150.0, 50}}) {
    const auto X = data_with_repeats(c.d, c.n, static_cast<unsigned>(c.n));
    const auto ref = lowrank_ref::icf_rbf(X.data(), c.d, c.n, c.sigma, c.tol, c.capacity);
    expect_same_as(
        ref,
        [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
          return lowrank::icf_rbf(X.data(), c.d, c.n, c.sigma, c.tol, c.capacity, o, s);
        },
        "rbf n=" + std::to_string(c.n), &hits);
  }
  EXPECT_GT(hits, 1000);  // the pool's columns were used
}

// The widths users pick (about the median distance of the samples, which is
// 6.3 here) at the ranks of the benchmarks, over a block of rows and a part:
// the pool's candidates and the size of its passes follow these kernels'
// pivots as they do the wide kernel's.  One pass per column and passes of up
// to 16 columns, each instruction set, one thread and two.  Each rank's
// tolerance lies halfway between the remaining traces of its last step and
// the next.
TEST(PivotedIcf, RbfAtUsersWidthsMatchesLiteralProcedure) {
  const int32_t d = 20, n = 2300;
  const auto X = random_data(static_cast<size_t>(d) * n, 2300);
  int64_t hits = 0, pooled_steps = 0;
  for (double sigma : {4.5, 6.0}) {
    const auto longer = lowrank::icf_rbf(X.data(), d, n, sigma, 1e-9, 610);
    ASSERT_GT(longer.rank, 600);
    std::vector<double> left(601, static_cast<double>(n));
    for (size_t j = 0; j < 600; ++j) {
      double s = 0.0;
      for (size_t i = 0; i < static_cast<size_t>(n); ++i) s += longer.factor[i + j * n] * longer.factor[i + j * n];
      left[j + 1] = left[j] - s;
    }
    for (int32_t rank : {100, 300, 600}) {
      const double tol = (left[rank - 1] + left[rank]) / 2;
      const auto ref = lowrank_ref::icf_rbf(X.data(), d, n, sigma, tol, 30 * d);
      ASSERT_EQ(ref.rank, rank);
      const std::string what = "rbf sigma=" + std::to_string(sigma) + " rank " + std::to_string(rank);
      for (const lowrank::IcfOptions& o : all_options()) {
        if (o.refill != 1 && o.refill != lowrank::POOL_REFILL) continue;
        lowrank::IcfStats stats;
        const auto got = lowrank::icf_rbf(X.data(), d, n, sigma, tol, 30 * d, o, &stats);
        ASSERT_EQ(got.rank, ref.rank) << what << ", " << describe(o);
        ASSERT_EQ(got.perm, ref.perm) << what << ", " << describe(o);
        ASSERT_EQ(std::memcmp(got.factor.data(), ref.G.data(), ref.G.size() * sizeof(double)), 0)
            << what << ", " << describe(o);
        if (o.refill != 1) {
          hits += stats.steps - stats.passes;
          pooled_steps += stats.steps;
        }
      }
    }
  }
  EXPECT_GT(hits, pooled_steps / 2);  // the pool made most columns
}

// Work memory is kept between calls within a bound and handed out again
// with whatever the last call left in it: a factorization on blocks that
// another one left dirty gives the same bits as on fresh ones.
TEST(PivotedIcf, KeptWorkMemory) {
#if !defined(__SANITIZE_ADDRESS__)
  const uint64_t MB = uint64_t{1} << 20;
  pages::release_kept();
  pages::Block a = pages::take(3 * MB);
  void* const where = a.data;
  pages::give(a, 8 * MB);
  EXPECT_EQ(pages::kept_bytes(), a.bytes);
  pages::Block b = pages::take(2 * MB);  // fits in the kept block
  EXPECT_EQ(b.data, where);
  EXPECT_EQ(pages::kept_bytes(), 0u);
  pages::give(b, 1 * MB);  // beyond the bound: returned to the system
  EXPECT_EQ(pages::kept_bytes(), 0u);
  pages::Block old = pages::take(3 * MB), mid = pages::take(3 * MB), young = pages::take(3 * MB);
  const uint64_t newest = mid.bytes + young.bytes;
  pages::give(old, 8 * MB);
  pages::give(mid, 8 * MB);
  pages::give(young, 8 * MB);  // the oldest makes room
  EXPECT_EQ(pages::kept_bytes(), newest);
  pages::release_kept();
  EXPECT_EQ(pages::kept_bytes(), 0u);
#endif
  const int32_t d = 5, n = 3000;
  const auto X = random_data(static_cast<size_t>(d) * n, 91), Y = random_data(static_cast<size_t>(d) * n, 92);
  const auto first = lowrank::icf_rbf(X.data(), d, n, 1.5, 1e-3, 2);
  const std::vector<double> G(first.factor.data(), first.factor.data() + static_cast<size_t>(first.rank) * n);
  const auto perm = first.perm;
  { const auto other = lowrank::icf_rbf(Y.data(), d, n, 0.7, 1e-4, 2); }
  const auto again = lowrank::icf_rbf(X.data(), d, n, 1.5, 1e-3, 2);
  ASSERT_EQ(again.rank, first.rank);
  EXPECT_EQ(again.perm, perm);
  EXPECT_TRUE(eegtest::same_bits(G, again.factor.data(), G.size()));
}

TEST(PivotedIcf, DotpowerMatchesLiteralProcedure) {
  struct Case { int32_t d, n; double offset, scale; int32_t degree; double tol; };
  for (const Case& c : {Case{1, 9, 1.0, 1.0, 3, 0.0}, Case{1, 40, -0.5, 1.0, 2, 0.0}, Case{3, 31, 1.0, 0.5, 2, 1e-9},
                        Case{9, 70, 0.3, 0.2, 3, 1e-6}, Case{2, 2100, 1.0, 1.0, 4, 1e-6}}) {
    const auto X = data_with_repeats(c.d, c.n, static_cast<unsigned>(c.n) + 1);
    const auto ref = lowrank_ref::icf_dotpower(X.data(), c.d, c.n, c.offset, c.scale, c.degree, c.tol, 2);
    expect_same_as(
        ref,
        [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
          return lowrank::icf_dotpower(X.data(), c.d, c.n, c.offset, c.scale, c.degree, c.tol, 2, o, s);
        },
        "dotpower n=" + std::to_string(c.n));
  }
}

TEST(PivotedIcf, OrthoMatchesLiteralProcedure) {
  struct Case { int32_t n; double sigma; int32_t m; double tol; };
  for (const Case& c : {Case{9, 1.0, 1, 0.0}, Case{26, 0.8, 9, 0.0}, Case{100, 1.3, 30, 1e-12},
                        Case{2090, 1.0, 12, 1e-10}}) {
    auto x = random_data(static_cast<size_t>(c.n), static_cast<unsigned>(c.n) + 2, 1.5);
    for (int32_t v = 0; v + 3 < c.n; v += 13) x[v + 3] = x[v];
    const auto ref = lowrank_ref::icf_ortho(x.data(), c.n, c.sigma, c.m, c.tol, 2);
    expect_same_as(
        ref,
        [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
          return lowrank::icf_ortho(x.data(), c.n, c.sigma, c.m, c.tol, 2, o, s);
        },
        "ortho n=" + std::to_string(c.n));
  }
}

TEST(PivotedIcf, MatrixMatchesLiteralProcedure) {
  struct Case { int32_t n; double tol; int32_t max_rank; };
  for (const Case& c : {Case{1, 0.0, 1}, Case{8, 0.0, 8}, Case{25, 0.0, 30}, Case{97, 1e-12, 60},
                        Case{2060, 1e-3, 40}}) {
    // A Gaussian kernel matrix of points in 3 dimensions, with repeats.
    const auto X = data_with_repeats(3, c.n, static_cast<unsigned>(c.n) + 3);
    std::vector<double> A(static_cast<size_t>(c.n) * c.n);
    for (int32_t u = 0; u < c.n; ++u)
      for (int32_t v = 0; v < c.n; ++v) {
        double s = 0;
        for (int32_t t = 0; t < 3; ++t) s += (X[t + 3 * u] - X[t + 3 * v]) * (X[t + 3 * u] - X[t + 3 * v]);
        A[u + static_cast<size_t>(c.n) * v] = std::exp(-s / 2);
      }
    const auto ref = lowrank_ref::icf_matrix(A.data(), c.n, c.tol, c.max_rank);
    for (const lowrank::IcfOptions& o : all_options()) {
      std::vector<double> G(ref.G.size(), 0.0);
      const auto got = lowrank::icf_matrix(A.data(), c.n, c.tol, c.max_rank, G.data(), o);
      ASSERT_EQ(got.rank, ref.rank) << c.n << ", " << describe(o);
      ASSERT_EQ(got.perm, ref.perm) << c.n << ", " << describe(o);
      ASSERT_TRUE(eegtest::same_bits(ref.G, G)) << c.n << ", " << describe(o);
      ASSERT_EQ(std::memcmp(&got.remaining, &ref.remaining, sizeof(double)), 0) << c.n << ", " << describe(o);
    }
  }
}

// NaN and infinite kernel values go through every path as the literal
// procedure takes them: sigma = 0 (NaN between identical samples), a
// negative degree at a zero base (infinite entries), NaN samples, and a
// matrix with NaN and infinite entries off the diagonal.
TEST(PivotedIcf, NanAndInfinityMatchLiteralProcedure) {
  const int32_t n = 40;
  auto X = data_with_repeats(2, n, 77);
  const auto rbf_ref = lowrank_ref::icf_rbf(X.data(), 2, n, 0.0, 0.0, 2);
  expect_same_as(
      rbf_ref,
      [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
        return lowrank::icf_rbf(X.data(), 2, n, 0.0, 0.0, 2, o, s);
      },
      "rbf sigma 0");
  auto Y = X;
  Y[2 * 5] = std::numeric_limits<double>::quiet_NaN();
  Y[2 * 11 + 1] = std::numeric_limits<double>::infinity();
  const auto nan_ref = lowrank_ref::icf_rbf(Y.data(), 2, n, 1.0, 0.0, 2);
  expect_same_as(
      nan_ref,
      [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
        return lowrank::icf_rbf(Y.data(), 2, n, 1.0, 0.0, 2, o, s);
      },
      "rbf with NaN and infinite samples");
  auto Z = X;
  Z[2 * 3] = Z[2 * 3 + 1] = 0.0;  // the base is the offset, 0: pow(0, -1) is infinite
  const auto inf_ref = lowrank_ref::icf_dotpower(Z.data(), 2, n, 0.0, 1.0, -1, 0.0, 2);
  expect_same_as(
      inf_ref,
      [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
        return lowrank::icf_dotpower(Z.data(), 2, n, 0.0, 1.0, -1, 0.0, 2, o, s);
      },
      "dotpower degree -1");
  auto x = random_data(n, 78);
  x[0] = 0.0;
  const auto ortho_ref = lowrank_ref::icf_ortho(x.data(), n, 0.0, 3, 0.0, 2);
  expect_same_as(
      ortho_ref,
      [&](const lowrank::IcfOptions& o, lowrank::IcfStats* s) {
        return lowrank::icf_ortho(x.data(), n, 0.0, 3, 0.0, 2, o, s);
      },
      "ortho sigma 0");

  std::vector<double> A(static_cast<size_t>(n) * n);
  auto v = random_data(A.size(), 79);
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) A[a + static_cast<size_t>(n) * b] = a == b ? 4.0 + v[a] * v[a] : 0.1 * v[a + n * b];
  A[3 + n * 17] = std::numeric_limits<double>::quiet_NaN();
  A[17 + n * 3] = std::numeric_limits<double>::infinity();
  const auto mref = lowrank_ref::icf_matrix(A.data(), n, 0.0, n);
  for (const lowrank::IcfOptions& o : all_options()) {
    std::vector<double> G(mref.G.size(), 0.0);
    const auto got = lowrank::icf_matrix(A.data(), n, 0.0, n, G.data(), o);
    ASSERT_EQ(got.rank, mref.rank) << describe(o);
    ASSERT_EQ(got.perm, mref.perm) << describe(o);
    ASSERT_TRUE(eegtest::same_bits(mref.G, G)) << describe(o);
  }
}

}  // namespace
