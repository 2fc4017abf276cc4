// The fast Gram matrix against the literal procedure, and its vector kernel
// functions against the runtime's exp and pow, bit for bit.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "svkernel/kernel.h"
#include "testing/gram_reference.h"
#include "testing/test_util.h"

namespace {

using eegtest::same_bits;

double fromBits(uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

// Arguments the vector functions must get right: uniform over a range,
// spread over many binades, and just around the doubles whose function
// value lies nearest a float rounding boundary (`boundary_arg` maps a double
// to the argument at which the function takes that value).
struct ArgumentSet {
  std::vector<double> x;
  std::mt19937_64 gen;
  explicit ArgumentSet(uint64_t seed) : gen(seed) {}

  void uniform(double lo, double hi, size_t n) {
    std::uniform_real_distribution<double> d(lo, hi);
    for (size_t i = 0; i < n; ++i) x.push_back(d(gen));
  }
  // Every double within `steps` representable neighbours of v.
  void around(double v, int steps) {
    double up = v, down = v;
    x.push_back(v);
    for (int s = 0; s < steps; ++s) {
      up = std::nextafter(up, INFINITY);
      down = std::nextafter(down, -INFINITY);
      x.push_back(up);
      x.push_back(down);
    }
  }
  // Midpoints between adjacent floats of [lo, hi) and their arguments.
  template <class Inverse>
  void nearBoundaries(double lo, double hi, size_t n, int steps, Inverse boundary_arg) {
    std::uniform_real_distribution<double> d(std::log(lo), std::log(hi));
    for (size_t i = 0; i < n; ++i) {
      const float f = static_cast<float>(std::exp(d(gen)));
      const double mid = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, INFINITY))) / 2.0;
      around(boundary_arg(mid), steps);
    }
  }
  void specials() {
    const double inf = INFINITY, nan = NAN;
    for (double v : {0.0, -0.0, 1.0, -1.0, inf, -inf, nan, -nan, DBL_MIN, -DBL_MIN, DBL_MAX, -DBL_MAX, DBL_TRUE_MIN,
                     -DBL_TRUE_MIN, 1e-300, -1e-300})
      x.push_back(v);
    x.push_back(fromBits(0x7ff4000000000001ULL));  // a signalling NaN with a payload
    x.push_back(fromBits(0xfff8000012345678ULL));  // a negative quiet NaN with a payload
  }
};

// Rounding boundaries of exp's float range and of the shortcuts taken past
// it: the smallest normal and subnormal floats and half the latter, the
// float overflow threshold, the zero and infinity cut-offs, and the double
// under- and overflow.
TEST(KernelLanes, ExpGivesTheRuntimesFloatBitForBit) {
  ArgumentSet a(2024);
  a.uniform(-110.0, 95.0, 2000000);
  a.uniform(-20.0, 1.0, 2000000);
  a.uniform(-1e-6, 1e-6, 200000);
  a.nearBoundaries(FLT_MIN, FLT_MAX, 500000, 4, [](double m) { return std::log(m); });
  for (double edge : {std::log(static_cast<double>(FLT_MIN)), std::log(static_cast<double>(FLT_TRUE_MIN)),
                      std::log(static_cast<double>(FLT_TRUE_MIN) / 2), std::log(static_cast<double>(FLT_MAX)),
                      std::log((2.0 - std::ldexp(1.0, -24)) * std::ldexp(1.0, 127)), -105.0, -104.0, 89.0, 88.0,
                      std::log(DBL_MAX), std::log(DBL_MIN), std::log(DBL_TRUE_MIN), 0.0}) {
    a.around(edge, 20000);
    for (int k = -2000; k <= 2000; ++k) a.x.push_back(edge + k * 1e-4);
  }
  a.specials();

  std::vector<float> got(a.x.size());
  svkernel::expToFloat(a.x.data(), got.data(), a.x.size());
  size_t wrong = 0;
  for (size_t i = 0; i < a.x.size(); ++i) {
    const float want = static_cast<float>(std::exp(a.x[i]));
    if (std::memcmp(&want, &got[i], sizeof want) != 0 && ++wrong <= 10)
      ADD_FAILURE() << "exp(" << a.x[i] << "): " << got[i] << " instead of " << want;
  }
  EXPECT_EQ(wrong, 0u) << "of " << a.x.size();
  EXPECT_GT(a.x.size(), 8000000u);
}

