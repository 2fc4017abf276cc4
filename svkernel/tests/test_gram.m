% gram_square and gram_pair through Octave: worked examples to the last bit,
% every kernel type against an independent single-precision loop, the
% conversion messages and bad input.
randn('state', 106); rand('state', 106);   % seeded, so that a failure can be reproduced
1;

function m = svm_model(type, varargin)
  kp = struct('kernel_type', type, 'poly_degree', 3, 'rbf_gamma', 0.25, ...
              'coef_lin', 0.5, 'coef_const', 1, 'custom', 'empty');
  for k = 1:2:numel(varargin)
    kp.(varargin{k}) = varargin{k + 1};
  end
  m = struct('sv_num', 2.9, 'upper_bound', 0, 'b', 0.5, 'totwords', 2, 'totdoc', 4, ...
             'loo_error', -1, 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, ...
             'xa_precision', -1, 'maxdiff', 0.001, 'r_delta_sq', 1, 'r_delta_avg', 1, ...
             'model_length', 1, 'loss', 0, 'vcdim', 2, 'alpha', [0; 1; -1], ...
             'lin_weights', [0 1 2], 'index', [-1 0 1], 'supvec', [1 2; 3 4], 'kernel_parm', kp);
end

% A fixed message raised with mexErrMsgTxt; Octave puts the function's name
% in front of it and drops a final line end.
function assert_fixed_error(fn, name, text)
  try
    fn();
  catch err
    bare = regexprep(text, '\n$', '');
    if ~any(strcmp(err.message, {text, [name ': ' text], bare, [name ': ' bare]}))
      error('test_gram:wrongText', 'expected message "%s", got "%s"', text, err.message);
    end
    return;
  end
  error('test_gram:noError', 'expected the error "%s", none was raised', text);
end

% One kernel value the slow way: single-precision products and sums in
% feature order, kernel function in double, rounded to single.
function v = ref_value(a, b, kp)
  a = single(a); b = single(b);
  s = single(0); sa = single(0); sb = single(0);
  for k = 1:min(numel(a), numel(b)), s = s + b(k) * a(k); end
  for k = 1:numel(a), sa = sa + a(k) * a(k); end
  for k = 1:numel(b), sb = sb + b(k) * b(k); end
  S = double(s);
  switch kp.kernel_type
    case 0, v = s;
    case 1, v = single((S * kp.coef_lin + kp.coef_const) ^ kp.poly_degree);
    case 2
      t = double(sa) - S * 2; t = t + double(sb); t = t * kp.rbf_gamma;
      v = single(exp(-t));
    case 3, v = single(tanh(S * kp.coef_lin + kp.coef_const));
    otherwise, v = single(1);
  end
  v = double(v);
end

% Worked examples.
assert(isequal(gram_square([1 2; 3 4], svm_model(0)), [5 11; 11 25]));
K = gram_square(0.1, svm_model(0));
assert(K == 0.010000000707805157);
assert(sprintf('%.17g', K), '0.010000000707805157');
assert(gram_pair([1 2; 100 100], [3 4], svm_model(0)) == 11);
assert(gram_pair([1 2], [3 4], svm_model(1, 'poly_degree', 2, 'coef_lin', 1, 'coef_const', 1)) == 144);
X = 5 * randn(50, 7);
K = gram_square(X, svm_model(2));
assert(all(diag(K) == 1));
assert(size(K), [50 50]);
assert(isequal(size(gram_square(zeros(0, 3), svm_model(5))), [0 0]));

% Every kernel type against the slow loop, to the last bit.
X = randn(6, 5) .* [1 10 0.1 3 1];
y = [randn(1, 5), 2];
for type = 0:4
  m = svm_model(type, 'coef_lin', 0.3, 'coef_const', -0.2, 'rbf_gamma', 0.07);
  K = gram_square(X, m);
  R = zeros(6);
  for i = 1:6
    for j = 1:6
      R(i, j) = ref_value(X(i, :), X(j, :), m.kernel_parm);
    end
  end
  assert(isequal(K, R), sprintf('gram_square, kernel type %d', type));
  v = gram_pair(X(2:end, :), y, m);
  assert(isequal(v, ref_value(X(2, :), y, m.kernel_parm)), sprintf('gram_pair, kernel type %d', type));
end
% Linear values agree with Octave's own single-precision product to rounding.
X = randn(40, 16);
K = gram_square(X, svm_model(0));
Ks = double(single(X) * single(X)');
assert(max(abs(K(:) - Ks(:))) < 1e-4);

% Conversion messages.
m = rmfield(svm_model(0), 'index');
out = evalc('K = gram_square([1 2; 3 4], m);');
assert(out, sprintf('Warning: could not retrieve index from the given struct.\n'));
m = rmfield(svm_model(0), 'supvec');
out = evalc('K = gram_square([1 2; 3 4], m);');
assert(out, 'Warning: supvec field was not found.');
assert(isequal(K, [5 11; 11 25]));
assert_fixed_error(@() gram_square([1 2], rmfield(svm_model(0), 'vcdim')), 'gram_square', ...
             'Error: restoreArray returned NULL array to restoreValue');
assert_fixed_error(@() gram_square([1 2], rmfield(svm_model(0), 'kernel_parm')), 'gram_square', ...
             'Error: restoreArray returned NULL array to restoreValue');
m = svm_model(0); m.kernel_parm = rmfield(m.kernel_parm, 'custom');
assert_fixed_error(@() gram_pair([1 2], [1 2], m), 'gram_pair', 'Error: restoreArray returned NULL array to restoreValue');
assert_fixed_error(@() gram_square([1 2], [1 2]), 'gram_square', sprintf('mxStruct is not a struct, it is a double\n'));
assert_fixed_error(@() gram_square([1 2; 3 4], svm_model(5)), 'gram_square', 'ERR-005 - unknown kernel function');
assert_fixed_error(@() gram_pair([1 2], [3 4], svm_model(-1)), 'gram_pair', 'ERR-005 - unknown kernel function');
m = svm_model(0); m.index = [];
assert_fixed_error(@() gram_square([1 2], m), 'gram_square', 'Error allocating lArray or dArray');
m = svm_model(0); m.kernel_parm.custom = repmat('x', 1, 500);
assert(gram_square(2, m) == 4);

% Bad input.
assert_error(@() gram_square([1 2]), 'gram_square:nargin');
assert_error(@() gram_pair([1 2], [1 2]), 'gram_pair:nargin');
assert_error(@() gram_square(single([1 2]), svm_model(0)), 'gram_square:notDouble');
assert_error(@() gram_square(int32([1 2]), svm_model(0)), 'gram_square:notDouble');
assert_error(@() gram_square([1 2] + 1i, svm_model(0)), 'gram_square:notDouble');
assert_error(@() gram_pair(zeros(0, 2), [1 2], svm_model(0)), 'gram_pair:noRows');
try
  [a, b] = gram_pair([1 2], [3 4], svm_model(0));
  error('test_gram:noError', 'two outputs of gram_pair accepted');
catch err
  assert(err.identifier, 'gram_pair:nargout');
end
m = svm_model(0); m.totdoc = int32(4);
assert_error(@() gram_square([1 2], m), 'gram_square:fieldNotDouble');
m = svm_model(0); m.supvec = single([1 2]);
assert_error(@() gram_pair([1 2], [1 2], m), 'gram_pair:fieldNotDouble');
printf('gram_square, gram_pair: all Octave checks passed\n');
