// Hermite-type-kernel incomplete Cholesky of n scalar samples:
//   K(x, y) = Σ_{q=0..m} h_q(x)·h_q(y) / N_q,  h_q(x) = H_q(x)·exp(-x²/(2σ²)),
// H_q the Hermite polynomials (H_0 = 1, H_1 = 2x, H_q = 2x·H_{q-1} - 2(q-1)·H_{q-2})
// and N_q = 2^q·q! formed as the running product N_q = N_{q-1}·(q·2.0).
#pragma once

#include <cstdint>
#include <vector>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

// Hermite-function table: h_q(x_j) at [j·(m+1) + q], the orders of one sample
// side by side.  m >= 1.
std::vector<double> ortho_table(const double* x, int32_t n, double sigma, int32_t m);

// Kernel diagonal: Σ_q (h_q·h_q)/N_q in increasing q from 0.0, per sample.
std::vector<double> ortho_diagonal(const std::vector<double>& table, int32_t n, int32_t m);

// x holds the n sample values; m >= 1.
IcfResult icf_ortho(const double* x, int32_t n, double sigma, int32_t m, double tol, int32_t capacity,
                    const IcfOptions& options = IcfOptions(), IcfStats* stats = nullptr);

// Work memory of icf_ortho at its start: the factor buffer, the table of
// (m+1)·n values, the kernel diagonal and the state (the normalizers stop
// at the first infinite one, a few hundred bytes).
uint64_t ortho_work_bytes(int64_t n, int64_t m, int64_t capacity);

}  // namespace lowrank