TEST(KernelLanes, PowGivesTheRuntimesFloatBitForBit) {
  for (int32_t degree = -3; degree <= 18; ++degree) {
    ArgumentSet a(7000 + degree);
    a.uniform(-3.0, 3.0, 100000);
    // Magnitudes over the whole float range of the result, both signs.
    const double span = degree == 0 ? 100.0 : 140.0 / std::abs(degree);
    std::uniform_real_distribution<double> e(-span, span);
    for (int i = 0; i < 100000; ++i) a.x.push_back((i % 2 ? -1.0 : 1.0) * std::exp2(e(a.gen)));
    if (degree != 0) {
      const double inv = 1.0 / degree;
      a.nearBoundaries(1e-30, 1e30, 30000, 3, [inv](double m) { return std::pow(m, inv); });
      a.nearBoundaries(1e-30, 1e30, 10000, 3, [inv](double m) { return -std::pow(m, inv); });
      // Bases whose power just reaches the float range's ends.
      for (double end : {static_cast<double>(FLT_MIN), static_cast<double>(FLT_MAX),
                         (2.0 - std::ldexp(1.0, -24)) * std::ldexp(1.0, 127), static_cast<double>(FLT_TRUE_MIN)}) {
        a.around(std::pow(end, inv), 3000);
        a.around(-std::pow(end, inv), 300);
      }
    }
    a.specials();
    std::vector<float> got(a.x.size());
    svkernel::powToFloat(a.x.data(), degree, got.data(), a.x.size());
    size_t wrong = 0;
    for (size_t i = 0; i < a.x.size(); ++i) {
      const float want = static_cast<float>(std::pow(a.x[i], static_cast<double>(degree)));
      if (std::memcmp(&want, &got[i], sizeof want) != 0 && ++wrong <= 10)
        ADD_FAILURE() << "pow(" << a.x[i] << ", " << degree << "): " << got[i] << " instead of " << want;
    }
    EXPECT_EQ(wrong, 0u) << "degree " << degree << " of " << a.x.size();
  }
  // Degrees no lane takes: huge ones, both signs.
  const std::vector<double> x = {0.5, -0.5, 1.0, -1.0, 1.0000001, 2.0, 0.0, -0.0, double{INFINITY}, double{NAN}};
  for (int32_t degree : {17, 1000, INT32_MAX, -INT32_MAX, INT32_MIN}) {
    std::vector<float> got(x.size());
    svkernel::powToFloat(x.data(), degree, got.data(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
      const float want = static_cast<float>(std::pow(x[i], static_cast<double>(degree)));
      EXPECT_EQ(std::memcmp(&want, &got[i], sizeof want), 0) << x[i] << "^" << degree;
    }
  }
}

// The same bits, except that any NaN matches any NaN: IEEE arithmetic does
// not say which operand's payload and sign a NaN result carries, and
// compilers swap the operands of a product or a sum, so no order of
// operations fixes those bits.
bool sameValues(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof a[i]) != 0 && !(std::isnan(a[i]) && std::isnan(b[i]))) return false;
  return true;
}

