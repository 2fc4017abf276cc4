% linmodel_score through Octave, against liblinear's own command-line tools:
% models trained by liblinear-train on its example data set and on a seeded
% four-class set, for solvers 0 to 7 with and without a bias feature, read
% with linmodel_read and scored; labels, the accuracy line and the -b 1
% probabilities must equal liblinear-predict's output.
1;

addpath(getenv('LINMODEL_TESTS'));   % the lm_* helpers

[work, train, predict] = lm_tools('linmodel_data');

% Data set 1: liblinear's example, whole set for training and testing.
heart = lm_heart_scale(work);

% Data set 2: four classes with labels 3, 7, -2, 5 around seeded centres; the
% training part uses features 1..10 only, the test part 12 features, so that
% scoring in row format must drop features 11 and 12.
rand('state', 20261208); randn('state', 20261208);
classes = [3 7 -2 5];
centres = 2 * randn(4, 12);
n_train = 400; n_test = 150;
k = randi(4, n_train + n_test, 1);
D = centres(k, :) + randn(n_train + n_test, 12);
D(rand(size(D)) < 0.3) = 0;
D(1:n_train, 11:12) = 0;
y_all = classes(k)';
lm_write_data(fullfile(work, 'multi_train'), y_all(1:n_train), sparse(D(1:n_train, :)));
lm_write_data(fullfile(work, 'multi_test'), y_all(n_train+1:end), sparse(D(n_train+1:end, :)));

sets = {{'multi_train', 'multi_test'}};
if ~isempty(heart)
  sets = [{{'heart_scale', 'heart_scale'}}, sets];
