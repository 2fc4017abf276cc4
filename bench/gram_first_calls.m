function gram_first_calls(outfile)
% GRAM_FIRST_CALLS  The first calls of gram_square in a fresh Octave process
% against the later ones, for bench/octave_table.m: CALLS calls on the same
% input (M = 2000, N = 64, cubic polynomial kernel, the case of the table),
% the first one loading the MEX file as a user's first call does.  Each
% call's time and page faults (getrusage's minor faults: the first touches
% of memory the process had not used before) are saved to OUTFILE as
% `times` and `faults`.
  calls = 30;
  randn('seed', 2064);
  X = randn(2000, 64);
  model = svm_kernel_model(1, 'gamma', 0.01, 'degree', 3, 'coef_lin', 0.05, 'coef_const', 1);
  times = zeros(1, calls);
  faults = zeros(1, calls);
  for k = 1:calls
    u = getrusage();
    t = tic;
    K = gram_square(X, model);
    times(k) = toc(t);
    v = getrusage();
    faults(k) = v.minflt - u.minflt;
    clear K;
  end
  save('-text', outfile, 'times', 'faults');
end
