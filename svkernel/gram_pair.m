function varargout = gram_pair (varargin)
%GRAM_PAIR  Kernel value of two rows under an SVM model's kernel.
%   V = GRAM_PAIR(X, Y, MODEL)
%
%   V is the kernel value of the first row of X (first vector) and the first
%   row of Y (second vector) under MODEL.kernel_parm, computed exactly as one
%   element of GRAM_SQUARE: single-precision dot product, kernel function in
%   double, value rounded to single and returned as double.  X and Y may
%   have different column counts: features beyond the shorter row add
%   nothing to the dot product but count in their own row's squared norm.
%   Every row of X and Y is converted, though only the first rows are used.
%
%   Inputs
%     X      real full double with at least one row.
%     Y      real full double with at least one row.
%     MODEL  1-by-1 support-vector model struct; the fields it must hold
%            are listed in HELP GRAM_SQUARE.
%
%   Output
%     V      double, 1-by-1.
%
%   Errors
%     The fixed messages of the model conversion (see GRAM_SQUARE), and
%     gram_pair:nargin, gram_pair:notDouble, gram_pair:noRows,
%     gram_pair:tooLarge, gram_pair:fieldNotDouble for bad input.
%
%   Limits
%     X and Y have at most 2147483647 rows and columns.  All their rows are
%     converted (memory grows with their size), so pass only the rows needed.
%
%   Example
%     kp = struct('kernel_type', 1, 'poly_degree', 2, 'rbf_gamma', 1, ...
%                 'coef_lin', 1, 'coef_const', 1, 'custom', '');
%     model = struct('sv_num', 0, 'upper_bound', 0, 'b', 0, 'totwords', 2, ...
%                    'totdoc', 0, 'loo_error', -1, 'loo_recall', -1, ...
%                    'xa_error', -1, 'xa_recall', -1, 'xa_precision', -1, ...
%                    'maxdiff', 0, 'r_delta_sq', 0, 'r_delta_avg', 0, ...
%                    'model_length', 0, 'loss', 0, 'vcdim', 0, 'index', 0, ...
%                    'supvec', zeros(0, 2), 'kernel_parm', kp);
%     v = gram_pair([1 2], [3 4], model)          % (11 + 1)^2 = 144
%
%   See also GRAM_SQUARE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'gram_pair', fileparts (mfilename ('fullpath')));
end

%!test
%! kp = struct ('kernel_type', 1, 'poly_degree', 2, 'rbf_gamma', 1, 'coef_lin', 1, 'coef_const', 1, 'custom', '');
%! model = struct ('sv_num', 0, 'upper_bound', 0, 'b', 0, 'totwords', 2, 'totdoc', 0, 'loo_error', -1, ...
%!                 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, 'xa_precision', -1, 'maxdiff', 0, ...
%!                 'r_delta_sq', 0, 'r_delta_avg', 0, 'model_length', 0, 'loss', 0, 'vcdim', 0, ...
%!                 'index', 0, 'supvec', zeros (0, 2), 'kernel_parm', kp);
%! assert (gram_pair ([1 2], [3 4], model), 144);
