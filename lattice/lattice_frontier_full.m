function varargout = lattice_frontier_full (varargin)
%LATTICE_FRONTIER_FULL  Admissible forward neighbours, every dimension searched.
%   NEIGHBOURS = LATTICE_FRONTIER_FULL(INDEX_SET, BOUNDS)
%
%   Conventions: points are the COLUMNS of INDEX_SET and come back as the
%   ROWS of NEIGHBOURS; coordinates are 1-BASED (a coordinate below 1 is
%   refused); BOUNDS(k) bounds dimension k.
%
%   As LATTICE_FRONTIER, but every dimension is searched alike and BOUNDS(k)
%   bounds dimension k: a point one step forward from a member is listed
%   when it is not a member, its stepped coordinate is at most BOUNDS(k),
%   and all its backward neighbours are members.
%
%   Inputs
%     INDEX_SET   int32, M-by-N, distinct columns closed downward and
%                 holding the all-ones point.  M-by-0 is allowed.
%     BOUNDS      int32 vector with at least M entries (none needed when N
%                 is 0).
%
%   Output
%     NEIGHBOURS  double, R-by-M, one point per ROW, in order of first
%                 generation (column order of INDEX_SET, then increasing
%                 dimension); a point reachable from several members is
%                 listed once.  An M-by-0 INDEX_SET gives a 0-by-M result.
%
%   With the bounds of the active dimensions given to LATTICE_FRONTIER in
%   order and every inactive bound above 1 here, both list the same points;
%   the order differs once some dimension is inactive.
%
%   Errors (identifier lattice_frontier_full:<condition>): nargin, nargout,
%   notInt32, badCoordinate (a coordinate below 1), shortBounds (fewer than
%   M bounds), tooLarge, outOfMemory.
%
%   Example
%     S = int32([1 1; 2 1; 1 2]');                 % an L-shaped set
%     lattice_frontier_full(S, int32([9 9]))       % [3 1; 2 2; 1 3]
%     S = int32([1 1 1; 2 1 1]');
%     lattice_frontier_full(S, int32([3 3 3]))     % [1 2 1; 1 1 2; 3 1 1]
%
%   See also LATTICE_FRONTIER, LATTICE_EXTEND.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'lattice_frontier_full', fileparts (mfilename ('fullpath')));
end

%!assert (lattice_frontier_full (int32 ([1 1; 2 1; 1 2]'), int32 ([9 9])), [3 1; 2 2; 1 3])
