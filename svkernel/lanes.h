// Kernel functions on four doubles at once whose single-precision results
// are, bit for bit, static_cast<float>(std::exp(x)) and
// static_cast<float>(std::pow(x, degree)) of the runtime's own functions.
//
// Why the bits are the same.  A double d rounds to the same float as the
// exact value y whenever no float rounding boundary (a midpoint between two
// adjacent floats, which is a double itself) lies between them or on either.
// We compute an approximation d of y whose error we bound; the runtime's
// result r has an error of at most RUNTIME_ULPS units in the last place
// (glibc's exp and pow state worst cases of 0.51 and 0.52 ulp in the
// default rounding mode; we allow 2).  When d is a normal double of the float range
// and no boundary lies within BOUNDARY_MARGIN doubles of it, y and r are both
// far closer to d than that, so d, y and r lie strictly on one side of every
// boundary and round to the same float.  A boundary of the float range is a
// double whose 29 low significand bits are exactly 1 << 28 (the float keeps
// 24 of the 53 bits), so the test is one look at those bits: the margin
// counts doubles, and moving by fewer than 2^28 of them from a value whose
// low bits are off the midpoint pattern by more than the margin cannot reach
// one, not even across a power of two (where the low bits are near 0).
//
// Our bounds, counted in units in the last place of y (u = 2^-53 relative):
// - pow by repeated multiplication: degree-1 roundings of relative size
//   at most u each, so below 1.01 (degree - 1) ulp, 15.2 ulp for degree 16.
// - exp: see expLanes; below 36 ulp.
// BOUNDARY_MARGIN (2^12 doubles) is more than 30 times either bound plus the
// runtime's, even allowing a factor of 2 for a binade edge between d and y
// (checked below at compile time).
// Values whose check fails (about one in 65000), results outside the normal
// float range (float subnormals, zero, overflow) and NaN or infinite
// arguments take the runtime's function itself.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace svkernel {
namespace lanes {

// Four lanes: the compilers turn comparisons of four 64-bit lanes into
// vector instructions on AVX2 and AVX-512 alike (wider ones they may split
// into scalar code).
typedef double f64x4 __attribute__((vector_size(32)));
typedef int64_t i64x4 __attribute__((vector_size(32)));
typedef float f32x4 __attribute__((vector_size(16)));
typedef int32_t i32x4 __attribute__((vector_size(16)));

// Error of the runtime's exp and pow we allow for, in ulp (stated: below 1).
constexpr double RUNTIME_ULPS = 2.0;
// Highest polynomial degree done by repeated multiplication.
constexpr int32_t POW_LANES_MAX_DEGREE = 16;
// Our error bounds, in ulp: expLanes, and the product of
// POW_LANES_MAX_DEGREE factors.
constexpr double EXP_LANES_ULPS = 36.0;
constexpr double POW_LANES_ULPS = 1.01 * (POW_LANES_MAX_DEGREE - 1);
// Doubles between an approximation and the nearest float rounding boundary
// that we require before trusting the approximation's float.  Failing
// values cost one runtime call, and they are 2 * 2^12 / 2^29 of all, about
// 1 in 65000.
constexpr int64_t BOUNDARY_MARGIN = int64_t{1} << 12;
// Generous: 30 times the worst sum of bounds, counted twice for a binade
// edge between the approximation and the exact value.
static_assert(BOUNDARY_MARGIN > 30 * 2 * (EXP_LANES_ULPS + RUNTIME_ULPS), "margin for exp");
static_assert(BOUNDARY_MARGIN > 30 * 2 * (POW_LANES_ULPS + RUNTIME_ULPS), "margin for pow");

// exp(x) is below 2^-150, half the smallest float subnormal, for every
// x < EXP_ZERO_BELOW (exp(-104) = 6.8e-46 < 2^-150 = 7.0e-46; we stay one
// further away), so it rounds to +0 whichever correct-to-1-ulp exp made it.
constexpr double EXP_ZERO_BELOW = -105.0;
// exp(x) exceeds the float overflow threshold (2 - 2^-24) * 2^127 = 3.40e38
// by 30 % for every x > EXP_INF_ABOVE (exp(89) = 4.49e38): it rounds to +inf.
constexpr double EXP_INF_ABOVE = 89.0;

#define SVKERNEL_LANES_INLINE inline __attribute__((always_inline))

SVKERNEL_LANES_INLINE f64x4 splat(double v) { return f64x4{v, v, v, v}; }

SVKERNEL_LANES_INLINE i64x4 bitsOf(f64x4 v) {
  i64x4 b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

SVKERNEL_LANES_INLINE f64x4 fromBits(i64x4 b) {
  f64x4 v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// Bit patterns (sign cleared) of the normal float range [2^-126, 2^128).
constexpr int64_t FLOAT_NORMAL_LOW = int64_t{1023 - 126} << 52;
constexpr int64_t FLOAT_NORMAL_END = int64_t{1023 + 128} << 52;
constexpr int64_t LOW29 = (int64_t{1} << 29) - 1;

// The float of each lane of d, and in `redo` (all ones) the lanes for which
// the float may differ from that of the exact value: d outside the normal
// float range (also zero, NaN, infinity) or within BOUNDARY_MARGIN doubles of
// a float rounding boundary.  The boundary test shifts the low 29 bits so
// that the doubtful stretch [2^28 - margin, 2^28 + margin] becomes
// [0, 2 margin].
SVKERNEL_LANES_INLINE f32x4 roundChecked(f64x4 d, i64x4& redo) {
  const i64x4 magnitude = bitsOf(d) & INT64_MAX;
  const i64x4 shifted = (magnitude - ((int64_t{1} << 28) - BOUNDARY_MARGIN)) & LOW29;
  redo = (magnitude < FLOAT_NORMAL_LOW) | (magnitude >= FLOAT_NORMAL_END) | (shifted <= 2 * BOUNDARY_MARGIN);
  return __builtin_convertvector(d, f32x4);
}

// exp(x) in double for x in [EXP_ZERO_BELOW, EXP_INF_ABOVE], with a relative
// error below 36 u (EXP_LANES_ULPS):
// - k = nearest integer to x / ln 2 (up to a tie broken either way), by the
//   shifter trick; |k| <= 152.
// - r = (x - k*LN2_HI) - k*LN2_LO.  LN2_HI has 32 significant bits, so k*LN2_HI
//   is exact; x - k*LN2_HI is exact by Sterbenz's lemma (for k != 0 the two
//   are within a factor 2, as |x - k ln 2| <= 0.347 < ln 2 / 2 + 0.001); the
//   product k*LN2_LO and the last difference add at most 0.35 u + 1e-23 to
//   r, which |r| <= 0.347 turns into a relative error below 0.36 u of exp(r).
//   LN2_HI + LN2_LO equals ln 2 within 2^-84, times |k| still below 1e-23.
// - exp(r) by its Taylor polynomial c_0 + c_1 r + ... + c_12 r^12,
//   c_i = 1/i!, in Estrin's form (pairs, then powers r^2, r^4, r^8), which
//   is short in latency.  Truncation: below |r|^13/13! e^|r| = 2.3e-16,
//   relative to exp(r) >= e^-0.347 = 0.707 below 3.0 u.  Evaluation: every
//   term c_i r^i passes through at most 16 roundings (its coefficient, its
//   product with r, r^2 and r^8 = ((r^2)^2)^2 counted with multiplicity 1, 2
//   and 8, and four sums), so the error is below
//   gamma_16 * sum |c_i r^i| <= 16.1 u * e^0.347, relative below 32.3 u.
//   Together below 36 u.
// - times 2^k, built from its bits: exact, as every result is a normal double.
SVKERNEL_LANES_INLINE f64x4 expLanes(f64x4 x) {
  const double INV_LN2 = 1.4426950408889634;     // 1 / ln 2, rounded
  const double SHIFTER = 6755399441055744.0;     // 1.5 * 2^52: adding it rounds to an integer
  const double LN2_HI = 6.93147180369123816490e-01;  // 0x3fe62e42fee00000, 32 bits
  const double LN2_LO = 1.90821492927058770002e-10;  // 0x3dea39ef35793c76
  const f64x4 shifted = x * INV_LN2 + SHIFTER;
  const f64x4 k = shifted - SHIFTER;
  const i64x4 k_int = bitsOf(shifted) - bitsOf(splat(SHIFTER));
  const f64x4 r = (x - k * LN2_HI) - k * LN2_LO;
  const f64x4 r2 = r * r;
  const f64x4 r4 = r2 * r2;
  const f64x4 r8 = r4 * r4;
  const f64x4 q0 = r + 1.0;  // 1 + r: c_0 and c_1 are 1
  const f64x4 q1 = r * (1.0 / 6.0) + 0.5;
  const f64x4 q2 = r * (1.0 / 120.0) + 1.0 / 24.0;
  const f64x4 q3 = r * (1.0 / 5040.0) + 1.0 / 720.0;
  const f64x4 q4 = r * (1.0 / 362880.0) + 1.0 / 40320.0;
  const f64x4 q5 = r * (1.0 / 39916800.0) + 1.0 / 3628800.0;
  const double c12 = 1.0 / 479001600.0;
  const f64x4 s0 = q1 * r2 + q0;
  const f64x4 s1 = q3 * r2 + q2;
  const f64x4 s2 = q5 * r2 + q4;
  const f64x4 t0 = s1 * r4 + s0;
  const f64x4 t1 = r4 * c12 + s2;
  const f64x4 p = t1 * r8 + t0;
  return p * fromBits((k_int + 1023) << 52);
}

SVKERNEL_LANES_INLINE bool anySet(i64x4 m) {
  int64_t any = 0;
  for (int l = 0; l < 4; ++l) any |= m[l];
  return any != 0;
}

// static_cast<float>(std::exp(x[l])) for each lane l, and in `redo` the
// lanes (NaN arguments, values the check doubts) that still need
// static_cast<float>(std::exp(x[l])) from the runtime.
SVKERNEL_LANES_INLINE f32x4 expToFloatLanes(f64x4 x, i64x4& redo) {
  const i64x4 zero = x < EXP_ZERO_BELOW, inf = x > EXP_INF_ABOVE;
  // Clamped, so that the reduction stays in its range (NaN stays NaN).
  f64x4 d = expLanes(zero ? splat(EXP_ZERO_BELOW) : (inf ? splat(EXP_INF_ABOVE) : x));
  d = zero ? splat(0.0) : (inf ? splat(__builtin_inf()) : d);
  const f32x4 f = roundChecked(d, redo);
  redo &= ~(zero | inf);
  return f;
}

// The same with the doubtful lanes done by the runtime.
SVKERNEL_LANES_INLINE f32x4 expToFloatLanes(f64x4 x) {
  i64x4 redo;
  f32x4 f = expToFloatLanes(x, redo);
  if (anySet(redo))
    for (int l = 0; l < 4; ++l)
      if (redo[l]) f[l] = static_cast<float>(std::exp(x[l]));
  return f;
}

// static_cast<float>(std::pow(x[l], degree)) for each lane l, degree in
// 1..POW_LANES_MAX_DEGREE, and in `redo` the lanes that still need the
// runtime's pow.  The product x*x*...*x (degree factors) has every
// intermediate a normal double whenever the result is in the normal float
// range (for |x| < 1 the partial powers lie between the result and 1, for
// |x| > 1 between 1 and the result), so its relative error is below
// (1 + u)^(degree - 1) - 1.
SVKERNEL_LANES_INLINE f32x4 powToFloatLanes(f64x4 x, int32_t degree, i64x4& redo) {
  f64x4 y = x;
  for (int32_t d = 1; d < degree; ++d) y = y * x;
  return roundChecked(y, redo);
}

// The same with the doubtful lanes done by the runtime.
SVKERNEL_LANES_INLINE f32x4 powToFloatLanes(f64x4 x, int32_t degree) {
  i64x4 redo;
  f32x4 f = powToFloatLanes(x, degree, redo);
  if (anySet(redo))
    for (int l = 0; l < 4; ++l)
      if (redo[l]) f[l] = static_cast<float>(std::pow(x[l], static_cast<double>(degree)));
  return f;
}

}  // namespace lanes
}  // namespace svkernel
