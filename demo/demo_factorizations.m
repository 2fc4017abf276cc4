% DEMO_FACTORIZATIONS  Low-rank kernel factorizations: icf_rbf, icf_dotpower,
% icf_ortho and icf_matrix on seeded data, with the rank reached, the error of
% G*G' against the full kernel matrix and the time taken.
printf('Pivoted incomplete Cholesky factorizations of kernel matrices.\n');
randn('state', 11);
fz_n = 2000;
fz_X = randn(3, fz_n);
fz_sq = sum(fz_X .^ 2, 1);
printf('Data: %d samples in 3 dimensions (seeded).\n\n', fz_n);

printf('%-34s %6s %10s %12s %10s\n', 'kernel', 'rank', 'time [ms]', 'max|K-GG''|', 'trace left');
fz_row = @(name, G, K, t) printf('%-34s %6d %10.1f %12.2e %10.2e\n', name, columns(G), 1e3 * t, ...
                                 max(abs(K - G * G')(:)), trace(K) - sum(G(:) .^ 2));

% Gaussian kernel, sigma = 1.5, for several absolute tolerances.
for fz_tol = [1e-1 1e-3 1e-6]
  fz_t = tic; [fz_G, fz_p] = icf_rbf(fz_X, 1.5, fz_tol); fz_time = toc(fz_t);
  fz_q = fz_p + 1;
  fz_K = exp(-(fz_sq(fz_q)' + fz_sq(fz_q) - 2 * (fz_X(:, fz_q)' * fz_X(:, fz_q))) / (2 * 1.5 ^ 2));
  fz_row(sprintf('icf_rbf  sigma 1.5, tol %g', fz_tol), fz_G, fz_K, fz_time);
end
fz_curves = {fz_G, fz_n, 'Gaussian, \sigma = 1.5'};     % factor, trace of K, name

% Polynomial kernel of degree 3: rank at most nchoosek(3+3, 3) = 20.
fz_t = tic; [fz_G, fz_p] = icf_dotpower(fz_X, 1, 0.5, 3, 1e-8); fz_time = toc(fz_t);
fz_q = fz_p + 1;
fz_K = (0.5 * fz_X(:, fz_q)' * fz_X(:, fz_q) + 1) .^ 3;
fz_row('icf_dotpower (0.5<x,y>+1)^3', fz_G, fz_K, fz_time);
fz_curves(2, :) = {fz_G, trace(fz_K), 'polynomial (0.5 x''y + 1)^3'};

% Hermite-type kernel of order 10 on scalar samples: rank at most 11.
fz_x = fz_X(1, :);
fz_t = tic; [fz_G, fz_p] = icf_ortho(fz_x, 1, 10, 1e-10); fz_time = toc(fz_t);
fz_xp = fz_x(fz_p + 1)';
fz_H = [ones(fz_n, 1), 2 * fz_xp, zeros(fz_n, 9)];
for fz_k = 2:10
  fz_H(:, fz_k + 1) = 2 * fz_xp .* fz_H(:, fz_k) - 2 * (fz_k - 1) * fz_H(:, fz_k - 1);
end
fz_H = fz_H .* exp(-fz_xp .^ 2 / 2);
fz_K = fz_H * diag(1 ./ (2 .^ (0:10) .* factorial(0:10))) * fz_H';
fz_row('icf_ortho order 10, sigma 1', fz_G, fz_K, fz_time);
fz_curves(3, :) = {fz_G, trace(fz_K), 'Hermite functions, order 10'};

% A formed kernel matrix, relative tolerance and a rank bound.
fz_A = exp(-(fz_sq' + fz_sq - 2 * (fz_X' * fz_X)) / (2 * 1.5 ^ 2));
printf('\nicf_matrix on the formed %d x %d Gaussian kernel matrix (trace %g):\n', fz_n, fz_n, trace(fz_A));
printf('%10s %9s %6s %14s %10s\n', 'tol', 'max_rank', 'rank', 'residual/trace', 'time [ms]');
for fz_case = [1e-2 100; 1e-6 100; 1e-6 400]'
  fz_t = tic; [fz_G, fz_p, fz_r, fz_res] = icf_matrix(fz_A, fz_case(1), fz_case(2)); fz_time = toc(fz_t);
  printf('%10g %9d %6d %14.3e %10.1f\n', fz_case(1), fz_case(2), fz_r, fz_res, 1e3 * fz_time);
end
fz_t = tic; fz_R = chol(fz_A + 1e-8 * eye(fz_n)); fz_time = toc(fz_t);
printf('For comparison, a full Cholesky of the same matrix (jitter 1e-8): %.1f ms.\n', 1e3 * fz_time);
printf('Pivot orders: 0-based for icf_rbf/icf_dotpower/icf_ortho, 1-based for icf_matrix (first pivots %s).\n', ...
       mat2str(fz_p(1:5)));
% The remaining trace after each step, trace(K - G(:,1:r)*G(:,1:r)') /
% trace(K): the error the tolerance bounds.
[fz_ok, fz_folder, fz_restore] = figures_ready();
if fz_ok
  fz_h = figure('visible', 'off', 'position', [0 0 800 450]);
  fz_styles = {'-', '--', '-.'};
  for fz_k = 1:rows(fz_curves)
    fz_left = 1 - cumsum(sum(fz_curves{fz_k, 1} .^ 2, 1)) / fz_curves{fz_k, 2};
    loglog(1:numel(fz_left), max(fz_left, 1e-16), fz_styles{fz_k}, 'linewidth', 2);
    hold on;
  end
  xlim([1 1000]);
  ylim([1e-16 1]);
  set(gca, 'ytick', 10 .^ (-16:4:0), 'xtick', [1 10 100 1000], 'xticklabel', {'1', '10', '100', '1000'});
  grid on;
  xlabel('rank r (pivots chosen)');
  ylabel('trace(K - G_r G_r^T) / trace(K)');
  title(sprintf('Pivoted incomplete Cholesky: error against rank (%d samples in 3 dimensions)', fz_n));
  legend(fz_curves(:, 3), 'location', 'southwest');
  fz_file = fullfile(fz_folder, 'icf_error_vs_rank.png');
  print(fz_h, '-dpngcairo', '-r100', fz_file);
  close(fz_h);
  printf('Figure: %s\n', fz_file);
end
clear -regexp ^fz_
