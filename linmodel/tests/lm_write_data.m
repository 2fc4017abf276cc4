function lm_write_data(file, y, X)
% LM_WRITE_DATA  Writes labels and instances (rows of X) in liblinear's text
% format, nonzeros only, every value to the bit.
  fid = fopen(file, 'w');
  Xt = sparse(X)';
  for i = 1:numel(y)
    [idx, ~, val] = find(Xt(:, i));
    fprintf(fid, '%.17g', y(i));
    fprintf(fid, ' %d:%.17g', [idx'; val']);
    fprintf(fid, '\n');
  end
  fclose(fid);
end
