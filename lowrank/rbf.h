// Gaussian-kernel incomplete Cholesky: K(u, v) = exp(-|x_u - x_v|^2 / (2 sigma^2)),
// evaluated as exp(s * f) with f = (-0.5 / sigma) / sigma and s the sum of
// squared differences (pivot minus other) in increasing coordinate order.
#pragma once

#include <cstdint>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

// X is d × n, column-major, one sample per column.  The kernel diagonal is 1.
IcfResult icf_rbf(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity,
                  const IcfOptions& options = IcfOptions(), IcfStats* stats = nullptr);

// Work memory of icf_rbf at its start: the factor buffer of `capacity`
// columns (as pivoted_icf caps it), a copy of X in pivot order and the state.
uint64_t rbf_work_bytes(int64_t d, int64_t n, int64_t capacity);

}  // namespace lowrank
