function varargout = tri_unpack_f32 (varargin)
%TRI_UNPACK_F32  Rebuild a symmetric single matrix from its packed column.
%   S = TRI_UNPACK_F32(P)
%
%   Conventions: P is packed as TRI_PACK_F32 makes it (the upper triangle,
%   column by column), a column or a row; S comes back as the full a-by-a
%   matrix.
%
%   Inverse of TRI_PACK_F32: entry k of the packed column goes to S(i,j) and
%   S(j,i) in the order S(1,1), S(1,2), S(2,2), S(1,3), ...  Values are
%   copied bit for bit, so TRI_PACK_F32(TRI_UNPACK_F32(P)) returns P exactly.
%
%   Inputs
%     P  single, real vector of L = a*(a+1)/2 elements for some a >= 0, a
%        column or a row (a matrix is refused).
%
%   Outputs
%     S  single, a-by-a, symmetric.
%
%   Limits: a <= 65535 (L <= 2147450880), as for TRI_PACK_F32, so every P
%   that TRI_PACK_F32 makes unpacks.  Bad input (no input, more than one
%   output, a non-single, complex or sparse P, a P with more than one row
%   and column, a length that is not a triangular number) raises an error
%   with identifier tri_unpack_f32:<condition> (nargin, nargout, notSingle,
%   notVector, notTriangular, tooLarge).
%
%   Example
%     S = tri_unpack_f32(single([1; 4; 5; 7; 8; 9]))
%     % S = [1 4 7; 4 5 8; 7 8 9]
%
%   See also TRI_PACK_F32, TRI_QFORM_F32.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'tri_unpack_f32', fileparts (mfilename ('fullpath')));
end

%!assert (tri_unpack_f32 (single ([1; 4; 5; 7; 8; 9])), single ([1 4 7; 4 5 8; 7 8 9]))
