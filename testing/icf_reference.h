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

// Step k with pivot position *p, exactly as written: swap, diagonal, kernel
// column, elimination column by column, scaling, and residuals recomputed
// from the kernel diagonal.  Returns the remaining trace; *p becomes the next
// pivot position.
template <class Diag, class Entry>
double step(int32_t n, int32_t k, int32_t* p_inout, double* G, int32_t* perm, double* resid, Diag kdiag,
            Entry entry) {
  const size_t N = static_cast<size_t>(n);
  int32_t p = *p_inout;
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
  *p_inout = p;
  return trace;
}

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
      const double trace = step(n, k, &p, G, perm, resid, kdiag, entry);
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
inline Result icf_rbf(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity) {
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

// The polynomial kernel exactly as icf_dotpower evaluates it.
inline Result icf_dotpower(const double* X, int32_t d, int32_t n, double offset, double scale, int32_t degree,
                             double tol, int32_t capacity) {
  std::vector<double> kd(static_cast<size_t>(n));
  for (int32_t v = 0; v < n; ++v) {
    if (d == 1) {
      kd[v] = std::pow((X[v] * scale) * X[v] + offset, static_cast<double>(degree));
    } else {
      double q = 0.0;
      for (int32_t t = 0; t < d; ++t) q = q + X[t + d * v] * X[t + d * v];
      kd[v] = std::pow(q * scale + offset, static_cast<double>(degree));
    }
  }
  auto entry = [=](int32_t u, int32_t v) {
    double s;
    if (d == 1) {
      s = X[v] * X[u];
    } else {
      s = 0.0;
      for (int32_t t = 0; t < d; ++t) s = s + X[t + d * v] * X[t + d * u];
    }
    return std::pow(s * scale + offset, static_cast<double>(degree));
  };
  return icf(n, [&](int32_t v) { return kd[v]; }, entry, tol, capacity);
}

// The Hermite-type kernel exactly as icf_ortho evaluates it: a table of
// m+1 blocks of n values, normalizers formed afresh for every entry.
inline Result icf_ortho(const double* x, int32_t n, double sigma, int32_t m, double tol, int32_t capacity) {
  std::vector<double> h(static_cast<size_t>(m + 1) * n);
  for (int32_t j = 0; j < n; ++j) {
    double g = std::exp((((x[j] * x[j]) * (-0.5)) / sigma) / sigma);
    h[j] = g;
    h[n + j] = g * (x[j] * 2.0);
  }
  for (int32_t q = 2; q <= m; ++q) {
    double c = (q - 1.0) * 2.0;
    for (int32_t j = 0; j < n; ++j)
      h[q * n + j] = ((x[j] * 2.0) * h[(q - 1) * n + j]) - (c * h[(q - 2) * n + j]);
  }
  std::vector<double> kd(static_cast<size_t>(n), 0.0);
  double N = 1.0;
  for (int32_t q = 0; q <= m; ++q) {
    if (q > 0) N = N * (q * 2.0);
    for (int32_t j = 0; j < n; ++j) kd[j] = kd[j] + (h[q * n + j] * h[q * n + j]) / N;
  }
  auto entry = [&](int32_t u, int32_t v) {
    double s = 0.0, Nq = 1.0;
    for (int32_t q = 0; q <= m; ++q) {
      if (q > 0) Nq = Nq * (q * 2.0);
      s = s + (h[q * n + u] * h[q * n + v]) / Nq;
    }
    return s;
  };
  return icf(n, [&](int32_t v) { return kd[v]; }, entry, tol, capacity);
}

struct MatrixResult {
  std::vector<double> G;  // n × max_rank
  std::vector<int32_t> perm;
  int32_t rank = 0;
  double remaining = 0.0, trace = 0.0;
};

// The factorization of a given matrix: relative stop, rank bound, factor of
// fixed size, residuals recomputed from the diagonal.
inline MatrixResult icf_matrix(const double* A, int32_t n, double tol, int32_t max_rank) {
  const size_t N = static_cast<size_t>(n);
  MatrixResult out;
  out.G.assign(N * static_cast<size_t>(max_rank), 0.0);
  std::vector<double> resid(N), kd(N);
  out.perm.resize(N);
  double t0 = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    out.perm[j] = j;
    kd[j] = resid[j] = A[j + N * j];
    t0 += A[j + N * j];
  }
  double* G = out.G.data();
  double remaining = t0;
  const double threshold = t0 * tol;
  int32_t p = 0, k = 0;
  for (; remaining > threshold && k < max_rank; ++k) {
    remaining = step(n, k, &p, G, out.perm.data(), resid.data(), [&](int32_t v) { return kd[v]; },
                     [&](int32_t u, int32_t v) { return A[u + N * v]; });
  }
  out.rank = k;
  out.remaining = remaining;
  out.trace = t0;
  return out;
}

}  // namespace lowrank_ref
