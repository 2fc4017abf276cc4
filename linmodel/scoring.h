// Plain C++ side of linear model scoring: the liblinear model record built
// from the six fields of a model struct, the option text, and the scoring
// loop over a column-oriented sparse matrix.  Knows nothing of the host; the
// entry hands in plain buffers.
#pragma once

#include <linear.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace linmodel {

// Capacity of the option text buffer (characters + terminator) and of the
// token array (entry 0 unused).
constexpr size_t OPTION_TEXT_CAPACITY = 2048;
constexpr int OPTION_TOKEN_CAPACITY = 1024;
constexpr int MAX_OPTION_TOKENS = 1022;

// Number of weight columns per feature and of decision values per instance:
// 1 for two classes (except the Crammer-Singer solver), else nr_class.
int class_columns(int nr_class, int solver_type);

// The model struct's fields, taken by position, and their names.
enum { FIELD_PARAMETERS, FIELD_NR_CLASS, FIELD_NR_FEATURE, FIELD_BIAS, FIELD_LABEL, FIELD_W, MODEL_FIELD_COUNT };
extern const char* const MODEL_FIELD_NAMES[MODEL_FIELD_COUNT];

// One field as the entry found it: its double data (null when the field is
// missing or not a full double array) and its element count.
struct FieldView {
  const double* data = nullptr;
  size_t count = 0;
  bool is_double = false;
};

struct ModelFields {
  int field_count = 0;  // fields the struct has
  FieldView field[MODEL_FIELD_COUNT];
};

// How a reader takes the fields beyond their layout.  linmodel_score reads
// the bias truncated toward zero and needs a label per class; liblinear's
// own tools keep the bias as stored, and a regression model (solvers 11 to
// 13) has no labels.
struct ModelRules {
  bool exact_bias = false;        // the bias as stored (finite), not truncated
  bool regression_labels = false;  // a regression model (nr_class 2) needs no Label elements
};

// Fills `m` (zeroed by the caller) from the fields: solver code, class and
// feature counts, the bias (truncated toward zero unless rules.exact_bias),
// the labels and a copy of the weights, with `w` and `label` from malloc.
// Returns null, or an error text (written into `error`) when the fields
// cannot describe a model: fewer than six fields, a field that is not
// double, too few elements for the counts, or counts that are not finite
// numbers in int range.  On error the record may hold a partial allocation;
// free_and_destroy_model releases it.
const char* model_from_fields(model* m, const ModelFields& fields, char* error, size_t error_size,
                              ModelRules rules = ModelRules());

// Owns a liblinear model record (from malloc or liblinear's train).
struct ModelRelease {
  void operator()(model* m) const { free_and_destroy_model(&m); }
};
using ModelPtr = std::unique_ptr<model, ModelRelease>;

// Parses the option text in place (split at spaces).  Only -b <int> is
// known; parsing stops at the first token that does not start with '-'.
enum OptionStatus { OPTIONS_OK, OPTIONS_MISSING_VALUE, OPTIONS_UNKNOWN, OPTIONS_TOO_MANY };
OptionStatus parse_options(char* text, int* prob_flag);

// What scoring a matrix of instances needs to know before it reads any of
// their data, and what it decides from that alone.
struct ScoreShape {
  size_t instance_rows = 0, instance_cols = 0;
  size_t label_rows = 0, label_cols = 0;
  bool labels_sparse = false;
  bool col_format = false;   // instances are the columns, not the rows
  bool probability = false;  // -b nonzero with a logistic-regression solver
};

// The checks in the order they are made: the two label messages are printed
// (empty outputs follow); sparse labels, whose data would hold only their
// nonzeros, and sizes beyond the int feature indices and counts are refused.
enum class ScoreCheck { ok, label_length, label_columns, sparse_labels, too_large };

struct ScorePlan {
  ScoreCheck check = ScoreCheck::ok;
  size_t n = 0;           // instances
  int cap = 0;            // feature cap: rows beyond it are not read
  int value_columns = 0;  // columns of output 3
};

ScorePlan plan_scoring(const model* m, const ScoreShape& shape);

// The printed text of a check answered by a message; null for the others.
const char* score_check_text(ScoreCheck check);

// Feature nodes one instance can need: its stored entries below the cap (at
// most the longest column's count, at most cap), the bias node and the
// terminator.  Sized by the stored entries, so that a sparse matrix of many
// rows and few entries needs no buffer of its row count.
template <class Index>
size_t instance_nodes(const Index* jc, size_t n, int cap) {
  size_t longest = 0;
  for (size_t j = 0; j < n; ++j) {
    const size_t count = static_cast<size_t>(jc[j + 1] - jc[j]);
    if (count > longest) longest = count;
  }
  const size_t most = static_cast<size_t>(cap);
  return (longest < most ? longest : most) + 2;
}

// Writes instance column `j` of a column-compressed sparse matrix into `x`
// as liblinear feature nodes: entries with row index >= cap end the walk,
// a bias node (cap + 1, bias) follows when bias >= 0, then the terminator.
// `x` holds instance_nodes(...) nodes.  Returns the number of nodes before the
// terminator.
template <class Index>
int load_instance(const Index* jc, const Index* ir, const double* pr, size_t j, feature_node* x, int cap,
                  double bias) {
  int k = 0;
  const size_t end = static_cast<size_t>(jc[j + 1]);
  for (size_t e = static_cast<size_t>(jc[j]); e < end; ++e) {
    const uint64_t r = static_cast<uint64_t>(ir[e]);
    if (r >= static_cast<uint64_t>(cap)) break;
    x[k].index = static_cast<int>(r) + 1;
    x[k].value = pr[e];
    ++k;
  }
  if (bias >= 0.0) {
    x[k].index = cap + 1;
    x[k].value = bias;
    ++k;
  }
  x[k].index = -1;
  x[k].value = 0.0;
  return k;
}

// What the scoring loop needs besides the model.  Instance i is column i of
// the sparse matrix (jc, ir, pr).  `values` (n × value_columns, column-major)
// may be null when the caller does not want it; `work` holds nr_class
// doubles and `x` instance_nodes(jc, n, cap) nodes.
template <class Index>
struct ScoreJob {
  const Index* jc;
  const Index* ir;
  const double* pr;
  const double* targets;
  size_t n;
  int cap;
  bool probability;
  feature_node* x;
  double* work;
  double* labels;  // n predicted labels
  double* values;  // n × value_columns, or null
};

// Scores every instance in order and returns how many predictions equal
// their target exactly.
template <class Index>
int64_t score_instances(const model* m, const ScoreJob<Index>& job) {
  const int nr_class = get_nr_class(m);
  const int value_columns = job.probability ? nr_class : class_columns(nr_class, m->param.solver_type);
  int64_t correct = 0;
  for (size_t i = 0; i < job.n; ++i) {
    const double target = job.targets[i];
    load_instance(job.jc, job.ir, job.pr, i, job.x, job.cap, m->bias);
    double v;
    if (job.probability) {
      v = predict_probability(m, job.x, job.work);
    } else {
      v = predict(m, job.x);
      predict_values(m, job.x, job.work);
    }
    job.labels[i] = v;
    if (job.values)
      for (int k = 0; k < value_columns; ++k) job.values[i + static_cast<size_t>(k) * job.n] = job.work[k];
    if (v == target) ++correct;
  }
  return correct;
}

}  // namespace linmodel
