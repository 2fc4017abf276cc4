function file = lm_heart_scale(work)
% LM_HEART_SCALE  liblinear's example data set (LIBLINEAR_HEART_SCALE, plain
% or gzipped) copied into the folder WORK as heart_scale; '' when the
% package's documentation left it out.
  heart = getenv('LIBLINEAR_HEART_SCALE');
  file = '';
  if isempty(heart)
    printf('heart_scale not installed: comparing on the generated data set only\n');
    return;
  end
  file = fullfile(work, 'heart_scale');
  if numel(heart) > 3 && strcmp(heart(end-2:end), '.gz')
    lm_run_tool(sprintf('gzip -dc "%s" > "%s"', heart, file));
  else
    copyfile(heart, file);
  end
end
