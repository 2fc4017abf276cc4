function rows = compare_icf()
% COMPARE_ICF  Rows of the table of bench/octave_table.m for the
% factorizations: icf_rbf (n = 20000, d = 20, rank 100 / 300 / 600) and
% icf_matrix (n = 3000, rank 300) against what a careful Octave user writes
% instead, on the installed BLAS, then how icf_rbf's own time grows with n
% and with the rank.
%
% The baselines are left-looking loops with the same pivoting rule and the
% same outputs (to rounding): per step one BLAS matrix-vector product for the
% elimination and a vectorized kernel column of the pivot sample (icf_rbf)
% or the pivot's row of A (icf_matrix).  The product is taken as
% G(:,1:k-1) * G(k,1:k-1)' over all rows, of which rows k+1:n are used:
% Octave hands a block of whole columns to BLAS as it is, while the rows
% k+1:n alone, G(k+1:n,1:k-1), would be copied first at every step, which
% makes the loop several times slower.  The kernel column is formed from the
% differences to the pivot sample, as icf_rbf forms it,
%   D = X(:, perm(k+1:n)) - X(:, u);  exp(f * sum(D .* D, 1)),
% and, in rows without a target, also from squared norms and one product,
%   exp(f * (sq + sq(u) - 2 * X(:, u)' * X)),
% which is faster in Octave (the baseline as a user who knows that trick
% writes it) but loses accuracy between near samples.
% Ranks are fixed by choosing TOL between the remaining traces of two
% successive steps, read off a longer factorization.
%
% The name of each factorization row carries its memory floor: the bytes of
% the factor read over the steps (sum of n*k*8 for k = 0 ... rank-1) at
% 26 GB/s, the streaming rate of one thread on the reference machine.
% Every time is the best of a few runs; ours and the baseline alternate.
  rows = struct('name', {}, 'ours', {}, 'baseline', {}, 'target', {});
  randn('state', 20000);
  d = 20;
  sigma = 32;
  X = randn(d, 20000);
  tols = rank_tols(X, sigma, [100 300 600]);
  targets = [4 3.5 3];
  ranks = [100 300 600];
  for k = 1:3
    [ours, base] = time_rbf(X, sigma, tols(k), ranks(k), 5, 1);
    rows(end + 1) = row(sprintf('icf_rbf n=20000 d=20 rank %d', ranks(k)), 20000, ranks(k), ours, base, targets(k));
  end
  for k = 1:3
    [ours, base] = time_rbf(X, sigma, tols(k), ranks(k), 3, 2);
    rows(end + 1) = row(sprintf('icf_rbf rank %d, baseline by norms', ranks(k)), 20000, ranks(k), ours, base, NaN);
  end

  randn('state', 3000);
  Xm = randn(10, 3000);
  sq = sum(Xm .^ 2, 1);
  A = exp(-max(sq' + sq - 2 * (Xm' * Xm), 0) / 8);
  A = (A + A') / 2;
  [ours, base] = time_matrix(A, 300, 5);
  rows(end + 1) = row('icf_matrix n=3000 rank 300', 3000, 300, ours, base, 3.5);

  % Growth with n at rank 300, and with the rank at n = 20000.
  for n = [5000 20000 80000]
    randn('state', n);
    Xn = randn(d, n);
    t = rank_tols(Xn, sigma, 300);
    ours = time_rbf(Xn, sigma, t, 300, 2, 0);
    rows(end + 1) = row(sprintf('icf_rbf growth n=%d d=20 rank 300', n), n, 300, ours, NaN, NaN);
  end
  for r = 100:100:600
    t = rank_tols(X, sigma, r);
    ours = time_rbf(X, sigma, t, r, 2, 0);
    rows(end + 1) = row(sprintf('icf_rbf growth n=20000 d=20 rank %d', r), 20000, r, ours, NaN, NaN);
  end
end

function r = row(name, n, rank, ours, base, target)
  floor_s = n * 8 * rank * (rank - 1) / 2 / 26e9;
  r = struct('name', sprintf('%s (floor %.3f s)', name, floor_s), 'ours', ours, 'baseline', base, ...
             'target', target);
end

% TOL for each wanted rank: halfway between the remaining traces after
% rank-1 and rank steps of a factorization that goes further.
function tols = rank_tols(X, sigma, ranks)
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

% baseline: 0 none, 1 by differences, 2 by squared norms.
function [ours, base] = time_rbf(X, sigma, tol, rank, runs, baseline)
  ours = inf; base = NaN;
  if baseline
    base = inf;
  end
  for k = 1:runs
    t = tic; [G, p] = icf_rbf(X, sigma, tol, rank); ours = min(ours, toc(t));
    if columns(G) ~= rank
      error('compare_icf:rank', 'icf_rbf made rank %d, not %d', columns(G), rank);
    end
    if baseline
      t = tic; [Gb, pb] = icf_rbf_octave(X, sigma, tol, rank, baseline == 2); base = min(base, toc(t));
      check_same(G, p, Gb, pb, 'icf_rbf');
    end
  end
end

function [ours, base] = time_matrix(A, rank, runs)
  ours = inf; base = inf;
  for k = 1:runs
    t = tic; [G, p] = icf_matrix(A, 0, rank); ours = min(ours, toc(t));
    t = tic; [Gb, pb] = icf_matrix_octave(A, 0, rank); base = min(base, toc(t));
    check_same(G, p - 1, Gb, pb - 1, 'icf_matrix');
  end
end

% Same pivots and the same factor up to rounding.
function check_same(G, p, Gb, pb, what)
  if ~isequal(size(G), size(Gb)) || ~isequal(p, pb) || max(abs(G(:) - Gb(:))) > 1e-6
    error('compare_icf:differ', '%s and its Octave baseline differ', what);
  end
end

% What a careful Octave user writes for icf_rbf: the kernel column of the
% pivot sample against the others, by differences or (by_norms) from the
% squared norms and one BLAS product, the elimination as one BLAS
% matrix-vector product per step.
function [G, perm] = icf_rbf_octave(X, sigma, tol, expected, by_norms)
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

% The same on a given matrix: the pivot's row of A, as icf_matrix reads it
% (so that both give the same result for any A), a stop relative to the
% trace and a bound on the rank.
function [G, perm] = icf_matrix_octave(A, tol, max_rank)
  n = columns(A);
  G = zeros(n, max_rank);
  perm = 1:n;
  resid = diag(A);
  t0 = sum(resid);
  left = t0;
  k = 0; p = 1;
  while left > t0 * tol && k < max_rank && k < n
    k = k + 1;
    perm([k p]) = perm([p k]);
    G([k p], 1:k-1) = G([p k], 1:k-1);
    resid([k p]) = resid([p k]);
    G(k, k) = sqrt(resid(k));
    e = G(:, 1:k-1) * G(k, 1:k-1)';
    col = A(perm(k), perm(k+1:n))' - e(k+1:n);
    G(k+1:n, k) = col / G(k, k);
    resid(k+1:n) -= G(k+1:n, k) .^ 2;
    [best, at] = max(resid(k+1:n));
    p = k + at;
    left = sum(resid(k+1:n));
  end
end
