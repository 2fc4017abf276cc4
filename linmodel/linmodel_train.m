function varargout = linmodel_train (varargin)
%LINMODEL_TRAIN  Train a liblinear linear model inside the host.
%   MODEL = LINMODEL_TRAIN(LABELS, X)
%   MODEL = LINMODEL_TRAIN(LABELS, X, OPTIONS)
%   MODEL = LINMODEL_TRAIN(LABELS, X, OPTIONS, 'col')
%   ACCURACY = LINMODEL_TRAIN(LABELS, X, '... -v K ...')
%
%   Conventions: instances are the ROWS of X, full or sparse (its COLUMNS
%   with 'col'); one label per instance; options as liblinear-train's.
%
%   Trains a linear classifier (or regression) through the liblinear
%   library on the instances of X and returns the model struct that
%   LINMODEL_READ gives for the model file liblinear-train writes from the
%   same data and options: every field equal, the weights W bit for bit.
%   No file is written and nothing is run outside the host.
%
%   Inputs
%     LABELS   real full double vector, one per instance.  Classification:
%              whole numbers in int range (the class labels); regression
%              (solvers 11 to 13): finite numbers (the targets).
%     X        real double matrix, full or sparse, n-by-d with one instance
%              per row; with 'col', d-by-n with one instance per column.
%              Finite values; zeros of a full X are left out as liblinear's
%              sparse format leaves them out.  The model's nr_feature is d.
%     OPTIONS  text, liblinear-train's options (default ''):
%                -s solver  0 L2R_LR, 1 L2R_L2LOSS_SVC_DUAL (default),
%                           2 L2R_L2LOSS_SVC, 3 L2R_L1LOSS_SVC_DUAL,
%                           4 MCSVM_CS, 5 L1R_L2LOSS_SVC, 6 L1R_LR,
%                           7 L2R_LR_DUAL; regression 11 L2R_L2LOSS_SVR,
%                           12 L2R_L2LOSS_SVR_DUAL, 13 L2R_L1LOSS_SVR_DUAL
%                -c cost    (default 1)
%                -p epsilon of the regression loss (default 0.1)
%                -e tolerance (default by solver: 0.01 for 0, 2, 5 and 6,
%                           0.0001 for 11, 0.1 for the others)
%                -B bias    bias feature value; negative: none (default -1)
%                -wi weight the cost of class i times weight (-w2 4.5)
%                -v K       K-fold cross-validation (K >= 2) instead of a model
%                -q         quiet
%              Values must be numbers (whole numbers for -s, -v and i).
%              Like liblinear-train, the real values of -c, -p, -e, -B and
%              -wi are read in single precision: -c 0.3 trains with
%              C = 0.30000001192092896, and MODEL.bias of -B 0.3 is that.
%     'col'    exactly this text: the instances are the columns of X.
%
%   Output
%     MODEL    1-by-1 struct with the fields of LINMODEL_READ, in its order:
%              Parameters (the solver), nr_class, nr_feature, bias,
%              Label (nr_class-by-1, in liblinear's class order; 0-by-1 for
%              regression) and W (C-by-(nr_feature+b): C = 1 for two classes
%              except solver 4, else nr_class; b = 1 when bias >= 0).
%              It goes to LINMODEL_PREDICT (and LINMODEL_SCORE).
%     ACCURACY with -v K: the cross-validation accuracy in percent, or for
%              regression the mean squared error, as liblinear-train
%              computes them.
%
%   Quiet by default: liblinear's progress lines (iterations, objective)
%   are printed only when OPTIONS lacks -q AND the call assigns no output
%   (typed at the prompt as LINMODEL_TRAIN(Y, X, '-s 0'), which also shows
%   the model as ans).
%
%   Random numbers: several solvers, and the split into folds, draw from
%   the C library's rand().  Each call starts it from the state
%   liblinear-train starts with (seed 1), so that a model trained in a
%   long-lived host equals liblinear-train's.  On GNU/Linux (glibc) the
%   call uses a generator state of its own and leaves the host's untouched;
%   with other C libraries the generator is reseeded with 1 and left where
%   training leaves it.  Octave's rand and randn do not use it.
%
%   Warnings: linmodel_train:weightLabel (a -wi class that no label has: its
%   weight is ignored), linmodel_train:foldCount (more folds than
%   instances: leave-one-out, as liblinear does).
%
%   Errors (identifier linmodel_train:<condition>): nargin, nargout,
%   notDouble (LABELS or X not real double), badFormat (a fourth input other
%   than 'col'), badOption (OPTIONS not a text, an unknown option, a value
%   missing or not a number), labelCount (not one label per instance, or
%   LABELS not a vector), badLabel (a label that is not finite, or for
%   classification not a whole number in int range), notFinite (NaN or Inf
%   in X), tooLarge, tooFewInstances (no instance; fewer than two for -v),
%   badParameter (liblinear's own check refuses the options, for example
%   "C <= 0"), outOfMemory.
%
%   Example
%     X = [randn(50, 4) + 1; randn(50, 4) - 1];    % 100 instances as rows
%     y = [ones(50, 1); -ones(50, 1)];
%     model = linmodel_train(y, X, '-s 0 -c 1 -B 1');
%     [labels, scores, prob] = linmodel_predict(model, X);
%     accuracy = linmodel_train(y, X, '-s 0 -B 1 -v 5')   % in percent
%
%   See also LINMODEL_PREDICT, LINMODEL_READ, LINMODEL_SCORE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'linmodel_train', fileparts (mfilename ('fullpath')));
end

%!test
%! X = [0 1; 1 0; 0 -1; -1 0; 2 2; -2 -2];
%! y = [1; 1; 2; 2; 1; 2];
%! model = linmodel_train (y, X, '-s 2 -B 1');
%! assert (fieldnames (model)', {'Parameters', 'nr_class', 'nr_feature', 'bias', 'Label', 'w'});
%! assert ([model.Parameters, model.nr_class, model.nr_feature, model.bias], [2 2 2 1]);
%! assert (model.Label, [1; 2]);
%! assert (size (model.w), [1 3]);
%! assert (linmodel_predict (model, X), y);
%!error <options> linmodel_train ([1; 2], [1; -1], '-x 1')
