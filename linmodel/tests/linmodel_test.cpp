#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "host/standin/standin.h"
#include "linmodel/scoring.h"
#include "linmodel/tests/model_struct.h"
#include "testing/test_util.h"

namespace {

using standin::Array;

const char* const USAGE =
    "Usage: [predicted_label, accuracy, decision_values/prob_estimates] = predict(testing_label_vector, "
    "testing_instance_matrix, model, 'liblinear_options','col')\nliblinear_options:\n-b probability_estimates: "
    "whether to predict probability estimates, 0 or 1 (default 0)\ncol:\n\tif 'col' is setted "
    "testing_instance_matrix is parsed in column format, otherwise is in row format";

// ---- model record from plain fields ----

struct Fields {
  std::vector<std::vector<double>> data;
  linmodel::ModelFields view() const {
    linmodel::ModelFields f;
    f.field_count = static_cast<int>(data.size());
    for (size_t p = 0; p < data.size() && p < 6; ++p) {
      f.field[p].data = data[p].data();
      f.field[p].count = data[p].size();
      f.field[p].is_double = true;
    }
    return f;
  }
};

struct Record {
  model* m = static_cast<model*>(calloc(1, sizeof(model)));
  ~Record() { free_and_destroy_model(&m); }
};

const char* build(Record& r, const Fields& f) {
  static char error[256];
  return linmodel::model_from_fields(r.m, f.view(), error, sizeof error);
}

TEST(ModelRecord, ClassColumnsAndWeightCount) {
  EXPECT_EQ(linmodel::class_columns(2, 0), 1);
  EXPECT_EQ(linmodel::class_columns(2, 4), 2);
  EXPECT_EQ(linmodel::class_columns(3, 0), 3);
  EXPECT_EQ(linmodel::class_columns(1, 2), 1);

  // Two classes under solver 4: two weight columns per feature, copied flat.
  Record r;
  ASSERT_EQ(build(r, {{{4, 99, 98}, {2}, {2}, {-1}, {1, -1}, {1, 2, 3, 4}}}), nullptr);
  EXPECT_EQ(r.m->param.solver_type, 4);  // only element 1 of Parameters
  EXPECT_EQ(r.m->nr_class, 2);
  EXPECT_EQ(r.m->nr_feature, 2);
  EXPECT_EQ(r.m->bias, -1.0);
  EXPECT_EQ(r.m->label[0], 1);
  EXPECT_EQ(r.m->label[1], -1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(r.m->w[k], k + 1.0);
}

TEST(ModelRecord, BiasIsTruncatedAndZeroCountsAsBiasFeature) {
  struct Case { double stored, held; int needed; };
  for (Case c : {Case{0.5, 0.0, 4}, Case{1.7, 1.0, 4}, Case{0.0, 0.0, 4}, Case{-1.0, -1.0, 3}, Case{-0.9, 0.0, 4}}) {
    Record r;
    std::vector<double> w(static_cast<size_t>(c.needed), 0.5);
    ASSERT_EQ(build(r, {{{0}, {2.9}, {3.2}, {c.stored}, {1.5, -1.5}, w}}), nullptr) << c.stored;
    EXPECT_EQ(r.m->bias, c.held);
    EXPECT_EQ(r.m->nr_class, 2);
    EXPECT_EQ(r.m->nr_feature, 3);
    EXPECT_EQ(r.m->label[0], 1);
    EXPECT_EQ(r.m->label[1], -1);
    // One element fewer than (nr_feature + b) x class_columns is refused.
    w.pop_back();
    Record s;
    const char* e = build(s, {{{0}, {2}, {3}, {c.stored}, {1, -1}, w}});
    ASSERT_NE(e, nullptr);
    EXPECT_NE(std::string(e).find("field 6 (w)"), std::string::npos) << e;
  }
}

TEST(ModelRecord, RefusesStructsThatCannotDescribeAModel) {
  const std::vector<double> ok_w(6, 1.0);
  struct Case { Fields f; const char* says; };
  std::vector<Case> cases = {
      {{{{0}, {2}, {3}, {-1}, {1, -1}}}, "has 5 fields"},
      {{{{0}, {3}, {2}, {-1}, {1, 2}, ok_w}}, "field 5 (Label) holds 2 elements"},
      {{{{}, {2}, {3}, {-1}, {1, -1}, ok_w}}, "field 1 (Parameters) is empty"},
      {{{{0}, {0}, {3}, {-1}, {}, ok_w}}, "field 2 (nr_class) must be at least 1"},
      {{{{0}, {2}, {-1}, {-1}, {1, -1}, ok_w}}, "field 3 (nr_feature)"},
      {{{{0}, {2}, {3}, {NAN}, {1, -1}, ok_w}}, "field 4 (bias)"},
      {{{{0}, {2}, {3}, {-1}, {1, INFINITY}, ok_w}}, "field 5 (Label)"},
      {{{{0}, {2}, {3e10}, {-1}, {1, -1}, ok_w}}, "field 3 (nr_feature)"},
  };
  for (const Case& c : cases) {
    Record r;
    const char* e = build(r, c.f);
    ASSERT_NE(e, nullptr) << c.says;
    EXPECT_NE(std::string(e).find(c.says), std::string::npos) << e;
  }
  linmodel::ModelFields f = Fields{{{0}, {2}, {3}, {-1}, {1, -1}, ok_w}}.view();
  f.field[4].is_double = false;
  Record r;
  char error[256];
  const char* e = linmodel::model_from_fields(r.m, f, error, sizeof error);
  ASSERT_NE(e, nullptr);
  EXPECT_NE(std::string(e).find("field 5 (Label) must be a real, full double array"), std::string::npos);
}

// ---- option text ----

TEST(Options, ParsesOnlyB) {
  struct Case { const char* text; linmodel::OptionStatus status; int flag; };
  for (Case c : {Case{"-b 1", linmodel::OPTIONS_OK, 1}, Case{"  -b   1 ", linmodel::OPTIONS_OK, 1},
                 Case{"-b", linmodel::OPTIONS_MISSING_VALUE, 0}, Case{"-c 1", linmodel::OPTIONS_UNKNOWN, 0},
                 Case{"x -b 1", linmodel::OPTIONS_OK, 0}, Case{"-b abc", linmodel::OPTIONS_OK, 0},
                 Case{"-b 1 -b 0", linmodel::OPTIONS_OK, 0}, Case{"-b 1 x -c", linmodel::OPTIONS_OK, 1},
                 Case{"-bogus 1", linmodel::OPTIONS_OK, 1}, Case{"- 1", linmodel::OPTIONS_UNKNOWN, 0},
                 Case{"", linmodel::OPTIONS_OK, 0}}) {
    std::string s = c.text;
    int flag = 0;
    EXPECT_EQ(linmodel::parse_options(&s[0], &flag), c.status) << c.text;
    EXPECT_EQ(flag, c.flag) << c.text;
  }
  std::string many;
  for (int k = 0; k < 1022; ++k) many += "x ";
  int flag = 0;
  std::string copy = many;
  EXPECT_EQ(linmodel::parse_options(&copy[0], &flag), linmodel::OPTIONS_OK);
  many += "x";
  EXPECT_EQ(linmodel::parse_options(&many[0], &flag), linmodel::OPTIONS_TOO_MANY);
}

// ---- feature nodes ----

TEST(LoadInstance, CapEndsTheWalkAndBiasFollows) {
  // One column with rows 0, 2, 4, 5 (0-based).
  const size_t jc[] = {0, 4};
  const size_t ir[] = {0, 2, 4, 5};
  const double pr[] = {1.5, 2.5, 3.5, 4.5};
  feature_node x[8];
  ASSERT_EQ(linmodel::load_instance(jc, ir, pr, 0, x, 4, 1.0), 3);
  EXPECT_EQ(x[0].index, 1);
  EXPECT_EQ(x[0].value, 1.5);
  EXPECT_EQ(x[1].index, 3);
  EXPECT_EQ(x[2].index, 5);  // bias: cap + 1
  EXPECT_EQ(x[2].value, 1.0);
  EXPECT_EQ(x[3].index, -1);
  ASSERT_EQ(linmodel::load_instance(jc, ir, pr, 0, x, 6, -1.0), 4);
  EXPECT_EQ(x[3].index, 6);
  EXPECT_EQ(x[4].index, -1);
  ASSERT_EQ(linmodel::load_instance(jc, ir, pr, 0, x, 0, 0.0), 1);
  EXPECT_EQ(x[0].index, 1);
  EXPECT_EQ(x[0].value, 0.0);
}

// ---- the entry through the stand-in host ----

using linmodel_test::model_struct;

// Dense rows -> sparse matrix (m x n), zero entries left out.
Array sparse_rows(size_t m, size_t n, const std::vector<double>& row_major) {
  std::vector<size_t> rows, cols;
  std::vector<double> vals;
  for (size_t j = 0; j < n; ++j)
    for (size_t i = 0; i < m; ++i)
      if (row_major[i * n + j] != 0) {
        rows.push_back(i);
        cols.push_back(j);
        vals.push_back(row_major[i * n + j]);
      }
  return standin::sparse(m, n, rows, cols, vals);
}

size_t dims(const mxArray* a, int k) { return k == 0 ? mxGetM(a) : mxGetN(a); }

void expect_empty_outputs(const standin::Result& r, int nlhs) {
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  const size_t slots = nlhs > 0 ? static_cast<size_t>(nlhs) : 1;
  ASSERT_EQ(r.outputs.size(), slots);
  for (size_t k = 0; k < slots; ++k) {
    ASSERT_NE(r.out(k), nullptr) << k;
    EXPECT_EQ(dims(r.out(k), 0), 0u);
    EXPECT_EQ(dims(r.out(k), 1), 0u);
    EXPECT_TRUE(mxIsDouble(r.out(k)) && !mxIsSparse(r.out(k)));
  }
}

// A two-class model over 4 features with a bias feature: the decision value
// of an instance is x1 + 2 x2 + 3 x3 + 4 x4 + 100.
Array bias_model(double solver = 2) { return model_struct(solver, 2, 4, 1, {1, -1}, {1, 2, 3, 4, 100}); }

TEST(LinmodelScore, PrintsItsFailuresAndReturnsEmptyOutputs) {
  const std::string usage = USAGE;
  auto y = [] { return standin::real(1, 1, {1}); };
  auto x = [] { return sparse_rows(1, 4, {1, 0, 0, 0}); };
  struct Case { std::vector<Array> in; std::string printed; };
  std::vector<Case> cases;
  cases.push_back({{}, usage});
  { std::vector<Array> in; in.push_back(y()); in.push_back(x()); cases.push_back({std::move(in), usage}); }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(bias_model());
    in.push_back(standin::text("")); in.push_back(standin::text("col")); in.push_back(standin::text(""));
    cases.push_back({std::move(in), usage});
  }
  {
    std::vector<Array> in;
    in.push_back(standin::int32(1, 1, {1})); in.push_back(x()); in.push_back(bias_model());
    cases.push_back({std::move(in), "Error: label vector and instance matrix must be double\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(standin::single(1, 4)); in.push_back(bias_model());
    cases.push_back({std::move(in), "Error: label vector and instance matrix must be double\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(standin::real(1, 6));
    cases.push_back({std::move(in), "model file should be a struct array\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(bias_model()); in.push_back(standin::text("-b"));
    cases.push_back({std::move(in), usage});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(bias_model()); in.push_back(standin::text("-c 1"));
    cases.push_back({std::move(in), "unknown option\n" + usage});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(standin::real(1, 4, {1, 0, 0, 0})); in.push_back(bias_model());
    in.push_back(standin::text("-b 1"));
    cases.push_back({std::move(in), "probability output is only supported for logistic regression\n"
                                    "Testing_instance_matrix must be sparse\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(standin::real(2, 1, {1, 1})); in.push_back(x()); in.push_back(bias_model());
    cases.push_back({std::move(in), "Length of label vector does not match # of instances.\n"});
  }
  {
    // Labels as a row: the row count is compared first.
    std::vector<Array> in;
    in.push_back(standin::real(1, 2, {1, 1})); in.push_back(sparse_rows(2, 4, {1, 0, 0, 0, 0, 1, 0, 0}));
    in.push_back(bias_model());
    cases.push_back({std::move(in), "Length of label vector does not match # of instances.\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(standin::real(1, 2, {1, 1})); in.push_back(x()); in.push_back(bias_model());
    cases.push_back({std::move(in), "label (1st argument) should be a vector (# of column is 1).\n"});
  }
  {
    // A 0-by-0 label vector for no instances: the column message.
    std::vector<Array> in;
    in.push_back(standin::real(0, 0)); in.push_back(standin::sparse(0, 4, {}, {}, {}));
    in.push_back(bias_model());
    cases.push_back({std::move(in), "label (1st argument) should be a vector (# of column is 1).\n"});
  }
  {
    Array s = standin::empty_struct_array({"Parameters", "nr_class"});
    standin::set_field(s.get(), "Parameters", standin::scalar(0));
    standin::set_field(s.get(), "nr_class", standin::scalar(2));
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(std::move(s));
    cases.push_back({std::move(in), "Error: can't read model: the model struct has 2 fields; it needs six "
                                    "(Parameters, nr_class, nr_feature, bias, Label, w)\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(model_struct(2, 2, 4, 1, {1, -1}, {1, 2, 3, 4}));
    cases.push_back({std::move(in), "Error: can't read model: field 6 (w) holds 4 elements; (nr_feature + 1) x 1 = 5 "
                                    "are needed\n"});
  }
  {
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(model_struct(0, 3, 4, -1, {1, 2}, std::vector<double>(12)));
    cases.push_back({std::move(in), "Error: can't read model: field 5 (Label) holds 2 elements; nr_class is 3\n"});
  }
  {
    Array s = bias_model();
    standin::set_field(s.get(), "w", standin::single(1, 5));
    std::vector<Array> in;
    in.push_back(y()); in.push_back(x()); in.push_back(std::move(s));
    cases.push_back({std::move(in), "Error: can't read model: field 6 (w) must be a real, full double array\n"});
  }
  for (const Case& c : cases)
    for (int nlhs : {0, 1, 3}) {
      standin::Result r = standin::call("linmodel_score", nlhs, c.in);
      EXPECT_EQ(r.printed, c.printed);
      expect_empty_outputs(r, nlhs);
    }
}

// When several things are wrong, only the first check in the entry's order
// speaks: argument count, classes, struct, options, model, sparsity, labels.
TEST(LinmodelScore, FirstFailingCheckAloneIsReported) {
  const std::string usage = USAGE;
  auto y = [](size_t n) { return standin::real(n, 1, std::vector<double>(n, 1.0)); };
  auto x = [] { return sparse_rows(1, 4, {1, 0, 0, 0}); };
  auto short_model = [] {
    Array s = standin::empty_struct_array({"Parameters", "nr_class"});
    standin::set_field(s.get(), "Parameters", standin::scalar(2));
    standin::set_field(s.get(), "nr_class", standin::scalar(2));
    return s;
  };
  const std::string cant_read =
      "Error: can't read model: the model struct has 2 fields; it needs six (Parameters, nr_class, nr_feature, bias, "
      "Label, w)\n";
  struct Case { std::vector<Array> in; std::string printed; };
  std::vector<Case> cases;
  {
    std::vector<Array> in;  // six inputs, the first of a wrong class
    in.push_back(standin::int32(1, 1, {1})); in.push_back(x()); in.push_back(standin::real(1, 1));
    in.push_back(standin::text("-c")); in.push_back(standin::text("col")); in.push_back(standin::text(""));
    cases.push_back({std::move(in), usage});
  }
  {
    std::vector<Array> in;  // classes before the struct
    in.push_back(standin::int32(1, 1, {1})); in.push_back(x()); in.push_back(standin::real(1, 1));
    cases.push_back({std::move(in), "Error: label vector and instance matrix must be double\n"});
  }
  {
    std::vector<Array> in;  // the struct before the options
    in.push_back(y(1)); in.push_back(x()); in.push_back(standin::real(1, 1)); in.push_back(standin::text("-c 1"));
    cases.push_back({std::move(in), "model file should be a struct array\n"});
  }
  {
    std::vector<Array> in;  // the options before the model
    in.push_back(y(1)); in.push_back(x()); in.push_back(short_model()); in.push_back(standin::text("-b"));
    cases.push_back({std::move(in), usage});
  }
  {
    std::vector<Array> in;  // the model before sparsity
    in.push_back(y(1)); in.push_back(standin::real(1, 4)); in.push_back(short_model());
    cases.push_back({std::move(in), cant_read});
  }
  {
    std::vector<Array> in;  // sparsity before the label count
    in.push_back(y(3)); in.push_back(standin::real(1, 4)); in.push_back(bias_model());
    cases.push_back({std::move(in), "Testing_instance_matrix must be sparse\n"});
  }
  {
    std::vector<Array> in;  // the probability note, then the label count
    in.push_back(y(3)); in.push_back(x()); in.push_back(bias_model()); in.push_back(standin::text("-b 1"));
    cases.push_back({std::move(in), "probability output is only supported for logistic regression\n"
                                    "Length of label vector does not match # of instances.\n"});
  }
  {
    std::vector<Array> in;  // 'col': the instance count is the column count, not the row count
    in.push_back(y(4)); in.push_back(sparse_rows(4, 2, {1, 0, 0, 1, 0, 0, 0, 0})); in.push_back(bias_model());
    in.push_back(standin::text("")); in.push_back(standin::text("col"));
    cases.push_back({std::move(in), "Length of label vector does not match # of instances.\n"});
  }
  for (const Case& c : cases) {
    standin::Result r = standin::call("linmodel_score", 3, c.in);
    EXPECT_EQ(r.printed, c.printed);
    expect_empty_outputs(r, 3);
  }
}

TEST(LinmodelScore, FailedTransposePrintsItsMessage) {
  standin::fail_call_host(true);
  standin::Result r = standin::call("linmodel_score", 3, {standin::real(1, 1, {1}), sparse_rows(1, 4, {1, 0, 0, 0}), bias_model()});
  standin::reset_faults();
  EXPECT_EQ(r.printed, "Error: cannot transpose testing instance matrix\n");
  expect_empty_outputs(r, 3);
}

TEST(LinmodelScore, RowFormatCapsFeaturesAtNrFeature) {
  // Features 5 and 6 are dropped, the bias node is feature 5.
  auto x = sparse_rows(2, 6, {1, 1, 1, 1, 1, 1,
                              0, 0, 0, 0, 7, 9});
  standin::Result r = standin::call("linmodel_score", 3, {standin::real(2, 1, {1, 1}), std::move(x), bias_model()});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{110, 100}));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1, 1}));
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{100}));
  EXPECT_EQ(r.printed, "Accuracy = 100% (2/2)\n");
}

TEST(LinmodelScore, ColumnFormatCapsAtRowCount) {
  // Instances are columns of a 6-row matrix: features 5 and 6 reach liblinear
  // and the bias node is feature 7, past the model's 4 + 1 weights.  Feature 5
  // meets the bias weight, features 6 and 7 are beyond the model.
  auto x = sparse_rows(6, 2, {1, 0,
                              1, 0,
                              1, 0,
                              1, 0,
                              1, 7,
                              1, 9});
  for (const char* col : {"col"}) {
    standin::Result r = standin::call("linmodel_score", 3,
                                      {standin::real(2, 1, {1, -1}), std::move(x), bias_model(), standin::text(""),
                                       standin::text(col)});
    ASSERT_TRUE(r.ok) << r.error_text;
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{110, 700}));
    EXPECT_EQ(r.printed, "Accuracy = 50% (1/2)\n");
  }
  // Anything but exactly "col" keeps row format: a 6-by-2 matrix is then 6
  // instances of 2 features, against 2 labels.
  for (const char* col : {"COL", "col ", "co", "colx"}) {
    standin::Result r = standin::call("linmodel_score", 1,
                                      {standin::real(2, 1, {1, -1}), sparse_rows(6, 2, std::vector<double>(12, 1.0)),
                                       bias_model(), standin::text(""), standin::text(col)});
    EXPECT_EQ(r.printed, "Length of label vector does not match # of instances.\n") << col;
  }
}

TEST(LinmodelScore, ProbabilityOptionFollowsTheSolver) {
  auto x = [] { return sparse_rows(3, 2, {1, 0, 0, 1, -1, -1}); };
  // Three classes, w is 3 x 2 (class columns x features), no bias.
  const std::vector<double> w = {1, 0, -1, 0, 1, -1};
  auto y = [] { return standin::real(3, 1, {10, 20, 30}); };

  standin::Result p = standin::call("linmodel_score", 3, {y(), x(), model_struct(0, 3, 2, -1, {10, 20, 30}, w), standin::text("-b 1")});
  ASSERT_TRUE(p.ok) << p.error_text;
  EXPECT_TRUE(p.clean());
  ASSERT_EQ(dims(p.out(2), 0), 3u);
  ASSERT_EQ(dims(p.out(2), 1), 3u);
  auto probs = standin::doubles(p.out(2));
  for (int i = 0; i < 3; ++i) {
    double s = probs[i] + probs[i + 3] + probs[i + 6];
    EXPECT_NEAR(s, 1.0, 1e-15);
  }
  EXPECT_EQ(standin::doubles(p.out(0)), (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(p.printed, "Accuracy = 100% (3/3)\n");

  // Solver 2 cannot give probabilities: the message, then decision values.
  standin::Result d = standin::call("linmodel_score", 3, {y(), x(), model_struct(2, 3, 2, -1, {10, 20, 30}, w), standin::text("-b 1")});
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.printed, "probability output is only supported for logistic regression\nAccuracy = 100% (3/3)\n");
  EXPECT_EQ(standin::doubles(d.out(2)), (std::vector<double>{1, 0, -1, 0, 1, -1, -1, -1, 2}));

  // Two classes: one decision value column, two probability columns.
  for (const char* opt : {"-b 0", "x -b 1", "-b abc"}) {
    standin::Result r = standin::call("linmodel_score", 3, {y(), x(), model_struct(0, 2, 2, -1, {10, 20}, {1, -1}), standin::text(opt)});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(dims(r.out(2), 1), 1u) << opt;
    EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{1, -1, 0})) << opt;
    EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{10, 20, 20})) << opt;
  }
  standin::Result r = standin::call("linmodel_score", 3, {y(), x(), model_struct(6, 2, 2, -1, {10, 20}, {1, -1}), standin::text("-b 1")});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(dims(r.out(2), 1), 2u);
  auto pr = standin::doubles(r.out(2));
  EXPECT_DOUBLE_EQ(pr[0], 1 / (1 + std::exp(-1.0)));
  EXPECT_DOUBLE_EQ(pr[3], 1 - pr[0]);
  EXPECT_EQ(pr[2], 0.5);
}

TEST(LinmodelScore, CountsOnlyExactMatchesAndNeverNaN) {
  auto x = sparse_rows(4, 1, {1, 1, -1, -1});
  standin::Result r = standin::call("linmodel_score", 2,
                                    {standin::real(4, 1, {1, 1.0000000001, NAN, -1}), std::move(x),
                                     model_struct(2, 2, 1, -1, {1, -1}, {1})});
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(r.outputs.size(), 2u);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{50}));
  EXPECT_EQ(r.printed, "Accuracy = 50% (2/4)\n");
}

