function varargout = gram_square (varargin)
%GRAM_SQUARE  Square Gram matrix of the rows of X under an SVM model's kernel.
%   K = GRAM_SQUARE(X, MODEL)
%
%   Conventions: samples are the ROWS of X (M-by-N: M vectors of N
%   features), unlike the factorizations, whose samples are columns.
%
%   K(i,j) is the kernel value of row i of X (first vector) and row j (second
%   vector) under MODEL.kernel_parm.  Dot products are accumulated in single
%   precision in feature order, the kernel function is applied in double and
%   each value is rounded to single, then stored as double:
%     kernel_type 0  linear       s
%     kernel_type 1  polynomial   (coef_lin*s + coef_const)^poly_degree
%     kernel_type 2  radial       exp(-rbf_gamma*(|a|^2 - 2*s + |b|^2))
%     kernel_type 3  sigmoid      tanh(coef_lin*s + coef_const)
%     kernel_type 4  custom       1
%   where s is the single-precision dot product of the rows.  Results are
%   reproducible to the last bit, whatever the number of threads used.
%
%   Inputs
%     X      real full double, M-by-N: M vectors of N features, one per row.
%            Values are rounded to single precision.
%     MODEL  1-by-1 struct, a support-vector model (SVM_KERNEL_MODEL builds
%            the smallest one for a kernel type and its parameters).  Only
%            kernel_parm decides the values, but the whole model is read and
%            must hold these fields, each a non-empty double (the first
%            element is read):
%              sv_num upper_bound b totwords totdoc loo_error loo_recall
%              xa_error xa_recall xa_precision maxdiff r_delta_sq
%              r_delta_avg model_length loss vcdim
%            and kernel_parm, a struct with the doubles kernel_type,
%            poly_degree, rbf_gamma, coef_lin, coef_const and the text
%            custom (at most 127 characters are kept).  Optional: alpha,
%            lin_weights (double arrays), index (double, one value per row;
%            when absent "Warning: could not retrieve index from the given
%            struct." is printed; present but empty, it raises "Error
%            allocating lArray or dArray"), supvec (double matrix,
%            one support vector per row; when absent "Warning: supvec field
%            was not found." is printed).  index and supvec have at most
%            2147483647 rows and columns.
%
%   Output
%     K      double, M-by-M.  X with no rows gives a 0-by-0 K.
%
%   Errors
%     The model conversion raises fixed messages, e.g. "Error: restoreArray
%     returned NULL array to restoreValue" for a missing field and
%     "ERR-005 - unknown kernel function" for a kernel_type outside 0..4.
%     Bad input raises gram_square:nargin, gram_square:nargout (more than
%     one output), gram_square:notDouble, gram_square:tooLarge,
%     gram_square:fieldNotDouble (a model field that is not a full double
%     array) or gram_square:fieldTooLarge.
%
%   Limits
%     M and N at most 2147483647; K takes 8*M^2 bytes.  The work grows as
%     M^2*N and runs on all cores.
%
%   Example
%     model = svm_kernel_model('rbf', 'gamma', 0.5);
%     K = gram_square([1 2; 3 4; 0 0], model)   % 3-by-3, diagonal exactly 1
%     gram_square([1 2; 3 4], svm_kernel_model('linear'))   % [5 11; 11 25]
%
%   See also GRAM_PAIR, SVM_KERNEL_MODEL.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'gram_square', fileparts (mfilename ('fullpath')));
end

%!test
%! model = svm_kernel_model ('rbf', 'gamma', 0.5);
%! K = gram_square ([1 2; 3 4; 0 0], model);
%! assert (size (K), [3 3]);
%! assert (diag (K), [1; 1; 1]);
%! assert (gram_square ([1 2; 3 4], svm_kernel_model ('linear')), [5 11; 11 25]);
