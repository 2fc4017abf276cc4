// A literal, unoptimized pivoted incomplete Cholesky: residuals recomputed
// from the kernel diagonal at every step, one column at a time.  Used as the
// independent reference in tests and as the baseline in benchmarks.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace lowrank_ref {

struct Result {
  std::vector<double> G;  // n × rank
  std::vector<int32_t> perm;
  int32_t rank = 0;
};

template <class Diag, class Entry>
Result icf(int32_t n, Diag kdiag, Entry entry, double tol, int32_t capacity) {
  const size_t N = static_cast<size_t>(n);
  double* resid = static_cast<double*>(std::calloc(N + 1, sizeof(double)));
  double* G = static_cast<double*>(std::calloc(static_cast<size_t>(capacity) * N + 1, sizeof(double)));
  int32_t* perm = static_cast<int32_t*>(std::calloc(N + 1, sizeof(int32_t)));
  for (int32_t i = 0; i < n; ++i) {
    perm[i] = i;
    resid[i] = kdiag(i);
  }
  int32_t r = 0;
  if (tol < static_cast<double>(n)) {
    int32_t p = 0;
    for (int32_t k = 0;; ++k) {
      if (k == capacity - 1) {
        capacity = capacity + capacity / 2;
        double* grown = static_cast<double*>(std::calloc(static_cast<size_t>(capacity) * N, sizeof(double)));
        std::memcpy(grown, G, static_cast<size_t>(k) * N * sizeof(double));
        std::free(G);
        G = grown;
      }
      if (p != k) {
        std::swap(perm[p], perm[k]);
        for (int32_t j = 0; j < k; ++j) std::swap(G[p + j * N], G[k + j * N]);
      }
      G[k + k * N] = std::sqrt(resid[p]);
      for (int32_t i = k + 1; i < n; ++i) G[i + k * N] = entry(perm[k], perm[i]);
      for (int32_t j = 0; j < k; ++j)
        for (int32_t i = k + 1; i < n; ++i) G[i + k * N] = G[i + k * N] - G[i + j * N] * G[k + j * N];
      for (int32_t i = k + 1; i < n; ++i) G[i + k * N] = G[i + k * N] / G[k + k * N];
      double trace = 0.0, best = 0.0;
      p = k + 1;
      for (int32_t i = k + 1; i < n; ++i) {
        double value = kdiag(perm[i]);
        for (int32_t j = 0; j <= k; ++j) value = value - G[i + j * N] * G[i + j * N];
        resid[i] = value;
        if (value > best) {
          best = value;
          p = i;
        }
        trace += value;
      }
      r = k + 1;
      if (!(trace > tol)) break;
    }
  }
  Result out;
  out.G.assign(G, G + static_cast<size_t>(r) * N);
  out.perm.assign(perm, perm + N);
  out.rank = r;
  std::free(resid);
  std::free(G);
  std::free(perm);
  return out;
}

// The Gaussian kernel exactly as icf_rbf evaluates it.
inline Result icf_gaussian(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity) {
  const double f = (-0.5 / sigma) / sigma;
  auto entry = [=](int32_t u, int32_t v) {
    double s = 0.0;
    for (int32_t t = 0; t < d; ++t) {
      double diff = X[t + d * u] - X[t + d * v];
      s = s + diff * diff;
    }
    return std::exp(s * f);
  };
  return icf(n, [](int32_t) { return 1.0; }, entry, tol, capacity);
}

}  // namespace lowrank_ref
