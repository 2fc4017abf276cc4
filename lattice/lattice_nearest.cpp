// lattice_nearest(probe, index_set) -> [count, column]
// The fewest coordinate mismatches between probe and a column of index_set,
// and the first column that has them.
#include "host/mexhost.h"
#include "lattice/lattice_entry.h"
#include "lattice/mismatch.h"

namespace {
enum { OUT_COUNT, OUT_COLUMN, OUTPUT_COUNT };
const char* const DELIVERABLE = "lattice_nearest";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::require_counts(DELIVERABLE, nrhs, lattice::PROBE_INPUT_COUNT, nlhs, OUTPUT_COUNT,
                          "[count, column] = lattice_nearest(probe, index_set)");
  lattice::require_probe_and_set(DELIVERABLE, prhs);
  const mxArray* set = prhs[lattice::IN_PROBED_SET];
  const int32_t M = static_cast<int32_t>(host::rows(set));
  const int32_t N = static_cast<int32_t>(host::cols(set));

  const lattice::Nearest best =
      lattice::nearest_member(lattice::int32_data(prhs[lattice::IN_PROBE]), lattice::int32_data(set), M, N);
  plhs[OUT_COUNT] = host::scalar_out(static_cast<double>(best.count));
  // The column number goes out only when the caller asked for it.
  if (nlhs > OUT_COLUMN) plhs[OUT_COLUMN] = host::scalar_out(static_cast<double>(best.column));
}
