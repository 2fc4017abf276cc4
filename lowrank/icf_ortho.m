function varargout = icf_ortho (varargin)
%ICF_ORTHO  Pivoted incomplete Cholesky factorization of a Hermite-type kernel matrix.
%   [G, PERM] = ICF_ORTHO(X, SIGMA, ORDER, TOL)
%   [G, PERM] = ICF_ORTHO(X, SIGMA, ORDER, TOL, EXPECTED_RANK)
%
%   Conventions: X holds scalar samples, one per element of a row or
%   column vector; PERM is 0-BASED (sample PERM(i)+1).  Of SIGMA, ORDER,
%   TOL and EXPECTED_RANK only the first element is read.
%
%   Factorizes, without forming it, the kernel matrix of the scalar samples
%   X under the truncated Hermite-function expansion
%       K(x,y) = sum_{q=0..ORDER} h_q(x) h_q(y) / (2^q q!),
%       h_q(x) = H_q(x) exp(-x^2 / (2 SIGMA^2)),
%   H_q the Hermite polynomials (H_0 = 1, H_1 = 2x, H_q = 2x H_{q-1} -
%   2(q-1) H_{q-2}).  K has rank at most ORDER+1.  The rank is the smallest at
%   which the trace of what is left unexplained is not above TOL.
%
%   Inputs
%     X              double vector of n sample values, a row or a column
%                    (a matrix with more than one row and column is
%                    refused).
%     SIGMA          double scalar, width of the Gaussian factor.
%     ORDER          double scalar, truncated toward zero; at least 1.
%     TOL            double scalar >= 0, absolute tolerance on the remaining
%                    trace.  A factorization is made only if TOL < n (the
%                    number of samples, not the trace of K).
%     EXPECTED_RANK  optional double scalar >= 0 (truncated): sizes the first
%                    factor buffer; never changes the result.  0 or absent:
%                    30 columns.
%
%   Outputs
%     G     double, n-by-r, rows in pivot order, zero above the diagonal.
%     PERM  double, 1-by-n, pivot order as 0-BASED sample indices; the first
%           pivot is always sample 0.
%
%   Limits: (ORDER+1)*n must not exceed 2147483647.  SIGMA = 0 makes the
%   Gaussian factor NaN at x = 0 and 0 elsewhere.  Results are reproducible
%   to the last bit.
%
%   Threads and memory: from 2048 samples on, each step's rows are shared
%   among up to four threads; the result is the same bit for bit whatever
%   their number.  A call whose work memory (sized by ORDER or
%   EXPECTED_RANK) would exceed the machine's physical memory is refused
%   before anything is allocated.
%
%   Errors (identifier icf_ortho:<condition>): nargin (fewer than four
%   inputs), nargout (more than two outputs), notDouble (an input not a
%   real full double array), emptyInput (a scalar input empty),
%   noDimensions (X with no rows), notVector (X a matrix), badOrder (ORDER
%   below 1 or NaN),
%   tooLarge (X, ORDER, (ORDER+1)*n or EXPECTED_RANK beyond 2147483647),
%   negativeTol, negativeCount and badCount (a negative or NaN
%   EXPECTED_RANK), outOfMemory.
%
%   Example
%     [G, perm] = icf_ortho([0 1], 1, 2, 0)
%     % G    = [1.224745 0; 0.247615 1.107368]
%     % perm = [0 1]
%     x = linspace(-2, 2, 500);
%     [G, perm] = icf_ortho(x, 1, 6, 1e-10);          % rank <= 7
%     size(G, 2)
%
%   See also ICF_RBF, ICF_DOTPOWER, ICF_MATRIX.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'icf_ortho', fileparts (mfilename ('fullpath')));
end

%!assert (nthargout (1:2, @icf_ortho, [0 1], 1, 2, 0), {[1.224745 0; 0.247615 1.107368], [0 1]}, 5e-7)
