function r = inhost_calls()
  % A handful of calls of every numeric group on seeded data, for comparing
  % two builds of the MEX files bit for bit.  The MEX files are those first
  % on the path.
  rand('seed', 7); randn('seed', 7);
  X = randn(5, 300);
  [r.rbf_G, r.rbf_perm] = icf_rbf(X, 1.5, 1e-6);
  [r.dot_G, r.dot_perm] = icf_dotpower(X, 1, 0.3, 3, 1e-6);
  [r.ortho_G, r.ortho_perm] = icf_ortho(X(1, :), 0.8, 12, 1e-9);
  A = exp(-0.5 * (X(2, 1:80)' - X(2, 1:80)) .^ 2);
  [r.mat_G, r.mat_perm, r.mat_r, r.mat_res] = icf_matrix(A, 1e-8, 60);

  kp = struct('kernel_type', 2, 'poly_degree', 3, 'rbf_gamma', 0.37, ...
              'coef_lin', 0.7, 'coef_const', 1.3, 'custom', 'empty');
  model = struct('sv_num', 0, 'upper_bound', 0, 'b', 0, 'totwords', 5, 'totdoc', 0, ...
                 'loo_error', -1, 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, ...
                 'xa_precision', -1, 'maxdiff', 0, 'r_delta_sq', 0, 'r_delta_avg', 0, ...
                 'model_length', 0, 'loss', 0, 'vcdim', 0, 'index', 0, ...
                 'supvec', zeros(0, 5), 'kernel_parm', kp);
  r.gram_rbf = gram_square(X(:, 1:120)', model);
  model.kernel_parm.kernel_type = 1;
  r.gram_poly = gram_square(X(:, 1:120)', model);
  model.kernel_parm.kernel_type = 3;
  r.pair_tanh = gram_pair(X(:, 1)', X(:, 2)', model);

  w = randn(3, 6);
  lm = struct('Parameters', 0, 'nr_class', 3, 'nr_feature', 5, 'bias', 1, 'Label', [1; 2; 3], 'w', w);
  S = sparse(X(:, 1:40)' .* (rand(40, 5) > 0.3));
  y = 1 + mod((1:40)', 3);
  [r.lin_labels, r.lin_acc, r.lin_dec] = evalc_free(@() linmodel_score(y, S, lm));
  [r.lin_labels_b, r.lin_acc_b, r.lin_prob] = evalc_free(@() linmodel_score(y, S', lm, '-b 1', 'col'));
  trained = linmodel_train(y, S, '-s 0 -c 2 -q');
  r.train_w = trained.w;
  [r.pred_labels, r.pred_scores, r.pred_prob] = linmodel_predict(trained, S);

  r.coords = linidx_coords([3 4 5 6], (1:360)');
  set = int32([1 1 1; 2 1 1; 1 2 1; 3 1 1; 1 1 2]');
  r.frontier = lattice_frontier(set, int32([4 4 4]));
  r.frontier_full = lattice_frontier_full(set, int32([4 4 4]));
  r.extend = lattice_extend(int32([2; 2; 1]), int32([1 1 2]), int32([3 3 3]));
  r.mismatch = lattice_mismatch(int32([1 2 1]), set);
  [r.near_count, r.near_col] = lattice_nearest(int32([2 2 1]), set);

  M = single(randn(40));
  S = M + M';
  r.packed = tri_pack_f32(S);
  r.unpacked = tri_unpack_f32(r.packed);
  r.qform = tri_qform_f32(r.packed, randn(40, 1));
end

function [a, b, c] = evalc_free(f)
  % linmodel_score prints its accuracy line; keep the console quiet.
  [~, a, b, c] = evalc('f()');
end
