function gram_first_calls(condition, outfile)
% GRAM_FIRST_CALLS  The first calls of gram_square in a fresh Octave process
% against the later ones, for bench/octave_table.m: CALLS calls on the same
% input (M = 2000, N = 64, cubic polynomial kernel, the case of the table),
% the first one loading the MEX file as a user's first call does.  Each
% call's time and page faults (getrusage's minor faults: the first touches
% of memory the process had not used before) are saved to OUTFILE as
% `times` and `faults`.
%
% The host copies the 32 MB output into a fresh array on return.  Where
% that copy lands depends on what the process freed before: glibc maps
% blocks at least as large as the largest one freed so far (up to 32 MiB)
% afresh each time, and serves smaller ones from its heap, whose pages stay
% backed once touched.  CONDITION 'fresh' measures at once; 'after 33 MB'
% first allocates and frees a 33 MB array, as a session that has worked
% with such arrays has, so that the copies come from the heap.
  if strcmp(condition, 'after 33 MB')
    held = ones(4150000, 1);
    clear held;
  end
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
