#include "lattice/grid.h"

#include <cmath>

namespace lattice {

GridCheck check_grid(const double* dims, size_t n, int32_t& total, size_t& where) {
  int64_t product = 1;
  for (size_t k = 0; k < n; ++k) {
    const double d = dims[k];
    // Written so that NaN fails the test too.
    if (!(d >= 1.0 && d <= 2147483647.0) || d != std::trunc(d)) {
      where = k;
      return GridCheck::bad_extent;
    }
    product *= static_cast<int64_t>(d);  // both factors below 2^31: no overflow in 64 bits
    if (product > 2147483647) {
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

namespace {

// log2 of every extent when all are powers of two, else an empty list.
std::vector<int> power_of_two_shifts(const std::vector<int32_t>& extent) {
  std::vector<int> shift;
  for (int32_t d : extent) {
    if ((d & (d - 1)) != 0) return {};
    int s = 0;
    while ((int32_t{1} << s) < d) ++s;
    shift.push_back(s);
  }
  return shift;
}

}  // namespace

void coords_of_indices(const double* dims, size_t n, const double* index, size_t m, double* out) {
  if (n == 0 || m == 0) return;
  std::vector<int32_t> extent(n);
  for (size_t k = 0; k < n; ++k) extent[k] = static_cast<int32_t>(dims[k]);

  const std::vector<int> shift = power_of_two_shifts(extent);
  if (!shift.empty()) {
    // Every stride is a power of two: coordinate k is a bit field of t.
    std::vector<int> offset(n);
    for (size_t k = 1; k < n; ++k) offset[k] = offset[k - 1] + shift[k - 1];
    for (size_t l = 0; l < m; ++l) {
      const uint32_t t = static_cast<uint32_t>(static_cast<int32_t>(index[l]) - 1);
      for (size_t k = 0; k < n; ++k) {
        const uint32_t mask = (uint32_t{1} << shift[k]) - 1u;
        out[l + k * m] = static_cast<double>(((t >> offset[k]) & mask) + 1u);
      }
    }
    return;
  }

  // stride(0) = 1, stride(k) = stride(k-1) * extent(k-1); every stride
  // divides total, so it fits in 32 bits.
  std::vector<int32_t> stride(n);
  stride[0] = 1;
  for (size_t k = 1; k < n; ++k) stride[k] = stride[k - 1] * extent[k - 1];
  for (size_t l = 0; l < m; ++l) {
    int32_t r = static_cast<int32_t>(index[l]) - 1;
    for (size_t k = n; k-- > 0;) {
      const int32_t q = r / stride[k];
      r -= q * stride[k];
      out[l + k * m] = static_cast<double>(q + 1);
    }
  }
}

}  // namespace lattice
