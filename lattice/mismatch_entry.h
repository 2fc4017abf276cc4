// Argument checks shared by lattice_mismatch and lattice_nearest: an int32
// probe with at least one entry per row of an int32 point matrix.
#pragma once

#include "host/mexhost.h"
#include "lattice/lattice_entry.h"

namespace lattice {

enum { IN_PROBE, IN_INDEX_SET };

inline void check_probe_and_set(const char* name, const mxArray* prhs[]) {
  check_int32(name, prhs[IN_PROBE], IN_PROBE, "probe");
  check_int32(name, prhs[IN_INDEX_SET], IN_INDEX_SET, "index_set");
  check_point_matrix(name, prhs[IN_INDEX_SET], "index_set");
  check_entries(name, "shortProbe", prhs[IN_PROBE], host::rows(prhs[IN_INDEX_SET]), "probe",
                "one per row of index_set");
}

}  // namespace lattice
