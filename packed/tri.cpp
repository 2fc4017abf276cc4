#include "packed/tri.h"

#include <cmath>
#include <cstring>

namespace packed {

int64_t packed_side(int64_t L) {
  return static_cast<int64_t>(std::floor(std::sqrt(static_cast<double>(2 * L))));
}

void tri_pack(const float* S, int64_t a, float* out) {
  const size_t A = static_cast<size_t>(a);
  float* o = out;
  for (size_t j = 0; j < A; ++j) {
    std::memcpy(o, S + j * A, (j + 1) * sizeof(float));
    o += j + 1;
  }
}

void tri_unpack(const float* P, int64_t a, float* S) {
  const size_t A = static_cast<size_t>(a);
  const float* p = P;
  for (size_t j = 0; j < A; ++j) {
    // Column j's upper part is the run itself; its mirror is row j.
    std::memcpy(S + j * A, p, (j + 1) * sizeof(float));
    for (size_t i = 0; i < j; ++i) std::memcpy(S + j + i * A, p + i, sizeof(float));
    p += j + 1;
  }
}

double tri_qform(const float* P, const double* x, int64_t a) {
  const size_t A = static_cast<size_t>(a);
  // The products are independent of one another and are formed a block at a
  // time (vectorizable); only the sum runs one term at a time, in order.
  constexpr size_t BLOCK = 256;
  double t[BLOCK];
  double q = 0.0;
  const float* p = P;
  for (size_t j = 0; j < A; ++j) {
    const double xj = x[j];
    for (size_t i0 = 0; i0 < j; i0 += BLOCK) {
      const size_t m = j - i0 < BLOCK ? j - i0 : BLOCK;
      for (size_t i = 0; i < m; ++i) t[i] = ((static_cast<double>(p[i0 + i]) * 2.0) * x[i0 + i]) * xj;
      for (size_t i = 0; i < m; ++i) q += t[i];
    }
    q += (static_cast<double>(p[j]) * xj) * xj;
    p += j + 1;
  }
  return q;
}

}  // namespace packed
