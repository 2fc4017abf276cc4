// lattice_frontier(index_set, bounds) -> neighbours
// Admissible forward neighbours of a downward-closed set, searched over the
// active dimensions only; each inactive dimension adds its unit point.
#include "lattice/lattice_frontier_entry.h"

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::frontier_entry("lattice_frontier", true, nlhs, plhs, nrhs, prhs);
}
