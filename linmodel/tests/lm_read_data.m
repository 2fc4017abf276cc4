function [y, X] = lm_read_data(file)
% LM_READ_DATA  Labels and sparse instances (one per row) of a data file in
% liblinear's text format ("label index:value ...").
  lines = strsplit(strtrim(fileread(file)), "\n");
  n = numel(lines);
  y = zeros(n, 1);
  r = cell(n, 1); c = cell(n, 1); v = cell(n, 1);
  for i = 1:n
    t = sscanf(strrep(lines{i}, ':', ' '), '%f');
    y(i) = t(1);
    c{i} = t(2:2:end);
    v{i} = t(3:2:end);
    r{i} = repmat(i, numel(c{i}), 1);
  end
  c = vertcat(c{:});
  X = sparse(vertcat(r{:}), c, vertcat(v{:}), n, max(c));
end
