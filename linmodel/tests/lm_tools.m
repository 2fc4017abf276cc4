function [work, train, predict] = lm_tools(folder)
% LM_TOOLS  liblinear's command-line tools (LIBLINEAR_TRAIN and
% LIBLINEAR_PREDICT, set by the build) and a work folder FOLDER in the build
% tree, created when missing.
  build = getenv('EEGMEX_BUILD_DIR');
  train = getenv('LIBLINEAR_TRAIN');
  predict = getenv('LIBLINEAR_PREDICT');
  assert(~isempty(build) && ~isempty(train) && ~isempty(predict));
  work = fullfile(build, folder);
  if ~exist(work, 'dir')
    mkdir(work);
  end
end
