% The lattice deliverables through Octave: worked examples, shapes, bad input.

% linidx_coords
assert(linidx_coords([2 2 2], 6), [2 1 2]);
assert(linidx_coords([3 4], 7), [1 3]);
assert(linidx_coords([3 4], [7; 7]), [1 3; 1 3]);
assert(linidx_coords([1 2], [1; 2]), [1 1; 1 2]);
assert(linidx_coords([2 1 3], [6; 1]), [2 1 3; 1 1 1]);
assert(size(linidx_coords([2 1 3], [])), [0 3]);
assert(linidx_coords([], [4 5; 6 7]), [4 5; 6 7]);
assert(linidx_coords([3 4], [1 12; 7 7]), [1 1; 1 3; 3 4; 1 3]);   % element order
dims = [3 1 4 2 5];
idx = [1 17 60 119 120 33];
c = linidx_coords(dims, idx);
[a, b, d, e, f] = ind2sub(dims, idx');
assert(c, [a b d e f]);
for k = 1:numel(idx)
  assert(linidx_coords(dims, idx(k)), c(k, :));   % single index = one-row list
end
assert(linidx_coords(2 * ones(1, 30), 2^30), 2 * ones(1, 30));
assert_error(@() linidx_coords([3 4]), 'linidx_coords:nargin');
assert_error(@() linidx_coords(int32([3 4]), 1), 'linidx_coords:notDouble');
assert_error(@() linidx_coords([3 0], 1), 'linidx_coords:badExtent');
assert_error(@() linidx_coords([3 2.5], 1), 'linidx_coords:badExtent');
assert_error(@() linidx_coords(2 * ones(1, 31), []), 'linidx_coords:tooManyCells');
assert_error(@() linidx_coords([3 4], 13), 'linidx_coords:badIndex', 'linidx_coords: Index 1 is 13; indices must lie in 1 ... 12.');
assert_error(@() linidx_coords([3 4], [1 0]), 'linidx_coords:badIndex');

% lattice_frontier and lattice_frontier_full
S = int32([1 1; 2 1; 1 2]');
assert(lattice_frontier(S, int32([9 9])), [3 1; 2 2; 1 3]);
assert(lattice_frontier_full(S, int32([9 9])), [3 1; 2 2; 1 3]);
S = int32([1 1 1; 2 1 1]');
assert(lattice_frontier_full(S, int32([3 3 3])), [1 2 1; 1 1 2; 3 1 1]);
assert(lattice_frontier(S, int32(3)), [3 1 1; 1 2 1; 1 1 2]);
assert(lattice_frontier(S, int32([3 3 3])), [3 1 1; 1 2 1; 1 1 2]);
assert(lattice_frontier_full(S, int32([2 3 3])), [1 2 1; 1 1 2]);
assert(lattice_frontier(S, int32(2)), [1 2 1; 1 1 2]);
S = int32([1 1 1; 1 2 1]');
assert(lattice_frontier(S, int32([5 2 5])), [1 3 1; 2 1 1; 1 1 2]);
assert(lattice_frontier_full(S, int32([5 2 5])), [2 1 1; 1 1 2]);
assert(lattice_frontier(int32([1; 1; 1]), int32([])), [2 1 1; 1 2 1; 1 1 2]);
assert(lattice_frontier_full(int32([1; 1; 1]), int32([2 1 5])), [2 1 1; 1 1 2]);
assert(lattice_frontier(int32(zeros(4, 0)), int32([])), 1 + eye(4));
assert(size(lattice_frontier_full(int32(zeros(4, 0)), int32([]))), [0 4]);
assert(class(lattice_frontier(S, int32([5 2 5]))), 'double');
% A larger set: the frontier of the simplex {sum(p - 1) <= 3} in 4 dimensions
% is its next layer, every point once.
[a, b, c, d] = ndgrid(1:4);
P = [a(:) b(:) c(:) d(:)];
layer = sum(P - 1, 2);
S = int32(P(layer <= 3, :)');
F = lattice_frontier_full(S, int32(100 * ones(1, 4)));
assert(sortrows(F), sortrows([P(layer == 4, :); 5 1 1 1; 1 5 1 1; 1 1 5 1; 1 1 1 5]));
assert(sortrows(lattice_frontier(S, int32(100 * ones(1, 4)))), sortrows(F));
assert_error(@() lattice_frontier(S), 'lattice_frontier:nargin');
assert_error(@() lattice_frontier(double(S), int32([9 9 9 9])), 'lattice_frontier:notInt32');
assert_error(@() lattice_frontier(S, [9 9 9 9]), 'lattice_frontier:notInt32');
assert_error(@() lattice_frontier(S, int32([9 9 9])), 'lattice_frontier:shortBounds');
assert_error(@() lattice_frontier_full(S, int32([9 9 9])), 'lattice_frontier_full:shortBounds');

% lattice_extend
assert(lattice_extend(int32([2; 2]), int32([1 1]), int32([3 3])), [2 1; 1 2]);
assert(lattice_extend(int32([2; 1]), int32([1 1]), int32([3 3])), [1 2]);
assert(lattice_extend(int32(zeros(2, 0)), int32([1 1]), int32([3 1])), [2 1]);
assert(size(lattice_extend(int32([5 1; 5 1]), int32([1 1]), int32([3 3]))), [0 2]);
assert(size(lattice_extend(int32([]), int32(7), int32(9))), [0 0]);
assert_error(@() lattice_extend(int32([2; 2]), int32([1 1]), int32(3)), 'lattice_extend:shortMaxima');
assert_error(@() lattice_extend(int32([2; 2]), int32(1), int32([3 3])), 'lattice_extend:shortCurrent');
assert_error(@() lattice_extend(int32([2; 2]), [1 1], int32([3 3])), 'lattice_extend:notInt32');

% lattice_mismatch and lattice_nearest
S = int32([1 2 3; 1 1 3; 3 1 1]');
assert(lattice_mismatch(int32([1 2 3]), S), [0; 1; 3]);
[count, column] = lattice_nearest(int32([1 2 3]), S);
assert([count column], [0 1]);
[count, column] = lattice_nearest(int32([1 2]), int32([2 2; 1 1]'));
assert([count column], [1 1]);
[count, column] = lattice_nearest(int32([1 1]), int32([2; 2]));
assert([count column], [2 0]);
assert(size(lattice_mismatch(int32([1 2]), int32(zeros(2, 0)))), [0 1]);
[count, column] = lattice_nearest(int32([1 2]), int32(zeros(2, 0)));
assert([count column], [2 0]);
assert(lattice_mismatch(int32([]), int32(zeros(0, 3))), [0; 0; 0]);
[count, column] = lattice_nearest(int32([]), int32(zeros(0, 3)));
assert([count column], [0 0]);
assert(lattice_nearest(int32([1 1]), int32([2; 2])), 2);   % one output
assert_error(@() lattice_mismatch(int32(1), S), 'lattice_mismatch:shortProbe');
assert_error(@() lattice_nearest(int32([1 2]), S), 'lattice_nearest:shortProbe');
assert_error(@() lattice_nearest([1 2 3], S), 'lattice_nearest:notInt32');

% Help text is found for every deliverable.
for name = {'linidx_coords', 'lattice_frontier', 'lattice_frontier_full', 'lattice_extend', ...
            'lattice_mismatch', 'lattice_nearest'}
  assert(~isempty(strfind(help(name{1}), 'Example')));
end
printf('lattice: all Octave checks passed\n');