end
compared = 0;
for s = 1:numel(sets)
  train_file = fullfile(work, sets{s}{1});
  test_file = fullfile(work, sets{s}{2});
  [y, X] = lm_read_data(test_file);
  for solver = 0:7
    for bias = [-1 1]
      model_file = fullfile(work, sprintf('%s_s%d_B%d.model', sets{s}{1}, solver, bias));
      lm_run_tool(sprintf('"%s" -s %d -B %d -q "%s" "%s"', train, solver, bias, train_file, model_file));
      model = linmodel_read(model_file);
      assert(fieldnames(model)', {'Parameters', 'nr_class', 'nr_feature', 'bias', 'Label', 'w'});
      assert(model.Parameters, solver);
      C = size(model.w, 1);

      for b = 0:double(any(solver == [0 6 7]))
        pred_file = [model_file '.out'];
        line = lm_run_tool(sprintf('"%s" -b %d "%s" "%s" "%s"', predict, b, test_file, model_file, pred_file));
        [labels, probs, header] = lm_read_predictions(pred_file, b == 1);
        printed = evalc('[pl, acc, vals] = linmodel_score(y, X, model, sprintf(''-b %d'', b));');
        what = sprintf('%s solver %d bias %d -b %d', sets{s}{1}, solver, bias, b);
        assert(strcmp(printed, line), sprintf('%s: printed "%s", liblinear-predict "%s"', what, printed, line));
        assert(isequal(pl, labels), what);
        acc_text = regexp(line, 'Accuracy = (\S+)%', 'tokens'){1}{1};
        assert(strcmp(sprintf('%g', acc), acc_text), what);
        assert(acc, 100 * mean(pl == y), 1e-12);
        if b
          assert(header, model.Label');
          assert(size(vals), [numel(y) model.nr_class]);
          assert(strcmp(arrayfun(@(p) sprintf('%g', p), vals, 'UniformOutput', false), probs), what);
        else
          % Decision values: X times the weights, plus the bias weight.
          assert(size(vals), [numel(y) C]);
          Xc = X(:, 1:min(end, model.nr_feature));
          Xc(:, end+1:model.nr_feature) = 0;
          if model.bias >= 0
            Xc(:, end+1) = model.bias;
          end
          expect = full(Xc * model.w');
          assert(vals, expect, 1e-12 * max(1, max(abs(expect(:)))));
          % Instances as columns give the same results when the row count
          % is the model's feature count.
          [pc, ac, vc] = linmodel_score(y, Xc(:, 1:model.nr_feature)', model, '', 'col');
          assert(isequal(pc, pl) && isequal(ac, acc) && isequal(vc, vals), what);
        end
        compared = compared + 1;
      end
    end
  end
end
assert(compared, numel(sets) * (16 + 6));

% Messages and empty outputs.
model = linmodel_read(fullfile(work, 'multi_train_s2_B1.model'));
[y, X] = lm_read_data(fullfile(work, 'multi_test'));
usage = ['Usage: [predicted_label, accuracy, decision_values/prob_estimates] = predict(testing_label_vector, ' ...
         'testing_instance_matrix, model, ''liblinear_options'',''col'')' "\n" 'liblinear_options:' "\n" ...
         '-b probability_estimates: whether to predict probability estimates, 0 or 1 (default 0)' "\n" 'col:' ...
         "\n\t" 'if ''col'' is setted testing_instance_matrix is parsed in column format, otherwise is in row format'];
cases = {
  'linmodel_score(y, X)', usage;
  'linmodel_score(y, full(X), model)', "Testing_instance_matrix must be sparse\n";
  'linmodel_score(int32(y), X, model)', "Error: label vector and instance matrix must be double\n";
  'linmodel_score(y, X, 1)', "model file should be a struct array\n";
  'linmodel_score(y, X, model, ''-b'')', usage;
  'linmodel_score(y, X, model, ''-c 1'')', ["unknown option\n" usage];
  'linmodel_score(y'', X, model)', "Length of label vector does not match # of instances.\n";
  'linmodel_score(y(1:2), X(1:2,:), rmfield(model, ''w''))', ...
      "Error: can't read model: the model struct has 5 fields; it needs six (Parameters, nr_class, nr_feature, bias, Label, w)\n";
  'linmodel_score(y, X, model([]))', "Error: can't read model: the model struct array is empty\n";
  'linmodel_score(y, X * (1 + 1i), model)', "Error: label vector and instance matrix must be double\n";
  'linmodel_score(y, X'' * (1 + 1i), model, '''', ''col'')', "Error: label vector and instance matrix must be double\n";
  'linmodel_score(y * 1i, X, model)', "Error: label vector and instance matrix must be double\n";
};
for c = 1:rows(cases)
  printed = evalc(['[a, b, v] = ' cases{c, 1} ';']);
  assert(strcmp(printed, cases{c, 2}), sprintf('%s printed "%s"', cases{c, 1}, printed));
  assert(isempty(a) && isempty(b) && isempty(v) && size(a, 1) == 0 && size(v, 2) == 0, cases{c, 1});
end
printed = evalc('[a, b, v] = linmodel_score(y, X, model, ''-b 1'');');
assert(strncmp(printed, "probability output is only supported for logistic regression\nAccuracy = ", 72));
assert(size(v), [numel(y) 4]);   % decision values, one column per class
printed = evalc('[a, b, v] = linmodel_score(zeros(0, 1), sparse(0, 12), model);');
assert(size(a), [0 1]); assert(size(v), [0 4]); assert(isnan(b));
assert(~isempty(strfind(printed, '% (0/0)')));
a = linmodel_score(y, X, model);    % one output requested
assert(size(a), size(y));

% A user function named transpose that returns something other than a real
% sparse matrix is not trusted.
shadow = tempname();
mkdir(shadow);
fid = fopen(fullfile(shadow, 'transpose.m'), 'w');
fputs(fid, "function y = transpose(x)\n  y = full(x);\nend\n");
fclose(fid);
warning('off', 'Octave:shadowed-function', 'local');
addpath(shadow);
printed = evalc('[a, b, v] = linmodel_score(y, X, model);');
rmpath(shadow);
confirm_recursive_rmdir(false, 'local');
rmdir(shadow, 's');
assert(printed, "Error: cannot transpose testing instance matrix\n");
assert(isempty(a) && isempty(b) && isempty(v));

% Bad input that cannot be scored safely.
try
  [a, b, v, extra] = linmodel_score(y, X, model);
  error('test:noError', 'a fourth output was accepted');
catch err
  assert(err.identifier, 'linmodel_score:nargout');
end
assert_error(@() linmodel_score(sparse(y), X, model), 'linmodel_score:sparseLabels');
assert_error(@() linmodel_score(y, X, model, repmat('x', 1, 2048)), 'linmodel_score:optionTooLong');
assert_error(@() linmodel_score(y, X, model, 5), 'linmodel_score:optionNotText');
assert_error(@() linmodel_read(fullfile(work, 'no_such_file')), 'linmodel_read:cannotOpen');
try
  [a, b] = linmodel_read(fullfile(work, 'multi_train_s2_B1.model'));
  error('test:noError', 'a second output was accepted');
catch err
  assert(err.identifier, 'linmodel_read:nargout');
end
assert_error(@() linmodel_read(fullfile(work, 'multi_test')), 'linmodel_read:incomplete');
% A regression model has no class labels; a model file cut short misses weights.
lm_run_tool(sprintf('"%s" -s 11 -q "%s" "%s"', train, fullfile(work, 'multi_train'), fullfile(work, 'svr.model')));
assert_error(@() linmodel_read(fullfile(work, 'svr.model')), 'linmodel_read:unknownSolver');
text = fileread(fullfile(work, 'multi_train_s4_B1.model'));
fid = fopen(fullfile(work, 'cut.model'), 'w'); fputs(fid, text(1:end-30)); fclose(fid);
assert_error(@() linmodel_read(fullfile(work, 'cut.model')), 'linmodel_read:badWeights');
% A fractional bias is read as stored, with a warning that scoring truncates it.
lm_run_tool(sprintf('"%s" -s 2 -B 0.5 -q "%s" "%s"', train, fullfile(work, 'multi_train'), fullfile(work, 'half.model')));
lastwarn('');
half = linmodel_read(fullfile(work, 'half.model'));
[~, id] = lastwarn();
assert(id, 'linmodel_read:fractionalBias');
assert(half.bias, 0.5);
lastwarn('');
linmodel_read(fullfile(work, 'multi_train_s2_B1.model'));
[~, id] = lastwarn();
assert(isempty(id));
printf('linmodel_score: all Octave checks passed (%d comparisons with liblinear-predict)\n', compared);
