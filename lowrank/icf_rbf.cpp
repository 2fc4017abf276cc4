// icf_rbf(X, sigma, tol [, expected_rank]) -> [G, perm]
// Pivoted incomplete Cholesky factorization of the Gaussian kernel matrix of
// the columns of X, without forming that matrix.
#include "host/mexhost.h"
#include "lowrank/icf_entry.h"
#include "lowrank/rbf.h"

namespace {
enum { IN_DATA, IN_SIGMA, IN_TOL, IN_EXPECTED_RANK };
enum { OUT_FACTOR, OUT_PERM };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin("icf_rbf", nrhs, 3, "Three or four inputs required: icf_rbf(X, sigma, tol [, expected_rank]).");
  host::require_nargout("icf_rbf", nlhs, 2, "[G, perm] = icf_rbf(X, sigma, tol [, expected_rank])");
  const int used = nrhs < 4 ? nrhs : 4;
  lowrank::check_real_double_inputs("icf_rbf", prhs, used, IN_SIGMA);

  lowrank::check_data_shape("icf_rbf", "X", prhs[IN_DATA]);
  const size_t d = host::rows(prhs[IN_DATA]), n = host::cols(prhs[IN_DATA]);

  const double sigma = mxGetPr(prhs[IN_SIGMA])[0];
  const double tol = lowrank::read_tol("icf_rbf", prhs[IN_TOL]);
  const int64_t expected_rank = nrhs >= 4 ? lowrank::read_count("icf_rbf", "expected_rank", prhs[IN_EXPECTED_RANK]) : 0;
  const int32_t capacity = lowrank::factor_capacity(static_cast<int64_t>(d), static_cast<int64_t>(n), expected_rank);

  lowrank::check_memory("icf_rbf", lowrank::rbf_work_bytes(static_cast<int64_t>(d), static_cast<int64_t>(n), capacity),
                        "a smaller expected_rank needs less");

  const double* X = mxGetPr(prhs[IN_DATA]);
  lowrank::factorize("icf_rbf", n, nlhs, plhs, [&] {
    return lowrank::icf_rbf(X, static_cast<int32_t>(d), static_cast<int32_t>(n), sigma, tol, capacity);
  });
}
