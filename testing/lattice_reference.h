// Plain, literal versions of the lattice routines: the tabulating linear
// index conversion and the linear-scan searches over member columns and the
// accepted list.  The library must give identical outputs; tests and
// benchmarks compare against these.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace lattice_ref {

// Output of the point routines: R × M, column-major doubles.
struct Matrix {
  size_t rows = 0, cols = 0;
  std::vector<double> v;
};

// linidx_coords for n >= 1 extents, m indices; the list path tabulates the
// whole grid, the single-index path uses arithmetic.
inline Matrix linidx_coords(const double* dims, int32_t n, const double* idx, int32_t m) {
  int32_t total = 1;
  for (int32_t k = 0; k < n; ++k) total *= static_cast<int32_t>(dims[k]);
  int method = 2;  // 0 general, 1 one-or-two, 2 all-two
  for (int32_t k = 0; k < n; ++k) {
    if (dims[k] > 2.0) {
      method = 0;
      break;
    }
    if (static_cast<int32_t>(dims[k]) == 1) method = 1;
  }
  Matrix out;
  out.rows = static_cast<size_t>(m);
  out.cols = static_cast<size_t>(n);
  out.v.assign(out.rows * out.cols, 0.0);
  if (m == 1) {
    const int32_t t = static_cast<int32_t>(idx[0]) - 1;
    if (method == 2) {
      for (int32_t k = 0; k < n; ++k) out.v[k] = ((t >> k) & 1) ? 2.0 : 1.0;
    } else {
      std::vector<int32_t> s(n);
      s[0] = 1;
      for (int32_t k = 1; k < n; ++k) s[k] = s[k - 1] * static_cast<int32_t>(dims[k - 1]);
      int32_t r = t;
      for (int32_t k = n - 1; k >= 0; --k) {
        out.v[k] = static_cast<double>(r / s[k] + 1);
        r = r - (r / s[k]) * s[k];
      }
    }
    return out;
  }
  int32_t* table = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * static_cast<size_t>(total) * n));
  int32_t* s = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * n));
  int32_t* c = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * n));
  for (int32_t k = 0; k < n; ++k) {
    int32_t* col = table + static_cast<size_t>(k) * total;
    if (method == 2) {
      for (int32_t t = 0; t < total; ++t) col[t] = ((t >> k) & 1) ? 2 : 1;
      continue;
    }
    if (method == 1) {
      const int32_t shift = k == 0 ? 0 : static_cast<int32_t>(dims[k - 1]) - 1;
      s[k] = k == 0 ? 1 : s[k - 1] << shift;
      c[k] = k == 0 ? total : c[k - 1] >> shift;
    } else {
      s[k] = k == 0 ? 1 : static_cast<int32_t>(static_cast<double>(s[k - 1]) * dims[k - 1]);
      c[k] = total / s[k];
    }
    if (dims[k] == 1.0) {
      for (int32_t t = 0; t < total; ++t) col[t] = 1;
      continue;
    }
    const int32_t values = method == 1 ? 2 : static_cast<int32_t>(dims[k]);
    int32_t t = 0;
    for (int32_t run = 0; run < c[k]; ++run)
      for (int32_t e = 0; e < s[k]; ++e) col[t++] = run % values + 1;
  }
  for (int32_t k = 0; k < n; ++k)
    for (int32_t l = 0; l < m; ++l)
      out.v[l + static_cast<size_t>(k) * m] =
          static_cast<double>(table[static_cast<size_t>(k) * total + static_cast<int32_t>(idx[l]) - 1]);
  std::free(table);
  std::free(s);
  std::free(c);
  return out;
}

