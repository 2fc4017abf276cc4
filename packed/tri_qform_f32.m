function varargout = tri_qform_f32 (varargin)
%TRI_QFORM_F32  Quadratic form of a double vector with a packed symmetric matrix.
%   Q = TRI_QFORM_F32(P, X)
%
%   Returns Q = X' * S * X for the symmetric matrix S held packed in P (see
%   TRI_PACK_F32) without unpacking it.  The packed entries are taken as
%   doubles and the terms are added in packed order, so the result is
%   reproducible to the last bit.
%
%   Inputs
%     P  single, real vector with at least a*(a+1)/2 entries (extra entries
%        are ignored).
%     X  double, real, a-by-1 (a = its row count; a row X is read as its
%        first element).
%
%   Outputs
%     Q  double scalar; 0 for an empty X.
%
%   Limits: a <= 65535.  Bad input (fewer than two inputs, more than one
%   output, a non-single P, a non-double X, a P shorter than a*(a+1)/2)
%   raises an error with identifier tri_qform_f32:<condition> (nargin,
%   nargout, notSingle, notDouble, emptyX, tooLarge, shortPacked).
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
