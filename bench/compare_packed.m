function rows = compare_packed()
% COMPARE_PACKED  Rows of the table of bench/octave_table.m for the packed
% symmetric matrices: tri_qform_f32 on the packed matrix P against what an
% Octave user holding P writes instead: unpack it (logical indexing into
% the upper triangle, then mirror) and take x' * S * x (BLAS).  A second
% row shows x' * S * x alone, on a matrix already unpacked: BLAS sums in
% any order it likes and beats the fixed, term-by-term order of
% tri_qform_f32 there.  The results differ in rounding only (the baseline
% computes in single); the difference is checked to stay at
% single-precision level.  Each time is the best of many single calls;
% ours and the baseline alternate.
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
    unpacked = inf;
    for r = 1:30
      ours = min(ours, time_call(@() tri_qform_f32(P, x)));
      base = min(base, time_call(@() unpack_and_qform(P, x, a)));
      unpacked = min(unpacked, time_call(@() x' * S * x));
    end
    % No target: the sum runs one term at a time in a fixed order, so one
    % dependent add per packed value is the floor, and tri_qform_f32 is there.
    target = NaN;
    rows(end + 1) = struct('name', sprintf('tri_qform_f32, a = %d, against unpacking and x''*S*x', a), ...
                           'ours', ours, 'baseline', base, 'target', target);
    rows(end + 1) = struct('name', sprintf('tri_qform_f32, a = %d, against x''*S*x already unpacked', a), ...
                           'ours', ours, 'baseline', unpacked, 'target', NaN);
  end
end

% What an Octave user holding the packed vector writes: the upper triangle,
% column by column, is exactly the order of logical indexing with triu.
function q = unpack_and_qform(P, x, a)
  S = zeros(a, 'single');
  S(triu(true(a))) = P;
  S = S + triu(S, 1)';
  q = x' * S * x;
end

% The best of single calls is the least disturbed by other work on the
% machine.
function t = time_call(f)
  t0 = tic;
  y = f();
  t = toc(t0);
end
