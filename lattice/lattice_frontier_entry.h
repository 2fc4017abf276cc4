// The one entry body of lattice_frontier and lattice_frontier_full, which
// differ only in which dimensions take part in the search.
#pragma once

#include "host/mexhost.h"
#include "lattice/frontier.h"
#include "lattice/lattice_entry.h"

namespace lattice {

inline void frontier_entry(const char* deliverable, bool active_only, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
  enum { IN_INDEX_SET, IN_BOUNDS, INPUT_COUNT };
  enum { OUT_NEIGHBOURS, OUTPUT_COUNT };
  char usage[96];
  std::snprintf(usage, sizeof usage, "neighbours = %s(index_set, bounds)", deliverable);
  require_counts(deliverable, nrhs, INPUT_COUNT, nlhs, OUTPUT_COUNT, usage);
  require_int32_input(deliverable, prhs[IN_INDEX_SET], IN_INDEX_SET, "index_set");
  require_int32_input(deliverable, prhs[IN_BOUNDS], IN_BOUNDS, "bounds");
  require_point_matrix(deliverable, prhs[IN_INDEX_SET], "index_set");

  const int32_t M = static_cast<int32_t>(host::rows(prhs[IN_INDEX_SET]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[IN_INDEX_SET]));
  const int32_t* set = int32_data(prhs[IN_INDEX_SET]);
  const int32_t* bounds = int32_data(prhs[IN_BOUNDS]);
  // Coordinates start at 1.  A set written from 0 would get a wrong answer
  // without a word: the closure test looks only at coordinates above 1, and
  // the unit points are those of a 1-based set.
  const size_t values = host::numel(prhs[IN_INDEX_SET]);
  for (size_t i = 0; i < values; ++i)
    if (set[i] < 1)
      host::fail_for(deliverable, "badCoordinate",
                     "index_set holds %d in row %zu of column %zu: coordinates are 1-based (at least 1).",
                     static_cast<int>(set[i]), i % static_cast<size_t>(M) + 1, i / static_cast<size_t>(M) + 1);

  int32_t needed = 0;
  host::CoreFailure failure = host::run_core([&] { needed = bounds_read(set, M, N, active_only); });
  if (failure.failed)
    host::fail_for(deliverable, "outOfMemory", "Not enough memory for the search (%s).", failure.text);
  require_entries(deliverable, "shortBounds", prhs[IN_BOUNDS], static_cast<size_t>(needed), "bounds",
                  active_only ? "one per active dimension of index_set" : "one per row of index_set");

  PointRows rows;
  failure = host::run_core([&] { rows = frontier(set, M, N, bounds, active_only); });
  if (failure.failed) {
    rows = PointRows();
    rows.coords.shrink_to_fit();
    host::fail_for(deliverable, "outOfMemory", "Not enough memory for the search (%s).", failure.text);
  }
  plhs[OUT_NEIGHBOURS] = rows_output(rows);
}

}  // namespace lattice