// Both frontier deliverables: linear scans with early exit.
inline Matrix frontier(const int32_t* set, int32_t M, int32_t N, const int32_t* bounds, bool active_only) {
  std::vector<int32_t> flag(M, 0), dim;
  if (active_only) {
    for (int32_t k = 0; k < M; ++k)
      for (int32_t p = 0; p < N; ++p)
        if (set[k + p * M] > 1) flag[k] = 1;
    for (int32_t k = 0; k < M; ++k)
      if (flag[k]) dim.push_back(k);
  } else {
    for (int32_t k = 0; k < M; ++k) dim.push_back(k);
  }
  const int32_t J = static_cast<int32_t>(dim.size());
  // Equality over the compared dimensions of a run-of-J point and a column.
  auto equals_column = [&](const int32_t* a, int32_t p) {
    for (int32_t b = 0; b < J; ++b)
      if (a[b] != set[dim[b] + p * M]) return false;
    return true;
  };
  auto is_member = [&](const int32_t* a) {
    for (int32_t p = 0; p < N; ++p)
      if (equals_column(a, p)) return true;
    return false;
  };
  int32_t* store = static_cast<int32_t*>(std::calloc(static_cast<size_t>(N) * J * J + 1, sizeof(int32_t)));
  int32_t count = 0;
  std::vector<int32_t> cand(J);
  for (int32_t p = 0; p < N; ++p) {
    for (int32_t b = 0; b < J; ++b) {
      const int32_t k = dim[b];
      if (!(set[k + p * M] < bounds[b])) continue;
      for (int32_t f = 0; f < J; ++f) cand[f] = set[dim[f] + p * M];
      cand[b] += 1;
      bool repeated = false;
      for (int32_t r = 0; r < count && !repeated; ++r) {
        bool same = true;
        for (int32_t f = 0; f < J && same; ++f) same = store[r * J + f] == cand[f];
        repeated = same;
      }
      if (repeated || is_member(cand.data())) continue;
      bool closed = true;
      for (int32_t f = 0; f < J && closed; ++f) {
        if (f == b || set[dim[f] + p * M] <= 1) continue;
        cand[f] -= 1;
        closed = is_member(cand.data());
        cand[f] += 1;
      }
      if (!closed) continue;
      for (int32_t f = 0; f < J; ++f) store[count * J + f] = cand[f];
      ++count;
    }
  }
  const int32_t R = count + (active_only ? M - J : 0);
  Matrix out;
  out.rows = static_cast<size_t>(R);
  out.cols = static_cast<size_t>(M);
  out.v.assign(out.rows * out.cols, 1.0);
  for (int32_t r = 0; r < count; ++r)
    for (int32_t b = 0; b < J; ++b) out.v[r + static_cast<size_t>(dim[b]) * R] = store[r * J + b];
  if (active_only) {
    int32_t r = count;
    for (int32_t k = 0; k < M; ++k)
      if (!flag[k]) out.v[r++ + static_cast<size_t>(k) * R] = 2.0;
  }
  std::free(store);
  return out;
}

inline Matrix extend(const int32_t* blocking, int32_t M, int32_t N, const int32_t* current, const int32_t* maxima) {
  int32_t* accepted = static_cast<int32_t*>(std::calloc(static_cast<size_t>(M) * M + 1, sizeof(int32_t)));
  int32_t count = 0;
  std::vector<int32_t> cand(M);
  for (int32_t j = 0; j < M; ++j) {
    if (!(current[j] < maxima[j])) continue;
    for (int32_t l = 0; l < M; ++l) cand[l] = current[l];
    cand[j] += 1;
    bool refused = false;
    for (int32_t q = 0; q < N && !refused; ++q) {
      bool dominated = true;
      for (int32_t l = 0; l < M && dominated; ++l) dominated = blocking[l + q * M] <= cand[l];
      refused = dominated;
    }
    if (refused) continue;
    for (int32_t l = 0; l < M; ++l) accepted[count * M + l] = cand[l];
    ++count;
  }
  Matrix out;
  out.rows = static_cast<size_t>(count);
  out.cols = static_cast<size_t>(M);
  out.v.assign(out.rows * out.cols, 0.0);
  for (int32_t r = 0; r < count; ++r)
    for (int32_t l = 0; l < M; ++l) out.v[r + static_cast<size_t>(l) * count] = accepted[r * M + l];
  std::free(accepted);
  return out;
}

// lattice_mismatch: one count per column, every row compared.
inline std::vector<double> mismatch(const int32_t* probe, const int32_t* set, int32_t M, int32_t N) {
  std::vector<double> counts(static_cast<size_t>(N), 0.0);
  for (int32_t j = 0; j < N; ++j)
    for (int32_t l = 0; l < M; ++l)
      if (set[l + static_cast<size_t>(j) * M] != probe[l]) counts[j] += 1;
  return counts;
}

// lattice_nearest: {best, column}.
inline std::pair<double, double> nearest(const int32_t* probe, const int32_t* set, int32_t M, int32_t N) {
  double best = M, column = 0;
  for (int32_t j = 0; j < N; ++j) {
    double c = 0;
    for (int32_t l = 0; l < M; ++l) {
      if (set[l + j * M] != probe[l]) c += 1;
      if (c >= best) break;
    }
    if (c < best) {
      best = c;
      column = j + 1;
    }
    if (best == 0) break;
  }
  return {best, column};
}

}  // namespace lattice_ref
