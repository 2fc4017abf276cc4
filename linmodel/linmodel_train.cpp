// model = linmodel_train(labels, X [, options [, 'col']])
// Trains a liblinear model on the instances of X (rows, or columns with
// 'col'), dense or sparse, with liblinear-train's options, and returns the
// model struct that linmodel_read gives for liblinear-train's model file of
// the same data; with -v K, the cross-validation accuracy in percent (or the
// mean squared error of a regression solver).
#include <cmath>

#include "host/mexhost.h"
#include "linmodel/instances.h"
#include "linmodel/linmodel_entry.h"
#include "linmodel/training.h"

namespace {

enum { IN_LABELS, IN_DATA, IN_OPTIONS, IN_FORMAT };
enum { OUT_MODEL, OUTPUT_COUNT };

const char* const DELIVERABLE = "linmodel_train";
const char* const CALL_SYNTAX = "model = linmodel_train(labels, X [, options [, 'col']])";

// liblinear's progress lines, when the caller asked for them.
void print_to_host(const char* s) { mexPrintf("%s", s); }

// The option text (input 3): a text, or an empty array of any class for
// none.  The parsed options own no memory.
linmodel::TrainOptions read_options(const mxArray* a) {
  linmodel::TrainOptions options;
  if (host::numel(a) == 0) return options;
  if (!host::is_char_row(a))
    host::fail_for(DELIVERABLE, "badOption", "The options (input 3) must be a text, such as '-s 0 -c 1 -B 1'.");
  char* text = mxArrayToString(a);
  if (!text) host::fail_for(DELIVERABLE, "outOfMemory", "Out of memory for the option text.");
  char error[256];
  const char* e = linmodel::parse_train_options(text, &options, error, sizeof error);
  mxFree(text);
  if (e) host::fail_for(DELIVERABLE, "badOption", "Bad options: %s.", e);
  return options;
}

// The labels: one per instance, each one liblinear can take.
void check_labels(const mxArray* labels, size_t n, bool regression) {
  host::require_real_double(DELIVERABLE, labels, "The labels (input 1) must be a real, full double vector.");
  if (host::numel(labels) != n || (host::rows(labels) != 1 && host::cols(labels) != 1))
    host::fail_for(DELIVERABLE, "labelCount", "%zu labels (a %zu-by-%zu array) for %zu instances: give one label per instance, as a vector.",
                   host::numel(labels), host::rows(labels), host::cols(labels), n);
  const double* y = mxGetPr(labels);
  const size_t bad = linmodel::first_bad_label(y, n, regression);
  if (bad < n)
    host::fail_for(DELIVERABLE, "badLabel", "Label %zu is %g: %s.", bad + 1, y[bad],
                   regression ? "targets must be finite numbers" : "class labels must be whole numbers in int range");
}

// Every value liblinear would read must be a finite number.
void check_values(const linmodel::DataMatrix<mwIndex>& X) {
  const size_t count = X.stored();
  for (size_t k = 0; k < count; ++k)
    if (!std::isfinite(X.pr[k]))
      host::fail_for(DELIVERABLE, "notFinite", "X holds %g: training needs finite values.", X.pr[k]);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, 2, "Two to four inputs required: %s.", CALL_SYNTAX);
  if (nrhs > 4) host::fail_for(DELIVERABLE, "nargin", "At most four inputs: %s.", CALL_SYNTAX);
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, CALL_SYNTAX);
  linmodel::check_data(DELIVERABLE, prhs[IN_DATA], IN_DATA);
  const bool col_format = nrhs > IN_FORMAT && linmodel::read_col_flag(DELIVERABLE, prhs[IN_FORMAT], IN_FORMAT);
  linmodel::TrainOptions options = nrhs > IN_OPTIONS ? read_options(prhs[IN_OPTIONS]) : linmodel::TrainOptions();
  const bool regression = linmodel::is_regression_solver(options.solver);

  const linmodel::DataMatrix<mwIndex> X = linmodel::data_matrix(prhs[IN_DATA], col_format);
  const size_t n = X.instances(), d = X.features();
  check_labels(prhs[IN_LABELS], n, regression);
  // liblinear counts instances and indexes features (the bias one more) in int.
  if (n > host::MAX_DIM || d > host::MAX_DIM - 1)
    host::fail_for(DELIVERABLE, "tooLarge", "X has %zu instances of %zu features; liblinear takes at most %zu and %zu.", n,
                   d, host::MAX_DIM, host::MAX_DIM - 1);
  check_values(X);
  const double* y = mxGetPr(prhs[IN_LABELS]);

  if (n == 0) host::fail_for(DELIVERABLE, "tooFewInstances", "Training needs at least one instance; X has none.");
  if (options.folds > 0 && n < 2)
    host::fail_for(DELIVERABLE, "tooFewInstances", "Cross-validation needs at least two instances; X has %zu.", n);
  if (static_cast<size_t>(options.folds) > n) {
    // What liblinear does itself, with a note on the standard error stream.
    mexWarnMsgIdAndTxt("linmodel_train:foldCount", "%d folds for %zu instances: leave-one-out cross-validation instead.",
                       options.folds, n);
    options.folds = static_cast<int>(n);
  }
  if (!regression)
    for (int k; (k = linmodel::first_unknown_weight(options, y, n)) >= 0;) {
      mexWarnMsgIdAndTxt("linmodel_train:weightLabel", "No training label is %d: its weight (-w%d %g) is ignored.",
                         options.weight_label[k], options.weight_label[k], options.weight[k]);
      linmodel::remove_weight(&options, k);
    }

  // The parameters liblinear will train with, checked by liblinear itself
  // before any memory is taken.
  const parameter param = linmodel::parameter_of(&options);
  problem shape{};
  shape.l = static_cast<int>(n);
  shape.n = static_cast<int>(d) + (options.bias >= 0 ? 1 : 0);
  shape.y = const_cast<double*>(y);
  shape.bias = options.bias;
  if (const char* e = check_parameter(&shape, &param))
    host::fail_for(DELIVERABLE, "badParameter", "liblinear refuses the parameters: %s.", e);

  // liblinear prints its progress only for a call typed without an output
  // variable and without -q.
  const linmodel::PrintFunction print = !options.quiet && nlhs == 0 ? &print_to_host : nullptr;
  linmodel::ModelPtr trained;
  double validated = 0, needed = 0;
  bool fits = true;
  host::CoreFailure f;
  {
    linmodel::Problem problem;
    std::vector<double> target;
    f = host::run_core([&] {
      const int classes = regression ? 1 : linmodel::count_classes(y, n);
      needed = linmodel::training_bytes(n, d, X.stored(), classes, options.solver);
      fits = linmodel::can_allocate(needed);
      if (!fits) return;
      linmodel::make_problem(&problem, linmodel::node_lists(X, options.bias), y, d, options.bias);
      target.resize(options.folds > 0 ? n : 0);
    });
    if (!f.failed && fits) {
      if (options.folds > 0)
        validated = linmodel::cross_validate(problem.prob, &options, print, target.data());
      else
        trained = linmodel::train_model(problem.prob, &options, print);
    }
  }
  if (!fits)
    host::fail_for(DELIVERABLE, "outOfMemory",
                   "Training %zu instances of %zu features takes about %.3g GB of work memory, more than this process can "
                   "allocate.",
                   n, d, needed / 1e9);
  if (f.failed)
    host::fail_for(DELIVERABLE, f.out_of_memory ? "outOfMemory" : "internal", "Training failed: %s.", f.text);
  plhs[OUT_MODEL] = options.folds > 0 ? host::scalar_out(validated) : linmodel::model_to_struct(trained.get());
}
