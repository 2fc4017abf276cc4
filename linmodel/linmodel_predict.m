function varargout = linmodel_predict (varargin)
%LINMODEL_PREDICT  Predict with a liblinear model, quietly, for online use.
%   LABELS = LINMODEL_PREDICT(MODEL, X)
%   [LABELS, SCORES] = LINMODEL_PREDICT(MODEL, X)
%   [LABELS, SCORES, PROB] = LINMODEL_PREDICT(MODEL, X)
%   [...] = LINMODEL_PREDICT(MODEL, X, 'col')
%
%   Conventions: instances are the ROWS of X, full or sparse (its COLUMNS
%   with 'col'); labels and score columns follow MODEL.Label.
%
%   Applies a linear model to every instance of X through the liblinear
%   library.  It prints nothing and needs no true labels; what it cannot
%   do raises an error.  Labels and scores equal LINMODEL_SCORE's (without
%   '-b'), and PROB its '-b 1' output, on the same input.
%
%   Inputs
%     MODEL  1-by-1 model struct, from LINMODEL_TRAIN or LINMODEL_READ
%            (fields read by position: Parameters, nr_class, nr_feature,
%            bias, Label, w).  The bias is used as stored, as
%            liblinear-predict does (LINMODEL_SCORE truncates it).
%     X      real double matrix, full or sparse, n-by-nr_feature with one
%            instance per row; with 'col', nr_feature-by-n with one instance
%            per column.  Zeros of a full X are left out, as in a sparse X.
%     'col'  exactly this text: the instances are the columns of X.
%
%   Outputs
%     LABELS  double, n-by-1, the predicted labels (for a regression model
%             the predicted values).
%     SCORES  double, n-by-C, the decision values; column k belongs to
%             MODEL.Label(k) (C = 1 for two classes except solver 4: then
%             positive means MODEL.Label(1)).
%     PROB    double, n-by-nr_class, probability estimates in the order of
%             MODEL.Label; logistic regression models only (solvers 0, 6
%             and 7).
%
%   Speed: one call on one 240-feature epoch costs under 10 microseconds
%   besides what the host spends on any MEX call with the same arguments
%   (make bench measures it).
%
%   Errors (identifier linmodel_predict:<condition>): nargin, nargout,
%   notStruct (MODEL not a struct), badModel (a struct that cannot describe
%   a model; the message says which field), notDouble (X not real double),
%   badFormat (a third input other than 'col'), featureCount (X's feature
%   count differs from MODEL.nr_feature; both numbers in the message),
%   noProbability (PROB asked of a model that is not logistic regression),
%   tooLarge, outOfMemory.
%
%   Example
%     X = [randn(50, 4) + 1; randn(50, 4) - 1];
%     y = [ones(50, 1); 2 * ones(50, 1)];
%     model = linmodel_train(y, X, '-s 0 -B 1');
%     x = randn(1, 4) + 1;                     % a new instance, one row
%     [label, score, prob] = linmodel_predict(model, x)
%     labels = linmodel_predict(model, X', 'col');
%
%   See also LINMODEL_TRAIN, LINMODEL_READ, LINMODEL_SCORE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'linmodel_predict', fileparts (mfilename ('fullpath')));
end

%!test
%! model = struct ('Parameters', 0, 'nr_class', 2, 'nr_feature', 2, 'bias', 1, 'Label', [1; 2], 'w', [1 -1 0.5]);
%! [labels, scores, prob] = linmodel_predict (model, [1 0; 0 1; 0 0]);
%! assert (labels, [1; 2; 1]);
%! assert (scores, [1.5; -0.5; 0.5]);
%! assert (prob(:, 1), 1 ./ (1 + exp (-scores)), 1e-15);
%! assert (sum (prob, 2), [1; 1; 1], 1e-15);
%!error <featureCount|features> linmodel_predict (struct ('Parameters', 0, 'nr_class', 2, 'nr_feature', 2, 'bias', -1, 'Label', [1; 2], 'w', [1 -1]), [1 2 3])
