% linmodel_train and linmodel_predict through Octave, against liblinear's own
% command-line tools on its example data set and on a seeded four-class
% set: for solvers 0 to 7 with and without a bias feature, and a few other
% options, the model equals linmodel_read's struct of liblinear-train's
% model file (every field, w bit for bit); regression models equal the
% file's weights; -v gives liblinear-train's cross-validation figure; the
% predictions equal liblinear-predict's labels and linmodel_score's values.
addpath(getenv('LINMODEL_TESTS'));   % the lm_* helpers
[work, train, predict] = lm_tools('linmodel_train_data');

% Four classes with labels 5, -3, 8, 2 around seeded centres in 9 features,
% a third of the entries zero (every feature has nonzeros, so that
% liblinear-train finds 9 features in the file).
rand('state', 20261209); randn('state', 20261209);
k = randi(4, 300, 1);
D = 1.5 * randn(4, 9)(k, :) + randn(300, 9);
D(rand(size(D)) < 0.33) = 0;
classes = [5 -3 8 2];
lm_write_data(fullfile(work, 'multi'), classes(k)', D);
sets = {'multi'};
if ~isempty(lm_heart_scale(work))
  sets = [{'heart_scale'}, sets];
end

warning('off', 'linmodel_train:weightLabel');   % -w5 on heart_scale, -w1 on the other set
same_bits = @(a, b) isequal(size(a), size(b)) && isequal(typecast(a(:), 'uint64'), typecast(b(:), 'uint64'));
compared = 0;
for s = 1:numel(sets)
  file = fullfile(work, sets{s});
  [y, X] = lm_read_data(file);
  options = [arrayfun(@(solver) sprintf('-s %d', solver), 0:7, 'UniformOutput', false), ...
             arrayfun(@(solver) sprintf('-s %d -B 1', solver), 0:7, 'UniformOutput', false), ...
             {'-c 0.3 -e 0.003 -B 2', '-s 4 -c 3', '-s 0 -B 1 -w5 1.7 -w-3 0.5', '-s 6 -c 4 -B -1', '-s 3 -w1 4'}];
  for o = 1:numel(options)
    model_file = fullfile(work, 'model');
    lm_run_tool(sprintf('"%s" %s -q "%s" "%s"', train, options{o}, file, model_file));
    expect = linmodel_read(model_file);
    % Each layout of the data in turn: dense rows, sparse rows, sparse and
    % dense columns.
    switch mod(o, 4)
      case 0, model = linmodel_train(y, full(X), options{o});
      case 1, model = linmodel_train(y, X, options{o});
      case 2, model = linmodel_train(y', X', options{o}, 'col');
      case 3, model = linmodel_train(y, full(X'), [options{o} ' -q'], 'col');
    end
    what = sprintf('%s %s', sets{s}, options{o});
    assert(fieldnames(model)', fieldnames(expect)');
    for f = fieldnames(expect)'
      assert(isequal(model.(f{1}), expect.(f{1})), '%s: field %s differs', what, f{1});
    end
    assert(same_bits(model.w, expect.w), '%s: w differs in its bits', what);
    compared = compared + 1;
  end

  % Cross-validation, as liblinear-train prints it.
  for opt = {'-s 0 -v 5', '-s 3 -B 1 -v 4'}
    line = lm_run_tool(sprintf('"%s" %s -q "%s"', train, opt{1}, file));
    assert(strcmp(line, sprintf('Cross Validation Accuracy = %g%%\n', linmodel_train(y, X, opt{1}))), line);
  end

  % Regression: the file's weights (linmodel_read takes classifiers only).
  for solver = 11:13
    lm_run_tool(sprintf('"%s" -s %d -p 0.2 -B 1 -q "%s" "%s"', train, solver, file, model_file));
    text = fileread(model_file);
    w = sscanf(text(regexp(text, '^w$', 'lineanchors', 'end') + 1:end), '%f')';
    model = linmodel_train(y, X, sprintf('-s %d -p 0.2 -B 1', solver));
    assert([model.Parameters, model.nr_class, model.nr_feature, model.bias], [solver, 2, columns(X), 1]);
    assert(isempty(model.Label) && size(model.Label, 2) == 1);
    assert(same_bits(model.w, w), 'regression solver %d: w differs', solver);
    [values, scores] = linmodel_predict(model, X);
    assert(isequal(values, scores));
    assert(values, full(X * model.w(1:end-1)' + model.w(end)), 1e-12);
  end
  line = lm_run_tool(sprintf('"%s" -s 12 -v 3 -q "%s"', train, file));
  expect = sprintf('Cross Validation Mean squared error = %g\n', linmodel_train(y, X, '-s 12 -v 3'));
  assert(strncmp(line, expect, numel(expect)), line);

  % Prediction: liblinear-predict's labels and probabilities, linmodel_score's values.
  model = linmodel_train(y, X, '-s 0 -B 1');
  lm_run_tool(sprintf('"%s" -s 0 -B 1 -q "%s" "%s"', train, file, model_file));
  pred_file = [model_file '.out'];
  lm_run_tool(sprintf('"%s" -b 1 "%s" "%s" "%s"', predict, file, model_file, pred_file));
  [labels_b, probs_b] = lm_read_predictions(pred_file, true);
  [labels, scores, prob] = linmodel_predict(model, full(X));
  assert(isequal(labels, labels_b));
  assert(strcmp(arrayfun(@(p) sprintf('%g', p), prob, 'UniformOutput', false), probs_b));
  evalc('[score_labels, ~, score_values] = linmodel_score(y, X, model);');
  assert(same_bits(labels, score_labels) && same_bits(scores, score_values));
  [labels_c, scores_c] = linmodel_predict(model, X', 'col');
  assert(same_bits(labels_c, labels) && same_bits(scores_c, scores));
end
assert(compared, numel(sets) * 21);

% Quiet unless asked: no output variable and no -q.
printed = evalc('model = linmodel_train(y, X, ''-s 1'');');
assert(isempty(printed));
printed = evalc('linmodel_train(y, X, ''-s 1'')');
assert(~isempty(strfind(printed, 'optimization finished')));
printf('linmodel_train: all Octave checks passed (%d models equal to liblinear-train''s)\n', compared);
