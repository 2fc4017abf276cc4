// Linear indices into an n-dimensional grid and back to coordinates.
// Cells are numbered column-major from 1, the first dimension running
// fastest; coordinates are 1-based.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lattice {

// Most cells a grid may have: cell numbers are signed 32-bit.
constexpr int32_t MAX_CELLS = INT32_MAX;

// What reading a size vector found.
enum class GridCheck { ok, bad_extent, too_many_cells };

// Checks n extents held as doubles and sets `total` to their product.
// Every extent must be an integer in 1 … MAX_CELLS and the product must
// stay within MAX_CELLS; otherwise the result names the first fault and
// `where` the 0-based position of the extent at which it was found.
GridCheck check_grid(const double* dims, size_t n, int32_t& total, size_t& where);

// True when the index truncates toward zero to a value in 1 … total (NaN and
// infinities are outside).
bool index_in_grid(double index, int32_t total);

// The number of m indices that fail index_in_grid and, when some do, the
// 0-based position of the first in `first`.
size_t indices_outside_grid(const double* index, size_t m, int32_t total, size_t& first);

// Coordinates of m indices into a grid of n checked extents (each index
// already checked by index_in_grid), written as an m × n column-major double
// matrix: row l holds the coordinates of index l.  Each coordinate is
// computed from its index directly; nothing is tabulated.
void coords_of_indices(const double* dims, size_t n, const double* index, size_t m, double* out);

}  // namespace lattice
