function varargout = icf_rbf (varargin)
%ICF_RBF  Pivoted incomplete Cholesky factorization of a Gaussian kernel matrix.
%   [G, PERM] = ICF_RBF(X, SIGMA, TOL)
%   [G, PERM] = ICF_RBF(X, SIGMA, TOL, EXPECTED_RANK)
%
%   Conventions: samples are the COLUMNS of X (d-by-n; a d-by-1 X is one
%   sample); PERM is 0-BASED (sample PERM(i)+1).  Of SIGMA, TOL and
%   EXPECTED_RANK only the first element is read, so ICF_RBF(SIGMA, X, TOL),
%   with the first two swapped, factorizes one sample (1-by-1 G, no error).
%
%   Factorizes the Gaussian kernel matrix K(u,v) = exp(-|x_u - x_v|^2/(2*SIGMA^2))
%   of the columns of X at low rank without ever forming it: only one kernel
%   column is evaluated per step, for the pivot just chosen.  The rank is the
%   smallest at which the trace of what is left unexplained is not above TOL.
%
%   Inputs
%     X              double, d-by-n, one sample per column (d >= 1).
%     SIGMA          double scalar, the kernel width.
%     TOL            double scalar >= 0, absolute tolerance on the remaining
%                    trace.  The trace of K is n, so TOL >= n makes no step.
%     EXPECTED_RANK  optional double scalar >= 0 (truncated): sizes the first
%                    factor buffer (EXPECTED_RANK + floor(EXPECTED_RANK/8) + 1
%                    columns; 0 or absent: 30*d).  It never limits the rank
%                    and never changes the result, only how often the buffer
%                    grows.
%
%   Outputs
%     G     double, n-by-r.  Row i belongs to sample PERM(i)+1; G is zero
%           above the diagonal and G*G' approximates K(PERM+1, PERM+1).
%     PERM  double, 1-by-n, the pivot order as 0-BASED sample indices: the
%           first r entries are the pivots in the order chosen.  The first
%           pivot is always sample 0.
%
%   Results are reproducible to the last bit.
%
%   Threads and memory: from 2048 samples on, each step's rows are shared
%   among up to four threads; the result is the same bit for bit whatever
%   their number.  A call whose work memory (sized by EXPECTED_RANK) would
%   exceed the machine's physical memory is refused before anything is
%   allocated.
%
%   Errors (identifier icf_rbf:<condition>): nargin (fewer than three
%   inputs), nargout (more than two outputs), notDouble (an input not a
%   real full double array), emptyInput (SIGMA, TOL or EXPECTED_RANK
%   empty), noDimensions (X with no rows), tooLarge (X or EXPECTED_RANK
%   beyond 2147483647), negativeTol, negativeCount and badCount (a
%   negative or NaN EXPECTED_RANK), outOfMemory.
%
%   Example
%     [G, perm] = icf_rbf([0 1 3], 1, 0.01)
%     % G    = [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0.784590]
%     % perm = [0 2 1]
%     X = randn(5, 2000);
%     [G, perm] = icf_rbf(X, 2, 1e-3);
%     p = perm + 1;
%     K = exp(-(sum(X(:,p).^2,1)' + sum(X(:,p).^2,1) - 2*X(:,p)'*X(:,p)) / 8);
%     max(abs(K - G*G')(:))
%
%   See also ICF_DOTPOWER, ICF_ORTHO, ICF_MATRIX.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'icf_rbf', fileparts (mfilename ('fullpath')));
end

%!assert (nthargout (1:2, @icf_rbf, [0 1 3], 1, 0.01),
%!        {[1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0.784590], [0 2 1]}, 5e-7)