// Rows as the row converter makes them, packed; the Gram matrix on one
// thread and on two against the literal procedure.
void expectLiteralGram(const svkernel_ref::Kernel& k, const std::vector<double>& X, int32_t M, int32_t N,
                       const char* what) {
  std::vector<std::vector<svkernel::feature_entry>> lists(M);
  std::vector<svkernel::sparse_vector> vecs(M);
  std::vector<svkernel::example> exs(M);
  std::vector<const svkernel::example*> rows(M);
  for (int32_t i = 0; i < M; ++i) {
    for (const auto& e : svkernel_ref::row_list(X.data(), M, N, i)) lists[i].push_back({e.feature, e.value});
    vecs[i] = svkernel::sparse_vector{lists[i].data(), svkernel::sparseDot(lists[i].data(), lists[i].data()),
                                      nullptr, 0, nullptr, 1.0};
    exs[i] = svkernel::example{i, 0, 0, 1.0, &vecs[i]};
    rows[i] = &exs[i];
  }
  std::vector<float> packed(svkernel::gramPackedFloats(M, N));
  std::vector<double> sq(M);
  svkernel::packRows(rows.data(), M, N, packed.data(), sq.data());
  svkernel::kernel_parm p{};
  p.kernel_type = k.type;
  p.poly_degree = k.degree;
  p.rbf_gamma = k.gamma;
  p.coef_lin = k.coef_lin;
  p.coef_const = k.coef_const;
  const auto expected = svkernel_ref::gram(k, X.data(), M, N);
  for (int threads : {1, 2}) {
    std::vector<double> K(static_cast<size_t>(M) * M, -7.0);
    svkernel::gramDense(p, packed.data(), sq.data(), M, N, K.data(), threads);
    EXPECT_TRUE(sameValues(K, expected)) << what << ": M " << M << ", N " << N << ", type " << k.type << ", degree "
                                        << k.degree << ", gamma " << k.gamma << ", threads " << threads;
  }
}

// Sizes on both sides of the 16-row blocks and 64-row panels; every kernel,
// polynomial degrees inside and outside the vector range; widths that put
// the radial and polynomial values in and past the float range.
TEST(GramDense, MatchesTheLiteralProcedureAcrossBlocksAndKernels) {
  const svkernel_ref::Kernel kinds[] = {
      {0, 0, 0, 0, 0},          {1, 3, 0, 0.3, 0.7},     {1, 0, 0, 1.0, 0.0},     {1, 1, 0, -2.0, 0.5},
      {1, 16, 0, 0.1, 1.0},     {1, 17, 0, 0.1, 1.0},    {1, -2, 0, 0.5, 0.25},   {1, 5, 0, 3.0, 0.0},
      {2, 0, 0.05, 0, 0},       {2, 0, 2.0, 0, 0},       {2, 0, 7.5, 0, 0},       {2, 0, -0.9, 0, 0},
      {2, 0, 0.0, 0, 0},        {2, 0, 1e-11, 0, 0},     {3, 0, 0, 0.02, -0.4},   {4, 0, 0, 0, 0}};
  struct Shape {
    int32_t M, N;
  };
  for (const Shape& sh : {Shape{1, 3}, Shape{15, 7}, Shape{16, 1}, Shape{17, 33}, Shape{63, 5}, Shape{64, 16},
                          Shape{65, 9}, Shape{129, 4}, Shape{40, 0}}) {
    auto X = eegtest::random_data(static_cast<size_t>(sh.M) * sh.N, 500 + sh.M, 3.0);
    // A repeated row, a zero row, and rows a million times longer than the
    // rest, whose squared norms make the radial exponent depend on the
    // order of the two rows.
    if (sh.M > 5 && sh.N > 0)
      for (int32_t k = 0; k < sh.N; ++k) {
        X[2 + static_cast<size_t>(k) * sh.M] = X[0 + static_cast<size_t>(k) * sh.M];
        X[3 + static_cast<size_t>(k) * sh.M] = 0.0;
        for (int32_t i = 4; i < sh.M; i += 7) X[i + static_cast<size_t>(k) * sh.M] *= 1e6;
      }
    for (const auto& k : kinds) expectLiteralGram(k, X, sh.M, sh.N, "random");
  }
}

