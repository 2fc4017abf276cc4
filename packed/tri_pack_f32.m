function varargout = tri_pack_f32 (varargin)
%TRI_PACK_F32  Pack a symmetric single matrix into its upper-triangle column.
%   P = TRI_PACK_F32(S)
%
%   Conventions: S is a-by-a with a its ROW count: only the first a columns
%   are read (a wider S packs its leading square), and P comes back as a
%   COLUMN of a*(a+1)/2 values.
%
%   Lists, column by column, the entries on and above the diagonal of S:
%   S(1,1), S(1,2), S(2,2), S(1,3), S(2,3), S(3,3), ...  Entry S(i,j) with
%   i <= j lands at P(j*(j-1)/2 + i).  Values are copied bit for bit.
%
%   Inputs
%     S  single, real, a-by-a (a = its row count; extra columns are ignored).
%        Only the upper triangle is read, so an asymmetric S is packed from
%        its upper triangle alone.
%
%   Outputs
%     P  single, a*(a+1)/2-by-1.
%
%   Limits: a <= 65535 (P's length must be a signed 32-bit count).  Bad
%   input (no input, more than one output, a non-single, complex or sparse
%   S, fewer columns than rows, a > 65535) raises an error with identifier
%   tri_pack_f32:<condition> (nargin, nargout, notSingle, notSquare,
%   tooLarge).
%
%   Example
%     P = tri_pack_f32(single([1 4 7; 2 5 8; 3 6 9]))
%     % P = [1; 4; 5; 7; 8; 9]
%
%   See also TRI_UNPACK_F32, TRI_QFORM_F32.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'tri_pack_f32', fileparts (mfilename ('fullpath')));
end

%!assert (tri_pack_f32 (single ([1 4 7; 2 5 8; 3 6 9])), single ([1; 4; 5; 7; 8; 9]))
