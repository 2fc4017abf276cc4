function rows = compare_icf()
% COMPARE_ICF  Rows of the table of bench/octave_table.m for icf_rbf beside
% the factorization rows with aims (bench/icf_rows.m): at sigma = 6, the
% baseline as a user who knows the trick writes it, the kernel column from
% squared norms and one product (bench/icf_rbf_octave.m with by_norms),
% faster in Octave but less accurate between near samples; then how
% icf_rbf's own time grows with n (rank 300) and with the rank (n = 20000).
%
% The name of each row carries its memory floor for a plain pivoted
% Cholesky: the bytes of the factor read over the steps (sum of n*k*8 for
% k = 0 ... rank-1) at 26 GB/s, the streaming rate of one thread on the
% reference machine.  Every time is the best of a few runs, each on idle
% processors (bench/settle.m); ours and the baseline alternate.
  rows = struct('name', {}, 'ours', {}, 'baseline', {}, 'target', {});
  randn('state', 20000);
  d = 20;
  sigma = 6;
  X = randn(d, 20000);
  ranks = [100 300 600];
  tols = icf_rank_tols(X, sigma, ranks);
  for k = 1:3
    [ours, base] = time_rbf(X, sigma, tols(k), ranks(k), 3, true);
    rows(end + 1) = row(sprintf('icf_rbf sigma=6 rank %d, baseline by norms', ranks(k)), 20000, ranks(k), ours, base);
  end

  for n = [5000 20000 80000]
    randn('state', n);
    Xn = randn(d, n);
    t = icf_rank_tols(Xn, sigma, 300);
    ours = time_rbf(Xn, sigma, t, 300, 2, false);
    rows(end + 1) = row(sprintf('icf_rbf growth n=%d d=20 rank 300', n), n, 300, ours, NaN);
  end
  for r = 100:100:600
    t = icf_rank_tols(X, sigma, r);
    ours = time_rbf(X, sigma, t, r, 2, false);
    rows(end + 1) = row(sprintf('icf_rbf growth n=20000 d=20 rank %d', r), 20000, r, ours, NaN);
  end
end

function r = row(name, n, rank, ours, base)
  floor_s = n * 8 * rank * (rank - 1) / 2 / 26e9;
  r = struct('name', sprintf('%s (floor %.3f s)', name, floor_s), 'ours', ours, 'baseline', base, 'target', NaN);
end

function [ours, base] = time_rbf(X, sigma, tol, rank, runs, with_baseline)
  ours = inf; base = NaN;
  if with_baseline
    base = inf;
  end
  for k = 1:runs
    settle(); t = tic; [G, p] = icf_rbf(X, sigma, tol, rank); ours = min(ours, toc(t));
    if columns(G) ~= rank
      error('compare_icf:rank', 'icf_rbf made rank %d, not %d', columns(G), rank);
    end
    if with_baseline
      settle(); t = tic; [Gb, pb] = icf_rbf_octave(X, sigma, tol, rank, true); base = min(base, toc(t));
      % By norms the kernel values lose accuracy, so only the trace
      % explained is compared.
      if abs(sum(G(:) .^ 2) - sum(Gb(:) .^ 2)) > 1e-6 * sum(G(:) .^ 2)
        error('compare_icf:differ', 'icf_rbf and its Octave baseline differ');
      end
    end
  end
end
