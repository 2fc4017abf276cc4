function varargout = lattice_mismatch (varargin)
%LATTICE_MISMATCH  Coordinate mismatch counts of a probe against a set.
%   COUNTS = LATTICE_MISMATCH(PROBE, INDEX_SET)
%
%   Conventions: the PROBE comes first (unlike the other lattice functions,
%   which take the set first); points are the COLUMNS of INDEX_SET; COUNTS
%   is a column, one count per point.  Coordinates are only compared for
%   equality, so any base works.
%
%   For every column of INDEX_SET, the number of rows in which it differs
%   from PROBE (a Hamming distance over integer coordinates).  Note the
%   order of the inputs: the probe comes first.
%
%   Inputs
%     PROBE      int32 vector with at least M entries (the first M are used).
%     INDEX_SET  int32, M-by-N, one multi-index per column.
%
%   Output
%     COUNTS     double, N-by-1, entries in 0 ... M.  An M-by-0 INDEX_SET
%                gives 0-by-1; a 0-by-N one gives N zeros.
%
%   Errors (identifier lattice_mismatch:<condition>): nargin, nargout,
%   notInt32, shortProbe (fewer than M entries), tooLarge.
%
%   Example
%     lattice_mismatch(int32([1 2 3]), int32([1 2 3; 1 1 3; 3 1 1]'))  % [0; 1; 3]
%
%   See also LATTICE_NEAREST.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'lattice_mismatch', fileparts (mfilename ('fullpath')));
end

%!assert (lattice_mismatch (int32 ([1 2 3]), int32 ([1 2 3; 1 1 3; 3 1 1]')), [0; 1; 3])
