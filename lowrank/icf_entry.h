// Argument checks and outputs shared by the factorization entries.
// Entry-side only: includes the host interface.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/huge_pages.h"
#include "host/mexhost.h"
#include "lowrank/memory.h"
#include "lowrank/pivoted_icf.h"

namespace lowrank {

// Inputs 0 … count-1 must be real, dense double arrays; inputs from
// first_scalar on must hold at least one element (their first is read).
inline void check_real_double_inputs(const char* deliverable, const mxArray* const* prhs, int count, int first_scalar) {
  for (int k = 0; k < count; ++k) {
    host::require_real_double(deliverable, prhs[k], "Input %d must be a real, full double array.", k + 1);
    if (k >= first_scalar && host::numel(prhs[k]) == 0)
      host::fail_for(deliverable, "emptyInput", "Input %d must not be empty.", k + 1);
  }
}

// A count read from the first element, truncated toward zero; it must be a
// finite value in 0 … host::MAX_DIM.
inline int64_t read_count(const char* deliverable, const char* what, const mxArray* a) {
  const double v = mxGetPr(a)[0];
  if (std::isnan(v)) host::fail_for(deliverable, "badCount", "%s must be a number, not NaN.", what);
  const double t = std::trunc(v);
  if (t < 0) host::fail_for(deliverable, "negativeCount", "%s must not be negative.", what);
  if (t > static_cast<double>(host::MAX_DIM))
    host::fail_for(deliverable, "tooLarge", "%s must not exceed %zu.", what, host::MAX_DIM);
  return static_cast<int64_t>(t);
}

// Initial factor capacity from the data's row count and the expected rank
// (0: default).  The factor never needs more than n + 1 columns, so the
// buffer is not sized beyond that, nor beyond the 32-bit count.
inline int32_t factor_capacity(int64_t d, int64_t n, int64_t expected_rank) {
  int64_t capacity = initial_capacity(d, expected_rank);
  if (capacity > n + 1) capacity = n + 1;
  if (capacity > static_cast<int64_t>(host::MAX_DIM)) capacity = static_cast<int64_t>(host::MAX_DIM);
  if (capacity < 1) capacity = 1;
  return static_cast<int32_t>(capacity);
}

// Rows d and columns n of the data: both within the 32-bit count, and at
// least one row when there are samples.
inline void check_data_shape(const char* deliverable, const char* name, const mxArray* a) {
  host::require_max_dim(deliverable, a, "%s has more rows or columns than %zu.", name, host::MAX_DIM);
  if (host::rows(a) == 0 && host::cols(a) > 0)
    host::fail_for(deliverable, "noDimensions", "%s must have at least one row.", name);
}

// The absolute tolerance; a negative one would not end the factorization.
inline double read_tol(const char* deliverable, const mxArray* a) {
  const double tol = mxGetPr(a)[0];
  if (tol < 0) host::fail_for(deliverable, "negativeTol", "tol must not be negative.");
  return tol;
}

// A factorization whose work memory exceeds the machine's physical memory is
// refused before anything is allocated: the system would hand out the
// address space and end the host once the pages are touched.  `hint` names
// the input that sets the size.
inline void check_memory(const char* deliverable, uint64_t bytes, const char* hint) {
  if (fits_in_memory(bytes)) return;
  host::fail_for(deliverable, "outOfMemory",
                 "The factorization needs %.1f GB of work memory, more than this machine's %.1f GB of physical "
                 "memory (%s).",
                 static_cast<double>(bytes) / 1e9, static_cast<double>(physical_memory_bytes()) / 1e9, hint);
}

// Output 1: the n × rank factor; output 2 (when requested): the 0-based pivot
// order as a 1 × n row of doubles.
// The factor is copied whole (its zeros above the diagonal included), so the
// host need not clear the matrix first; a fresh one gets huge pages, which
// makes its first touch several times cheaper.
inline void make_factor_outputs(const IcfResult& r, size_t n, int nlhs, mxArray* plhs[]) {
  plhs[0] = mxCreateUninitNumericMatrix(static_cast<mwSize>(n), static_cast<mwSize>(r.rank), mxDOUBLE_CLASS, mxREAL);
  const size_t values = static_cast<size_t>(r.rank) * n;
  if (values > 0) {
    double* G = mxGetPr(plhs[0]);
    pages::advise_huge(G, values * sizeof(double));
    std::memcpy(G, r.factor.data(), values * sizeof(double));
  }
  if (nlhs >= 2) {
    plhs[1] = mxCreateDoubleMatrix(1, static_cast<mwSize>(n), mxREAL);
    double* p = mxGetPr(plhs[1]);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<double>(r.perm[i]);
  }
}

// Runs a factorization core (plain C++ returning an IcfResult) and stores its
// outputs.  A core that runs out of memory ends the call with
// "<deliverable>:outOfMemory", raised once its result is released.
template <class Core>
void factorize(const char* deliverable, size_t n, int nlhs, mxArray* plhs[], Core&& core) {
  IcfResult result;
  host::CoreFailure failure = host::run_core([&] { result = core(); });
  if (failure.failed) {
    result = IcfResult();
    host::fail_for(deliverable, "outOfMemory", "Not enough memory for the factorization (%s).", failure.text);
  }
  make_factor_outputs(result, n, nlhs, plhs);
}

}  // namespace lowrank
