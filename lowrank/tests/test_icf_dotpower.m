% icf_dotpower through Octave: the worked example, edge cases and bad input.
randn('state', 101); rand('state', 101);   % seeded, so that a failure can be reproduced
[G, p] = icf_dotpower([1 2 3], 1, 1, 2, 0.5);
assert(size(G), [3 2]);
assert(p, [0 2 1]);
assert(G, [2 0; 8 6; 4.5 2.166667], 5e-7);
assert(G(1:2, :), [2 0; 8 6]);

% Truncated degree, ignored expected_rank, bit-identical between runs.
X = randn(3, 400);
[Ga, pa] = icf_dotpower(X, 1, 0.5, 3, 1e-6);
[Gb, pb] = icf_dotpower(X, 1, 0.5, 3.9, 1e-6, 1);
assert(isequal(Ga, Gb) && isequal(pa, pb));
[Gc, pc] = icf_dotpower(X, 1, 0.5, 3, 1e-6);
assert(isequal(Ga, Gc) && isequal(pa, pc));

% The factor reproduces the kernel matrix on the pivoted order.
q = pa + 1;
K = (0.5 * X(:, q)' * X(:, q) + 1) .^ 3;
assert(size(Ga, 2) <= 20);
assert(max(abs(K - Ga * Ga')(:)) < 1e-6 * max(abs(K(:))));
assert(sort(pa), 0:399);

% Edge cases.
[G, p] = icf_dotpower(randn(2, 6), 0.3, 2, 0, 0);   % degree 0: all ones
assert(G, ones(6, 1));
[G, p] = icf_dotpower(2, -10, 1, 1, 0.5);            % n = 1, negative diagonal
assert(isnan(G)); assert(p, 0);
[G, p] = icf_dotpower([0.01 0.02 0.03], 0, 1, 2, 2.5); % trace < tol < n: one step
assert(size(G), [3 1]);
[G, p] = icf_dotpower(randn(2, 5), 1, 1, 2, 5);      % tol >= n: no step
assert(size(G), [5 0]); assert(p, 0:4);
[G, p] = icf_dotpower(zeros(2, 0), 1, 1, 2, 0);
assert(size(G), [0 0]); assert(size(p), [1 0]);

% Bad input.
assert_error(@() icf_dotpower([1 2 3], 1, 1, 2), 'icf_dotpower:nargin');
assert_error(@() icf_dotpower(single([1 2 3]), 1, 1, 2, 0.1), 'icf_dotpower:notDouble');
assert_error(@() icf_dotpower([1 2 3], 1, 1, NaN, 0.1), 'icf_dotpower:badDegree');
assert_error(@() icf_dotpower([1 2 3], 1, 1, 2, -0.1), 'icf_dotpower:negativeTol');
assert_error(@() icf_dotpower(zeros(0, 3), 1, 1, 2, 0.1), 'icf_dotpower:noDimensions');
assert_error(@() icf_dotpower([1 2 3], 1, 1, 2, 0.1, -1), 'icf_dotpower:negativeCount');
printf('icf_dotpower: all Octave checks passed\n');
