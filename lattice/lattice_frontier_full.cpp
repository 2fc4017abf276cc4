// lattice_frontier_full(index_set, bounds) -> neighbours
// Admissible forward neighbours of a downward-closed set, every dimension
// searched alike.
#include "lattice/lattice_frontier_entry.h"

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  lattice::frontier_entry("lattice_frontier_full", false, nlhs, plhs, nrhs, prhs);
}
