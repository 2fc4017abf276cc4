// icf_matrix(A, tol, max_rank) -> [G, perm, rank, residual]
// Pivoted incomplete Cholesky factorization of a formed kernel matrix A with a
// stop relative to its trace and a bound on the rank.
#include <cmath>

#include "host/mexhost.h"
#include "lowrank/icf_entry.h"
#include "lowrank/matrix.h"

namespace {
enum { IN_MATRIX, IN_TOL, IN_MAX_RANK };
enum { OUT_FACTOR, OUT_PERM, OUT_RANK, OUT_RESIDUAL };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin("icf_matrix", nrhs, 3, "Three inputs required: icf_matrix(A, tol, max_rank).");
  host::require_nargout("icf_matrix", nlhs, 4, "[G, perm, rank, residual] = icf_matrix(A, tol, max_rank)");
  lowrank::check_real_double_inputs("icf_matrix", prhs, 3, IN_TOL);

  const size_t rows = host::rows(prhs[IN_MATRIX]), n = host::cols(prhs[IN_MATRIX]);
  if (rows != n) host::fail_for("icf_matrix", "notSquare", "A must be square (it is %zu-by-%zu).", rows, n);
  host::require_max_dim("icf_matrix", prhs[IN_MATRIX], "A has more columns than %zu.", host::MAX_DIM);

  const double tol = mxGetPr(prhs[IN_TOL])[0];
  const int64_t max_rank = lowrank::read_count("icf_matrix", "max_rank", prhs[IN_MAX_RANK]);
  const double* A = mxGetPr(prhs[IN_MATRIX]);
  // Only a negative threshold lets the remaining trace of the last position
  // (0.0) pass the stop test, so then the rank bound must keep the steps
  // inside the matrix.
  if (max_rank > static_cast<int64_t>(n) && lowrank::matrix_trace(A, static_cast<int32_t>(n)) * tol < 0)
    host::fail_for("icf_matrix", "negativeThreshold",
                   "trace(A) * tol is negative: max_rank must not exceed the size of A then.");

  lowrank::check_memory("icf_matrix", lowrank::matrix_work_bytes(static_cast<int64_t>(n), max_rank),
                        "a smaller max_rank needs less");

  // Every output is created before any work memory is held, so that no host
  // error can come while the work arrays live; the factor is output 1 itself.
  plhs[OUT_FACTOR] = mxCreateDoubleMatrix(static_cast<mwSize>(n), static_cast<mwSize>(max_rank), mxREAL);
  double* G = mxGetPr(plhs[OUT_FACTOR]);
  double* perm_out = nullptr;
  double* rank_out = nullptr;
  double* residual_out = nullptr;
  if (nlhs > OUT_PERM) {
    plhs[OUT_PERM] = mxCreateDoubleMatrix(1, static_cast<mwSize>(n), mxREAL);
    perm_out = mxGetPr(plhs[OUT_PERM]);
  }
  if (nlhs > OUT_RANK) {
    plhs[OUT_RANK] = mxCreateDoubleMatrix(1, 1, mxREAL);
    rank_out = mxGetPr(plhs[OUT_RANK]);
  }
  if (nlhs > OUT_RESIDUAL) {
    plhs[OUT_RESIDUAL] = mxCreateDoubleMatrix(1, 1, mxREAL);
    residual_out = mxGetPr(plhs[OUT_RESIDUAL]);
  }

  host::CoreFailure failure = host::run_core([&] {
    const lowrank::MatrixIcfResult r =
        lowrank::icf_matrix(A, static_cast<int32_t>(n), tol, static_cast<int32_t>(max_rank), G);
    if (perm_out)
      for (size_t i = 0; i < n; ++i) perm_out[i] = static_cast<double>(r.perm[i]) + 1.0;
    if (rank_out) *rank_out = static_cast<double>(r.rank);
    if (residual_out) *residual_out = r.remaining / r.trace;
  });
  if (failure.failed)
    host::fail_for("icf_matrix", "outOfMemory", "Not enough memory for the factorization (%s).", failure.text);
}
