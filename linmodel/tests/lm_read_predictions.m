function [labels, probs, header] = lm_read_predictions(file, with_probs)
% LM_READ_PREDICTIONS  The output file of liblinear-predict: labels, and
% with -b 1 the probabilities as printed (text) and the header's labels.
  lines = strsplit(strtrim(fileread(file)), "\n");
  header = [];
  if with_probs
    header = sscanf(lines{1}(8:end), '%f')';
    lines = lines(2:end);
  end
  labels = cellfun(@(s) sscanf(s, '%f', 1), lines)';
  probs = {};
  if with_probs
    probs = cellfun(@(s) strsplit(strtrim(regexprep(s, '^\S+\s*', '')), ' '), lines, 'UniformOutput', false);
    probs = vertcat(probs{:});
  end
end