TEST(LinmodelScore, EmptyTestSet) {
  standin::Result r = standin::call("linmodel_score", 3,
                                    {standin::real(0, 1), standin::sparse(0, 4, {}, {}, {}), bias_model()});
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(dims(r.out(0), 0), 0u);
  EXPECT_EQ(dims(r.out(0), 1), 1u);
  EXPECT_EQ(dims(r.out(2), 0), 0u);
  EXPECT_EQ(dims(r.out(2), 1), 1u);
  EXPECT_TRUE(std::isnan(standin::doubles(r.out(1)).at(0)));
  EXPECT_NE(r.printed.find("nan% (0/0)\n"), std::string::npos) << r.printed;
}

TEST(LinmodelScore, OutputsOnlyInProvidedSlots) {
  for (int nlhs : {0, 1, 2, 3}) {
    standin::Result r = standin::call("linmodel_score", nlhs,
                                      {standin::real(1, 1, {1}), sparse_rows(1, 4, {1, 0, 0, 0}), bias_model()});
    ASSERT_TRUE(r.ok) << nlhs;
    EXPECT_TRUE(r.clean()) << nlhs;
    EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1}));
    EXPECT_EQ(r.printed, "Accuracy = 100% (1/1)\n");
    EXPECT_EQ(r.arrays_reclaimed, 0) << nlhs;  // temporaries released, nothing left behind
  }
}

