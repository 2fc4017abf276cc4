// Kernel functions on eight doubles at once whose single-precision results
// are, bit for bit, static_cast<float>(std::exp(x)) and
// static_cast<float>(std::pow(x, degree)) of the runtime's own functions.
//
// Why the bits are the same.  A double d rounds to the same float as the
// exact value y whenever no float rounding boundary (a midpoint between two
// adjacent floats, which is a double itself) lies between them or on either.
// We compute an approximation d of y whose error we bound; the runtime's
// result r has an error of at most RUNTIME_ULPS units in the last place
// (glibc documents 0.52 ulp for pow and 0.51 ulp for exp in the default
// rounding mode; we allow 2).  When d is a normal double of the float range
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
// - exp: see expLanes; below 60 ulp.
// BOUNDARY_MARGIN (2^12 doubles) is more than 30 times either bound plus the
// runtime's, even allowing a factor of 2 for a binade edge between d and y.
// Values whose check fails (about one in 65000), results outside the normal
// float range (float subnormals, zero, overflow) and NaN or infinite
// arguments take the runtime's function itself.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace svkernel {
namespace lanes {

typedef double f64x8 __attribute__((vector_size(64)));
typedef int64_t i64x8 __attribute__((vector_size(64)));
typedef float f32x8 __attribute__((vector_size(32)));
typedef float f32x16 __attribute__((vector_size(64)));

// Error of the runtime's exp and pow we allow for, in ulp (documented: below 1).
constexpr double RUNTIME_ULPS = 2.0;
// Doubles between an approximation and the nearest float rounding boundary
// that we require before trusting the approximation's float.  It exceeds
// 2 * (our bound + RUNTIME_ULPS) many times over; failing values cost one
// runtime call, and they are 2 * 2^12 / 2^29 of all, about 1 in 65000.
constexpr int64_t BOUNDARY_MARGIN = int64_t{1} << 12;
// Highest polynomial degree done by repeated multiplication: its rounding
// error (below 1.01 * (degree - 1) ulp) stays far inside the margin.
constexpr int32_t POW_LANES_MAX_DEGREE = 16;

// exp(x) is below 2^-150, half the smallest float subnormal, for every
// x < EXP_ZERO_BELOW (exp(-104) = 6.8e-46 < 2^-150 = 7.0e-46; we stay one
// further away), so it rounds to +0 whichever correct-to-1-ulp exp made it.
constexpr double EXP_ZERO_BELOW = -105.0;
// exp(x) exceeds the float overflow threshold (2 - 2^-24) * 2^127 = 3.40e38
// by 30 % for every x > EXP_INF_ABOVE (exp(89) = 4.49e38): it rounds to +inf.
constexpr double EXP_INF_ABOVE = 89.0;

#define SVKERNEL_LANES_INLINE inline __attribute__((always_inline))

SVKERNEL_LANES_INLINE f64x8 splat(double v) { return f64x8{v, v, v, v, v, v, v, v}; }

SVKERNEL_LANES_INLINE i64x8 bitsOf(f64x8 v) {
  i64x8 b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

SVKERNEL_LANES_INLINE f64x8 fromBits(i64x8 b) {
  f64x8 v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// The float of each lane of d, and in `redo` (all ones) the lanes for which
// the float may differ from that of the exact value: d outside the normal
// float range (also zero, NaN, infinity) or within BOUNDARY_MARGIN doubles of
// a float rounding boundary.
SVKERNEL_LANES_INLINE f32x8 roundChecked(f64x8 d, i64x8& redo) {
  const i64x8 magnitude = bitsOf(d) & INT64_MAX;
  const i64x8 biased_exponent = magnitude >> 52;
  const i64x8 low = (magnitude & ((int64_t{1} << 29) - 1)) - (int64_t{1} << 28);
  const i64x8 in_range = (biased_exponent >= 1023 - 126) & (biased_exponent <= 1023 + 127);
  const i64x8 clear = (low > BOUNDARY_MARGIN) | (low < -BOUNDARY_MARGIN);
  redo = ~(in_range & clear);
  return __builtin_convertvector(d, f32x8);
}

// exp(x) in double for x in [EXP_ZERO_BELOW, EXP_INF_ABOVE], with a relative
// error below 60 u:
// - k = nearest integer to x / ln 2 (up to a tie broken either way), by the
//   shifter trick; |k| <= 152.
// - r = (x - k*LN2_HI) - k*LN2_LO.  LN2_HI has 32 significant bits, so k*LN2_HI
//   is exact; x - k*LN2_HI is exact by Sterbenz's lemma (for k != 0 the two
//   are within a factor 2, as |x - k ln 2| <= 0.347 < ln 2 / 2 + 0.001); the
//   product k*LN2_LO and the last difference add at most 0.35 u + 1e-23 to
//   r, which |r| <= 0.347 turns into a relative error below 0.36 u of exp(r).
//   LN2_HI + LN2_LO equals ln 2 within 2^-84, times |k| still below 1e-23.
// - exp(r) by its Taylor polynomial of degree 12 in Horner's form:
//   truncation below |r|^13/13! e^|r| = 2.3e-16, relative to exp(r) >=
//   e^-0.347 = 0.707 below 3.0 u; Horner's rounding below
//   gamma_24 * sum |c_i r^i| <= 24.1 u * e^0.347 = 34.1 u, relative below
//   48.3 u; the rounded coefficients 1/i! (exact for i <= 2) add below
//   0.01 u.  Together below 52 u.
// - times 2^k, built from its bits: exact, as every result is a normal double.
SVKERNEL_LANES_INLINE f64x8 expLanes(f64x8 x) {
  const double INV_LN2 = 1.4426950408889634;     // 1 / ln 2, rounded
  const double SHIFTER = 6755399441055744.0;     // 1.5 * 2^52: adding it rounds to an integer
  const double LN2_HI = 6.93147180369123816490e-01;  // 0x3fe62e42fee00000, 32 bits
  const double LN2_LO = 1.90821492927058770002e-10;  // 0x3dea39ef35793c76
  const f64x8 shifted = x * INV_LN2 + SHIFTER;
  const f64x8 k = shifted - SHIFTER;
  const i64x8 k_int = bitsOf(shifted) - bitsOf(splat(SHIFTER));
  const f64x8 r = (x - k * LN2_HI) - k * LN2_LO;
  f64x8 p = splat(1.0 / 479001600.0);  // 1/12!
  p = p * r + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  return p * fromBits((k_int + 1023) << 52);
}

SVKERNEL_LANES_INLINE bool anySet(i64x8 m) {
  int64_t any = 0;
  for (int l = 0; l < 8; ++l) any |= m[l];
  return any != 0;
}

// static_cast<float>(std::exp(x[l])) for each lane l.
SVKERNEL_LANES_INLINE f32x8 expToFloatLanes(f64x8 x) {
  typedef int32_t i32x8 __attribute__((vector_size(32)));
  const i64x8 zero = x < EXP_ZERO_BELOW, inf = x > EXP_INF_ABOVE;
  // Clamped, so that the reduction stays in its range (NaN stays NaN and is
  // redone below).
  const f64x8 clamped = zero ? splat(EXP_ZERO_BELOW) : (inf ? splat(EXP_INF_ABOVE) : x);
  i64x8 redo;
  f32x8 f = roundChecked(expLanes(clamped), redo);
  const float INF = __builtin_inff();
  f = __builtin_convertvector(zero, i32x8) ? f32x8{} : f;
  f = __builtin_convertvector(inf, i32x8) ? f32x8{INF, INF, INF, INF, INF, INF, INF, INF} : f;
  redo &= ~(zero | inf);
  if (anySet(redo))
    for (int l = 0; l < 8; ++l)
      if (redo[l]) f[l] = static_cast<float>(std::exp(x[l]));
  return f;
}

// static_cast<float>(std::pow(x[l], degree)) for each lane l; degree in
// 1..POW_LANES_MAX_DEGREE.  The product x*x*...*x (degree factors) has every
// intermediate a normal double whenever the result is in the normal float
// range (for |x| < 1 the partial powers lie between the result and 1, for
// |x| > 1 between 1 and the result), so its relative error is below
// (1 + u)^(degree - 1) - 1.
SVKERNEL_LANES_INLINE f32x8 powToFloatLanes(f64x8 x, int32_t degree) {
  f64x8 y = x;
  for (int32_t d = 1; d < degree; ++d) y = y * x;
  i64x8 redo;
  f32x8 f = roundChecked(y, redo);
  if (anySet(redo))
    for (int l = 0; l < 8; ++l)
      if (redo[l]) f[l] = static_cast<float>(std::pow(x[l], static_cast<double>(degree)));
  return f;
}

}  // namespace lanes
}  // namespace svkernel
