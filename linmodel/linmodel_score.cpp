// [predicted_label, accuracy, decision_values/prob_estimates] =
//     linmodel_score(testing_label_vector, testing_instance_matrix, model [, options [, 'col']])
// Scores sparse test instances with a linear model struct through liblinear.
// Failures of the call are printed and answered with three empty outputs;
// only input that would make the scoring read or write outside a buffer, or
// more outputs than three, raises an error (linmodel_score:<condition>).
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/mexhost.h"
#include "linmodel/linmodel_entry.h"
#include "linmodel/scoring.h"

namespace {

enum { IN_LABELS, IN_INSTANCES, IN_MODEL, IN_OPTIONS, IN_FORMAT };
enum { OUT_LABELS, OUT_ACCURACY, OUT_VALUES, OUTPUT_COUNT };

const char* const DELIVERABLE = "linmodel_score";
const char* const CALL_SYNTAX =
    "[predicted_label, accuracy, decision_values] = linmodel_score(labels, instances, model [, options [, 'col']])";
const char* const USAGE_TEXT =
    "Usage: [predicted_label, accuracy, decision_values/prob_estimates] = predict(testing_label_vector, "
    "testing_instance_matrix, model, 'liblinear_options','col')\n"
    "liblinear_options:\n"
    "-b probability_estimates: whether to predict probability estimates, 0 or 1 (default 0)\n"
    "col:\n"
    "\tif 'col' is setted testing_instance_matrix is parsed in column format, otherwise is in row format";

using linmodel::is_real_double_data;
using linmodel::ModelPtr;

struct FreeRelease {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Buffer = std::unique_ptr<T, FreeRelease>;

void print_usage() { mexPrintf("%s", USAGE_TEXT); }

// Outputs 1 to 3 as 0-by-0 doubles, in the slots the host provides.
void empty_outputs(int nlhs, mxArray* plhs[]) {
  plhs[OUT_LABELS] = mxCreateDoubleMatrix(0, 0, mxREAL);
  if (nlhs > OUT_ACCURACY) plhs[OUT_ACCURACY] = mxCreateDoubleMatrix(0, 0, mxREAL);
  if (nlhs > OUT_VALUES) plhs[OUT_VALUES] = mxCreateDoubleMatrix(0, 0, mxREAL);
}

// An option input must be text; an empty array of any class stands for no
// text (so that [] can hold the place of the options before 'col').
void check_text_input(const mxArray* a, int position) {
  if (!mxIsChar(a) && host::numel(a) != 0)
    host::fail_for(DELIVERABLE, "optionNotText", "Input %d must be text, such as '-b 1' or 'col'.", position + 1);
}

// Copies a text input into `buffer` (OPTION_TEXT_CAPACITY bytes) the way the
// option parser expects it: its column count + 1 as the length.
void read_text(const mxArray* a, char* buffer) {
  buffer[0] = '\0';
  if (mxIsChar(a)) mxGetString(a, buffer, static_cast<mwSize>(host::cols(a) + 1));
}

// The instances transposed by the host, so that instance i is column i; null
// when the host could not.  A user function named transpose may stand in for
// the host's, so only a real double sparse matrix of the transposed shape is
// taken.
mxArray* host_transpose(const mxArray* instances) {
  mxArray* copy = mxDuplicateArray(instances);
  mxArray* lhs[1] = {nullptr};
  mxArray* rhs[1] = {copy};
  const int status = mexCallMATLAB(1, lhs, 1, rhs, "transpose");
  mxDestroyArray(copy);
  mxArray* t = status == 0 ? lhs[0] : nullptr;
  if (t && !(mxIsSparse(t) && is_real_double_data(t) && host::rows(t) == host::cols(instances) &&
             host::cols(t) == host::rows(instances))) {
    mxDestroyArray(t);
    t = nullptr;
  }
  return t;
}

// Scores the instances with the model and fills the outputs.  The model is
// owned by the caller through `owned`; it is released before any host error.
void score_matrix(int nlhs, mxArray* plhs[], const mxArray* labels, const mxArray* instances, ModelPtr& owned,
                  bool col_format, bool probability) {
  const model* m = owned.get();
  linmodel::ScoreShape shape;
  shape.instance_rows = host::rows(instances);
  shape.instance_cols = host::cols(instances);
  shape.label_rows = host::rows(labels);
  shape.label_cols = host::cols(labels);
  shape.labels_sparse = mxIsSparse(labels);
  shape.col_format = col_format;
  shape.probability = probability;
  const linmodel::ScorePlan plan = linmodel::plan_scoring(m, shape);
  switch (plan.check) {
    case linmodel::ScoreCheck::ok:
      break;
    case linmodel::ScoreCheck::label_length:
    case linmodel::ScoreCheck::label_columns:
      mexPrintf("%s", linmodel::score_check_text(plan.check));
      empty_outputs(nlhs, plhs);
      return;
    case linmodel::ScoreCheck::sparse_labels:
      owned.reset();
      host::fail_for(DELIVERABLE, "sparseLabels", "The label vector (input 1) must be a full double vector.");
    case linmodel::ScoreCheck::too_large:
      owned.reset();
      host::fail_for(DELIVERABLE, "tooLarge",
                     "The instance matrix has more instances or features than linmodel_score can index (%zu).",
                     host::MAX_DIM);
  }

  mxArray* transposed = nullptr;
  if (!col_format) {
    transposed = host_transpose(instances);
    if (!transposed) {
      mexPrintf("Error: cannot transpose testing instance matrix\n");
      empty_outputs(nlhs, plhs);
      return;
    }
  }
  const mxArray* oriented = col_format ? instances : transposed;
  const mwIndex* jc = mxGetJc(oriented);

  const size_t nodes_needed = linmodel::instance_nodes(jc, plan.n, plan.cap);
  Buffer<double> work(static_cast<double*>(std::malloc(static_cast<size_t>(get_nr_class(m)) * sizeof(double))));
  Buffer<feature_node> nodes(static_cast<feature_node*>(std::malloc(nodes_needed * sizeof(feature_node))));
  if (!work || !nodes) {
    work.reset();
    nodes.reset();
    if (transposed) mxDestroyArray(transposed);
    mexPrintf("Error: not enough memory to score the instances\n");
    empty_outputs(nlhs, plhs);
    return;
  }

  plhs[OUT_LABELS] = mxCreateDoubleMatrix(static_cast<mwSize>(plan.n), 1, mxREAL);
  double* values = nullptr;
  if (nlhs > OUT_VALUES) {
    plhs[OUT_VALUES] = mxCreateDoubleMatrix(static_cast<mwSize>(plan.n), static_cast<mwSize>(plan.value_columns), mxREAL);
    values = mxGetPr(plhs[OUT_VALUES]);
  }

  linmodel::ScoreJob<mwIndex> job;
  job.jc = jc;
  job.ir = mxGetIr(oriented);
  job.pr = mxGetPr(oriented);
  job.targets = mxGetPr(labels);
  job.n = plan.n;
  job.cap = plan.cap;
  job.probability = probability;
  job.x = nodes.get();
  job.work = work.get();
  job.labels = mxGetPr(plhs[OUT_LABELS]);
  job.values = values;
  const int correct = static_cast<int>(linmodel::score_instances(m, job));

  const double accuracy = static_cast<double>(correct) / static_cast<double>(plan.n) * 100;
  mexPrintf("Accuracy = %g%% (%d/%d)\n", accuracy, correct, static_cast<int>(plan.n));
  if (nlhs > OUT_ACCURACY) plhs[OUT_ACCURACY] = host::scalar_out(accuracy);
  if (transposed) mxDestroyArray(transposed);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  // A fourth output could only end in the host's own error, after the
  // scoring had printed its line.
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, CALL_SYNTAX);
  if (nrhs < 3 || nrhs > 5) {
    print_usage();
    empty_outputs(nlhs, plhs);
    return;
  }

