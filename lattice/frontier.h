// Admissible forward neighbours of a downward-closed multi-index set.
//
// A member set travels as an M × N int32 matrix, one point per column.  A
// point is admissible when it lies one step forward from a member, the
// stepped coordinate stays at or below that dimension's bound, it is not a
// member, and all its backward neighbours are members.  Membership, repeat
// and closure questions are answered through hash indices over the compared
// coordinates, so the work grows about linearly with the set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lattice {

// Points as rows of an R × M result, held point by point (point r occupies
// coords[r*M … r*M+M-1]).
struct PointRows {
  int32_t dims = 0;
  int32_t count = 0;
  std::vector<int32_t> coords;
};

// Dimensions in which some member has a coordinate above 1, increasing.
std::vector<int32_t> active_dimensions(const int32_t* set, int32_t M, int32_t N);

// Number of bound entries the search reads: J (the active dimensions) when
// only active dimensions take part, else M; none when the set is empty.
int32_t bounds_read(const int32_t* set, int32_t M, int32_t N, bool active_only);

// The admissible forward neighbours in order of first generation (member
// column order, then increasing dimension).  With active_only, the search
// runs over the active dimensions alone (bounds[b] bounds the b-th active
// dimension, compared coordinates are the active ones) and the unit point
// of every inactive dimension follows, in increasing dimension; otherwise
// every dimension takes part and bounds[k] bounds dimension k.  `bounds`
// must hold bounds_read(...) entries.
PointRows frontier(const int32_t* set, int32_t M, int32_t N, const int32_t* bounds, bool active_only);

// Writes the rows as a count × dims column-major double matrix.
void write_rows(const PointRows& rows, double* out);

}  // namespace lattice
