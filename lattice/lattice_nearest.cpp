// lattice_nearest(probe, index_set) -> [count, column]
// The fewest coordinate mismatches between probe and a column of index_set,
// and the first column that has them.
#include "host/mexhost.h"
#include "lattice/mismatch_entry.h"
#include "lattice/steps.h"

namespace {
enum { OUT_COUNT, OUT_COLUMN };
const char* const kName = "lattice_nearest";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::check_counts(kName, nrhs, 2, nlhs, 2, "[count, column] = lattice_nearest(probe, index_set)");
  lattice::check_probe_and_set(kName, prhs);
  const int32_t M = static_cast<int32_t>(host::rows(prhs[lattice::IN_INDEX_SET]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[lattice::IN_INDEX_SET]));

  const lattice::Nearest best = lattice::nearest_member(lattice::int32_data(prhs[lattice::IN_PROBE]),
                                                        lattice::int32_data(prhs[lattice::IN_INDEX_SET]), M, N);
  plhs[OUT_COUNT] = mxCreateDoubleScalar(static_cast<double>(best.count));
  // The column number goes out only when the caller asked for it.
  if (nlhs > 1) plhs[OUT_COLUMN] = mxCreateDoubleScalar(static_cast<double>(best.column));
}
