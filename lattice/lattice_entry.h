// Argument checks shared by the lattice entries.  Entry-side only: includes
// the host interface.
#pragma once

#include <cstdint>
#include <cstdio>

#include "host/mexhost.h"
#include "lattice/frontier.h"

namespace lattice {

// Exactly `inputs` inputs and at most `outputs` outputs.
inline void check_counts(const char* deliverable, int nrhs, int inputs, int nlhs, int outputs, const char* usage) {
  if (nrhs != inputs) host::fail_for(deliverable, "nargin", "%d inputs required: %s.", inputs, usage);
  if (nlhs > outputs) host::fail_for(deliverable, "nargout", "At most %d output%s: %s.", outputs, outputs == 1 ? "" : "s", usage);
}

inline void check_int32(const char* deliverable, const mxArray* a, int position, const char* name) {
  if (!host::is_real_int32(a))
    host::fail_for(deliverable, "notInt32", "Input %d (%s) must be a real int32 array, not %s.", position + 1, name,
         mxIsComplex(a) ? "complex" : mxGetClassName(a));
}

inline void check_double(const char* deliverable, const mxArray* a, int position, const char* name) {
  if (!host::is_real_double(a))
    host::fail_for(deliverable, "notDouble", "Input %d (%s) must be a real, full double array, not %s.", position + 1, name,
         mxIsSparse(a) ? "sparse" : mxIsComplex(a) ? "complex" : mxGetClassName(a));
}

// Rows and columns of a point matrix; both must fit in 32 bits.
inline void check_point_matrix(const char* deliverable, const mxArray* a, const char* name) {
  if (host::rows(a) > host::kMaxDim || host::cols(a) > host::kMaxDim)
    host::fail_for(deliverable, "tooLarge", "%s has more rows or columns than 2147483647.", name);
}

// A vector from which `needed` entries are read must hold that many.
inline void check_entries(const char* deliverable, const char* condition, const mxArray* a, size_t needed,
                          const char* name, const char* why) {
  if (host::numel(a) < needed)
    host::fail_for(deliverable, condition, "%s has %zu entries but %zu are needed (%s).", name, host::numel(a), needed, why);
}

inline const int32_t* int32_data(const mxArray* a) { return static_cast<const int32_t*>(mxGetData(a)); }

// Output: the rows as a double matrix.
inline mxArray* rows_output(const PointRows& rows) {
  mxArray* out = mxCreateDoubleMatrix(static_cast<mwSize>(rows.count), static_cast<mwSize>(rows.dims), mxREAL);
  write_rows(rows, mxGetPr(out));
  return out;
}

}  // namespace lattice
