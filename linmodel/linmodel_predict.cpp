// [labels, scores, prob] = linmodel_predict(model, X [, 'col'])
// Predicts the instances of X (rows, or columns with 'col'), dense or
// sparse, with a liblinear model struct: quietly, without true labels, and
// with an error (linmodel_predict:<condition>) for anything it refuses.
#include <cstdlib>

#include "host/mexhost.h"
#include "linmodel/instances.h"
#include "linmodel/linmodel_entry.h"
#include "linmodel/scoring.h"

namespace {

enum { IN_MODEL, IN_DATA, IN_FORMAT };
enum { OUT_LABELS, OUT_SCORES, OUT_PROB, OUTPUT_COUNT };

const char* const DELIVERABLE = "linmodel_predict";

// The model struct as a liblinear record; the call ends in
// linmodel_predict:badModel when it cannot describe a model.  The bias is
// taken as stored, as liblinear-predict does.
linmodel::ModelPtr read_model(const mxArray* s) {
  linmodel::ModelPtr m(static_cast<model*>(std::calloc(1, sizeof(model))));
  if (!m) host::fail_for(DELIVERABLE, "outOfMemory", "Out of memory for the model.");
  linmodel::ModelRules rules;
  rules.exact_bias = true;
  rules.regression_labels = true;
  char error[256];
  if (linmodel::model_from_struct(m.get(), s, error, sizeof error, rules)) {
    m.reset();
    host::fail_for(DELIVERABLE, "badModel", "The model struct cannot be read: %s.", error);
  }
  return m;
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, 2, "Two or three inputs required: linmodel_predict(model, X [, 'col']).");
  if (nrhs > 3) host::fail_for(DELIVERABLE, "nargin", "At most three inputs: linmodel_predict(model, X [, 'col']).");
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, "[labels, scores, prob] = linmodel_predict(model, X [, 'col'])");
  if (!mxIsStruct(prhs[IN_MODEL]))
    host::fail_for(DELIVERABLE, "notStruct", "The model (input 1) must be a struct, such as linmodel_train returns.");
  linmodel::check_data(DELIVERABLE, prhs[IN_DATA], IN_DATA);
  const bool col_format = nrhs > IN_FORMAT && linmodel::read_col_flag(DELIVERABLE, prhs[IN_FORMAT], IN_FORMAT);
  const linmodel::DataMatrix<mwIndex> X = linmodel::data_matrix(prhs[IN_DATA], col_format);

  linmodel::ModelPtr m = read_model(prhs[IN_MODEL]);
  const bool want_prob = nlhs > OUT_PROB;
  if (want_prob && !check_probability_model(m.get())) {
    const int solver = m->param.solver_type;
    m.reset();
    host::fail_for(DELIVERABLE, "noProbability",
                   "Probabilities (output 3) come only from logistic regression models (solvers 0, 6 and 7); this "
                   "model's solver is %d.",
                   solver);
  }
  if (X.features() != static_cast<size_t>(m->nr_feature)) {
    const int nr_feature = m->nr_feature;
    m.reset();
    host::fail_for(DELIVERABLE, "featureCount", "X has %zu features (its %s); the model was trained on %d (nr_feature).",
                   X.features(), col_format ? "rows" : "columns", nr_feature);
  }

  const size_t n = X.instances();
  const int nr_class = get_nr_class(m.get());
  const int columns = linmodel::class_columns(nr_class, m->param.solver_type);
  mxArray* out[OUTPUT_COUNT] = {nullptr, nullptr, nullptr};
  out[OUT_LABELS] = mxCreateDoubleMatrix(static_cast<mwSize>(n), 1, mxREAL);
  if (nlhs > OUT_SCORES) out[OUT_SCORES] = mxCreateDoubleMatrix(static_cast<mwSize>(n), static_cast<mwSize>(columns), mxREAL);
  if (want_prob) out[OUT_PROB] = mxCreateDoubleMatrix(static_cast<mwSize>(n), static_cast<mwSize>(nr_class), mxREAL);
  linmodel::Predictions to;
  to.labels = mxGetPr(out[OUT_LABELS]);
  to.values = out[OUT_SCORES] ? mxGetPr(out[OUT_SCORES]) : nullptr;
  to.probabilities = out[OUT_PROB] ? mxGetPr(out[OUT_PROB]) : nullptr;

  const host::CoreFailure f = host::run_core([&] { linmodel::predict_all(m.get(), linmodel::node_lists(X, m->bias), to); });
  m.reset();
  if (f.failed) {
    for (mxArray* a : out)
      if (a) mxDestroyArray(a);
    host::fail_for(DELIVERABLE, f.out_of_memory ? "outOfMemory" : "internal", "Prediction failed: %s.", f.text);
  }
  for (int k = 0; k < OUTPUT_COUNT; ++k)
    if (out[k]) plhs[k] = out[k];
}
