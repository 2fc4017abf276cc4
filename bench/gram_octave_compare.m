% GRAM_OCTAVE_COMPARE  gram_square (radial kernel) against Octave's own
% vectorized expression in single precision, measured in the same run:
%   Xs = single(X); sq = sum(Xs.^2, 2);
%   K = double(single(exp(-gamma * double(sq + sq' - 2*(Xs*Xs')))));
% The expression sums in BLAS order, so its values differ from gram_square's
% in the last bits; the largest difference is printed beside the times.
% Run with the folder of the MEX files on the path:
%   octave-cli --eval "addpath([pwd '/build/mex']); run('bench/gram_octave_compare.m')"
gamma = 0.01;
model = svm_kernel_model('rbf', 'gamma', gamma);
printf('%6s %5s %14s %14s %8s %12s\n', 'M', 'N', 'gram_square s', 'Octave expr s', 'ratio', 'max |diff|');
for M = [2000 4000]
  for N = [64 256]
    randn('seed', M + N);
    X = randn(M, N);
    reps = 3;
    t_mex = inf; t_oct = inf;
    for r = 1:reps
      tic; K = gram_square(X, model); t_mex = min(t_mex, toc);
      tic;
      Xs = single(X); sq = sum(Xs .^ 2, 2);
      Ko = double(single(exp(-gamma * double(sq + sq' - 2 * (Xs * Xs')))));
      t_oct = min(t_oct, toc);
    end
    printf('%6d %5d %14.3f %14.3f %8.2f %12.3g\n', M, N, t_mex, t_oct, t_oct / t_mex, max(abs(K(:) - Ko(:))));
    fflush(stdout);
  end
end
