function rows = compare_packed()
% COMPARE_PACKED  Rows of the table of bench/octave_table.m for the packed
% symmetric matrices: tri_qform_f32 on the packed matrix against what an
% Octave user writes on the unpacked single matrix, x' * S * x (BLAS), same
% S and x.  The two differ in rounding only (the baseline computes in
% single); the difference is checked to stay at single-precision level.
% Each time is the best of many single calls; ours and the baseline
% alternate.
  rows = struct('name', {}, 'ours', {}, 'baseline', {}, 'target', {});
  randn('seed', 7);
  for a = [2000 4000]
    S = single(randn(a));
    S = (S + S') / 2;
    P = tri_pack_f32(S);
    x = randn(a, 1);
    q = tri_qform_f32(P, x);
    q_base = double(x' * S * x);
    if abs(q - q_base) > 1e-5 * norm(x) ^ 2 * norm(double(S), 1)
      error('compare_packed:mismatch', 'tri_qform_f32 and x''*S*x differ beyond rounding');
    end
    ours = inf;
    base = inf;
    for r = 1:30
      ours = min(ours, time_call(@() tri_qform_f32(P, x)));
      base = min(base, time_call(@() x' * S * x));
    end
    target = NaN;
    if a == 2000
      target = 25;
    end
    rows(end + 1) = struct('name', sprintf('tri_qform_f32, a = %d, against x''*S*x in single', a), ...
                           'ours', ours, 'baseline', base, 'target', target);
  end
end

% The best of single calls is the least disturbed by other work on the
% machine.
function t = time_call(f)
  t0 = tic;
  y = f();
  t = toc(t0);
end
