#include "lattice/grid.h"

#include <cmath>
#include <vector>

namespace lattice {

GridCheck check_grid(const double* dims, size_t n, int32_t& total, size_t& where) {
  int64_t product = 1;
  for (size_t k = 0; k < n; ++k) {
    const double d = dims[k];
    // Written so that NaN fails the test too.
    if (!(d >= 1.0 && d <= static_cast<double>(MAX_CELLS)) || d != std::trunc(d)) {
      where = k;
      return GridCheck::bad_extent;
    }
    product *= static_cast<int64_t>(d);  // both factors below 2^31: no overflow in 64 bits
    if (product > MAX_CELLS) {
      where = k;
      return GridCheck::too_many_cells;
    }
  }
  total = static_cast<int32_t>(product);
  return GridCheck::ok;
}

bool index_in_grid(double index, int32_t total) {
  const double t = std::trunc(index);
  return t >= 1.0 && t <= static_cast<double>(total);
}

size_t indices_outside_grid(const double* index, size_t m, int32_t total, size_t& first) {
  // trunc(x) lies in 1 … total exactly when 1 <= x < total + 1 (total + 1 is
  // at most 2^31, exact in a double); NaN fails both comparisons.
  const double above = static_cast<double>(total) + 1.0;
  size_t outside = 0;
  for (size_t l = 0; l < m; ++l) outside += !(index[l] >= 1.0 && index[l] < above);
  if (outside > 0)
    for (first = 0; index_in_grid(index[first], total); ++first) {
    }
  return outside;
}

namespace {

// Indices converted per block: the remainders stay in the first-level cache
// while every dimension's output column receives one contiguous run.
constexpr size_t INDEX_BLOCK = 512;

// For each index of the block, coordinate = r mod d + 1 and r becomes
// r div d.  r and d are integers below 2^31, held exactly as doubles, and
// the quotient is estimated as trunc(r * (1/d)).  With both roundings the
// product is within a relative 2^-52 of r / d.  It cannot reach the next
// integer above r div d, which lies a relative 1 / (d (q + 1)) > 2^-32 above
// r / d; it can fall just below r div d when r / d is that integer, since it
// is never short by more than 2^31 · 2^-52 < 1.  So the estimate is exact or
// one short, and one correction step on the size of the remainder makes it
// exact.  Every operation works on each index alone, so the loop runs across
// indices in vector registers.
void divide_block(double* r, size_t count, double d, double reciprocal, double* coordinate) {
  for (size_t i = 0; i < count; ++i) {
    double q = static_cast<double>(static_cast<int32_t>(r[i] * reciprocal));
    double rem = r[i] - q * d;
    const bool short_by_one = rem >= d;
    q += short_by_one ? 1.0 : 0.0;
    rem -= short_by_one ? d : 0.0;
    coordinate[i] = rem + 1.0;
    r[i] = q;
  }
}

// The same for an extent that is a power of two: the reciprocal is exact,
// and so is the quotient estimate.
void divide_block_exact(double* r, size_t count, double d, double reciprocal, double* coordinate) {
  for (size_t i = 0; i < count; ++i) {
    const double q = static_cast<double>(static_cast<int32_t>(r[i] * reciprocal));
    coordinate[i] = (r[i] - q * d) + 1.0;
    r[i] = q;
  }
}

}  // namespace

void coords_of_indices(const double* dims, size_t n, const double* index, size_t m, double* out) {
  if (n == 0 || m == 0) return;
  std::vector<double> extent(n), reciprocal(n);
  std::vector<char> exact(n);
  for (size_t k = 0; k < n; ++k) {
    const int32_t d = static_cast<int32_t>(dims[k]);
    extent[k] = d;
    exact[k] = (d & (d - 1)) == 0;
    reciprocal[k] = 1.0 / extent[k];
  }

  double r[INDEX_BLOCK];
  for (size_t l0 = 0; l0 < m; l0 += INDEX_BLOCK) {
    const size_t count = m - l0 < INDEX_BLOCK ? m - l0 : INDEX_BLOCK;
    // t = trunc(index) - 1, the 0-based cell number.
    for (size_t i = 0; i < count; ++i) r[i] = static_cast<double>(static_cast<int32_t>(index[l0 + i])) - 1.0;
    for (size_t k = 0; k < n; ++k) {
      double* coordinate = out + k * m + l0;
      if (k + 1 == n) {
        // What is left of t is below the last extent.
        for (size_t i = 0; i < count; ++i) coordinate[i] = r[i] + 1.0;
      } else if (extent[k] == 1.0) {
        for (size_t i = 0; i < count; ++i) coordinate[i] = 1.0;
      } else if (exact[k]) {
        divide_block_exact(r, count, extent[k], reciprocal[k], coordinate);
      } else {
        divide_block(r, count, extent[k], reciprocal[k], coordinate);
      }
    }
  }
}

}  // namespace lattice
