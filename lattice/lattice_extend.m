function varargout = lattice_extend (varargin)
%LATTICE_EXTEND  Forward steps of one multi-index past a blocking set.
%   STEPS = LATTICE_EXTEND(BLOCKING_SET, CURRENT, MAXIMA)
%
%   Conventions: blocking points are the COLUMNS of BLOCKING_SET and the
%   steps come back as the ROWS of STEPS.  Coordinates are only compared,
%   so points counted from 1 (the toolbox's convention) or from 0 give the
%   same steps in their own base.
%
%   Lists the points CURRENT + e_j (coordinate j raised by 1, j increasing)
%   with CURRENT(j) < MAXIMA(j) that dominate no blocking point.  A point
%   dominates another when it is at least as large in every coordinate, so
%   no step enters the region above a blocking point.
%
%   Inputs
%     BLOCKING_SET  int32, M-by-N, one blocking point per column.  Its row
%                   count M fixes the dimension, also when N is 0.
%     CURRENT       int32 vector, at least M entries (the first M are used).
%     MAXIMA        int32 vector, at least M entries: largest coordinate
%                   allowed per dimension.
%
%   Output
%     STEPS   double, R-by-M, one accepted step per ROW, in increasing step
%             dimension (at most one per dimension).
%
%   Errors (identifier lattice_extend:<condition>): nargin, nargout,
%   notInt32, shortCurrent, shortMaxima (fewer than M entries), tooLarge,
%   outOfMemory.
%
%   Example
%     lattice_extend(int32([2; 2]), int32([1 1]), int32([3 3]))  % [2 1; 1 2]
%     lattice_extend(int32([2; 1]), int32([1 1]), int32([3 3]))  % [1 2]
%     lattice_extend(int32(zeros(2, 0)), int32([1 1]), int32([3 1]))  % [2 1]
%
%   See also LATTICE_FRONTIER, LATTICE_NEAREST.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'lattice_extend', fileparts (mfilename ('fullpath')));
end

%!assert (lattice_extend (int32 ([2; 2]), int32 ([1 1]), int32 ([3 3])), [2 1; 1 2])
