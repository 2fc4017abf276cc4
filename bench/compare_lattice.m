function rows = compare_lattice()
% COMPARE_LATTICE  Rows of the table of bench/octave_table.m for the lattice
% deliverables, each against what an Octave user writes instead, vectorized,
% on the same input and giving the same output (checked with isequal before
% timing):
%   linidx_coords          [c{1:n}] = ind2sub(dims, idx); C = [c{:}];
%   lattice_frontier_full  every (member, dimension) step as one row of a
%                          candidate matrix, then unique(..., 'rows', 'first')
%                          and ismember(..., 'rows') for the repeat,
%                          membership and closure tests (frontier_rows below);
%                          and the same with each point coded as one number
%                          (frontier_keys below), which is faster but needs
%                          the codes to stay below 2^53 (shown, no target)
%   lattice_mismatch       sum(S ~= probe(:), 1)'
% then how lattice_frontier's own time grows with the number of members
% (no baseline: the literal procedure scans every member for every
% candidate, which at 10^5 members takes minutes).  Each time is the best of
% many single calls; ours and the baseline alternate within one run.
  rows = struct('name', {}, 'ours', {}, 'baseline', {}, 'target', {});
  rand('seed', 42);

  % linidx_coords: 4^10 = 2^20 cells, 10^5 random indices.
  dims = 4 * ones(1, 10);
  idx = floor(rand(1e5, 1) * prod(dims)) + 1;
  [ours, base] = time_both(@() linidx_coords(dims, idx), @() ind2sub_matrix(dims, idx), 30);
  rows(end + 1) = struct('name', 'linidx_coords, 2^20 cells in 10 dims, 10^5 indices', ...
                         'ours', ours, 'baseline', base, 'target', 4);
  % Mixed extents: no power of two among them (no target; shown beside it).
  dims = [7 9 11 13 17 7];
  idx = floor(rand(1e5, 1) * prod(dims)) + 1;
  [ours, base] = time_both(@() linidx_coords(dims, idx), @() ind2sub_matrix(dims, idx), 30);
  rows(end + 1) = struct('name', 'linidx_coords, 1072071 cells, mixed extents, 10^5 indices', ...
                         'ours', ours, 'baseline', base, 'target', NaN);

  % lattice_frontier_full: the 3003 points p of 8 dimensions with
  % sum(p - 1) <= 6, in random order; its frontier is the next layer.
  S = shuffled(graded_set(8, 3003));
  bounds = int32(100 * ones(1, 8));
  [ours, base] = time_both(@() lattice_frontier_full(S, bounds), @() frontier_rows(S, bounds), 15);
  rows(end + 1) = struct('name', 'lattice_frontier_full, 3003 points in 8 dims', ...
                         'ours', ours, 'baseline', base, 'target', 26);
  [ours, base] = time_both(@() lattice_frontier_full(S, bounds), @() frontier_keys(S, bounds), 20);
  rows(end + 1) = struct('name', 'lattice_frontier_full, 3003 points, baseline coding points', ...
                         'ours', ours, 'baseline', base, 'target', NaN);

  % lattice_mismatch: 10^5 columns of 8 coordinates in 1 ... 4.
  S = int32(floor(rand(8, 1e5) * 4) + 1);
  probe = int32(floor(rand(1, 8) * 4) + 1);
  [ours, base] = time_both(@() lattice_mismatch(probe, S), @() double(sum(S ~= probe(:), 1)'), 30);
  rows(end + 1) = struct('name', 'lattice_mismatch, 10^5 columns of 8', ...
                         'ours', ours, 'baseline', base, 'target', 6);

  % How lattice_frontier grows: the first N points of 8 dimensions in graded
  % order (a downward-closed set), shuffled.
  for N = [1e3 1e4 1e5]
    S = shuffled(graded_set(8, N));
    bounds = int32(100 * ones(1, 8));
    ours = best_time(@() lattice_frontier(S, bounds), max(5, round(3e4 / N)));
    rows(end + 1) = struct('name', sprintf('lattice_frontier growth, %d points in 8 dims', N), ...
                           'ours', ours, 'baseline', NaN, 'target', NaN);
  end
end

function C = ind2sub_matrix(dims, idx)
  c = cell(1, numel(dims));
  [c{:}] = ind2sub(dims, idx);
  C = [c{:}];
end

% The first N points of the nonnegative grid shifted to 1 (sum(p - 1)
% increasing, then lexicographic) in M dimensions, as an M x N int32 matrix.
% Every prefix of that order is downward closed.
function S = graded_set(M, N)
  level = 0;
  while nchoosek(level + M, M) < N
    level = level + 1;
  end
  P = zeros(1, 0);
  for d = 1:M
    Q = zeros(0, d);
    for v = 0:level
      Q = [Q; P, v * ones(rows(P), 1)];
    end
    P = Q(sum(Q, 2) <= level, :);
  end
  P = sortrows([sum(P, 2) P]);
  S = int32(P(1:N, 2:end)' + 1);
end

function S = shuffled(S)
  S = S(:, randperm(columns(S)));
end

% lattice_frontier_full(S, bounds) the Octave way: every (member, dimension)
% step at once as the rows of a candidate matrix, in order of generation
% (column p, then dimension k), the step kept when it stays at or below the
% bound; then the first copy of each, not a member, every backward neighbour
% a member.
function [C, St] = candidate_rows(S, bounds)
  [M, N] = size(S);
  S = double(S);
  C = kron(S, ones(1, M)) + repmat(eye(M), 1, N);
  C = C(:, S(:) < repmat(double(bounds(:)), N, 1))';
  St = S';
end

function F = frontier_rows(S, bounds)
  [C, St] = candidate_rows(S, bounds);
  [~, first] = unique(C, 'rows', 'first');
  keep = false(rows(C), 1);
  keep(first) = true;
  keep = keep & ~ismember(C, St, 'rows');
  for f = 1:columns(C)
    back = keep & C(:, f) > 1;
    B = C(back, :);
    B(:, f) = B(:, f) - 1;
    keep(back) = ismember(B, St, 'rows');
  end
  F = C(keep, :);
end

% The same with each point coded as one number, exact while the codes stay
% below 2^53.
function F = frontier_keys(S, bounds)
  [C, St] = candidate_rows(S, bounds);
  w = (max([C(:); St(:)]) + 1) .^ (0:columns(C) - 1)';
  keys = (C - 1) * w;
  member_keys = (St - 1) * w;
  [~, first] = unique(keys, 'first');
  keep = false(size(keys));
  keep(first) = true;
  keep = keep & ~ismember(keys, member_keys);
  for f = 1:columns(C)
    back = keep & C(:, f) > 1;
    keep(back) = ismember(keys(back) - w(f), member_keys);
  end
  F = C(keep, :);
end

% Best time of `reps` single calls of each function, the two alternating;
% their results must agree.  The best of single calls is the least disturbed
% by other work on the machine.  (A call timed right after another of its
% own kind took up to five times as long with an 8 MB result, for either
% function: the host's memory handling, not the computation.)
function [ours, base] = time_both(f_ours, f_base, reps)
  a = f_ours();
  b = f_base();
  if ~isequal(a, b)
    error('compare_lattice:mismatch', 'our result and the baseline differ');
  end
  ours = inf;
  base = inf;
  for r = 1:reps
    ours = min(ours, time_call(f_ours));
    base = min(base, time_call(f_base));
  end
end

function t = best_time(f, reps)
  t = inf;
  for r = 1:reps
    t = min(t, time_call(f));
  end
end

function t = time_call(f)
  t0 = tic;
  y = f();
  t = toc(t0);
end
