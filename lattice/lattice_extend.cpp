// lattice_extend(blocking_set, current, maxima) -> steps
// Forward steps of one multi-index that stay within the maxima and dominate
// no blocking point.
#include "host/mexhost.h"
#include "lattice/lattice_entry.h"
#include "lattice/steps.h"

namespace {
enum { IN_BLOCKING_SET, IN_CURRENT, IN_MAXIMA, INPUT_COUNT };
enum { OUT_STEPS, OUTPUT_COUNT };
const char* const DELIVERABLE = "lattice_extend";
}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::require_counts(DELIVERABLE, nrhs, INPUT_COUNT, nlhs, OUTPUT_COUNT,
                          "steps = lattice_extend(blocking_set, current, maxima)");
  lattice::require_int32_input(DELIVERABLE, prhs[IN_BLOCKING_SET], IN_BLOCKING_SET, "blocking_set");
  lattice::require_int32_input(DELIVERABLE, prhs[IN_CURRENT], IN_CURRENT, "current");
  lattice::require_int32_input(DELIVERABLE, prhs[IN_MAXIMA], IN_MAXIMA, "maxima");
  lattice::require_point_matrix(DELIVERABLE, prhs[IN_BLOCKING_SET], "blocking_set");
  const size_t dims = host::rows(prhs[IN_BLOCKING_SET]);
  lattice::require_entries(DELIVERABLE, "shortCurrent", prhs[IN_CURRENT], dims, "current",
                           "one per row of blocking_set");
  lattice::require_entries(DELIVERABLE, "shortMaxima", prhs[IN_MAXIMA], dims, "maxima", "one per row of blocking_set");

  const int32_t M = static_cast<int32_t>(dims);
  const int32_t N = static_cast<int32_t>(host::cols(prhs[IN_BLOCKING_SET]));
  const int32_t* blocking = lattice::int32_data(prhs[IN_BLOCKING_SET]);
  const int32_t* current = lattice::int32_data(prhs[IN_CURRENT]);
  const int32_t* maxima = lattice::int32_data(prhs[IN_MAXIMA]);

  lattice::PointRows rows;
  const host::CoreFailure failure =
      host::run_core([&] { rows = lattice::forward_steps(blocking, M, N, current, maxima); });
  if (failure.failed) {
    rows = lattice::PointRows();
    rows.coords.shrink_to_fit();
    host::fail_for(DELIVERABLE, "outOfMemory", "Not enough memory for the steps (%s).", failure.text);
  }
  plhs[OUT_STEPS] = lattice::rows_output(rows);
}
