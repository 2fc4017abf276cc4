function varargout = linmodel_score (varargin)
%LINMODEL_SCORE  Score sparse test instances with a liblinear linear model.
%   [LABELS, ACCURACY, VALUES] = LINMODEL_SCORE(Y, X, MODEL)
%   [LABELS, ACCURACY, VALUES] = LINMODEL_SCORE(Y, X, MODEL, OPTIONS)
%   [LABELS, ACCURACY, VALUES] = LINMODEL_SCORE(Y, X, MODEL, OPTIONS, 'col')
%
%   Conventions: instances are the ROWS of the sparse X (its COLUMNS with
%   'col'); labels are those of the model (MODEL.Label), one per instance.
%
%   Applies a trained linear classification model to every test instance
%   through the liblinear library, returns the predicted labels, the accuracy
%   against the true labels Y and, per instance, the decision values or the
%   probability estimates, and prints "Accuracy = <a>% (<correct>/<n>)".
%
%   Inputs
%     Y        real double, n-by-1, the true labels (full).  Only exact
%              equality with the predicted label counts as correct.
%     X        real sparse double, n-by-d with one instance per row; with
%              'col', d-by-n with one instance per column.  Complex Y or X
%              is refused like any other class (printed message).
%     MODEL    1-by-1 struct whose six fields are read BY POSITION:
%                Parameters  solver code in element 1 (0 to 7: L2R_LR,
%                            L2R_L2LOSS_SVC_DUAL, L2R_L2LOSS_SVC,
%                            L2R_L1LOSS_SVC_DUAL, MCSVM_CS, L1R_L2LOSS_SVC,
%                            L1R_LR, L2R_LR_DUAL); other elements are
%                            ignored.
%                nr_class    number of classes.
%                nr_feature  number of features seen in training.
%                bias        bias feature value, truncated toward zero
%                            (negative: no bias feature; 0 is a bias feature).
%                Label       the nr_class class labels (integers).
%                w           (nr_feature+b)*C weights, b = 1 when bias >= 0,
%                            C = 1 for two classes (except solver 4), else
%                            nr_class.  Read flat in storage order: the weight
%                            of feature f, class column c is element
%                            (f-1)*C + c + 1, i.e. w is a C-by-(nr_feature+b)
%                            matrix.  LINMODEL_READ builds this struct from a
%                            liblinear-train model file.
%     OPTIONS  text; '-b 1' asks for probability estimates (logistic
%              regression only: solvers 0, 6 and 7; with another solver a
%              message is printed and decision values are returned).
%              Parsing stops at the first token that does not start with
%              '-'.  At most 2047 characters.
%     'col'    exactly this text: the instances are the columns of X.
%
%   Outputs
%     LABELS    double, n-by-1, the predicted labels.
%     ACCURACY  double scalar, percent of correct predictions (NaN for n = 0).
%     VALUES    double, n-by-C decision values, or with '-b 1' n-by-nr_class
%               probability estimates; column k belongs to class MODEL.Label(k).
%
%   Features: in row format, features beyond nr_feature are ignored and the
%   bias feature is number nr_feature+1; with 'col' the number of rows of X
%   is the feature cap instead (the bias feature is number rows+1, so with a
%   bias feature X should then have exactly nr_feature rows: a longer X gives
%   its row nr_feature+1 the bias weight and the bias node no weight).
%
%   Failures do not raise errors: linmodel_score prints the reason (the usage
%   text, "Testing_instance_matrix must be sparse", "Error: can't read model:
%   ...", a label length mismatch, "Error: cannot transpose testing instance
%   matrix" when the transpose of X is not a real sparse matrix, ...) and
%   returns three empty matrices.  Only input that cannot be scored safely,
%   and more than three outputs, raise an error with identifier
%   linmodel_score:<condition> (nargout, sparseLabels, tooLarge,
%   optionNotText, optionTooLong, tooManyOptions).
%
%   Example
%     system('liblinear-train -s 0 -B 1 -q heart_scale heart.model');
%     model = linmodel_read('heart.model');
%     % X: sparse n-by-13 instances, y: n-by-1 labels (+1/-1)
%     [labels, accuracy, prob] = linmodel_score(y, X, model, '-b 1');
%     [labels, accuracy, dec] = linmodel_score(y, X', model, '', 'col');
%
%   See also LINMODEL_READ.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'linmodel_score', fileparts (mfilename ('fullpath')));
end

%!test
%! model = struct ('Parameters', 0, 'nr_class', 2, 'nr_feature', 2, 'bias', -1, 'Label', [1; -1], 'w', [1 -1]);
%! [~, labels, accuracy, dec] = evalc ('linmodel_score ([1; -1], sparse ([1 0; 0 1]), model)');
%! assert (labels, [1; -1]);
%! assert (accuracy, 100);
%! assert (dec, [1; -1]);