  bool col_format = false;
  char options[linmodel::OPTION_TEXT_CAPACITY];
  options[0] = '\0';
  if (nrhs == 5) {
    check_text_input(prhs[IN_FORMAT], IN_FORMAT);
    // A text longer than the buffer cannot read "col".
    if (host::cols(prhs[IN_FORMAT]) + 1 <= linmodel::OPTION_TEXT_CAPACITY) {
      read_text(prhs[IN_FORMAT], options);
      col_format = std::strcmp(options, "col") == 0;
    }
  }
  if (!is_real_double_data(prhs[IN_LABELS]) || !is_real_double_data(prhs[IN_INSTANCES])) {
    mexPrintf("Error: label vector and instance matrix must be double\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  if (!mxIsStruct(prhs[IN_MODEL])) {
    mexPrintf("model file should be a struct array\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  int prob_flag = 0;
  if (nrhs >= 4) {
    check_text_input(prhs[IN_OPTIONS], IN_OPTIONS);
    if (host::cols(prhs[IN_OPTIONS]) + 1 > linmodel::OPTION_TEXT_CAPACITY)
      host::fail_for(DELIVERABLE, "optionTooLong", "The option text (input 4) must not exceed %d characters.",
                     static_cast<int>(linmodel::OPTION_TEXT_CAPACITY - 1));
    read_text(prhs[IN_OPTIONS], options);
    switch (linmodel::parse_options(options, &prob_flag)) {
      case linmodel::OPTIONS_OK:
        break;
      case linmodel::OPTIONS_UNKNOWN:
        mexPrintf("unknown option\n");
        print_usage();
        empty_outputs(nlhs, plhs);
        return;
      case linmodel::OPTIONS_MISSING_VALUE:
        print_usage();
        empty_outputs(nlhs, plhs);
        return;
      case linmodel::OPTIONS_TOO_MANY:
        host::fail_for(DELIVERABLE, "tooManyOptions", "The option text (input 4) must not hold more than %d tokens.",
                       linmodel::MAX_OPTION_TOKENS);
    }
  }

  ModelPtr owned(static_cast<model*>(std::calloc(1, sizeof(model))));
  if (!owned) {
    mexPrintf("Error: can't read model: %s\n", "out of memory");
    empty_outputs(nlhs, plhs);
    return;
  }
  char error[256];
  if (const char* e = linmodel::model_from_struct(owned.get(), prhs[IN_MODEL], error, sizeof error)) {
    mexPrintf("Error: can't read model: %s\n", e);
    owned.reset();
    empty_outputs(nlhs, plhs);
    return;
  }
  if (prob_flag && !check_probability_model(owned.get())) {
    mexPrintf("probability output is only supported for logistic regression\n");
    prob_flag = 0;
  }
  if (mxIsSparse(prhs[IN_INSTANCES])) {
    score_matrix(nlhs, plhs, prhs[IN_LABELS], prhs[IN_INSTANCES], owned, col_format, prob_flag != 0);
  } else {
    mexPrintf("Testing_instance_matrix must be sparse\n");
    empty_outputs(nlhs, plhs);
  }
  owned.reset();
}
