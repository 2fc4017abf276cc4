% DEMO_LOWRANK  Low-rank factorization of a Gaussian kernel matrix with icf_rbf.
%   Factorizes the kernel matrix of a few thousand synthetic samples at
%   several tolerances and compares G*G' with the full kernel matrix, which
%   only a demo of this size can afford to form.
n = 3000; d = 6; sigma = 2.5;
rand('seed', 7); randn('seed', 7);
% Samples near a curved 2-D surface in 6 dimensions, plus a little noise:
% the kernel matrix is large but its numerical rank is small.
t = rand(2, n) * 4 - 2;
X = [t; sin(t(1,:)); cos(t(2,:)); t(1,:) .* t(2,:); 0.05 * randn(1, n)];
printf('icf_rbf on %d samples in %d dimensions, sigma = %.1f\n', n, d, sigma);

sq = sum(X .^ 2, 1);
tic;
K = exp(-max(sq' + sq - 2 * (X' * X), 0) / (2 * sigma^2));
t_full = toc;
printf('forming the full %d x %d kernel matrix: %.2f s, %.0f MB\n', n, n, t_full, n * n * 8 / 2^20);
printf('\n%10s %6s %10s %12s %14s %10s\n', 'tol', 'rank', 'time [s]', 'factor [MB]', 'max |K-GG''|', 'trace left');
for tol = [10 1 1e-2 1e-4 1e-6]
  tic;
  [G, perm] = icf_rbf(X, sigma, tol);
  t_icf = toc;
  p = perm + 1;
  E = K(p, p) - G * G';
  printf('%10.0e %6d %10.3f %12.2f %14.3e %10.3e\n', tol, columns(G), t_icf, numel(G) * 8 / 2^20, ...
         max(abs(E(:))), trace(E));
end
printf('\nThe pivots come first in perm (0-based): the first five are %s\n', mat2str(perm(1:5)));
