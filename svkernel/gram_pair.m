function varargout = gram_pair (varargin)
%GRAM_PAIR  Kernel value of two rows under an SVM model's kernel.
%   V = GRAM_PAIR(X, Y, MODEL)
%
%   Conventions: samples are ROWS (the first row of X and of Y), as for
%   GRAM_SQUARE.
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
%            are listed in HELP GRAM_SQUARE, and SVM_KERNEL_MODEL builds the
%            smallest one for a kernel type and its parameters.
%
%   Output
%     V      double, 1-by-1.
%
%   Errors
%     The fixed messages of the model conversion (see GRAM_SQUARE), and
%     gram_pair:nargin, gram_pair:nargout (more than one output),
%     gram_pair:notDouble, gram_pair:noRows, gram_pair:tooLarge,
%     gram_pair:fieldNotDouble, gram_pair:fieldTooLarge for bad input.
%
%   Limits
%     X and Y have at most 2147483647 rows and columns.  All their rows are
%     converted (memory grows with their size), so pass only the rows needed.
%
%   Example
%     model = svm_kernel_model('poly', 'degree', 2, 'coef_lin', 1, 'coef_const', 1);
%     v = gram_pair([1 2], [3 4], model)          % (11 + 1)^2 = 144
%
%   See also GRAM_SQUARE, SVM_KERNEL_MODEL.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'gram_pair', fileparts (mfilename ('fullpath')));
end

%!test
%! model = svm_kernel_model ('poly', 'degree', 2, 'coef_lin', 1, 'coef_const', 1);
%! assert (gram_pair ([1 2], [3 4], model), 144);
