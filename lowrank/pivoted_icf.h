// Pivoted incomplete Cholesky factorization of a kernel matrix that is never
// formed: one column of kernel values is evaluated per step, for the pivot
// just chosen.  Shared by every factorization deliverable.
//
// Positions and steps are 0-based.  The factor G is column-major with n rows
// (leading dimension n); row i belongs to the sample at position i of the
// pivot order `perm`.  The floating-point operations of every entry run in a
// fixed order (coordinates, columns and positions increasing, sums from 0.0),
// so results are reproducible to the last bit; loops are arranged so that the
// compiler can vectorize across independent entries, never by reassociating
// a sum.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lowrank {

// Work state of one factorization.
struct IcfState {
  int32_t n = 0;
  std::vector<int32_t> perm;   // position -> sample
  std::vector<double> resid;   // residual diagonal by position
};

// Result of pivoted_icf: the factor buffer (n × capacity, column-major; its
// first rank·n values are the factor) and the pivot order.
struct IcfResult {
  std::vector<double> factor;
  std::vector<int32_t> perm;
  int32_t rank = 0;
};

// Initial factor capacity: h + h/8 + 1 for a non-zero expected rank h, else
// 30·d.  Both are computed in 64 bits here; the entries refuse the sizes
// that would overflow the 32-bit form.
inline int64_t initial_capacity(int64_t d, int64_t expected_rank) {
  if (expected_rank != 0) return expected_rank + expected_rank / 8 + 1;
  return (d * 60) / 2;
}

// Starts a factorization of n samples: perm = identity, resid = kernel diagonal.
template <class Diag>
IcfState icf_begin(int32_t n, Diag&& kdiag) {
  IcfState s;
  s.n = n;
  s.perm.resize(static_cast<size_t>(n));
  s.resid.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    s.perm[static_cast<size_t>(i)] = i;
    s.resid[static_cast<size_t>(i)] = kdiag(i);
  }
  return s;
}

// Step k with pivot position p on the factor G (leading dimension n, at least
// k+1 columns, column k all zero).  Returns the remaining trace, the sum of
// the new residuals of positions k+1 … n-1, and sets *next to the position of
// the largest positive residual (the lowest on ties; k+1 when none is
// positive or all are NaN).
//
// The residual of position i after step k is kdiag - G[i,0]² - … - G[i,k]²,
// subtracted in increasing column order.  After step k-1 resid[i] holds that
// chain up to column k-1 exactly, and columns 0 … k-1 of a row never change
// but by row swaps, so subtracting G[i,k]² from it gives the same bits as
// recomputing the chain from the kernel diagonal.  resid moves with the rows
// on a swap to keep that pairing.
template <class Entry>
double icf_step(IcfState& s, double* G, int32_t k, int32_t p, Entry&& entry, int32_t* next) {
  const size_t n = static_cast<size_t>(s.n);
  const size_t kk = static_cast<size_t>(k);
  int32_t* perm = s.perm.data();
  double* resid = s.resid.data();

  // Swap: positions p and k exchange their samples and factor rows so far.
  const double pivot_resid = resid[p];
  if (p != k) {
    const size_t pp = static_cast<size_t>(p);
    std::swap(perm[pp], perm[kk]);
    std::swap(resid[pp], resid[kk]);
    for (size_t j = 0; j < kk; ++j) std::swap(G[pp + j * n], G[kk + j * n]);
  }

  double* col = G + kk * n;
  const double gkk = std::sqrt(pivot_resid);
  col[kk] = gkk;

  // Kernel column, the pivot sample first.
  const int32_t u = perm[kk];
  for (size_t i = kk + 1; i < n; ++i) col[i] = entry(u, perm[i]);

  // Elimination, columns in increasing order for every entry.  Four columns
  // per pass keep the running value in a register; the order of the
  // subtractions of each entry is unchanged.
  size_t j = 0;
  for (; j + 4 <= kk; j += 4) {
    const double* g0 = G + j * n;
    const double* g1 = g0 + n;
    const double* g2 = g1 + n;
    const double* g3 = g2 + n;
    const double b0 = g0[kk], b1 = g1[kk], b2 = g2[kk], b3 = g3[kk];
    for (size_t i = kk + 1; i < n; ++i) {
      double v = col[i];
      v = v - g0[i] * b0;
      v = v - g1[i] * b1;
      v = v - g2[i] * b2;
      v = v - g3[i] * b3;
      col[i] = v;
    }
  }
  for (; j < kk; ++j) {
    const double* gj = G + j * n;
    const double b = gj[kk];
    for (size_t i = kk + 1; i < n; ++i) col[i] = col[i] - gj[i] * b;
  }

  // Scaling by a true division, then the new residuals.
  for (size_t i = kk + 1; i < n; ++i) {
    col[i] = col[i] / gkk;
    resid[i] = resid[i] - col[i] * col[i];
  }

  // Pivot choice and remaining trace, positions in increasing order.
  double trace = 0.0, best = 0.0;
  int32_t pick = k + 1;
  for (size_t i = kk + 1; i < n; ++i) {
    const double value = resid[i];
    if (value > best) {
      best = value;
      pick = static_cast<int32_t>(i);
    }
    trace += value;
  }
  *next = pick;
  return trace;
}

// The factorization with an absolute stop on the remaining trace and a
// factor buffer that grows by half one column before it is full.
//   kdiag(v)     kernel diagonal of sample v
//   entry(u, v)  kernel entry of pivot sample u and sample v
// The factorization runs only if tol < n; it stops once the remaining trace
// is not above tol (a NaN trace stops it too).
template <class Diag, class Entry>
IcfResult pivoted_icf(int32_t n, Diag&& kdiag, Entry&& entry, double tol, int32_t capacity) {
  IcfState s = icf_begin(n, kdiag);
  IcfResult out;
  // The factor never has more than n columns, so a larger buffer is never
  // used; growth happens at k = capacity - 1, which the cap n + 1 keeps out
  // of reach.  At least two columns, so that growth by half does grow.
  int64_t cap = capacity;
  if (cap > n) cap = static_cast<int64_t>(n) + 1;
  if (cap < 2) cap = 2;
  out.factor.assign(static_cast<size_t>(cap) * static_cast<size_t>(n), 0.0);

  int32_t rank = 0;
  if (tol < static_cast<double>(n)) {
    int32_t p = 0;
    // After position n - 1 the remaining trace is an empty sum, so with
    // tol >= 0 the trace test ends the loop by then; the bound only guards
    // a negative tol.
    for (int32_t k = 0; k < n; ++k) {
      if (k == cap - 1) {
        cap = cap + cap / 2;
        std::vector<double> grown(static_cast<size_t>(cap) * static_cast<size_t>(n), 0.0);
        std::copy(out.factor.begin(), out.factor.begin() + static_cast<ptrdiff_t>(k) * n, grown.begin());
        out.factor.swap(grown);
      }
      const double trace = icf_step(s, out.factor.data(), k, p, entry, &p);
      rank = k + 1;
      if (!(trace > tol)) break;
    }
  }
  out.perm = std::move(s.perm);
  out.rank = rank;
  return out;
}

}  // namespace lowrank
