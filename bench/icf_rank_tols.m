function tols = icf_rank_tols(X, sigma, ranks)
% ICF_RANK_TOLS  The tolerance at which icf_rbf(X, sigma, tol) stops at
% exactly each of RANKS: halfway between the remaining traces after rank-1
% and rank steps of a factorization that goes further.
  n = columns(X);
  tol = n;
  G = zeros(n, 0);
  while columns(G) <= max(ranks)
    tol = tol / 2;
    G = icf_rbf(X, sigma, tol, max(ranks) + 1);
  end
  left = n - cumsum(sum(G .^ 2, 1));
  left = [n, left];                 % left(k + 1): remaining trace after k steps
  tols = (left(ranks) + left(ranks + 1)) / 2;
end
