#include "lowrank/dotpower.h"

#include <cmath>

namespace lowrank {

std::vector<double> dotpower_diagonal(const double* X, int32_t d, int32_t n, double offset, double scale,
                                      int32_t degree) {
  const double e = static_cast<double>(degree);
  const size_t dd = static_cast<size_t>(d);
  std::vector<double> kdiag(static_cast<size_t>(n));
  for (size_t v = 0; v < kdiag.size(); ++v) {
    const double* x = X + v * dd;
    if (d == 1) {
      kdiag[v] = std::pow((x[0] * scale) * x[0] + offset, e);
    } else {
      double q = 0.0;
      for (size_t t = 0; t < dd; ++t) q = q + x[t] * x[t];
      kdiag[v] = std::pow(q * scale + offset, e);
    }
  }
  return kdiag;
}

IcfResult icf_dotpower(const double* X, int32_t d, int32_t n, double offset, double scale, int32_t degree,
                         double tol, int32_t capacity) {
  const std::vector<double> kdiag = dotpower_diagonal(X, d, n, offset, scale, degree);
  const double e = static_cast<double>(degree);
  const size_t dd = static_cast<size_t>(d);
  auto entry = [X, dd, offset, scale, e](int32_t u, int32_t v) {
    const double* xu = X + static_cast<size_t>(u) * dd;
    const double* xv = X + static_cast<size_t>(v) * dd;
    double s;
    if (dd == 1) {
      // The single product itself: 0.0 + p would turn a -0.0 into +0.0.
      s = xv[0] * xu[0];
    } else {
      s = 0.0;
      for (size_t t = 0; t < dd; ++t) s = s + xv[t] * xu[t];
    }
    return std::pow(s * scale + offset, e);
  };
  return pivoted_icf(n, [&kdiag](int32_t v) { return kdiag[static_cast<size_t>(v)]; }, entry, tol, capacity);
}

}  // namespace lowrank
