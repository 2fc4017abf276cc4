// icf_dotpower(X, offset, scale, degree, tol [, expected_rank]) -> [G, perm]
// Pivoted incomplete Cholesky factorization of the polynomial kernel matrix
// (scale·<x_u, x_v> + offset)^degree of the columns of X, without forming it.
#include <cmath>
#include <limits>

#include "host/mexhost.h"
#include "lowrank/dotpower.h"
#include "lowrank/icf_entry.h"

namespace {
enum { IN_DATA, IN_OFFSET, IN_SCALE, IN_DEGREE, IN_TOL, IN_EXPECTED_RANK };
enum { OUT_FACTOR, OUT_PERM };
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin("icf_dotpower", nrhs, 5,
                       "Five or six inputs required: icf_dotpower(X, offset, scale, degree, tol [, expected_rank]).");
  host::require_nargout("icf_dotpower", nlhs, 2,
                        "[G, perm] = icf_dotpower(X, offset, scale, degree, tol [, expected_rank])");
  const int used = nrhs < 6 ? nrhs : 6;
  lowrank::check_real_double_inputs("icf_dotpower", prhs, used, IN_OFFSET);

  lowrank::check_data_shape("icf_dotpower", "X", prhs[IN_DATA]);
  const size_t d = host::rows(prhs[IN_DATA]), n = host::cols(prhs[IN_DATA]);

  const double offset = mxGetPr(prhs[IN_OFFSET])[0];
  const double scale = mxGetPr(prhs[IN_SCALE])[0];
  const double degree_in = std::trunc(mxGetPr(prhs[IN_DEGREE])[0]);
  if (!(degree_in >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
        degree_in <= static_cast<double>(std::numeric_limits<int32_t>::max())))
    host::fail_for("icf_dotpower", "badDegree", "degree must be a number in the 32-bit integer range.");
  const double tol = lowrank::read_tol("icf_dotpower", prhs[IN_TOL]);
  const int64_t expected_rank =
      nrhs >= 6 ? lowrank::read_count("icf_dotpower", "expected_rank", prhs[IN_EXPECTED_RANK]) : 0;
  const int32_t capacity = lowrank::factor_capacity(static_cast<int64_t>(d), static_cast<int64_t>(n), expected_rank);

  lowrank::check_memory("icf_dotpower",
                        lowrank::dotpower_work_bytes(static_cast<int64_t>(d), static_cast<int64_t>(n), capacity),
                        "a smaller expected_rank needs less");

  const double* X = mxGetPr(prhs[IN_DATA]);
  lowrank::factorize("icf_dotpower", n, nlhs, plhs, [&] {
    return lowrank::icf_dotpower(X, static_cast<int32_t>(d), static_cast<int32_t>(n), offset, scale,
                                 static_cast<int32_t>(degree_in), tol, capacity);
  });
}
