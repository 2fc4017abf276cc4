function [G, perm] = icf_matrix_octave(A, tol, max_rank)
% ICF_MATRIX_OCTAVE  What a careful Octave user writes for icf_matrix, the
% baseline of its row in bench/octave_table.m: the loop of
% bench/icf_rbf_octave.m on a given matrix, the pivot's row of A as
% icf_matrix reads it (so that both give the same result for any A), a stop
% relative to the trace and a bound on the rank.
  n = columns(A);
  G = zeros(n, max_rank);
  perm = 1:n;
  resid = diag(A);
  t0 = sum(resid);
  left = t0;
  k = 0; p = 1;
  while left > t0 * tol && k < max_rank && k < n
    k = k + 1;
    perm([k p]) = perm([p k]);
    G([k p], 1:k-1) = G([p k], 1:k-1);
    resid([k p]) = resid([p k]);
    G(k, k) = sqrt(resid(k));
    e = G(:, 1:k-1) * G(k, 1:k-1)';
    col = A(perm(k), perm(k+1:n))' - e(k+1:n);
    G(k+1:n, k) = col / G(k, k);
    resid(k+1:n) -= G(k+1:n, k) .^ 2;
    [best, at] = max(resid(k+1:n));
    p = k + at;
    left = sum(resid(k+1:n));
  end
end
