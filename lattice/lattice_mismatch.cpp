// lattice_mismatch(probe, index_set) -> counts
// Number of coordinates in which each column of index_set differs from probe.
#include "host/mexhost.h"
#include "lattice/mismatch_entry.h"
#include "lattice/steps.h"

namespace {
enum { OUT_COUNTS };
const char* const kName = "lattice_mismatch";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::check_counts(kName, nrhs, 2, nlhs, 1, "counts = lattice_mismatch(probe, index_set)");
  lattice::check_probe_and_set(kName, prhs);
  const int32_t M = static_cast<int32_t>(host::rows(prhs[lattice::IN_INDEX_SET]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[lattice::IN_INDEX_SET]));

  plhs[OUT_COUNTS] = mxCreateDoubleMatrix(static_cast<mwSize>(N), 1, mxREAL);
  lattice::mismatch_counts(lattice::int32_data(prhs[lattice::IN_PROBE]), lattice::int32_data(prhs[lattice::IN_INDEX_SET]),
                           M, N, mxGetPr(plhs[OUT_COUNTS]));
}
