// [predicted_label, accuracy, decision_values/prob_estimates] =
//     linmodel_score(testing_label_vector, testing_instance_matrix, model [, options [, 'col']])
// Scores sparse test instances with a linear model struct through liblinear.
// Failures of the call are printed and answered with three empty outputs;
// only input that would make the scoring read or write outside a buffer
// raises an error (linmodel_score:<condition>).
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/mexhost.h"
#include "linmodel/model_struct.h"
#include "linmodel/scoring.h"

namespace {

enum { IN_LABELS, IN_INSTANCES, IN_MODEL, IN_OPTIONS, IN_FORMAT };
enum { OUT_LABELS, OUT_ACCURACY, OUT_VALUES };

const char* const USAGE_TEXT =
    "Usage: [predicted_label, accuracy, decision_values/prob_estimates] = predict(testing_label_vector, "
    "testing_instance_matrix, model, 'liblinear_options','col')\n"
    "liblinear_options:\n"
    "-b probability_estimates: whether to predict probability estimates, 0 or 1 (default 0)\n"
    "col:\n"
    "\tif 'col' is setted testing_instance_matrix is parsed in column format, otherwise is in row format";

// Set at the start of every call; 1 when the fifth input reads "col".
int col_format = 0;

struct ModelRelease {
  void operator()(model* m) const { free_and_destroy_model(&m); }
};
using ModelPtr = std::unique_ptr<model, ModelRelease>;

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
    host::fail("linmodel_score:optionNotText", "Input %d must be text, such as '-b 1' or 'col'.", position + 1);
}

// Copies a text input into `buffer` (OPTION_TEXT_CAPACITY bytes) the way the
// option parser expects it: its column count + 1 as the length.
void read_text(const mxArray* a, char* buffer) {
  buffer[0] = '\0';
  if (mxIsChar(a)) mxGetString(a, buffer, static_cast<mwSize>(host::cols(a) + 1));
}