TEST(LinmodelScore, RejectsInputItCannotReadSafely) {
  auto call = [](std::vector<Array> in) { return standin::call("linmodel_score", 3, in); };
  std::vector<Array> in;
  in.push_back(standin::sparse(2, 1, {0}, {0}, {1}));
  in.push_back(sparse_rows(2, 4, {1, 0, 0, 0, 0, 1, 0, 0}));
  in.push_back(bias_model());
  standin::Result r = call(std::move(in));
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(r.error_id, "linmodel_score:sparseLabels");

  auto with_option = [&](Array option, int position) {
    std::vector<Array> v;
    v.push_back(standin::real(1, 1, {1}));
    v.push_back(sparse_rows(1, 4, {1, 0, 0, 0}));
    v.push_back(bias_model());
    if (position == 5) v.push_back(standin::text(""));
    v.push_back(std::move(option));
    return call(std::move(v));
  };
  r = with_option(standin::text(std::string(2048, 'b')), 4);
  EXPECT_EQ(r.error_id, "linmodel_score:optionTooLong");
  EXPECT_TRUE(r.clean());
  std::string many;
  for (int k = 0; k < 1023; ++k) many += "x ";
  r = with_option(standin::text(many), 4);
  EXPECT_EQ(r.error_id, "linmodel_score:tooManyOptions");
  r = with_option(standin::scalar(1), 4);
  EXPECT_EQ(r.error_id, "linmodel_score:optionNotText");
  r = with_option(standin::scalar(1), 5);
  EXPECT_EQ(r.error_id, "linmodel_score:optionNotText");
  // An empty array holds the place of the options; a long fifth input is not "col".
  r = with_option(standin::real(0, 0), 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.printed, "Accuracy = 100% (1/1)\n");
  r = with_option(standin::text("col" + std::string(3000, ' ')), 5);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.printed, "Accuracy = 100% (1/1)\n");
}

