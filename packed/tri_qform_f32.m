function varargout = tri_qform_f32 (varargin)
%TRI_QFORM_F32  Quadratic form of a double vector with a packed symmetric matrix.
%   Q = TRI_QFORM_F32(P, X)
%
%   Conventions: P is packed as TRI_PACK_F32 makes it (the upper triangle,
%   column by column), a row or a column; X is a vector of a doubles, a
%   column or a row.
%
%   Returns Q = X' * S * X for the symmetric matrix S held packed in P (see
%   TRI_PACK_F32) without unpacking it.  The packed entries are taken as
%   doubles and the terms are added in packed order, so the result is
%   reproducible to the last bit.
%
%   Inputs
%     P  single, real vector with at least a*(a+1)/2 entries (extra entries
%        are ignored).
%     X  double, real vector of a elements, a column or a row (a matrix is
%        refused).
%
%   Outputs
%     Q  double scalar; 0 for an empty X.
%
%   Limits: a <= 65535.  Bad input (fewer than two inputs, more than one
%   output, a non-single P, a non-double X, an X with more than one row
%   and column, a P shorter than a*(a+1)/2) raises an error with identifier
%   tri_qform_f32:<condition> (nargin, nargout, notSingle, notDouble,
%   notVector, emptyX, tooLarge, shortPacked).
%
%   Example
%     q = tri_qform_f32(single([1; 4; 5; 7; 8; 9]), [1; 2; 3])
%     % q = 256
%
%   See also TRI_PACK_F32, TRI_UNPACK_F32.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'tri_qform_f32', fileparts (mfilename ('fullpath')));
end

%!assert (tri_qform_f32 (single ([1; 4; 5; 7; 8; 9]), [1; 2; 3]), 256)