// Rows i and j of very different lengths make the radial exponent depend on
// which norm comes first; with the width set so that the two values fall on
// either side of a float rounding boundary, K(j, i) differs from K(i, j)
// and has to be computed on its own.
TEST(GramDense, RadialValuesOfBothOrdersWhereTheyDiffer) {
  const int32_t M = 40, N = 2, i = 3, j = 37;  // rows in different blocks
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> unit(1.0, 2.0);
  for (int attempt = 0; attempt < 2000; ++attempt) {
    const float A = static_cast<float>(unit(gen) * 1048576.0), B = static_cast<float>(unit(gen) * 1e-3),
                C = static_cast<float>(unit(gen));
    const double sq_i = static_cast<float>(A * A), S = static_cast<float>(B * A);
    const double sq_j = static_cast<float>(static_cast<float>(B * B) + static_cast<float>(C * C));
    const double D1 = (sq_i - S * 2.0) + sq_j, D2 = (sq_j - S * 2.0) + sq_i;
    if (D1 == D2) continue;
    // A width that puts exp(-gamma * D1) next to the midpoint between two floats.
    const float near = static_cast<float>(std::exp(-20.0));
    const double mid = (static_cast<double>(near) + static_cast<double>(std::nextafter(near, 1.0f))) / 2.0;
    double gamma = -std::log(mid) / D1;
    for (int step = 0; step < 400; ++step, gamma = std::nextafter(gamma, 1.0)) {
      if (static_cast<float>(std::exp(-(D1 * gamma))) == static_cast<float>(std::exp(-(D2 * gamma)))) continue;
      auto X = eegtest::random_data(static_cast<size_t>(M) * N, 100, 1.0);
      X[i] = A;
      X[i + M] = 0.0;
      X[j] = B;
      X[j + M] = C;
      const svkernel_ref::Kernel k{2, 0, gamma, 0, 0};
      const auto literal = svkernel_ref::gram(k, X.data(), M, N);
      ASSERT_NE(literal[i + static_cast<size_t>(j) * M], literal[j + static_cast<size_t>(i) * M]);
      expectLiteralGram(k, X, M, N, "orders that differ");
      return;
    }
  }
  FAIL() << "no pair of rows found whose radial values differ with their order";
}

// NaN of both signs and with payloads, infinities and huge values, in rows
// that meet each other: dot products that are NaN, infinite, or overflow the
// kernel functions.
TEST(GramDense, MatchesTheLiteralProcedureWithNaNAndInfinities) {
  const int32_t M = 70, N = 6;
  auto X = eegtest::random_data(static_cast<size_t>(M) * N, 77, 2.0);
  const double nan = NAN, inf = INFINITY;
  const double specials[] = {nan, -nan, fromBits(0x7ff8400000000000ULL), fromBits(0xfffc000000000000ULL),
                             inf, -inf, 1e30, -3e38};
  std::mt19937_64 gen(78);
  for (int n = 0; n < 60; ++n) X[gen() % X.size()] = specials[gen() % 8];
  // NaN of different bits at one feature of rows in different panels (5 and
  // 40) and in one block (6 and 7).
  X[5 + 2 * M] = nan;
  X[40 + 2 * M] = -nan;
  X[6 + 4 * M] = fromBits(0x7ff8400000000000ULL);
  X[7 + 4 * M] = -nan;
  for (const svkernel_ref::Kernel& k : {svkernel_ref::Kernel{0, 0, 0, 0, 0}, svkernel_ref::Kernel{1, 3, 0, 0.3, 0.7},
                                        svkernel_ref::Kernel{1, 2, 0, 1e20, 0}, svkernel_ref::Kernel{2, 0, 0.05, 0, 0},
                                        svkernel_ref::Kernel{3, 0, 0, 0.02, -0.4}, svkernel_ref::Kernel{4, 0, 0, 0, 0}})
    expectLiteralGram(k, X, M, N, "special values");
}

}  // namespace