// Complex data, a transpose that hands back something else, a fourth
// output, a very tall instance matrix in column format.
TEST(LinmodelScore, RefusesComplexDataAndForeignTransposesAndScoresTallColumns) {
  const char* not_double = "Error: label vector and instance matrix must be double\n";
  auto complex_sparse = [](size_t m, size_t n) {  // 1+1i on the diagonal
    Array a(mxCreateSparse(m, n, n, mxCOMPLEX));
    for (size_t j = 0; j <= n; ++j) mxGetJc(a.get())[j] = j < m ? j : m;
    for (size_t j = 0; j < n && j < m; ++j) {
      mxGetIr(a.get())[j] = j;
      mxGetPr(a.get())[j] = mxGetPi(a.get())[j] = 1;
    }
    return a;
  };
  for (bool col : {false, true}) {
    std::vector<Array> in;
    in.push_back(standin::real(4, 1, {1, -1, 1, -1}));
    in.push_back(complex_sparse(4, 4));
    in.push_back(bias_model());
    if (col) {
      in.push_back(standin::text(""));
      in.push_back(standin::text("col"));
    }
    standin::Result r = standin::call("linmodel_score", 3, in);
    EXPECT_EQ(r.printed, not_double) << col;
    expect_empty_outputs(r, 3);
    in[0] = standin::complex(4, 1);
    in[1] = sparse_rows(4, 4, std::vector<double>(16, 1.0));
    r = standin::call("linmodel_score", 3, in);
    EXPECT_EQ(r.printed, not_double) << col;
    expect_empty_outputs(r, 3);
  }

  // What the host's transpose returned is used only when it is a real
  // double sparse matrix of the transposed shape.
  std::vector<Array> answers;
  answers.push_back(standin::real(4, 1, {1, 0, 0, 0}));
  answers.push_back(complex_sparse(4, 1));
  answers.push_back(standin::sparse(4, 2, {0}, {0}, {1}));
  answers.push_back(standin::sparse(3, 1, {0}, {0}, {1}));
  answers.push_back(standin::single(4, 1));
  for (const Array& answer : answers) {
    standin::call_host_answer(answer.get());
    standin::Result r = standin::call("linmodel_score", 3, {standin::real(1, 1, {1}), sparse_rows(1, 4, {1, 0, 0, 0}), bias_model()});
    standin::reset_faults();
    EXPECT_EQ(r.printed, "Error: cannot transpose testing instance matrix\n");
    expect_empty_outputs(r, 3);
    EXPECT_EQ(r.arrays_reclaimed, 0);
  }
  standin::call_host_answer(standin::sparse(4, 1, {0, 3}, {0, 0}, {1, 1}).get());
  standin::Result r = standin::call("linmodel_score", 3, {standin::real(1, 1, {1}), sparse_rows(1, 4, {1, 0, 0, 0}), bias_model()});
  standin::reset_faults();
  EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{105}));  // what the transpose said: x1 = x4 = 1

  std::vector<Array> in;
  in.push_back(standin::real(1, 1, {1}));
  in.push_back(sparse_rows(1, 4, {1, 0, 0, 0}));
  in.push_back(bias_model());
  r = standin::call("linmodel_score", 4, in);
  eegtest::expect_error(r, "linmodel_score:nargout");
  EXPECT_EQ(r.printed, "");

  // 2147483646 features in column format: the node buffer follows the stored
  // entries, not the row count; the bias node (index 2147483647) is beyond
  // the model and liblinear leaves it out.
  r = standin::call("linmodel_score", 3,
                    {standin::real(2, 1, {1, -1}), standin::sparse(2147483646, 2, {1, 3, 2147483645}, {0, 0, 1}, {1, 1, 5}),
                     bias_model(), standin::text(""), standin::text("col")});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_EQ(standin::doubles(r.out(2)), (std::vector<double>{6, 0}));
  EXPECT_EQ(r.printed, "Accuracy = 100% (2/2)\n");
}

}  // namespace
