% DEMO_LATTICE  Integer lattice utilities: grid coordinates and the growth of
% a downward-closed multi-index set, as in adaptive sparse-grid or
% polynomial-chaos bases.

printf('-- linidx_coords: linear indices to grid coordinates\n');
dims = [4 3 5];
idx = [1; 7; 60; 33];
coords = linidx_coords(dims, idx);
printf('grid %s, indices %s:\n', mat2str(dims), mat2str(idx'));
disp(coords);
[a, b, c] = ind2sub(dims, idx);
printf('same as ind2sub: %d\n', isequal(coords, [a b c]));
big = 2 * ones(1, 30);
tic; corner = linidx_coords(big, 2^30); t = toc;
printf('cell 2^30 of a 2^30-cell grid (no table built): all coordinates 2: %d (%.2f ms)\n\n', ...
       all(corner == 2), 1000 * t);

printf('-- lattice_frontier: growing a total-degree set in 3 dimensions\n');
S = int32([1; 1; 1]);
bounds = int32([6 6 6]);
for step = 1:4
  F = lattice_frontier_full(S, bounds);
  printf('set of %2d points: %2d admissible neighbours\n', columns(S), rows(F));
  % Add every neighbour of the lowest total degree, as a greedy refinement would.
  degree = sum(F, 2);
  S = [S, int32(F(degree == min(degree), :)')];
end
printf('final set: %d points, all of total degree <= %d; the last ones added:\n', columns(S), max(sum(S, 1)) - 3);
disp(S(:, end-4:end)');

printf('\n-- the same search on a larger random set (8 dimensions)\n');
rand('seed', 1);
S = int32(ones(8, 1));
target = 2000;
next_report = 500;
tic;
while columns(S) < target
  F = lattice_frontier(S, int32(10 * ones(1, 8)));
  pick = randperm(rows(F), min(rows(F), 50));
  S = [S, int32(F(pick, :)')];
  if columns(S) >= next_report
    printf('  %4d points...\n', columns(S));
    next_report = next_report + 500;
  end
end
F = lattice_frontier(S, int32(10 * ones(1, 8)));
printf('%d points, %d admissible neighbours; growing took %.2f s\n', columns(S), rows(F), toc);
n_active = sum(any(S > 1, 2));
printf('active dimensions: %d of 8\n\n', n_active);

printf('\n-- lattice_extend: forward steps from (1,1) below maxima (3,3) past a blocking point\n');
printf('blocking (2,2): \n'); disp(lattice_extend(int32([2; 2]), int32([1 1]), int32([3 3])));
printf('blocking (2,1): \n'); disp(lattice_extend(int32([2; 1]), int32([1 1]), int32([3 3])));

printf('\n-- lattice_mismatch / lattice_nearest\n');
probe = S(:, 1000) ; probe(1) = probe(1) + 1;
counts = lattice_mismatch(probe, S);
[best, column] = lattice_nearest(probe, S);
printf('probe = column 1000 with coordinate 1 raised: fewest mismatches %d at column %d (%d columns at that count)\n', ...
       best, column, sum(counts == best));
