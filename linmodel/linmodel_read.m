function [model, varargout] = linmodel_read(filename)
%LINMODEL_READ  Read a model file written by liblinear-train into a model struct.
%   MODEL = LINMODEL_READ(FILENAME)
%
%   Reads the text model file that liblinear's command-line trainer writes
%   (liblinear-train, Debian package liblinear-tools) and returns the 1-by-1
%   struct that LINMODEL_PREDICT and LINMODEL_SCORE take (LINMODEL_TRAIN
%   returns the same struct without the file), with its six fields in this
%   order:
%
%     Parameters  double scalar, the solver code (0 L2R_LR, 1 L2R_L2LOSS_SVC_DUAL,
%                 2 L2R_L2LOSS_SVC, 3 L2R_L1LOSS_SVC_DUAL, 4 MCSVM_CS,
%                 5 L1R_L2LOSS_SVC, 6 L1R_LR, 7 L2R_LR_DUAL).
%     nr_class    double scalar, the number of classes.
%     nr_feature  double scalar, the number of features seen in training.
%     bias        double scalar, the bias feature value (-1: no bias feature).
%     Label       double, nr_class-by-1, the class labels in the model's order.
%     w           double, C-by-(nr_feature+b): column f holds the weights of
%                 feature f (the last column the bias weights when bias >= 0,
%                 b = 1), row c those of class column c; C is 1 for two
%                 classes (except MCSVM_CS), else nr_class.
%
%   Regression models (solvers 11 to 13) carry no labels and are not read.
%   A bias that is not an integer (liblinear-train -B 0.5) is read as stored,
%   with a warning (linmodel_read:fractionalBias): LINMODEL_SCORE truncates
%   the bias toward zero, so such a model scores differently there
%   (LINMODEL_PREDICT uses it as stored, as liblinear-predict does).
%   A file that cannot be opened or does not hold a complete model, and a
%   call with more than one output, raise an error with identifier
%   linmodel_read:<condition> (nargin, nargout, cannotOpen, unknownSolver,
%   incomplete, badLabels, badWeights).
%
%   Example
%     system('liblinear-train -s 0 -B 1 -q heart_scale heart.model');
%     model = linmodel_read('heart.model');
%
%   See also LINMODEL_TRAIN, LINMODEL_PREDICT, LINMODEL_SCORE.

  % varargout lets a call with more outputs reach this check instead of the
  % host's own error.
  if nargout > 1
    error('linmodel_read:nargout', 'One output: model = linmodel_read(filename).');
  end
  if nargin ~= 1 || ~ischar(filename)
    error('linmodel_read:nargin', 'One input required: the name of a liblinear model file.');
  end
  fid = fopen(filename, 'r');
  if fid < 0
    error('linmodel_read:cannotOpen', 'Cannot open the model file "%s".', filename);
  end
  closer = onCleanup(@() fclose(fid));

  solvers = {'L2R_LR', 'L2R_L2LOSS_SVC_DUAL', 'L2R_L2LOSS_SVC', 'L2R_L1LOSS_SVC_DUAL', 'MCSVM_CS', ...
             'L1R_L2LOSS_SVC', 'L1R_LR', 'L2R_LR_DUAL'};
  solver = []; nr_class = []; nr_feature = []; bias = []; label = [];
  found_w = false;
  while true
    line = fgetl(fid);
    if ~ischar(line)
      break;
    end
    [key, rest] = strtok(line);
    switch key
      case 'solver_type'
        solver = find(strcmp(solvers, strtrim(rest))) - 1;
        if isempty(solver)
          error('linmodel_read:unknownSolver', 'Solver "%s" in "%s" is not a classification solver this reader knows.', ...
                strtrim(rest), filename);
        end
      case 'nr_class'
        nr_class = str2double(rest);
      case 'label'
        label = sscanf(rest, '%f');
      case 'nr_feature'
        nr_feature = str2double(rest);
      case 'bias'
        bias = str2double(rest);
      case 'w'
        found_w = true;
        break;
    end
  end
  if ~found_w || isempty(solver) || isempty(nr_class) || isempty(nr_feature) || isempty(bias) ...
     || isnan(nr_class) || isnan(nr_feature) || isnan(bias)
    error('linmodel_read:incomplete', 'The file "%s" is not a complete liblinear model file.', filename);
  end
  if numel(label) ~= nr_class
    error('linmodel_read:badLabels', 'The model file "%s" lists %d labels for %d classes.', filename, ...
          numel(label), nr_class);
  end
  w = fscanf(fid, '%f');
  if nr_class == 2 && solver ~= 4
    columns = 1;
  else
    columns = nr_class;
  end
  if bias ~= fix(bias)
    % linmodel_score reads the bias as an integer (truncated toward zero):
    % scores of such a model differ from liblinear-predict's.
    warning('linmodel_read:fractionalBias', ...
            ['The model in "%s" has bias %g; linmodel_score truncates the bias toward zero (to %g), ' ...
             'so its scores will differ from liblinear-predict''s. Train with an integer -B value.'], ...
            filename, bias, fix(bias));
  end
  features = nr_feature + (bias >= 0);
  if numel(w) ~= columns * features
    error('linmodel_read:badWeights', 'The model file "%s" holds %d weights; %d were expected.', filename, ...
          numel(w), columns * features);
  end
  model = struct('Parameters', solver, 'nr_class', nr_class, 'nr_feature', nr_feature, 'bias', bias, ...
                 'Label', label(:), 'w', reshape(w, columns, features));
end
