#include "linmodel/scoring.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace linmodel {

const char* const MODEL_FIELD_NAMES[MODEL_FIELD_COUNT] = {"Parameters", "nr_class", "nr_feature", "bias", "Label", "w"};

namespace {

const char* field_error(char* error, size_t size, int position, const char* what) {
  std::snprintf(error, size, "field %d (%s) %s", position + 1, MODEL_FIELD_NAMES[position], what);
  return error;
}

// A double truncated toward zero to an int; false when it is not a finite
// number in int range.
bool to_int(double v, int* out) {
  if (!(v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0)) return false;
  *out = static_cast<int>(v);
  return true;
}

// Element 1 of a field as an int; null, or the reason it cannot be read.
const char* first_int_problem(const FieldView& f, int* out) {
  if (f.count < 1) return "is empty";
  if (!to_int(f.data[0], out)) return "is not a finite number in int range";
  return nullptr;
}

}  // namespace

int class_columns(int nr_class, int solver_type) { return nr_class == 2 && solver_type != MCSVM_CS ? 1 : nr_class; }

const char* model_from_fields(model* m, const ModelFields& fields, char* error, size_t size, ModelRules rules) {
  if (fields.field_count < MODEL_FIELD_COUNT) {
    std::snprintf(error, size, "the model struct has %d fields; it needs six (Parameters, nr_class, nr_feature, bias, Label, w)",
                  fields.field_count);
    return error;
  }
  for (int p = 0; p < MODEL_FIELD_COUNT; ++p)
    if (!fields.field[p].is_double) return field_error(error, size, p, "must be a real, full double array");

  m->nr_class = 0;
  m->nr_feature = 0;
  m->w = nullptr;
  m->label = nullptr;

  const char* e;
  int solver_type = 0, nr_class = 0, nr_feature = 0, bias_int = 0;
  if ((e = first_int_problem(fields.field[FIELD_PARAMETERS], &solver_type))) return field_error(error, size, FIELD_PARAMETERS, e);
  m->param.solver_type = solver_type;

  if ((e = first_int_problem(fields.field[FIELD_NR_CLASS], &nr_class))) return field_error(error, size, FIELD_NR_CLASS, e);
  if (nr_class < 1) return field_error(error, size, FIELD_NR_CLASS, "must be at least 1");
  m->nr_class = nr_class;
  const int columns = class_columns(nr_class, solver_type);

  if ((e = first_int_problem(fields.field[FIELD_NR_FEATURE], &nr_feature))) return field_error(error, size, FIELD_NR_FEATURE, e);
  if (nr_feature < 0 || nr_feature > INT_MAX - 1)
    return field_error(error, size, FIELD_NR_FEATURE, "must be in 0 ... 2147483646");
  m->nr_feature = nr_feature;

  if (rules.exact_bias) {
    const FieldView& bias = fields.field[FIELD_BIAS];
    if (bias.count < 1) return field_error(error, size, FIELD_BIAS, "is empty");
    if (!std::isfinite(bias.data[0])) return field_error(error, size, FIELD_BIAS, "is not a finite number");
    m->bias = bias.data[0];
  } else {
    if ((e = first_int_problem(fields.field[FIELD_BIAS], &bias_int))) return field_error(error, size, FIELD_BIAS, e);
    m->bias = static_cast<double>(bias_int);
  }
  const int b = m->bias >= 0 ? 1 : 0;

  // liblinear keeps no labels for a regression model: its predictions are
  // the decision values.
  const bool labelled = !(rules.regression_labels && check_regression_model(m));
  if (!labelled && nr_class != 2)  // liblinear reads labels for any other count
    return field_error(error, size, FIELD_NR_CLASS, "must be 2 for a regression model");
  const FieldView& label = fields.field[FIELD_LABEL];
  if (labelled && label.count < static_cast<size_t>(nr_class)) {
    std::snprintf(error, size, "field 5 (Label) holds %zu elements; nr_class is %d", label.count, nr_class);
    return error;
  }
  if (labelled) {
    m->label = static_cast<int*>(std::malloc(static_cast<size_t>(nr_class) * sizeof(int)));
    if (!m->label) return std::snprintf(error, size, "out of memory"), error;
    for (int k = 0; k < nr_class; ++k)
      if (!to_int(label.data[k], &m->label[k]))
        return field_error(error, size, FIELD_LABEL, "holds a label that is not a finite number in int range");
  }

  const FieldView& w = fields.field[FIELD_W];
  const uint64_t need = (static_cast<uint64_t>(nr_feature) + static_cast<uint64_t>(b)) * static_cast<uint64_t>(columns);
  if (w.count < need) {
    std::snprintf(error, size, "field 6 (w) holds %zu elements; (nr_feature + %d) x %d = %llu are needed", w.count, b,
                  columns, static_cast<unsigned long long>(need));
    return error;
  }
  m->w = static_cast<double*>(std::malloc(need > 0 ? static_cast<size_t>(need) * sizeof(double) : 1));
  if (!m->w) return std::snprintf(error, size, "out of memory"), error;
  if (need > 0) std::memcpy(m->w, w.data, static_cast<size_t>(need) * sizeof(double));
  return nullptr;
}

ScorePlan plan_scoring(const model* m, const ScoreShape& shape) {
  ScorePlan plan;
  const int nr_class = get_nr_class(m);
  plan.value_columns = shape.probability ? nr_class : class_columns(nr_class, m->param.solver_type);
  size_t cap;
  if (shape.col_format) {
    cap = shape.instance_rows;
    plan.n = shape.instance_cols;
  } else {
    cap = static_cast<size_t>(get_nr_feature(m));
    plan.n = shape.instance_rows;
  }
  if (shape.label_rows != plan.n)
    plan.check = ScoreCheck::label_length;
  else if (shape.label_cols != 1)
    plan.check = ScoreCheck::label_columns;
  else if (shape.labels_sparse)
    plan.check = ScoreCheck::sparse_labels;
  // The bias node's index is cap + 1 and the count of correct predictions an
  // int: both must stay in int range.
  else if (plan.n > static_cast<size_t>(INT_MAX) || cap > static_cast<size_t>(INT_MAX - 1))
    plan.check = ScoreCheck::too_large;
  if (plan.check == ScoreCheck::ok) plan.cap = static_cast<int>(cap);
  return plan;
}

const char* score_check_text(ScoreCheck check) {
  switch (check) {
    case ScoreCheck::label_length:
      return "Length of label vector does not match # of instances.\n";
    case ScoreCheck::label_columns:
      return "label (1st argument) should be a vector (# of column is 1).\n";
    default:
      return nullptr;
  }
}

OptionStatus parse_options(char* text, int* prob_flag) {
  char* tokens[OPTION_TOKEN_CAPACITY];
  int count = 1;
  for (char* t = std::strtok(text, " "); t; t = std::strtok(nullptr, " ")) {
    if (count > MAX_OPTION_TOKENS) return OPTIONS_TOO_MANY;
    tokens[count++] = t;
  }
  int i = 1;
  while (i < count) {
    if (tokens[i][0] != '-') break;
    ++i;
    if (i >= count) return OPTIONS_MISSING_VALUE;
    if (tokens[i - 1][1] == 'b') {
      *prob_flag = std::atoi(tokens[i]);
      ++i;
    } else {
      return OPTIONS_UNKNOWN;
    }
  }
  return OPTIONS_OK;
}

}  // namespace linmodel
