// Pivoted incomplete Cholesky of a kernel matrix the caller has formed.
// Same step as the other factorizations; the differences: entries are read
// from the matrix along the pivot's row, the stop is relative to the initial
// trace and bounded by a maximum rank, and the factor is written into a
// caller-provided n × max_rank buffer (no capacity, no growth).
#pragma once

#include <cstdint>
#include <vector>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

struct MatrixIcfResult {
  std::vector<int32_t> perm;  // position -> 0-based sample
  int32_t rank = 0;
  double remaining = 0.0;  // remaining trace when the loop ended
  double trace = 0.0;      // initial trace t0
};

// Trace of the n × n matrix A, summed from 0.0 in increasing order.
double matrix_trace(const double* A, int32_t n);

// A is n × n, column-major; entry (u, v) is read as A[u + n·v].  G is the
// zero-filled n × max_rank factor (column-major), filled in place.  Steps are
// made while the remaining trace exceeds t0·tol and the rank is below
// max_rank (and below n, which a non-negative threshold implies).
MatrixIcfResult icf_matrix(const double* A, int32_t n, double tol, int32_t max_rank, double* G,
                           const IcfOptions& options = IcfOptions(), IcfStats* stats = nullptr);

// Memory of icf_matrix: the n × max_rank factor (the output, which it fills)
// and the state.
uint64_t matrix_work_bytes(int64_t n, int64_t max_rank);

}  // namespace lowrank
