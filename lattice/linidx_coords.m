function varargout = linidx_coords (varargin)
%LINIDX_COORDS  Linear indices into an n-dimensional grid to coordinates.
%   COORDS = LINIDX_COORDS(DIMS, IDX)
%
%   Conventions: indices and coordinates are 1-BASED; each index gives one
%   ROW of COORDS (the lattice functions take points as columns).
%
%   Converts 1-based linear indices into a grid of size DIMS to 1-based
%   coordinates.  Cells are numbered column-major, the first dimension
%   running fastest (as sub2ind/ind2sub number them).  Each index is
%   converted directly; the grid is never tabulated, so grids of up to
%   2^31-1 cells cost nothing beyond the output.
%
%   Inputs
%     DIMS    double, any shape, n elements: the extents, each a positive
%             integer; their product must not exceed 2147483647.
%     IDX     double, any shape, m elements: linear indices in
%             1 ... prod(DIMS), read in column-major element order.
%             Non-integral indices are truncated toward zero.
%
%   Output
%     COORDS  double, m-by-n: row l holds the coordinates of IDX(l).  When
%             DIMS is empty, COORDS is a copy of IDX (same shape).
%
%   Errors (identifier linidx_coords:<condition>): nargin, nargout,
%   notDouble (an input not a real full double array), badExtent (an extent
%   not a positive integer up to 2147483647), tooManyCells (more than
%   2147483647 cells), badIndex (an index outside 1 ... prod(DIMS)),
%   tooLarge, outOfMemory.
%
%   Example
%     linidx_coords([3 4], 7)          % [1 3]
%     linidx_coords([2 1 3], [6; 1])   % [2 1 3; 1 1 1]
%     linidx_coords([2 2 2], 6)        % [2 1 2]
%
%   See also LATTICE_FRONTIER, LATTICE_EXTEND, IND2SUB.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'linidx_coords', fileparts (mfilename ('fullpath')));
end

%!assert (linidx_coords ([3 4], 7), [1 3])
%!assert (linidx_coords ([2 1 3], [6; 1]), [2 1 3; 1 1 1])
