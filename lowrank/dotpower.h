// Polynomial-kernel incomplete Cholesky: K(u, v) = (scale·<x_u, x_v> + offset)^degree.
// The inner product is accumulated from 0.0 in increasing coordinate order
// (other sample times pivot sample), the base is s·scale + offset and the
// entry is pow(base, degree).
#pragma once

#include <cstdint>
#include <vector>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

// Kernel diagonal of every sample.  For d = 1 it is pow((x·scale)·x + offset,
// degree); otherwise pow(q·scale + offset, degree) with q = Σ x_t², summed
// from 0.0 in increasing coordinate order.
std::vector<double> dotpower_diagonal(const double* X, int32_t d, int32_t n, double offset, double scale,
                                      int32_t degree);

// X is d × n, column-major, one sample per column.
IcfResult icf_dotpower(const double* X, int32_t d, int32_t n, double offset, double scale, int32_t degree, double tol,
                       int32_t capacity, const IcfOptions& options = IcfOptions(), IcfStats* stats = nullptr);

// Work memory of icf_dotpower at its start: the factor buffer, a copy of X
// in pivot order, the kernel diagonal and the state.
uint64_t dotpower_work_bytes(int64_t d, int64_t n, int64_t capacity);

}  // namespace lowrank
