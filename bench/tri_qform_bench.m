% tri_qform_f32 at a = 4000 against Octave's x' * S * x on the unpacked
% matrix (single S, and the same S in double), timed in the same run.
% Run from the top of the repository: octave-cli bench/tri_qform_bench.m
% with the built MEX files on the path (addpath build/mex).
a = 4000;
reps = 10;
S = single(randn(a)); S = (S + S') / 2;
P = tri_pack_f32(S);
x = randn(a, 1);
Sd = double(S);
q = tri_qform_f32(P, x);
printf('a = %d: packed %.10g, x''*S*x %.10g (double S), relative difference %.2e\n', ...
       a, q, x' * Sd * x, abs(q - x' * Sd * x) / abs(x' * Sd * x));
t = tic; for k = 1:reps, q = tri_qform_f32(P, x); end, t_packed = toc(t) / reps;
t = tic; for k = 1:reps, q = x' * S * x; end, t_single = toc(t) / reps;
t = tic; for k = 1:reps, q = x' * Sd * x; end, t_double = toc(t) / reps;
printf('tri_qform_f32 (packed, %.0f MB): %.2f ms\n', numel(P) * 4 / 2^20, 1e3 * t_packed);
printf('x'' * S * x, single S (%.0f MB): %.2f ms  (ratio %.2f)\n', numel(S) * 4 / 2^20, 1e3 * t_single, t_single / t_packed);
printf('x'' * S * x, double S (%.0f MB): %.2f ms  (ratio %.2f)\n', numel(Sd) * 8 / 2^20, 1e3 * t_double, t_double / t_packed);
