% icf_ortho through Octave: the worked example, edge cases and bad input.
randn('state', 104); rand('state', 104);   % seeded, so that a failure can be reproduced
[G, p] = icf_ortho([0 1], 1, 2, 0);
assert(p, [0 1]);
assert(G, [1.224745 0; 0.247615 1.107368], 5e-7);
assert(G(1, 1), sqrt(1.5));

% Truncated order, ignored expected_rank, bit-identical between runs.
x = 2 * randn(1, 500);
[Ga, pa] = icf_ortho(x, 1.3, 8, 1e-10);
[Gb, pb] = icf_ortho(x, 1.3, 8.7, 1e-10, 1);
assert(isequal(Ga, Gb) && isequal(pa, pb));
assert(size(Ga, 2) <= 9);

% The factor reproduces the kernel matrix on the pivoted order.
m = 8; s = 1.3;
xp = x(pa + 1)';
H = zeros(numel(xp), m + 1);
H(:, 1) = 1; H(:, 2) = 2 * xp;
for q = 2:m
  H(:, q + 1) = 2 * xp .* H(:, q) - 2 * (q - 1) * H(:, q - 1);
end
H = H .* exp(-xp .^ 2 / (2 * s ^ 2));
K = H * diag(1 ./ (2 .^ (0:m) .* factorial(0:m))) * H';
assert(max(abs(K - Ga * Ga')(:)) < 1e-9);

% Edge cases.
[G, p] = icf_ortho(0, 1, 2, 0.5);
assert(G, sqrt(1.5));
[G, p] = icf_ortho(0, 1, 2, 1);     % tol >= n: no step although trace(K) > tol
assert(size(G), [1 0]);
[G, p] = icf_ortho(linspace(-3, 3, 60), 2, 40, 0);  % grows past 30 columns
assert(size(G, 2) > 29);
[G, p] = icf_ortho(zeros(1, 0), 1, 2, 0);
assert(size(G), [0 0]); assert(size(p), [1 0]);

% Bad input.
assert_error(@() icf_ortho([0 1], 1, 2), 'icf_ortho:nargin');
assert_error(@() icf_ortho([0 1], 1, 0.5, 0), 'icf_ortho:badOrder');
assert_error(@() icf_ortho([0 1], 1, NaN, 0), 'icf_ortho:badOrder');
assert_error(@() icf_ortho([0 1], 1, 2, -1), 'icf_ortho:negativeTol');
assert_error(@() icf_ortho(int32([0 1]), 1, 2, 0), 'icf_ortho:notDouble');
assert_error(@() icf_ortho(zeros(0, 2), 1, 2, 0), 'icf_ortho:noDimensions');
printf('icf_ortho: all Octave checks passed\n');
