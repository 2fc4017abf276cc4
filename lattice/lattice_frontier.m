function varargout = lattice_frontier (varargin)
%LATTICE_FRONTIER  Admissible forward neighbours of a downward-closed set.
%   NEIGHBOURS = LATTICE_FRONTIER(INDEX_SET, BOUNDS)
%
%   Conventions: points are the COLUMNS of INDEX_SET and come back as the
%   ROWS of NEIGHBOURS; coordinates are 1-BASED (a coordinate below 1 is
%   refused); BOUNDS is read by ACTIVE position (see below).
%
%   INDEX_SET holds a downward-closed set of multi-indices, one point per
%   column (lowering any coordinate above 1 by one gives another member).
%   Lists the points that may join the set next: one step forward from a
%   member, not a member, the stepped coordinate at most its bound, and
%   every backward neighbour a member, so that the set stays closed.
%
%   Only ACTIVE dimensions (rows of INDEX_SET holding some entry above 1)
%   are searched, and BOUNDS is read BY ACTIVE POSITION: BOUNDS(b) bounds
%   the b-th active dimension in increasing order.  Each inactive
%   dimension adds its unit point (2 in that dimension, 1 elsewhere) after
%   all searched points, with no bound or other test.
%
%   Inputs
%     INDEX_SET   int32, M-by-N, distinct columns closed downward and
%                 holding the all-ones point.  M-by-0 is allowed.
%     BOUNDS      int32 vector with at least one entry per active dimension
%                 (none needed when no dimension is active).
%
%   Output
%     NEIGHBOURS  double, R-by-M, one point per ROW: the searched points in
%                 order of first generation (column order of INDEX_SET, then
%                 increasing dimension), then the inactive unit points in
%                 increasing dimension.
%
%   Membership, repeat and closure tests go through hash indices, so the
%   cost grows about linearly with N.
%
%   Errors (identifier lattice_frontier:<condition>): nargin, nargout,
%   notInt32, badCoordinate (a coordinate below 1), shortBounds (fewer
%   bounds than active dimensions), tooLarge, outOfMemory.
%
%   Example
%     S = int32([1 1 1; 2 1 1]');           % members (1,1,1), (2,1,1)
%     lattice_frontier(S, int32(3))         % [3 1 1; 1 2 1; 1 1 2]
%     lattice_frontier(int32(zeros(3, 0)), int32([]))   % the 3 unit points
%
%   See also LATTICE_FRONTIER_FULL, LATTICE_EXTEND, LATTICE_MISMATCH.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'lattice_frontier', fileparts (mfilename ('fullpath')));
end

%!assert (lattice_frontier (int32 ([1 1 1; 2 1 1]'), int32 (3)), [3 1 1; 1 2 1; 1 1 2])
