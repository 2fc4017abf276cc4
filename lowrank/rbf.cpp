#include "lowrank/rbf.h"

#include <cmath>

namespace lowrank {

IcfResult icf_rbf(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity) {
  const double f = (-0.5 / sigma) / sigma;
  const size_t dd = static_cast<size_t>(d);
  auto entry = [X, dd, f](int32_t u, int32_t v) {
    const double* xu = X + static_cast<size_t>(u) * dd;
    const double* xv = X + static_cast<size_t>(v) * dd;
    double s = 0.0;
    for (size_t t = 0; t < dd; ++t) {
      const double diff = xu[t] - xv[t];
      s = s + diff * diff;
    }
    return std::exp(s * f);
  };
  return pivoted_icf(n, [](int32_t) { return 1.0; }, entry, tol, capacity);
}

}  // namespace lowrank
