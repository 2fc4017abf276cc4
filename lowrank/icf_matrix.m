function varargout = icf_matrix (varargin)
%ICF_MATRIX  Pivoted incomplete Cholesky factorization of a given kernel matrix.
%   [G, PERM, R, RESIDUAL] = ICF_MATRIX(A, TOL, MAX_RANK)
%
%   Conventions: A is the n-by-n kernel matrix itself; PERM is 1-BASED
%   (sample PERM(i)), unlike ICF_RBF, ICF_DOTPOWER and ICF_ORTHO; TOL is
%   relative to trace(A).  Of TOL and MAX_RANK only the first element is
%   read.
%
%   Factorizes the symmetric positive semidefinite n-by-n matrix A at low
%   rank.  Steps are made while the trace of what is left unexplained is
%   above TOL * trace(A) and fewer than MAX_RANK columns have been made.  Only
%   the diagonal of A and the rows of the chosen pivots are read (A(p, :) for
%   pivot p); A is neither copied nor changed.
%
%   Inputs
%     A         double, n-by-n, the kernel matrix (expected symmetric).
%     TOL       double scalar, tolerance RELATIVE to trace(A).  TOL >= 1 makes
%               no step.
%     MAX_RANK  double scalar >= 0, truncated toward zero: the largest rank
%               and the number of columns of G.
%
%   Outputs
%     G         double, n-by-MAX_RANK.  Row i belongs to sample PERM(i);
%               columns R+1 ... MAX_RANK are zero; G*G' approximates
%               A(PERM, PERM).
%     PERM      double, 1-by-n, pivot order as 1-BASED sample indices (unlike
%               ICF_RBF, ICF_DOTPOWER and ICF_ORTHO).  The first pivot is
%               always sample 1.
%     R         double scalar, the rank reached.
%     RESIDUAL  double scalar, remaining trace / trace(A) (NaN for a zero
%               trace, 1 when no step was made).
%
%   Limits: with a negative TOL * trace(A), MAX_RANK must not
%   exceed n.  A zero diagonal entry at sample 1 stops the factorization after
%   one step with NaN entries.  Results are reproducible to the last bit.
%
%   Threads and memory: from 2048 samples on, each step's rows are shared
%   among up to four threads; the result is the same bit for bit whatever
%   their number.  A call whose work memory (sized by MAX_RANK) would exceed
%   the machine's physical memory is refused before anything is allocated.
%
%   Errors (identifier icf_matrix:<condition>): nargin (fewer than three
%   inputs), nargout (more than four outputs), notDouble (an input not a
%   real full double array), emptyInput (TOL or MAX_RANK empty), notSquare,
%   tooLarge (A or MAX_RANK beyond 2147483647), negativeCount and badCount
%   (a negative or NaN MAX_RANK), negativeThreshold (a negative
%   TOL * trace(A) with MAX_RANK > n), outOfMemory.
%
%   Example
%     x = [0 1 3];
%     A = exp(-(x' - x).^2 / 2);
%     [G, perm, r, res] = icf_matrix(A, 0.25, 3)
%     % G = [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0]
%     % perm = [1 3 2], r = 2, res = 0.205194
%
%   See also ICF_RBF, ICF_DOTPOWER, ICF_ORTHO.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'icf_matrix', fileparts (mfilename ('fullpath')));
end

%!assert (nthargout (1:4, @icf_matrix, exp (-([0 1 3]' - [0 1 3]) .^ 2 / 2), 0.25, 3),
%!        {[1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0], [1 3 2], 2, 0.205194}, 5e-7)
