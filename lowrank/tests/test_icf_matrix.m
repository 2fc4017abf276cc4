% icf_matrix through Octave: the worked example, edge cases and bad input.
randn('state', 102); rand('state', 102);   % seeded, so that a failure can be reproduced
x = [0 1 3];
A = exp(-(x' - x) .^ 2 / 2);
[G, p, r, res] = icf_matrix(A, 0.25, 3);
assert(size(G), [3 3]);
assert(G, [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0], 5e-7);
assert(G(:, 3), zeros(3, 1));
assert(p, [1 3 2]);
assert(r, 2);
assert(res, 0.205194, 5e-7);

% The same factor as icf_rbf on the same kernel, to rounding.
Gr = icf_rbf(x, 1, 0.7);
assert(G(:, 1:2), Gr, 1e-15);

% Bit-identical between runs; G*G' reproduces A on the pivoted order.
X = randn(3, 300);
sq = sum(X .^ 2, 1);
A = exp(-(sq' + sq - 2 * (X' * X)) / 4);
[Ga, pa, ra, resa] = icf_matrix(A, 1e-7, 300);
[Gb, pb, rb, resb] = icf_matrix(A, 1e-7, 300);
assert(isequal(Ga, Gb) && isequal(pa, pb) && ra == rb && resa == resb);
assert(resa <= 1e-7);
assert(max(abs(A(pa, pa) - Ga * Ga')(:)) < 1e-7 * trace(A));
assert(sort(pa), 1:300);

% Edge cases.
[G, p, r, res] = icf_matrix(A, 0, 0);
assert(size(G), [300 0]); assert(r, 0); assert(res, 1);
[G, p, r, res] = icf_matrix(zeros(4), 0.1, 2);
assert(r, 0); assert(isnan(res));
[G, p, r, res] = icf_matrix([2 1; 1 2], 0, 5);
assert(size(G), [2 5]); assert(r, 2); assert(G(:, 3:5), zeros(2, 3));
[G, p, r, res] = icf_matrix(zeros(0, 0), 0.1, 2);
assert(size(G), [0 2]); assert(size(p), [1 0]); assert(r, 0); assert(isnan(res));
[G, p, r, res] = icf_matrix([0 0 0; 0 2 1; 0 1 2], 0.1, 3);
assert(r, 1); assert(isnan(res));
G = icf_matrix([2 1; 1 2], 0, 2);   % one output requested
assert(size(G), [2 2]);

% Bad input.
assert_error(@() icf_matrix(A, 0.1), 'icf_matrix:nargin');
assert_error(@() icf_matrix(ones(2, 3), 0.1, 2), 'icf_matrix:notSquare');
assert_error(@() icf_matrix(A, 0.1, -1), 'icf_matrix:negativeCount');
assert_error(@() icf_matrix(eye(3), -0.1, 4), 'icf_matrix:negativeThreshold');
assert_error(@() icf_matrix(single(eye(3)), 0.1, 2), 'icf_matrix:notDouble');
assert_error(@() icf_matrix(sparse(eye(3)), 0.1, 2), 'icf_matrix:notDouble');
try
  [a, b, c, d, e] = icf_matrix(eye(2), 0, 2);
  error('no error for five outputs');
catch err
  assert(err.identifier, 'icf_matrix:nargout');
end
printf('icf_matrix: all Octave checks passed\n');
