function c = fuzz_call(seed, k, ctx)
% FUZZ_CALL  Call K of the fuzz run with seed SEED: the deliverable, its
% inputs and the number of outputs, drawn from generators seeded by (SEED,
% K) alone, so that any call can be drawn again by itself (fuzz_replay).
% The deliverables take turns.  CTX.paths lists the driver paths for
% acq_start and CTX.fifo a FIFO; CTX.wild allows session scalars that name
% no live session.
%
% C.name, C.args, C.nout: the call.  C.env: environment variables
% {name, value; ...} set for the call (the simulated amplifier reads them).
% C.errors: warning identifiers turned into errors for the call.
% C.session: for acq_fetch and acq_stop, what to do with a live session:
% '' (use C.args), 'valid' or 'mutate'; C.mutation says which inputs to
% replace (fuzz_run applies it to the live session's scalars).  For the
% functions that take acq_open's session struct: 'user' (the live struct
% as input 1) or 'user_mutate' (the struct with C.mutation's field changed).
  rand('state', seed * 1000003 + k);
  randn('state', seed * 1000003 + k);
  names = {'acq_start', 'acq_fetch', 'acq_stop', 'acq_stop_all', 'acq_open', 'acq_read', 'acq_window', ...
           'acq_events', 'acq_status', 'acq_close', 'gram_square', 'gram_pair', 'linmodel_score', ...
           'icf_rbf', 'icf_dotpower', 'icf_ortho', 'icf_matrix', 'linidx_coords', 'lattice_frontier', ...
           'lattice_frontier_full', 'lattice_extend', 'lattice_mismatch', 'lattice_nearest', ...
           'tri_pack_f32', 'tri_unpack_f32', 'tri_qform_f32', 'linmodel_train', 'linmodel_predict'};
  c = struct('name', names{mod(k - 1, numel(names)) + 1}, 'args', {{}}, 'nout', 1, ...
             'env', {cell(0, 2)}, 'errors', {{}}, 'session', '', 'mutation', []);
  switch c.name
    case 'acq_start',             c = acq_start_call(c, ctx);
    case {'acq_fetch', 'acq_stop'}, c = acq_session_call(c, ctx);
    case 'acq_open',              c = acq_open_call(c, ctx);
    case {'acq_read', 'acq_window', 'acq_events', 'acq_status', 'acq_close'}, c = user_session_call(c);
    case 'acq_stop_all'
      % Mostly refused, so that sessions live long enough to be fetched from.
      c = finish(c, repmat({fuzz_value()}, 1, rand < 0.7), 0, ri(0, 1));
    case {'gram_square', 'gram_pair'}, c = gram_call(c);
    case 'linmodel_score',        c = linmodel_call(c);
    case 'linmodel_train',        c = linmodel_train_call(c);
    case 'linmodel_predict',      c = linmodel_predict_call(c);
    case 'icf_rbf',  c = finish(c, {data(), width(), tol(), count()}, 3, 2);
    case 'icf_dotpower'
      c = finish(c, {data(), pick({1, 0, -1, 0.5, NaN, Inf, 1e300}), pick({1, 0.5, -2, 0, NaN, 1e-300}), ...
                     pick({2, 0, 1, 3, -1, -2, 2.7, 10, 2^31 - 1, -2^31, 2^31, NaN, Inf}), tol(), count()}, 5, 2);
    case 'icf_ortho'
      x = randn(1, ri(0, 20));
      if rand < 0.1, x = x'; end
      order = pick({1, 2, 3, 5, 10, 0, -1, 0.5, 1.9, 2147483646, 2^31, 1e9, floor(2^31 / max(numel(x), 1)) - 1, ...
                    NaN, Inf, -Inf});
      c = finish(c, {x, width(), order, tol(), count()}, 4, 2);
    case 'icf_matrix'
      n = ri(0, 12);
      B = randn(ri(1, 5), n);
      A = B' * B;
      if rand < 0.1, A = randn(n, ri(0, 4)); end
      if rand < 0.1 && ~isempty(A), A(ri(1, numel(A))) = pick({NaN, Inf, -1, 0}); end
      c = finish(c, {A, pick({0, 1e-3, 0.25, 1, 2, -1, -0.5, NaN, Inf}), ...
                     pick({0, 1, 2, n, n + 1, n + 3, 2^31 - 1, 2^31, -1, 0.5, NaN, Inf})}, 3, 4);
    case 'linidx_coords'
      dims = arrayfun(@(d) ri(1, 5), zeros(1, ri(0, 4)));
      if rand < 0.2, dims(ri(1, max(numel(dims), 1))) = pick({0, -1, 2.5, NaN, Inf, 2^31 - 1, 2^31, 2^32 + 1, 65536}); end
      total = prod(max(dims, 1));
      idx = arrayfun(@(x) ri(1, max(min(total, 1e6), 1)), zeros(ri(0, 4), 1));
      if rand < 0.3, idx = pick({0, -1, total + 1, 2^31, 2^32 + 1, NaN, Inf, 1.5, []}); end
      c = finish(c, {dims, idx}, 2, 1);
    case {'lattice_frontier', 'lattice_frontier_full'}
      S = closed_set();
      c = finish(c, {S, bounds(rows(S))}, 2, 1);
    case 'lattice_extend'
      M = ri(0, 4);
      c = finish(c, {point_set(M), bounds(M), bounds(M)}, 3, 1);
    case {'lattice_mismatch', 'lattice_nearest'}
      M = ri(0, 4);
      c = finish(c, {bounds(M), point_set(M)}, 2, 1 + strcmp(c.name, 'lattice_nearest'));
    case 'tri_pack_f32'
      a = ri(0, 6);
      c = finish(c, {single(randn(a, a + (rand < 0.2) * ri(-1, 2)))}, 1, 1);
    case 'tri_unpack_f32'
      a = ri(0, 6);
      L = a * (a + 1) / 2 + (rand < 0.2) * ri(-1, 2);
      c = finish(c, {single(randn(max(L, 0), 1))}, 1, 1);
    case 'tri_qform_f32'
      a = ri(0, 6);
      c = finish(c, {single(randn(a * (a + 1) / 2 - (rand < 0.2), 1)), randn(a, 1)}, 2, 1);
  end
end

% ---------------------------------------------------------------------------
% Shapes of a call: the nominal inputs, then mutated: an input replaced by an
% arbitrary value, too few or too many inputs, 0 to 5 outputs.

function c = finish(c, args, least, nout)
  for j = 1:numel(args)
    if rand < 0.08, args{j} = fuzz_value(); end
  end
  n = numel(args);
  if rand < 0.5 && n > least, n = ri(least, n); end
  if rand < 0.1, n = ri(0, n + 2); end
  if n > numel(args)
    for j = numel(args) + 1:n, args{j} = fuzz_value(); end
  end
  c.args = args(1:n);
  c.nout = nout;
  if rand < 0.25, c.nout = ri(0, 5); end
end

function v = pick(list)
  v = list{ri(1, numel(list))};
end

function n = ri(a, b)
  n = a + floor(rand * (b - a + 1));
end

function X = data()
  X = randn(ri(1, 4), ri(0, 20));
  if rand < 0.2, X = round(X * 3); end
  if rand < 0.05 && ~isempty(X), X(ri(1, numel(X))) = pick({NaN, Inf, -Inf, 1e300}); end
  if rand < 0.05, X = zeros(0, ri(0, 3)); end
end

function s = width()
  s = pick({1, 0.5, 3, 2, 1e-3, 0, -1, NaN, Inf, 1e-300, 1e300});
end

function t = tol()
  t = pick({0, 1e-6, 0.01, 0.5, 1, 5, 25, -0, -1, NaN, Inf});
end

function r = count()
  r = pick({0, 1, 2, 5, 30, 100, 2^31 - 1, 2^31, -1, 0.5, NaN, Inf, 1e10});
end

% A downward-closed set of multi-indices (int32, one per column), often
% mutated into one that is not.
function S = closed_set()
  M = ri(0, 4);
  S = ones(M, 1);
  for p = 1:ri(0, 4) * (M > 0)
    % Every point at or below a random top point.
    top = arrayfun(@(k) ri(1, 3), 1:M);
    below = cell(M, 1);
    [below{:}] = ind2sub([top, 1], 1:prod(top));
    S = unique([S, cell2mat(below)]', 'rows')';
  end
  S = int32(reshape(S, M, []));
  if rand < 0.1, S = S(:, 2:end); end
  if rand < 0.15, S = [S, point_set(M)]; end
  if rand < 0.1, S = [S, S]; end
end

function P = point_set(M)
  P = int32(arrayfun(@(x) ri(1, 4), zeros(M, ri(0, 6))));
  if rand < 0.15 && ~isempty(P), P(ri(1, numel(P))) = pick({intmax('int32'), intmin('int32'), 0, -1}); end
  P = reshape(P, M, []);
end

function b = bounds(M)
  b = int32(arrayfun(@(x) ri(1, 5), zeros(M + (rand < 0.1) * ri(-1, 2), 1)));
  if rand < 0.1 && ~isempty(b), b(ri(1, numel(b))) = pick({intmax('int32'), intmin('int32'), 0}); end
  if rand < 0.1, b = b'; end
end

% ---------------------------------------------------------------------------
% Support-vector model structs, often mutated: a field removed, replaced by
% an arbitrary value or by an empty of huge size, the kernel parameters
% likewise, many support vectors, struct arrays.

function c = gram_call(c)
  X = randn(ri(0, 10), ri(0, 6));
  if rand < 0.2, X = round(X); end
  model = sv_model(size(X, 2));
  if strcmp(c.name, 'gram_square')
    c = finish(c, {X, model}, 2, 1);
  else
    Y = randn(ri(0, 3), size(X, 2) + (rand < 0.3) * ri(-1, 2));
    c = finish(c, {X, Y, model}, 3, 1);
  end
end

function m = sv_model(nf)
  kp = struct('kernel_type', pick({0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 5, -1, 2^31, NaN, Inf, 2.5}), ...
              'poly_degree', pick({3, 0, 1, 2, -1, 2^31, NaN}), 'rbf_gamma', pick({0.25, 1, 0, -1, NaN, Inf}), ...
              'coef_lin', pick({0.5, 1, 0, -1, NaN}), 'coef_const', pick({1, 0, -1, Inf}), ...
              'custom', pick({'empty', '', repmat('k', 1, 200), 'x y z'}));
  nsv = pick({0, 1, 2, 3, 5});
  if rand < 0.02, nsv = pick({2000, 20000}); end
  m = struct('sv_num', nsv + 1, 'upper_bound', 0, 'b', 0.5, 'totwords', nf, 'totdoc', 4, ...
             'loo_error', -1, 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, 'xa_precision', -1, ...
             'maxdiff', 0.001, 'r_delta_sq', 1, 'r_delta_avg', 1, 'model_length', 1, 'loss', 0, 'vcdim', 2, ...
             'alpha', randn(nsv + 1, 1), 'lin_weights', randn(1, nf + 1), 'index', (-1:nsv - 1)', ...
             'supvec', randn(nsv, max(nf, 1)), 'kernel_parm', kp);
  for t = 1:ri(0, 3) * (rand < 0.6)
    if rand < 0.3 && isfield(m, 'kernel_parm')
      m.kernel_parm = mutate_struct(m.kernel_parm);
    else
      m = mutate_struct(m);
    end
  end
  if rand < 0.04, m = pick({repmat(m, 2, 1), m([]), fuzz_value()}); end
end

function s = mutate_struct(s)
  if ~isstruct(s) || numel(s) ~= 1, return; end
  f = fieldnames(s);
  if isempty(f), return; end
  name = f{ri(1, numel(f))};
  switch ri(1, 4)
    case 1, s = rmfield(s, name);
    case 2, s.(name) = fuzz_value();
    case 3, s.(name) = fuzz_value('huge_empty');
    case 4, s.(name) = pick({[], zeros(0, 3), '', {}, struct(), single(1), int32(7), true, 1i, sparse(1), NaN, -Inf});
  end
end

% ---------------------------------------------------------------------------
% liblinear model structs (fields by position), instance matrices and
% option texts, often mutated.

function c = linmodel_call(c)
  solver = pick({0, 1, 2, 3, 4, 5, 6, 7, 0, 2, 4, 6, 11, 12, 13, -1, 99, 2^31, NaN});
  nr_class = pick({2, 2, 3, 4, 1});
  nr_feature = ri(0, 6);
  bias = pick({-1, -1, 1, 0, 0.5, 1.7, NaN, -Inf});
  b = bias >= 0;
  cc = nr_class;
  if nr_class == 2 && solver ~= 4, cc = 1; end
  model = struct('Parameters', [solver; 1; 0.1; 0.1; 1], 'nr_class', nr_class, 'nr_feature', nr_feature, ...
                 'bias', bias, 'Label', (1:nr_class)', 'w', randn(cc, nr_feature + b));
  if rand < 0.1, model.Label = model.Label(end:-1:1) - 2; end
  for t = 1:ri(0, 3) * (rand < 0.4)
    model = mutate_struct(model);
  end
  if rand < 0.05
    f = fieldnames(model);
    model = orderfields(model, f(randperm(numel(f))));
  end
  if rand < 0.05, model.nr_feature = pick({2^31 - 1, 2^31, 1e10, -1, NaN}); end
  if rand < 0.05, model.nr_class = pick({2^31 - 1, 1e6, 0, -1, NaN}); end
  if rand < 0.03, model = pick({repmat(model, 1, 2), model([]), fuzz_value()}); end

  n = ri(0, 8);
  X = randn(n, ri(0, 8)) .* (rand(n, 1) < 0.6);
  X = sparse(X);
  col = rand < 0.2;
  if col, X = X'; end
  labels = model_labels(n, nr_class);
  if rand < 0.35
    X = pick({X * (1 + 1i), X * (1 + 1i), X * 1i, logical(X), full(X), single(full(X)), sparse(2^40, 1), ...
              sparse(1, 0), sparse(2^31, n), int32(full(X)), sparse(2, 2)});
  end
  if rand < 0.1, labels = pick({labels', labels * 1i, sparse(labels), single(labels), [], zeros(0, 1), ...
                                 [labels, labels], NaN(n, 1), int32(labels)}); end
  opts = pick({'', '-b 1', '-b 0', '-b', '-c 1', 'x -b 1', '-b abc', '-b 1 -b 0', '-b -1', ' -b  1 ', ...
               repmat('-b 1 ', 1, 500), repmat('x', 1, 3000), repmat('-b ', 1, 1500), char([45 98 0 49]), ...
               ['-b 1'; '-b 0'], [], 7, {'-b 1'}, 'col'});
  args = {labels, X, model};
  if rand < 0.7 || col
    args{4} = opts;
    if col || rand < 0.2
      args{5} = pick({'col', 'col', 'COL', 'col ', 'co', repmat('col', 1, 1000), [], 1, 'row'});
    end
  end
  c = finish(c, args, 3, 3);
end

function y = model_labels(n, nr_class)
  y = floor(rand(n, 1) * max(nr_class, 1)) + 1;
end

% Instances for training and prediction: dense or sparse, rows or columns
% (col), often of a hostile class, shape or content.
function [X, col] = instances(n, d)
  X = randn(n, d) .* (rand(n, d) < 0.7);
  if rand < 0.4, X = sparse(X); end
  col = rand < 0.25;
  if col, X = X'; end
  if rand < 0.05 && ~isempty(X), X(ri(1, numel(X))) = pick({NaN, Inf, -Inf, 1e308}); end
  if rand < 0.25
    X = pick({X * (1 + 1i), single(full(X)), X ~= 0, int32(full(X)), zeros(n, 0), sparse(2^31 - 2, n), ...
              sparse(2^31, n), sparse(2^40, 1), X(:, end:-1:1), [X, X], {X}, 'X'});
  end
end

% The third or fourth input: 'col' or something else.
function args = with_format(args, col)
  if col || rand < 0.1
    args{end + 1} = pick({'col', 'col', 'col', 'col', 'COL', 'row', 'col ', [], 1, {'col'}});
  end
end

function c = linmodel_train_call(c)
  n = ri(0, 12);
  [X, col] = instances(n, ri(0, 6));
  y = model_labels(n, pick({2, 3, 1, 5}));
  if rand < 0.15, y = randn(n, 1); end
  if rand < 0.1, y = pick({y', y(1:end - 1), [y; 1], y + 0.5, NaN(n, 1), y * 1e10, y * 1i, sparse(y), ...
                           int32(y), [y, y], []}); end
  opts = pick({'', '-s 0', '-s 1 -c 2', '-s 2 -B 1 -q', '-s 3 -e 0.5', '-s 4 -B 0', '-s 5', '-s 6 -c 4', ...
               '-s 7 -w1 2 -w2 0.5', '-s 11 -p 0.2', '-s 12 -B 1', '-s 13', '-v 3', '-s 0 -v 2 -q', '-v 50', ...
               '-w9 3', '-c 0', '-c -1', '-e 0', '-p -1', '-s 8', '-s 99', '-s -1', '-x 1', '-c', '-c nan', '-c 1e39', ...
               '-w 1', '-w1.5 2', '-v 1', '-B inf', '-C', repmat('-c 1 ', 1, 400), repmat('x', 1, 3000), ...
               repmat('-w1 1 ', 1, 1100), char([45 115 0 49]), ['-s 0'; '-s 1'], [], 7, {'-s 0'}, 'col'});
  c = finish(c, with_format({y, X, opts}, col), 2, 1);
end

function c = linmodel_predict_call(c)
  solver = pick({0, 1, 2, 4, 6, 7, 0, 6, 11, 12, 13, -1, 99, NaN});
  nr_class = pick({2, 2, 3, 1});
  nr_feature = ri(0, 6);
  bias = pick({-1, -1, 1, 1, 0, 0.5, 1.7, NaN, -Inf});
  cc = nr_class;
  if nr_class == 2 && solver ~= 4, cc = 1; end
  model = struct('Parameters', solver, 'nr_class', nr_class, 'nr_feature', nr_feature, 'bias', bias, ...
                 'Label', (1:nr_class)', 'w', randn(cc, nr_feature + (bias >= 0)));
  if rand < 0.08, model.Label = zeros(0, 1); end
  for t = 1:ri(0, 3) * (rand < 0.25)
    model = mutate_struct(model);
  end
  if rand < 0.05, model.nr_feature = pick({2^31 - 1, 2^31, 1e10, -1, NaN}); end
  if rand < 0.03, model = pick({repmat(model, 1, 2), model([]), fuzz_value()}); end
  d = nr_feature;
  if rand < 0.15, d = ri(0, 8); end
  [X, col] = instances(ri(0, 8), d);
  c = finish(c, with_format({model, X}, col), 2, 3);
end

% ---------------------------------------------------------------------------
% Acquisition.

function c = acq_start_call(c, ctx)
  path = ctx.paths{ri(1, numel(ctx.paths))};
  if rand < 0.4, path = ctx.paths{1}; end  % the simulated amplifier
  if rand < 0.005, path = ctx.fifo; end
  if rand < 0.08
    path = pick({'/tmp', 'abcd', '', repmat('a', 1, 16383), repmat('/', 1, 16384), ['/tmp' char(0) 'xyz'], ...
                 ['/tmp/x'; '/tmp/y'], 42, {ctx.paths{1}}, double(ctx.paths{1}), fuzz_value()});
  end
  c = finish(c, {path}, 1, 15);
  if rand < 0.85, c.nout = 15; end
  if rand < 0.5
    % Settings of the simulated amplifier, often ones it must refuse at the
    % open: not whole numbers, out of range, negative, exponent forms, bad
    % connection suffixes and AMPSIM_FAIL items.
    fail = sprintf('%s:%d%s', pick({'OPEN_DRIVER_ASYNC', 'USB_WRITE', 'READ_MULTIPLE_SWEEPS', 'READ_POINTER', ...
                                     'CLOSE_DRIVER_ASYNC'}), ri(1, 6), pick({'', '', '@1', '@2'}));
    if rand < 0.2, fail = pick({'USB_WRITE:x', 'usb_write:1', 'USB_WRITE:1,', 'READ_POINTER:0', 'USB_WRITE:1@0', 'USB_WRITE'}); end
    pool = {'AMPSIM_STATUS', pick({'0x88000000', '0x86000000', '0x80000000', '0x00000000', '0x20000000', ...
                                   '0x22000000', '0xA2000000', '0xC8000000', '0x8E000000', ...
                                   sprintf('%u', floor(rand * 2^32)), '0x100000000', '-1', '0x88000000@2'});
            'AMPSIM_FAIL', fail;
            'AMPSIM_CHANNELS', pick({'34', '282', '283', '610', '3', '100000', '-3', '2', '100001', 'abc', '0x11A'});
            'AMPSIM_RATE', pick({'1000', '2048', '16384', '40000', '65536', '65537', '0', 'abc', '1e6', '-1', ...
                                 '0x800', ' 2048', '2048@2', '1000000000000', '4000000000'});
            'AMPSIM_MIDSWEEP', pick({'4', '12', '1000', '2147483647', '-4', '0x100000000'});
            'AMPSIM_BADPOINTER', pick({'8388612', '4294967295', '0', '4294967296', '-1'});
            'AMPSIM_START', pick({'0', '8', '8388608', '34639872', '-4', '-4294967296', '2147483647', '2147483648', ...
                                  '8@0', '8@x'});
            'AMPSIM_OFFSET', pick({'4096', '0x100000000000', '2147483647', '-4', '1e3'});
            'AMPSIM_SEED', pick({'7', 'abc', '18446744073709551615', '18446744073709551616', '0x'});
            'AMPSIM_PARADIGM', pick({'oddball', 'Oddball', 'off', ''});
            'AMPSIM_STALL', pick({'1', '2', 'yes', '1@2'})};
    c.env = pool(unique(arrayfun(@(x) ri(1, rows(pool)), 1:ri(1, 2))), :);
  end
  if rand < 0.1
    % Settings together that once killed or hung the host: huge rates (with
    % the oddball paradigm), the largest rate and sweep size allowed, offsets
    % and starts beyond any ring.
    c.env = pick({{'AMPSIM_STATUS', '0x88000000'; 'AMPSIM_RATE', '1000000000000'}, ...
                  {'AMPSIM_PARADIGM', 'oddball'; 'AMPSIM_STATUS', '0x88000000'; 'AMPSIM_RATE', '4000000000'}, ...
                  {'AMPSIM_PARADIGM', 'oddball'; 'AMPSIM_STATUS', '0x88000000'; 'AMPSIM_RATE', '65536'; ...
                   'AMPSIM_CHANNELS', '100000'}, ...
                  {'AMPSIM_PARADIGM', 'oddball'; 'AMPSIM_STATUS', '0x86000000'; 'AMPSIM_RATE', '65536'}, ...
                  {'AMPSIM_OFFSET', '0x100000000000'}, {'AMPSIM_OFFSET', '2147483647'}, ...
                  {'AMPSIM_START', '-4294967296'}, {'AMPSIM_START', '-4@2'}});
  end
  if rand < 0.2, c.errors = {'BioSemi:BatteryLow'}; end
end

% acq_open: mostly the simulated amplifier with options it takes (so that
% sessions live long enough to be read), else acq_start's paths and hostile
% simulator settings, and options it must refuse; now and then a recording
% into the work folder.
function c = acq_open_call(c, ctx)
  path = {ctx.paths{1}};
  if rand < 0.3
    c = acq_start_call(c, ctx);
    path = c.args(1:min(1, end));
  end
  opts = {};
  if rand < 0.9, opts = {'quiet', true}; end
  for j = 1:ri(0, 2)
    if rand < 0.75
      opts = [opts, pick({{'history', pick({0.5, 2, 60})}, ...
                          {'channels', pick({{'A1'}, {'a1', 'EXTRA16'}, [3 4], [282 1 2], 'Status'})}, ...
                          {'record', ctx.record, 'overwrite', true}})];
    else
      opts = [opts, pick({{'history', pick({0.01, 0, -1, NaN, Inf, 1e12, 'x', [1 2], 1i})}, ...
                          {'channels', pick({{'Cz'}, 0, 283, 1e9, {}, {1}, '', {'A1'; 'B1'}, NaN, -1, ...
                                             {repmat('A', 1, 40)}})}, ...
                          {'record', pick({ctx.record, '', 5, fullfile(ctx.record, 'x.bdf')})}, ...
                          {'overwrite', pick({'yes', [], [true true]})}, {pick({'loud', 5, '', 'QUIET'}), 1}, {'quiet'}})];
    end
  end
  c.args = [path, opts];
  c.nout = 1;
  if rand < 0.1, c.nout = ri(0, 2); end
  c.session = 'user_open';
end

% The functions of acq_open's session: mostly the live session struct (set
% by fuzz_run), sometimes with a field changed, or arbitrary values.
function c = user_session_call(c)
  extra = {};
  if strcmp(c.name, 'acq_window')
    extra = pick({{1, 10}, {100, 2000}, {1, 1}, {1e15, 1e15 + 1}, {0, 5}, {10, 5}, {2.5, 3}, {NaN, 2}, ...
                  {1, Inf}, {int32(1), 2}, {1}});
  end
  nout = pick({1, 1, 1, 0, 2, 3});
  if strcmp(c.name, 'acq_read'), nout = pick({2, 2, 2, 1, 3}); end
  if strcmp(c.name, 'acq_window'), nout = pick({1, 2, 2, 3}); end
  c = finish(c, [{fuzz_value()}, extra], 1 + numel(extra), nout);
  c.nout = nout;
  c.session = pick({'user', 'user', 'user', 'user_mutate', ''});
  c.mutation = struct('field', pick({'id', 'ring', 'library', 'driver', 'usb_write', 'close_driver', 'labels'}), ...
                      'value', {pick({[], int32(0), int32(999), uint64(0), uint64(4096), 1, 'x', {}, int32([1 2])})}, ...
                      'remove', rand < 0.3);
end

% Fetch and stop: with a live session, its scalars, either as they are or
% with inputs replaced by values the deliverable promises to refuse (or, with
% ctx.wild, by scalars that name no live session); without one, arbitrary
% inputs whose addresses are 0 (unless ctx.wild).
function c = acq_session_call(c, ctx)
  fetch = strcmp(c.name, 'acq_fetch');
  nin = 5 + fetch;
  args = arrayfun(@(j) fuzz_value(), 1:nin, 'UniformOutput', false);
  if rand < 0.5
    % Scalars of the right classes; their addresses arbitrary only when wild.
    for j = 1:nin - 2 * fetch
      args{j} = pick({uint64(1), uint64(4096), intmax('uint64'), uint64(0xdeadbeef), uint64(2^40), uint64(0)});
    end
    if fetch, args(5:6) = {int32(282), int32(0)}; end
  end
  c = finish(c, args, nin, 2 * fetch);
  if ~ctx.wild
    for j = 1:numel(c.args)
      if isa(c.args{j}, 'uint64'), c.args{j}(:) = 0; end
    end
  end
  c.session = pick({'valid', 'mutate', 'mutate'});
  if fetch && rand < 0.5, c.session = 'valid'; end
  if rand < 0.1, c.session = ''; end
  % Which inputs to replace, and by what kind of value.
  m = struct('nin', nin, 'nout', 1 + fetch, 'slot', ri(1, nin), 'kind', '', 'value', []);
  m.kind = pick({'class', 'shape', 'zero', 'count', 'nout', 'channels', 'pointer', 'handle'});
  m.value = fuzz_value();
  if rand < 0.5, m.value = pick({double(3), int64(1), uint32(5), single(2), true, 'a', {1}, struct(), int32(1)}); end
  m.wild = pick({uint64(1), uint64(4096), intmax('uint64'), uint64(0xdeadbeef), uint64(2^40)});
  m.fraction = rand;
  m.count = pick({0, 1, nin - 1, nin + 1, 9});
  if m.count == nin, m.count = 0; end
  m.nout_value = pick({0, 1, 3, 4, 5});
  if ~fetch && m.nout_value >= 3, m.nout_value = 0; end
  m.last = pick({int32(-1), int32(-4), int32(1), int32(2), intmin('int32'), intmax('int32'), int32(282 * 4 * 30720 + 1128)});
  c.mutation = m;
end
