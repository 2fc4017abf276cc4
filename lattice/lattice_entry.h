// Argument checks and outputs shared by the lattice entries, in the host
// header's vocabulary.  Entry-side only: includes the host interface.
#pragma once

#include <cstdint>
#include <cstdio>

#include "host/mexhost.h"
#include "lattice/frontier.h"

namespace lattice {

// Exactly `inputs` inputs and at most `outputs` outputs; `usage` is the
// calling syntax.
inline void require_counts(const char* deliverable, int nrhs, int inputs, int nlhs, int outputs, const char* usage) {
  host::require_nargin(deliverable, nrhs, inputs, "%d inputs required: %s.", inputs, usage);
  if (nrhs > inputs) host::fail_for(deliverable, "nargin", "%d inputs required: %s.", inputs, usage);
  host::require_nargout(deliverable, nlhs, outputs, usage);
}

// Input `position` (0-based), called `name` in the messages, must be a real
// int32 array.
inline void require_int32_input(const char* deliverable, const mxArray* a, int position, const char* name) {
  host::require_int32(deliverable, a, "Input %d (%s) must be a real int32 array, not %s.", position + 1, name,
                      mxIsComplex(a) ? "complex" : mxGetClassName(a));
}

// Input `position` (0-based), called `name` in the messages, must be a real,
// full double array.
inline void require_double_input(const char* deliverable, const mxArray* a, int position, const char* name) {
  host::require_real_double(deliverable, a, "Input %d (%s) must be a real, full double array, not %s.", position + 1,
                            name, mxIsSparse(a) ? "sparse" : mxIsComplex(a) ? "complex" : mxGetClassName(a));
}

// Rows and columns of a point matrix; both must fit the 32-bit counts.
inline void require_point_matrix(const char* deliverable, const mxArray* a, const char* name) {
  host::require_max_dim(deliverable, a, "%s has more rows or columns than %zu.", name, host::MAX_DIM);
}

// A vector from which `needed` entries are read must hold that many.
inline void require_entries(const char* deliverable, const char* condition, const mxArray* a, size_t needed,
                            const char* name, const char* why) {
  if (host::numel(a) < needed)
    host::fail_for(deliverable, condition, "%s has %zu entries but %zu are needed (%s).", name, host::numel(a), needed,
                   why);
}

// lattice_mismatch and lattice_nearest: an int32 probe with at least one
// entry per row of an int32 point matrix, in that order.
enum { IN_PROBE, IN_PROBED_SET, PROBE_INPUT_COUNT };
inline void require_probe_and_set(const char* deliverable, const mxArray* const prhs[]) {
  require_int32_input(deliverable, prhs[IN_PROBE], IN_PROBE, "probe");
  require_int32_input(deliverable, prhs[IN_PROBED_SET], IN_PROBED_SET, "index_set");
  require_point_matrix(deliverable, prhs[IN_PROBED_SET], "index_set");
  require_entries(deliverable, "shortProbe", prhs[IN_PROBE], host::rows(prhs[IN_PROBED_SET]), "probe",
                  "one per row of index_set");
}

inline const int32_t* int32_data(const mxArray* a) { return static_cast<const int32_t*>(mxGetData(a)); }

// Output: the rows as a double matrix.
inline mxArray* rows_output(const PointRows& rows) {
  mxArray* out = mxCreateDoubleMatrix(static_cast<mwSize>(rows.count), static_cast<mwSize>(rows.dims), mxREAL);
  write_rows(rows, mxGetPr(out));
  return out;
}

}  // namespace lattice
