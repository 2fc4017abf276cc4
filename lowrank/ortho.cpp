#include "lowrank/ortho.h"

#include <cmath>

namespace lowrank {

namespace {

// N_0 … N_m, each the running product of the previous one and q·2.0.
std::vector<double> normalizers(int32_t m) {
  std::vector<double> norm(static_cast<size_t>(m) + 1);
  double nq = 1.0;
  norm[0] = nq;
  for (int32_t q = 1; q <= m; ++q) {
    nq = nq * (static_cast<double>(q) * 2.0);
    norm[static_cast<size_t>(q)] = nq;
  }
  return norm;
}

}  // namespace

std::vector<double> ortho_table(const double* x, int32_t n, double sigma, int32_t m) {
  const size_t w = static_cast<size_t>(m) + 1;
  std::vector<double> table(w * static_cast<size_t>(n));
  for (size_t j = 0; j < static_cast<size_t>(n); ++j) {
    const double xj = x[j];
    double* h = table.data() + j * w;
    const double g = std::exp((((xj * xj) * -0.5) / sigma) / sigma);
    const double two_x = xj * 2.0;
    h[0] = g;
    h[1] = g * two_x;
    for (size_t q = 2; q < w; ++q) {
      const double c = (static_cast<double>(q) - 1.0) * 2.0;
      h[q] = (two_x * h[q - 1]) - (c * h[q - 2]);
    }
  }
  return table;
}

std::vector<double> ortho_diagonal(const std::vector<double>& table, int32_t n, int32_t m) {
  const size_t w = static_cast<size_t>(m) + 1;
  const std::vector<double> norm = normalizers(m);
  std::vector<double> kdiag(static_cast<size_t>(n));
  for (size_t j = 0; j < kdiag.size(); ++j) {
    const double* h = table.data() + j * w;
    double s = 0.0;
    for (size_t q = 0; q < w; ++q) s = s + (h[q] * h[q]) / norm[q];
    kdiag[j] = s;
  }
  return kdiag;
}

IcfResult icf_ortho(const double* x, int32_t n, double sigma, int32_t m, double tol, int32_t capacity) {
  // No samples: no table, no entry and no step, so nothing is sized by the
  // order (which may be huge for an empty table).
  if (n == 0) return IcfResult();
  const std::vector<double> table = ortho_table(x, n, sigma, m);
  const std::vector<double> kdiag = ortho_diagonal(table, n, m);
  // The running product gives the same N_q for every entry, so it is formed
  // once here.
  const std::vector<double> norm = normalizers(m);
  const size_t w = static_cast<size_t>(m) + 1;
  const double* T = table.data();
  const double* N = norm.data();
  auto entry = [T, N, w](int32_t u, int32_t v) {
    const double* hu = T + static_cast<size_t>(u) * w;
    const double* hv = T + static_cast<size_t>(v) * w;
    double s = 0.0;
    for (size_t q = 0; q < w; ++q) s = s + (hu[q] * hv[q]) / N[q];
    return s;
  };
  return pivoted_icf(n, [&kdiag](int32_t v) { return kdiag[static_cast<size_t>(v)]; }, entry, tol, capacity);
}

}  // namespace lowrank
