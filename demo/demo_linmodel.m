% DEMO_LINMODEL  Train linear classifiers with liblinear-train, read them with
% linmodel_read and score held-out instances with linmodel_score.
printf('Linear model scoring: a seeded 3-class problem with 40 sparse features.\n');
rand('state', 7); randn('state', 7);
lm_classes = [1 2 3];
lm_centres = 1.5 * randn(3, 40);
lm_k = randi(3, 3000, 1);
lm_D = lm_centres(lm_k, :) + randn(3000, 40);
lm_D(rand(size(lm_D)) < 0.5) = 0;                  % half of the entries are zero
lm_X = sparse(lm_D); lm_y = lm_classes(lm_k)';
lm_train = 1:2000; lm_test = 2001:3000;

lm_dir = tempname(); mkdir(lm_dir);
lm_file = fullfile(lm_dir, 'train.txt');
lm_fid = fopen(lm_file, 'w');
lm_Xt = lm_X(lm_train, :)';
for lm_i = 1:numel(lm_train)
  [lm_idx, ~, lm_val] = find(lm_Xt(:, lm_i));
  fprintf(lm_fid, '%d', lm_y(lm_train(lm_i)));
  fprintf(lm_fid, ' %d:%.17g', [lm_idx'; lm_val']);
  fprintf(lm_fid, '\n');
end
fclose(lm_fid);
printf('Wrote %d training instances to %s\n', numel(lm_train), lm_file);

lm_solvers = {0, 'L2R_LR (logistic regression)'; 2, 'L2R_L2LOSS_SVC'; 4, 'MCSVM_CS (Crammer-Singer)'; 6, 'L1R_LR'};
for lm_s = 1:rows(lm_solvers)
  lm_model_file = fullfile(lm_dir, sprintf('s%d.model', lm_solvers{lm_s, 1}));
  [lm_status, lm_out] = system(sprintf('liblinear-train -s %d -B 1 -q "%s" "%s"', lm_solvers{lm_s, 1}, lm_file, lm_model_file));
  if lm_status ~= 0
    printf('liblinear-train is not available (%s); install liblinear-tools to run this demo.\n', strtrim(lm_out));
    break;
  end
  lm_model = linmodel_read(lm_model_file);
  printf('\nSolver %d, %s: %d classes, %d features, bias %g, w is %dx%d\n', lm_model.Parameters, ...
         lm_solvers{lm_s, 2}, lm_model.nr_class, lm_model.nr_feature, lm_model.bias, rows(lm_model.w), columns(lm_model.w));
  printf('  test set: ');
  [lm_pred, lm_acc, lm_vals] = linmodel_score(lm_y(lm_test), lm_X(lm_test, :), lm_model);
  lm_conf = accumarray([lm_y(lm_test), lm_pred], 1, [3 3]);
  printf('  confusion (rows true class, columns predicted):\n');
  printf('    %5d %5d %5d\n', lm_conf');
  if lm_solvers{lm_s, 1} == 0
    printf('  with probability estimates: ');
    [lm_pred, lm_acc, lm_prob] = linmodel_score(lm_y(lm_test), lm_X(lm_test, :), lm_model, '-b 1');
    printf('  first three test instances, P(class %d)  P(class %d)  P(class %d), true class:\n', lm_model.Label);
    printf('    %.4f  %.4f  %.4f   %d\n', [lm_prob(1:3, :), lm_y(lm_test(1:3))]');
    printf('  instances as columns (''col''): ');
    linmodel_score(lm_y(lm_test), lm_X(lm_test, :)', lm_model, '', 'col');
  end
end

% Timing against the straightforward product in Octave on a larger set.
if exist('lm_model', 'var')
  lm_big = repmat(lm_X(lm_test, :), 50, 1); lm_ybig = repmat(lm_y(lm_test), 50, 1); lm_bigt = lm_big';
  lm_reps = 3;
  tic; for lm_r = 1:lm_reps, lm_out = evalc('lm_p1 = linmodel_score(lm_ybig, lm_big, lm_model);'); end; lm_t1 = toc / lm_reps;
  tic; for lm_r = 1:lm_reps, lm_out = evalc('lm_p3 = linmodel_score(lm_ybig, lm_bigt, lm_model, '''', ''col'');'); end; lm_t3 = toc / lm_reps;
  tic;
  for lm_r = 1:lm_reps
    lm_dec = [lm_big, ones(rows(lm_big), 1) * lm_model.bias] * lm_model.w';
    [~, lm_best] = max(lm_dec, [], 2); lm_p2 = lm_model.Label(lm_best);
  end
  lm_t2 = toc / lm_reps;
  printf('\nScoring %d instances (solver %d): Octave matrix product + max %.1f ms;\n', rows(lm_big), lm_model.Parameters, 1e3 * lm_t2);
  printf('  linmodel_score, rows %.1f ms (ratio %.2f, includes the host transpose), columns %.1f ms (ratio %.2f);\n', ...
         1e3 * lm_t1, lm_t1 / lm_t2, 1e3 * lm_t3, lm_t3 / lm_t2);
  printf('  same labels as the product: %d\n', isequal(lm_p1, lm_p2) && isequal(lm_p3, lm_p2));
end
confirm_recursive_rmdir(false, 'local');
rmdir(lm_dir, 's');
clear -regexp ^lm_
