// linidx_coords(dims, idx) -> coordinates
// 1-based linear indices into a column-major grid to 1-based coordinates,
// one row per index.
#include "host/mexhost.h"
#include "lattice/grid.h"
#include "lattice/lattice_entry.h"

namespace {
enum { IN_DIMS, IN_IDX, INPUT_COUNT };
enum { OUT_COORDS, OUTPUT_COUNT };
const char* const DELIVERABLE = "linidx_coords";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::require_counts(DELIVERABLE, nrhs, INPUT_COUNT, nlhs, OUTPUT_COUNT, "coords = linidx_coords(dims, idx)");
  lattice::require_double_input(DELIVERABLE, prhs[IN_DIMS], IN_DIMS, "dims");
  lattice::require_double_input(DELIVERABLE, prhs[IN_IDX], IN_IDX, "idx");
  const size_t n = host::numel(prhs[IN_DIMS]), m = host::numel(prhs[IN_IDX]);
  if (n > host::MAX_DIM || m > host::MAX_DIM)
    host::fail_for(DELIVERABLE, "tooLarge", "dims and idx may hold at most %zu elements each.", host::MAX_DIM);

  // No dimensions: every index names the one cell; the list comes back as it is.
  if (n == 0) {
    plhs[OUT_COORDS] = mxDuplicateArray(prhs[IN_IDX]);
    return;
  }

  const double* dims = mxGetPr(prhs[IN_DIMS]);
  const double* idx = mxGetPr(prhs[IN_IDX]);
  int32_t total = 1;
  size_t where = 0;
  const lattice::GridCheck check = lattice::check_grid(dims, n, total, where);
  if (check == lattice::GridCheck::bad_extent)
    host::fail_for(DELIVERABLE, "badExtent",
                   "Extent %zu of dims is %g; every extent must be a positive integer no larger than %d.", where + 1,
                   dims[where], lattice::MAX_CELLS);
  if (check == lattice::GridCheck::too_many_cells)
    host::fail_for(DELIVERABLE, "tooManyCells",
                   "The grid has more than %d cells (the product passes it at extent %zu).", lattice::MAX_CELLS,
                   where + 1);
  size_t first = 0;
  if (lattice::indices_outside_grid(idx, m, total, first) > 0)
    host::fail_for(DELIVERABLE, "badIndex", "Index %zu is %g; indices must lie in 1 ... %d.", first + 1, idx[first],
                   static_cast<int>(total));

  plhs[OUT_COORDS] = mxCreateDoubleMatrix(static_cast<mwSize>(m), static_cast<mwSize>(n), mxREAL);
  double* out = mxGetPr(plhs[OUT_COORDS]);
  const host::CoreFailure failure = host::run_core([&] { lattice::coords_of_indices(dims, n, idx, m, out); });
  if (failure.failed)
    host::fail_for(DELIVERABLE, "outOfMemory", "Not enough memory to convert the indices (%s).", failure.text);
}
