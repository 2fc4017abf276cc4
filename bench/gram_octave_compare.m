% GRAM_OCTAVE_COMPARE  gram_square (radial and cubic polynomial kernels)
% against Octave's own vectorized expressions in single precision, measured
% in the same run, with the largest difference of the values beside the
% times:
%   Xs = single(X); sq = sum(Xs.^2, 2);
%   K = double(exp(-gamma * (sq + sq' - 2*(Xs*Xs'))));      radial
%   K = double((c * (Xs*Xs') + c0) .^ 3);                    polynomial
% The expressions sum in BLAS order, so their values differ from
% gram_square's in the last bits.  bench/compare_gram.m gives the same cases
% as rows of the table of bench/octave_table.m.
% Run with the folder of the MEX files on the path:
%   octave-cli --eval "addpath([pwd '/build/mex']); run('bench/gram_octave_compare.m')"
gamma = 0.01; c = 0.05; c0 = 1;
printf('%-10s %6s %5s %14s %14s %8s %12s\n', 'kernel', 'M', 'N', 'gram_square s', 'Octave expr s', 'ratio', 'max |diff|');
for type = {'rbf', 'poly'}
  model = svm_kernel_model(type{1}, 'gamma', gamma, 'degree', 3, 'coef_lin', c, 'coef_const', c0);
  for M = [2000 4000]
    for N = [64 256]
      randn('seed', M + N);
      X = randn(M, N);
      reps = 3;
      t_mex = inf; t_oct = inf;
      for r = 1:reps
        clear K Ko;
        tic; K = gram_square(X, model); t_mex = min(t_mex, toc);
        tic;
        Xs = single(X);
        if strcmp(type{1}, 'rbf')
          sq = sum(Xs .^ 2, 2);
          Ko = double(exp(-gamma * (sq + sq' - 2 * (Xs * Xs'))));
        else
          Ko = double((c * (Xs * Xs') + c0) .^ 3);
        end
        t_oct = min(t_oct, toc);
      end
      printf('%-10s %6d %5d %14.3f %14.3f %8.2f %12.3g\n', type{1}, M, N, t_mex, t_oct, ...
             t_oct / t_mex, max(abs(K(:) - Ko(:))));
      fflush(stdout);
    end
  end
end
