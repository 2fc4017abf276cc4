function varargout = icf_dotpower (varargin)
%ICF_DOTPOWER  Pivoted incomplete Cholesky factorization of a polynomial kernel matrix.
%   [G, PERM] = ICF_DOTPOWER(X, OFFSET, SCALE, DEGREE, TOL)
%   [G, PERM] = ICF_DOTPOWER(X, OFFSET, SCALE, DEGREE, TOL, EXPECTED_RANK)
%
%   Conventions: samples are the COLUMNS of X (d-by-n; a d-by-1 X is one
%   sample); PERM is 0-BASED (sample PERM(i)+1).  Of OFFSET, SCALE, DEGREE,
%   TOL and EXPECTED_RANK only the first element is read.
%
%   Factorizes the polynomial kernel matrix
%       K(u,v) = (SCALE * x_u' * x_v + OFFSET) ^ DEGREE
%   of the columns of X at low rank without ever forming it: one kernel
%   column is evaluated per step, for the pivot just chosen.  The rank is the
%   smallest at which the trace of what is left unexplained (the sum of the
%   residual diagonal) is not above TOL.
%
%   Inputs
%     X              double, d-by-n, one sample per column (d >= 1).
%     OFFSET         double scalar, added after scaling.
%     SCALE          double scalar, multiplies the inner product.
%     DEGREE         double scalar, truncated toward zero (2.9 acts as 2,
%                    -1.5 as -1); must lie in the 32-bit integer range.
%     TOL            double scalar >= 0, absolute tolerance on the remaining
%                    trace.  A factorization is made only if TOL < n (the
%                    number of samples, NOT the trace of K): TOL >= n gives
%                    no step, and TOL < n gives at least one.
%     EXPECTED_RANK  optional double scalar >= 0 (truncated): sizes the first
%                    factor buffer; never limits the rank or changes the
%                    result.  0 or absent: 30*d columns.
%
%   Outputs
%     G     double, n-by-r.  Row i belongs to sample PERM(i)+1; zero above the
%           diagonal; G*G' approximates K(PERM+1, PERM+1).
%     PERM  double, 1-by-n, pivot order as 0-BASED sample indices.  The first
%           pivot is always sample 0, whatever the diagonal values.
%
%   Limits: when K is not positive semidefinite residuals may be negative
%   (they are never chosen as pivots and lower the remaining trace).  A zero
%   base with a negative DEGREE gives infinite entries.  Results are
%   reproducible to the last bit.
%
%   Threads and memory: from 2048 samples on, each step's rows are shared
%   among up to four threads; the result is the same bit for bit whatever
%   their number.  A call whose work memory (sized by EXPECTED_RANK) would
%   exceed the machine's physical memory is refused before anything is
%   allocated.
%
%   Errors (identifier icf_dotpower:<condition>): nargin (fewer than five
%   inputs), nargout (more than two outputs), notDouble (an input not a
%   real full double array), emptyInput (a scalar input empty),
%   noDimensions (X with no rows), tooLarge (X or EXPECTED_RANK beyond
%   2147483647), badDegree (a NaN DEGREE or one outside the 32-bit integer
%   range), negativeTol, negativeCount and badCount (a negative or NaN
%   EXPECTED_RANK), outOfMemory.
%
%   Example
%     [G, perm] = icf_dotpower([1 2 3], 1, 1, 2, 0.5)
%     % G    = [2 0; 8 6; 4.5 2.166667]
%     % perm = [0 2 1]
%     X = randn(4, 1000);
%     [G, perm] = icf_dotpower(X, 1, 0.5, 2, 1e-6);   % rank <= 15
%     p = perm + 1;
%     K = (0.5 * X(:,p)' * X(:,p) + 1) .^ 2;
%     max(abs(K - G*G')(:))
%
%   See also ICF_RBF, ICF_ORTHO, ICF_MATRIX.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'icf_dotpower', fileparts (mfilename ('fullpath')));
end

%!assert (nthargout (1:2, @icf_dotpower, [1 2 3], 1, 1, 2, 0.5), {[2 0; 8 6; 4.5 2.166667], [0 2 1]}, 5e-7)
