#include "lowrank/ortho.h"

#include <cmath>

namespace lowrank {

namespace {

// N_0 … N_m, each the running product of the previous one and q·2.0, up to
// the first that is infinite (q = 150 or so): from there on every N_q is
// +inf, so N_q is norm[min(q, last)] with last = norm.size() - 1, and the
// normalizers of a huge order take no memory.
std::vector<double> normalizers(size_t m) {
  std::vector<double> norm(1, 1.0);
  double nq = 1.0;
  for (size_t q = 1; q <= m && !std::isinf(nq); ++q) {
    nq = nq * (static_cast<double>(q) * 2.0);
    norm.push_back(nq);
  }
  return norm;
}

// h_q(x_j) into table[j·js + q·qs] for q = 0 … m.
void fill_table(const double* x, size_t n, double sigma, size_t m, size_t js, size_t qs, double* table) {
  for (size_t j = 0; j < n; ++j) {
    const double xj = x[j];
    const double g = std::exp((((xj * xj) * -0.5) / sigma) / sigma);
    table[j * js] = g;
    table[j * js + qs] = g * (xj * 2.0);
  }
  for (size_t q = 2; q <= m; ++q) {
    const double c = (static_cast<double>(q) - 1.0) * 2.0;
    for (size_t j = 0; j < n; ++j) {
      double* h = table + j * js;
      h[q * qs] = ((x[j] * 2.0) * h[(q - 1) * qs]) - (c * h[(q - 2) * qs]);
    }
  }
}

// Σ_q (h_q·h_q)/N_q from 0.0 in increasing q, sample by sample.
std::vector<double> diagonal(const double* table, size_t n, size_t m, size_t js, size_t qs,
                             const std::vector<double>& N) {
  const size_t last = N.size() - 1;
  std::vector<double> kdiag(n, 0.0);
  for (size_t q = 0; q <= m; ++q) {
    const double nq = N[q < last ? q : last];
    for (size_t j = 0; j < n; ++j) {
      const double h = table[j * js + q * qs];
      kdiag[j] = kdiag[j] + (h * h) / nq;
    }
  }
  return kdiag;
}

// The table by position (order q of the sample at position i at T[q·n + i],
// following the row swaps) and the normalizers, built once.  The table is
// sized by the order, so it comes from calloc: a request that cannot be had
// is a null pointer (then std::bad_alloc), never a failure inside the
// allocator.
struct OrthoKernel {
  static constexpr uint64_t POOL_FROM = POOL_FROM_COMPUTED;

  size_t n, w;
  Doubles T;
  std::vector<double> N, kdiag;
  std::vector<const double*> hu;  // the candidates' values: order q at hu[c][q·n]

  OrthoKernel(const double* x, size_t n_, double sigma, size_t m) : n(n_), w(m + 1), T(w * n_), N(normalizers(m)) {
    fill_table(x, n, sigma, m, 1, n, T.data());
    kdiag = diagonal(T.data(), n, m, 1, n, N);
  }
  double diag(size_t v) const { return kdiag[v]; }
  // A product and a division per order.
  double column_cost() const { return 4.0 * static_cast<double>(w); }
  void swap(size_t p, size_t k) {
    for (size_t q = 0; q < w; ++q) std::swap(T[q * n + p], T[q * n + k]);
  }
  void prepare(const int32_t*, const int32_t* positions, size_t C, Team&) {
    hu.resize(C);
    for (size_t c = 0; c < C; ++c) hu[c] = T.data() + static_cast<size_t>(positions[c]);
  }
  void columns(Isa isa, size_t C, double* const* out, size_t r0, size_t r1, const int32_t*) const {
    ortho_sums(isa, T.data(), n, w, N.data(), N.size() - 1, hu.data(), n, C, out, r0, r1);
  }
};

}  // namespace

std::vector<double> ortho_table(const double* x, int32_t n, double sigma, int32_t m) {
  const size_t w = static_cast<size_t>(m) + 1;
  std::vector<double> table(w * static_cast<size_t>(n));
  fill_table(x, static_cast<size_t>(n), sigma, static_cast<size_t>(m), w, 1, table.data());
  return table;
}

std::vector<double> ortho_diagonal(const std::vector<double>& table, int32_t n, int32_t m) {
  const size_t w = static_cast<size_t>(m) + 1;
  return diagonal(table.data(), static_cast<size_t>(n), static_cast<size_t>(m), w, 1, normalizers(static_cast<size_t>(m)));
}

uint64_t ortho_work_bytes(int64_t n, int64_t m, int64_t capacity) {
  const uint64_t N = static_cast<uint64_t>(n), w = static_cast<uint64_t>(m) + 1;
  const uint64_t cap = static_cast<uint64_t>(capped_capacity(n, capacity));
  uint64_t bytes = bytes_of(cap, 8 * N);
  bytes = add_bytes(bytes, bytes_of(bytes_of(w, N), 8));  // table
  bytes = add_bytes(bytes, bytes_of(N, 8));               // kernel diagonal
  return add_bytes(bytes, icf_state_bytes(N));
}

IcfResult icf_ortho(const double* x, int32_t n, double sigma, int32_t m, double tol, int32_t capacity,
                    const IcfOptions& options, IcfStats* stats) {
  // No samples: no table, no entry and no step, so nothing is sized by the
  // order (which may be huge for an empty table).
  if (n == 0) return IcfResult();
  OrthoKernel kernel(x, static_cast<size_t>(n), sigma, static_cast<size_t>(m));
  const uint64_t table_bytes = add_bytes(bytes_of(bytes_of(kernel.w, static_cast<uint64_t>(n)), 8), bytes_of(n, 8));
  return pivoted_icf(n, kernel, tol, capacity, table_bytes, options, stats);
}

}  // namespace lowrank
