// lattice_mismatch(probe, index_set) -> counts
// Number of coordinates in which each column of index_set differs from probe.
#include "host/mexhost.h"
#include "lattice/lattice_entry.h"
#include "lattice/mismatch.h"

namespace {
enum { OUT_COUNTS, OUTPUT_COUNT };
const char* const DELIVERABLE = "lattice_mismatch";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::require_counts(DELIVERABLE, nrhs, lattice::PROBE_INPUT_COUNT, nlhs, OUTPUT_COUNT,
                          "counts = lattice_mismatch(probe, index_set)");
  lattice::require_probe_and_set(DELIVERABLE, prhs);
  const mxArray* set = prhs[lattice::IN_PROBED_SET];
  const int32_t M = static_cast<int32_t>(host::rows(set));
  const int32_t N = static_cast<int32_t>(host::cols(set));

  plhs[OUT_COUNTS] = mxCreateDoubleMatrix(static_cast<mwSize>(N), 1, mxREAL);
  lattice::mismatch_counts(lattice::int32_data(prhs[lattice::IN_PROBE]), lattice::int32_data(set), M, N,
                           mxGetPr(plhs[OUT_COUNTS]));
}
