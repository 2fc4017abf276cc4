// icf_ortho(x, sigma, order, tol [, expected_rank]) -> [G, perm]
// Pivoted incomplete Cholesky factorization of the Hermite-type kernel matrix
// of the scalar samples x, an expansion in Hermite functions of orders
// 0 … order, without forming it.
#include <cmath>

#include "host/mexhost.h"
#include "lowrank/icf_entry.h"
#include "lowrank/ortho.h"

namespace {
enum { IN_SAMPLES, IN_SIGMA, IN_ORDER, IN_TOL, IN_EXPECTED_RANK };
enum { OUT_FACTOR, OUT_PERM };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin("icf_ortho", nrhs, 4,
                       "Four or five inputs required: icf_ortho(x, sigma, order, tol [, expected_rank]).");
  host::require_nargout("icf_ortho", nlhs, 2, "[G, perm] = icf_ortho(x, sigma, order, tol [, expected_rank])");
  const int used = nrhs < 5 ? nrhs : 5;
  lowrank::check_real_double_inputs("icf_ortho", prhs, used, IN_SIGMA);

  // The samples are the values of a row or of a column: counting only the
  // columns made a column one sample, and a matrix a mix of its columns,
  // without a word, so a matrix is refused.  The default factor buffer is
  // that of one row.
  lowrank::check_data_shape("icf_ortho", "x", prhs[IN_SAMPLES]);
  const size_t rows = host::rows(prhs[IN_SAMPLES]), cols = host::cols(prhs[IN_SAMPLES]);
  if (rows > 1 && cols > 1)
    host::fail_for("icf_ortho", "notVector", "x must be a row or a column of samples (it is %zu-by-%zu).", rows, cols);
  const size_t d = 1, n = rows > 1 ? rows : cols;

  const double sigma = mxGetPr(prhs[IN_SIGMA])[0];
  const double order_in = std::trunc(mxGetPr(prhs[IN_ORDER])[0]);
  // order + 1 orders are tabulated, a count that must fit in 32 bits.
  if (!(order_in >= 1.0)) host::fail_for("icf_ortho", "badOrder", "order must be at least 1.");
  if (order_in > static_cast<double>(host::MAX_DIM - 1))
    host::fail_for("icf_ortho", "tooLarge", "order must not exceed %zu.", host::MAX_DIM - 1);
  const int32_t order = static_cast<int32_t>(order_in);
  if ((static_cast<double>(order) + 1.0) * static_cast<double>(n) > static_cast<double>(host::MAX_DIM))
    host::fail_for("icf_ortho", "tooLarge", "(order + 1) * numel(x) must not exceed %zu.", host::MAX_DIM);
  const double tol = lowrank::read_tol("icf_ortho", prhs[IN_TOL]);
  const int64_t expected_rank =
      nrhs >= 5 ? lowrank::read_count("icf_ortho", "expected_rank", prhs[IN_EXPECTED_RANK]) : 0;
  const int32_t capacity = lowrank::factor_capacity(static_cast<int64_t>(d), static_cast<int64_t>(n), expected_rank);

  // With no samples nothing is allocated at all.
  if (n > 0)
    lowrank::check_memory("icf_ortho", lowrank::ortho_work_bytes(static_cast<int64_t>(n), order, capacity),
                          "a smaller order or expected_rank needs less");

  const double* x = mxGetPr(prhs[IN_SAMPLES]);
  lowrank::factorize("icf_ortho", n, nlhs, plhs,
                     [&] { return lowrank::icf_ortho(x, static_cast<int32_t>(n), sigma, order, tol, capacity); });
}
