% DEMO_SVKERNEL  Kernel values under a support-vector model struct:
% gram_square (Gram matrix of the rows of a data matrix) and gram_pair (one
% value), for the five kernel types.
printf('Building a minimal support-vector model struct by hand.\n');
kp = struct('kernel_type', 0, 'poly_degree', 2, 'rbf_gamma', 0.5, ...
            'coef_lin', 1, 'coef_const', 1, 'custom', 'empty');
model = struct('sv_num', 0, 'upper_bound', 0, 'b', 0, 'totwords', 2, 'totdoc', 0, ...
               'loo_error', -1, 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, ...
               'xa_precision', -1, 'maxdiff', 0, 'r_delta_sq', 0, 'r_delta_avg', 0, ...
               'model_length', 0, 'loss', 0, 'vcdim', 0, 'index', 0, ...
               'supvec', zeros(0, 2), 'kernel_parm', kp);

X = [1 2; 3 4; 0 1];
names = {'linear', 'polynomial (x.y + 1)^2', 'radial, gamma 0.5', 'sigmoid tanh(x.y + 1)', 'custom (constant)'};
printf('\nData rows: [1 2], [3 4], [0 1]\n');
for type = 0:4
  model.kernel_parm.kernel_type = type;
  printf('\nkernel_type %d, %s:\n', type, names{type + 1});
  disp(gram_square(X, model));
end

model.kernel_parm.kernel_type = 0;
printf('gram_pair([1 2; 100 100], [3 4], model) = %g  (only the first rows count)\n', ...
       gram_pair([1 2; 100 100], [3 4], model));
printf('Values are single precision widened to double: gram_square(0.1, model) = %.17g\n', ...
       gram_square(0.1, model));

% A larger radial Gram matrix, timed, and compared with Octave's own
% single-precision expression.
M = 1500; N = 64; gamma = 1 / N;
model.kernel_parm.kernel_type = 2;
model.kernel_parm.rbf_gamma = gamma;
randn('seed', 7);
X = randn(M, N);
printf('\nRadial Gram matrix of %d rows of %d features ...\n', M, N);
tic; K = gram_square(X, model); t = toc;
printf('  gram_square: %.3f s, diagonal all exactly 1: %d, largest K(i,j) - K(j,i): %.3g\n', t, all(diag(K) == 1), ...
       max(abs(K - K')(:)));
tic;
Xs = single(X); sq = sum(Xs .^ 2, 2);
Ko = double(single(exp(-gamma * double(sq + sq' - 2 * (Xs * Xs')))));
t2 = toc;
printf('  Octave single-precision expression: %.3f s, largest difference %.3g\n', t2, max(abs(K(:) - Ko(:))));
off = K(~eye(M));
printf('  off-diagonal kernel values: min %.4f, median %.4f, max %.4f\n', min(off), median(off), max(off));
