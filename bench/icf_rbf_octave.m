function [G, perm] = icf_rbf_octave(X, sigma, tol, expected, by_norms)
% ICF_RBF_OCTAVE  What a careful Octave user writes for icf_rbf, the baseline
% of the factorization rows of bench/octave_table.m: the same pivoting rule
% and the same outputs (to rounding), a left-looking loop with per step one
% BLAS matrix-vector product for the elimination and a vectorized kernel
% column of the pivot sample.
%
% The product is taken as G(:,1:k-1) * G(k,1:k-1)' over all rows, of which
% rows k+1:n are used: Octave hands a block of whole columns to BLAS as it
% is, while the rows k+1:n alone, G(k+1:n,1:k-1), would be copied first at
% every step, which makes the loop several times slower.  The kernel column
% is formed from the differences to the pivot sample, as icf_rbf forms it,
%   D = X(:, perm(k+1:n)) - X(:, u);  exp(f * sum(D .* D, 1)),
% or, with BY_NORMS, from squared norms and one product,
%   exp(f * (sq + sq(u) - 2 * X(:, u)' * X)),
% which is faster in Octave (the baseline as a user who knows that trick
% writes it) but loses accuracy between near samples.
  n = columns(X);
  f = -0.5 / sigma ^ 2;
  sq = sum(X .^ 2, 1);
  G = zeros(n, expected);
  perm = 1:n;
  resid = ones(n, 1);
  k = 0; p = 1;
  if tol < n
    do
      k = k + 1;
      if k > columns(G)
        G(:, 2 * k) = 0;
      end
      perm([k p]) = perm([p k]);
      G([k p], 1:k-1) = G([p k], 1:k-1);
      resid([k p]) = resid([p k]);
      G(k, k) = sqrt(resid(k));
      u = perm(k);
      if by_norms
        kr = exp(f * max(sq + sq(u) - 2 * (X(:, u)' * X), 0));
        kc = kr(perm(k+1:n))';
      else
        D = X(:, perm(k+1:n)) - X(:, u);
        kc = exp(f * sum(D .* D, 1))';
      end
      e = G(:, 1:k-1) * G(k, 1:k-1)';
      col = kc - e(k+1:n);
      G(k+1:n, k) = col / G(k, k);
      resid(k+1:n) -= G(k+1:n, k) .^ 2;
      [best, at] = max(resid(k+1:n));
      p = k + at;
      left = sum(resid(k+1:n));
    until ~(left > tol) || k == n
  end
  G = G(:, 1:k);
  perm = perm - 1;
end
