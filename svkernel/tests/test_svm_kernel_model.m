% svm_kernel_model through Octave: the examples and checks at the end of its
% file (its %! blocks), with gram_square and gram_pair on the path.
[passed, total] = test('svm_kernel_model', 'quiet', stdout);
if total == 0 || passed ~= total
  test('svm_kernel_model', 'verbose', stdout);   % shows what failed
  error('test_svm_kernel_model:failed', '%d of %d checks of svm_kernel_model failed', total - passed, total);
end
printf('svm_kernel_model: all %d checks passed\n', total);
