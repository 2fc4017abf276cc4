% icf_rbf through Octave: the worked example, edge cases and bad input.
randn('state', 103); rand('state', 103);   % seeded, so that a failure can be reproduced
[G, p] = icf_rbf([0 1 3], 1, 0.01);
assert(size(G), [3 3]);
assert(p, [0 2 1]);
expected = [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0.784590];
assert(G, expected, 5e-7);
assert(G(1,1), 1);
assert(G(2,3), 0);

[G2, p2] = icf_rbf([0 1 3], 1, 0.7);
assert(size(G2), [3 2]);
assert(G2, G(:, 1:2));
assert(p2, [0 2 1]);

% Bit-identical between runs and for any expected_rank.
[Ga, pa] = icf_rbf(randn(3, 300), 0.8, 1e-6);
X = randn(4, 500);
[Ga, pa] = icf_rbf(X, 1.5, 1e-8);
[Gb, pb] = icf_rbf(X, 1.5, 1e-8, 1);
assert(isequal(Ga, Gb) && isequal(pa, pb));
[Gc, pc] = icf_rbf(X, 1.5, 1e-8, 0.7);
assert(isequal(Ga, Gc) && isequal(pa, pc));

% The factor reproduces the kernel matrix on the pivoted order.
q = pa + 1;
Xp = X(:, q);
sq = sum(Xp .^ 2, 1);
K = exp(-(sq' + sq - 2 * (Xp' * Xp)) / (2 * 1.5^2));
assert(max(abs(K - Ga * Ga')(:)) < 1e-6);
assert(sort(pa), 0:499);

% Edge cases.
[G, p] = icf_rbf(zeros(1, 0), 1, 0);
assert(size(G), [0 0]); assert(size(p), [1 0]);
[G, p] = icf_rbf(5, 1, 0.5);
assert(G, 1); assert(p, 0);
[G, p] = icf_rbf(5, 1, 1);
assert(size(G), [1 0]); assert(p, 0);
[G, p] = icf_rbf(randn(2, 7), 1, 7);
assert(size(G), [7 0]); assert(p, 0:6);
G = icf_rbf([0 1 3], 1, 0.01);   % one output requested
assert(size(G), [3 3]);

% Bad input.
assert_error(@() icf_rbf([0 1 3], 1), 'icf_rbf:nargin');
assert_error(@() icf_rbf(single([0 1 3]), 1, 0.1), 'icf_rbf:notDouble');
assert_error(@() icf_rbf([0 1 3] + 1i, 1, 0.1), 'icf_rbf:notDouble');
assert_error(@() icf_rbf(sparse([0 1 3]), 1, 0.1), 'icf_rbf:notDouble');
assert_error(@() icf_rbf(zeros(0, 3), 1, 0.1), 'icf_rbf:noDimensions');
assert_error(@() icf_rbf([0 1 3], 1, -0.1), 'icf_rbf:negativeTol');
assert_error(@() icf_rbf([0 1 3], 1, 0.1, -2), 'icf_rbf:negativeCount');
assert_error(@() icf_rbf([0 1 3], [], 0.1), 'icf_rbf:emptyInput');
try
  [a, b, c] = icf_rbf([0 1 3], 1, 0.1);
  error('no error for three outputs');
catch err
  assert(err.identifier, 'icf_rbf:nargout');
end
printf('icf_rbf: all Octave checks passed\n');
