// The one entry body of lattice_frontier and lattice_frontier_full, which
// differ only in which dimensions take part in the search.
#pragma once

#include "host/mexhost.h"
#include "lattice/frontier.h"
#include "lattice/lattice_entry.h"

namespace lattice {

inline void frontier_entry(const char* name, bool active_only, int nlhs, mxArray* plhs[], int nrhs,
                           const mxArray* prhs[]) {
  enum { IN_INDEX_SET, IN_BOUNDS };
  enum { OUT_NEIGHBOURS };
  char usage[96];
  std::snprintf(usage, sizeof usage, "neighbours = %s(index_set, bounds)", name);
  check_counts(name, nrhs, 2, nlhs, 1, usage);
  check_int32(name, prhs[IN_INDEX_SET], IN_INDEX_SET, "index_set");
  check_int32(name, prhs[IN_BOUNDS], IN_BOUNDS, "bounds");
  check_point_matrix(name, prhs[IN_INDEX_SET], "index_set");

  const int32_t M = static_cast<int32_t>(host::rows(prhs[IN_INDEX_SET]));
  const int32_t N = static_cast<int32_t>(host::cols(prhs[IN_INDEX_SET]));
  const int32_t* set = int32_data(prhs[IN_INDEX_SET]);
  const int32_t* bounds = int32_data(prhs[IN_BOUNDS]);

  int32_t needed = 0;
  host::CoreFailure failure = host::run_core([&] { needed = bounds_read(set, M, N, active_only); });
  if (failure.failed) host::fail_for(name, "outOfMemory", "Not enough memory for the search (%s).", failure.text);
  check_entries(name, "shortBounds", prhs[IN_BOUNDS], static_cast<size_t>(needed), "bounds",
                active_only ? "one per active dimension of index_set" : "one per row of index_set");

  PointRows rows;
  failure = host::run_core([&] { rows = frontier(set, M, N, bounds, active_only); });
  if (failure.failed) {
    rows = PointRows();
    rows.coords.shrink_to_fit();
    host::fail_for(name, "outOfMemory", "Not enough memory for the search (%s).", failure.text);
  }
  plhs[OUT_NEIGHBOURS] = rows_output(rows);
}

}  // namespace lattice