// Scores input 2 with the model and fills the outputs.  The model is owned
// by the caller through `owned`; it is released before any host error.
void score_instances(int nlhs, mxArray* plhs[], const mxArray* prhs[], ModelPtr& owned, bool prob_flag) {
  const model* m = owned.get();
  const mxArray* labels = prhs[IN_LABELS];
  const mxArray* instances = prhs[IN_INSTANCES];
  const int nr_class = get_nr_class(m);
  const int columns = linmodel::class_columns(nr_class, m->param.solver_type);

  size_t cap, n;
  if (col_format) {
    cap = host::rows(instances);
    n = host::cols(instances);
  } else {
    cap = static_cast<size_t>(get_nr_feature(m));
    n = host::rows(instances);
  }

  if (host::rows(labels) != n) {
    mexPrintf("Length of label vector does not match # of instances.\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  if (host::cols(labels) != 1) {
    mexPrintf("label (1st argument) should be a vector (# of column is 1).\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  // Sizes the int feature indices and counts cannot hold, and sparse labels
  // (whose data holds only the nonzeros): release the model, then fail.
  if (mxIsSparse(labels)) {
    owned.reset();
    host::fail("linmodel_score:sparseLabels", "The label vector (input 1) must be a full double vector.");
  }
  if (n > static_cast<size_t>(INT_MAX) || cap > static_cast<size_t>(INT_MAX - 1)) {
    owned.reset();
    host::fail("linmodel_score:tooLarge",
               "The instance matrix has more instances or features than linmodel_score can index (2147483647).");
  }

  // Instance i must be column i of the matrix scored.
  mxArray* transposed = nullptr;
  const mxArray* oriented = instances;
  if (!col_format) {
    mxArray* copy = mxDuplicateArray(instances);
    mxArray* lhs[1] = {nullptr};
    mxArray* rhs[1] = {copy};
    const int status = mexCallMATLAB(1, lhs, 1, rhs, "transpose");
    mxDestroyArray(copy);
    if (status != 0 || !lhs[0] || !mxIsSparse(lhs[0]) || host::cols(lhs[0]) != n) {
      mexPrintf("Error: cannot transpose testing instance matrix\n");
      empty_outputs(nlhs, plhs);
      return;
    }
    transposed = lhs[0];
    oriented = transposed;
  }

  const size_t value_columns = prob_flag ? static_cast<size_t>(nr_class) : static_cast<size_t>(columns);
  Buffer<double> work(static_cast<double*>(std::malloc(static_cast<size_t>(nr_class) * sizeof(double))));
  Buffer<feature_node> nodes(static_cast<feature_node*>(std::malloc((cap + 2) * sizeof(feature_node))));
  if (!work || !nodes) {
    work.reset();
    nodes.reset();
    if (transposed) mxDestroyArray(transposed);
    mexPrintf("Error: not enough memory to score the instances\n");
    empty_outputs(nlhs, plhs);
    return;
  }

  plhs[OUT_LABELS] = mxCreateDoubleMatrix(static_cast<mwSize>(n), 1, mxREAL);
  double* values = nullptr;
  if (nlhs > OUT_VALUES) {
    plhs[OUT_VALUES] = mxCreateDoubleMatrix(static_cast<mwSize>(n), static_cast<mwSize>(value_columns), mxREAL);
    values = mxGetPr(plhs[OUT_VALUES]);
  }

  linmodel::ScoreJob<mwIndex> job;
  job.jc = mxGetJc(oriented);
  job.ir = mxGetIr(oriented);
  job.pr = mxGetPr(oriented);
  job.targets = mxGetPr(labels);
  job.n = n;
  job.cap = static_cast<int>(cap);
  job.probability = prob_flag;
  job.x = nodes.get();
  job.work = work.get();
  job.labels = mxGetPr(plhs[OUT_LABELS]);
  job.values = values;
  const int correct = static_cast<int>(linmodel::score_instances(m, job));

  const double accuracy = static_cast<double>(correct) / static_cast<double>(n) * 100;
  mexPrintf("Accuracy = %g%% (%d/%d)\n", accuracy, correct, static_cast<int>(n));
  if (nlhs > OUT_ACCURACY) plhs[OUT_ACCURACY] = mxCreateDoubleScalar(accuracy);
  if (transposed) mxDestroyArray(transposed);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  col_format = 0;
  int prob_flag = 0;
  char options[linmodel::OPTION_TEXT_CAPACITY];
  options[0] = '\0';

  if (nrhs < 3 || nrhs > 5) {
    print_usage();
    empty_outputs(nlhs, plhs);
    return;
  }
  if (nrhs == 5) {
    check_text_input(prhs[IN_FORMAT], IN_FORMAT);
    // A text longer than the buffer cannot read "col".
    if (host::cols(prhs[IN_FORMAT]) + 1 <= linmodel::OPTION_TEXT_CAPACITY) {
      read_text(prhs[IN_FORMAT], options);
      if (std::strcmp(options, "col") == 0) col_format = 1;
    }
  }
  if (!mxIsDouble(prhs[IN_LABELS]) || !mxIsDouble(prhs[IN_INSTANCES])) {
    mexPrintf("Error: label vector and instance matrix must be double\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  if (!mxIsStruct(prhs[IN_MODEL])) {
    mexPrintf("model file should be a struct array\n");
    empty_outputs(nlhs, plhs);
    return;
  }
  if (nrhs >= 4) {
    check_text_input(prhs[IN_OPTIONS], IN_OPTIONS);
    if (host::cols(prhs[IN_OPTIONS]) + 1 > linmodel::OPTION_TEXT_CAPACITY)
      host::fail("linmodel_score:optionTooLong", "The option text (input 4) must not exceed %d characters.",
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
        host::fail("linmodel_score:tooManyOptions", "The option text (input 4) must not hold more than %d tokens.",
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
  if (mxIsSparse(prhs[IN_INSTANCES]))
    score_instances(nlhs, plhs, prhs, owned, prob_flag != 0);
  else {
    mexPrintf("Testing_instance_matrix must be sparse\n");
    empty_outputs(nlhs, plhs);
  }
  owned.reset();
}
