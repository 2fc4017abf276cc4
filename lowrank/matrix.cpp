#include "lowrank/matrix.h"

#include "lowrank/pivoted_icf.h"

namespace lowrank {

double matrix_trace(const double* A, int32_t n) {
  const size_t N = static_cast<size_t>(n);
  double t = 0.0;
  for (size_t j = 0; j < N; ++j) t = t + A[j + N * j];
  return t;
}

MatrixIcfResult icf_matrix(const double* A, int32_t n, double tol, int32_t max_rank, double* G) {
  const size_t N = static_cast<size_t>(n);
  auto kdiag = [A, N](int32_t v) { return A[static_cast<size_t>(v) * (N + 1)]; };
  IcfState s = icf_begin(n, kdiag);

  MatrixIcfResult out;
  out.trace = matrix_trace(A, n);
  const double threshold = out.trace * tol;
  double remaining = out.trace;

  // Pivot row u, other sample v: A[u + n·v].
  auto entry = [A, N](int32_t u, int32_t v) { return A[static_cast<size_t>(u) + N * static_cast<size_t>(v)]; };
  int32_t k = 0, p = 0;
  // Past position n - 1 the remaining trace is an empty sum, 0.0, which only
  // a negative threshold exceeds; the bound k < n keeps the step inside the
  // matrix in that case.
  while (remaining > threshold && k < max_rank && k < n) {
    remaining = icf_step(s, G, k, p, entry, &p);
    ++k;
  }
  out.rank = k;
  out.remaining = remaining;
  out.perm = std::move(s.perm);
  return out;
}

}  // namespace lowrank
