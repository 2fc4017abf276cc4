function varargout = lattice_nearest (varargin)
%LATTICE_NEAREST  Member of a set with the fewest coordinate mismatches.
%   [COUNT, COLUMN] = LATTICE_NEAREST(PROBE, INDEX_SET)
%
%   Conventions: the PROBE comes first (unlike the other lattice functions,
%   which take the set first); points are the COLUMNS of INDEX_SET; COLUMN
%   is 1-BASED (0: none found).  Coordinates are only compared for
%   equality, so any base works.
%
%   The smallest number of coordinates in which a column of INDEX_SET
%   differs from PROBE, and the 1-based number of the FIRST column with that
%   count (ties go to the earlier column).  Only counts below M are found:
%   when every column differs in all M rows, COUNT is M and COLUMN is 0.
%   COUNT 0 means PROBE is a member.  The scan stops early once a column
%   matches exactly, and counting a column stops once it cannot win.
%
%   Inputs
%     PROBE      int32 vector with at least M entries (the first M are used).
%     INDEX_SET  int32, M-by-N, one multi-index per column.
%
%   Outputs
%     COUNT      double scalar in 0 ... M.
%     COLUMN     double scalar in 0 ... N (only set when requested).
%
%   Errors (identifier lattice_nearest:<condition>): nargin, nargout,
%   notInt32, shortProbe (fewer than M entries), tooLarge.
%
%   Example
%     [c, j] = lattice_nearest(int32([1 2]), int32([2 2; 1 1]'))   % c = 1, j = 1
%     [c, j] = lattice_nearest(int32([1 1]), int32([2; 2]))        % c = 2, j = 0
%
%   See also LATTICE_MISMATCH.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'lattice_nearest', fileparts (mfilename ('fullpath')));
end

%!assert (nthargout (1:2, @lattice_nearest, int32 ([1 2]), int32 ([2 2; 1 1]')), {1, 1})
