// Gaussian-kernel incomplete Cholesky: K(u, v) = exp(-|x_u - x_v|^2 / (2 sigma^2)),
// evaluated as exp(s * f) with f = (-0.5 / sigma) / sigma and s the sum of
// squared differences (pivot minus other) in increasing coordinate order.
#pragma once

#include <cstdint>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

// X is d × n, column-major, one sample per column.  The kernel diagonal is 1.
IcfResult icf_rbf(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity);

}  // namespace lowrank
