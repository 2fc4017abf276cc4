// linmodel_train and linmodel_predict through the stand-in host: every way
// of handing over the data gives the same bits, prediction equals
// linmodel_score's, the print rule, the C library's generator, and the
// refusals.  The equivalence with liblinear-train's model files is
// tests/test_linmodel_train.m.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/standin/standin.h"
#include "linmodel/tests/model_struct.h"
#include "testing/test_util.h"

namespace {

using linmodel_test::model_struct;
using standin::Array;

// Three classes (labels 4, -1, 9) around separate centres, d features,
// a quarter of the entries zero; row-major dense values.
struct Data {
  size_t n, d;
  std::vector<double> rows;  // n x d, row i at i * d
  std::vector<double> y;
};

Data make_data(size_t n, size_t d, unsigned seed) {
  Data s{n, d, eegtest::random_data(n * d, seed), {}};
  const double labels[] = {4, -1, 9};
  const std::vector<double> pick = eegtest::random_data(n * d, seed + 1);
  for (size_t i = 0; i < n; ++i) {
    s.y.push_back(labels[i % 3]);
    for (size_t f = 0; f < d; ++f) {
      double& v = s.rows[i * d + f];
      v += static_cast<double>((i % 3) * (f % 3));
      if (pick[i * d + f] > 0.67) v = 0;
    }
  }
  return s;
}

Array dense(const Data& s, bool col) {
  std::vector<double> v(s.n * s.d);
  for (size_t i = 0; i < s.n; ++i)
    for (size_t f = 0; f < s.d; ++f) v[col ? f + i * s.d : i + f * s.n] = s.rows[i * s.d + f];
  return col ? standin::real(s.d, s.n, v) : standin::real(s.n, s.d, v);
}

Array sparse(const Data& s, bool col) {
  std::vector<size_t> r, c;
  std::vector<double> v;
  const size_t m = col ? s.d : s.n, n = col ? s.n : s.d;
  for (size_t j = 0; j < n; ++j)
    for (size_t i = 0; i < m; ++i) {
      const double x = col ? s.rows[j * s.d + i] : s.rows[i * s.d + j];
      if (x != 0) {
        r.push_back(i);
        c.push_back(j);
        v.push_back(x);
      }
    }
  return standin::sparse(m, n, r, c, v);
}

Array labels(const Data& s) { return standin::real(s.n, 1, s.y); }

std::vector<double> field(const mxArray* s, const char* name) { return standin::doubles(mxGetField(s, 0, name)); }

standin::Result train(const Data& s, const std::string& options, bool sparse_x = false, bool col = false, int nlhs = 1) {
  std::vector<Array> in;
  in.push_back(labels(s));
  in.push_back(sparse_x ? sparse(s, col) : dense(s, col));
  in.push_back(standin::text(options));
  if (col) in.push_back(standin::text("col"));
  return standin::call("linmodel_train", nlhs, in);
}

TEST(LinmodelTrain, EveryDataLayoutGivesTheSameModel) {
  const Data s = make_data(60, 5, 11);
  for (const char* options : {"-s 0 -B 1", "-s 1", "-s 4 -B 1 -c 0.5", "-s 5 -e 0.001", "-s 7 -B 2 -w4 3 -w9 0.5"}) {
    const standin::Result first = train(s, options);
    ASSERT_TRUE(first.ok) << options << ": " << first.error_text;
    const mxArray* m = first.out(0);
    EXPECT_EQ(field(m, "nr_class"), (std::vector<double>{3}));
    EXPECT_EQ(field(m, "nr_feature"), (std::vector<double>{5}));
    EXPECT_EQ(field(m, "Label"), (std::vector<double>{4, -1, 9}));  // liblinear's order: first seen first
    EXPECT_EQ(mxGetM(mxGetField(m, 0, "w")), 3u);
    for (bool sparse_x : {false, true})
      for (bool col : {false, true}) {
        const standin::Result r = train(s, options, sparse_x, col);
        ASSERT_TRUE(r.ok && r.clean()) << options << " " << r.error_text;
        for (const char* f : {"Parameters", "nr_class", "nr_feature", "bias", "Label", "w"})
          EXPECT_TRUE(eegtest::same_bits(field(r.out(0), f), field(m, f))) << options << " " << f << sparse_x << col;
      }
    // Training again gives the same bits: the solvers' shuffles start from
    // the same generator state at every call.
    EXPECT_TRUE(eegtest::same_bits(field(train(s, options).out(0), "w"), field(m, "w"))) << options;
  }
}

TEST(LinmodelTrain, LeavesTheCallersRandomStateAndPrintsOnlyWhenAsked) {
  const Data s = make_data(30, 3, 5);
  std::srand(77);
  const int expected = std::rand();
  std::srand(77);
  ASSERT_TRUE(train(s, "-s 3").ok);  // solver 3 shuffles with rand()
#if defined(__GLIBC__)
  EXPECT_EQ(std::rand(), expected);
#endif
  // liblinear's progress lines: without -q and with no output assigned.
  EXPECT_NE(train(s, "-s 3", false, false, 0).printed.find("optimization finished"), std::string::npos);
  EXPECT_EQ(train(s, "-s 3 -q", false, false, 0).printed, "");
  EXPECT_EQ(train(s, "-s 3").printed, "");
  EXPECT_EQ(train(s, "-s 3 -v 3").printed, "");
}

TEST(LinmodelPredict, EqualsLinmodelScoreForEveryLayout) {
  const Data s = make_data(45, 4, 21);
  const Data t = make_data(20, 4, 31);
  for (const char* options : {"-s 0 -B 1", "-s 4", "-s 6 -B 3"}) {
    const standin::Result trained = train(s, options);
    ASSERT_TRUE(trained.ok);
    const mxArray* model = trained.out(0);
    const bool logistic = options[3] != '4';
    const standin::Result scored = standin::call("linmodel_score", 3, {labels(t).get(), sparse(t, true).get(), model,
                                                                       standin::text("").get(), standin::text("col").get()});
    ASSERT_TRUE(scored.ok);
    const standin::Result probs = standin::call("linmodel_score", 3, {labels(t).get(), sparse(t, false).get(), model,
                                                                      standin::text("-b 1").get()});
    for (bool sparse_x : {false, true})
      for (bool col : {false, true}) {
        const Array x = sparse_x ? sparse(t, col) : dense(t, col);
        std::vector<const mxArray*> in = {model, x.get()};
        const Array col_text = standin::text("col");
        if (col) in.push_back(col_text.get());
        const standin::Result p = standin::call("linmodel_predict", logistic ? 3 : 2, in);
        ASSERT_TRUE(p.ok && p.clean()) << p.error_text;
        EXPECT_EQ(p.printed, "");
        EXPECT_TRUE(eegtest::same_bits(standin::doubles(p.out(0)), standin::doubles(scored.out(0)))) << options;
        EXPECT_TRUE(eegtest::same_bits(standin::doubles(p.out(1)), standin::doubles(scored.out(2)))) << options;
        if (logistic) {
          EXPECT_TRUE(eegtest::same_bits(standin::doubles(p.out(2)), standin::doubles(probs.out(2)))) << options;
        }
      }
  }
}

// Models linmodel_score reads differently: a fractional bias (taken as
// stored, as liblinear-predict does) and a regression model (no labels; the
// predictions are the values).
TEST(LinmodelPredict, ExactBiasAndRegressionModels) {
  const Array m = model_struct(2, 2, 2, 0.5, {1, 2}, {1, -1, 4});
  const Array x = standin::real(2, 2, {1, 0, 0, 4});
  standin::Result r = standin::call("linmodel_predict", 2, std::vector<const mxArray*>{m.get(), x.get()});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{3, -2}));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1, 2}));

  const Data s = make_data(40, 3, 41);
  standin::Result trained = train(s, "-s 11 -B 1");
  ASSERT_TRUE(trained.ok);
  EXPECT_TRUE(field(trained.out(0), "Label").empty());
  const Array xs = dense(s, false);
  r = standin::call("linmodel_predict", 2, std::vector<const mxArray*>{trained.out(0), xs.get()});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(standin::doubles(r.out(0)), standin::doubles(r.out(1)));
}

TEST(LinmodelTrainPredict, RefusalsCarryIdentifiers) {
  const Data s = make_data(12, 3, 51);
  auto call_train = [&](std::vector<Array> in, int nlhs = 1) { return standin::call("linmodel_train", nlhs, in); };
  auto in3 = [&](Array y, Array x, const std::string& options) {
    std::vector<Array> v;
    v.push_back(std::move(y));
    v.push_back(std::move(x));
    v.push_back(standin::text(options));
    return v;
  };
  struct Case { standin::Result r; const char* id; };
  std::vector<Case> cases;
  cases.push_back({call_train({}), "linmodel_train:nargin"});
  cases.push_back({call_train(in3(labels(s), dense(s, false), ""), 2), "linmodel_train:nargout"});
  cases.push_back({call_train(in3(labels(s), standin::single(12, 3), "")), "linmodel_train:notDouble"});
  cases.push_back({call_train(in3(standin::int32(12, 1), dense(s, false), "")), "linmodel_train:notDouble"});
  for (const char* bad : {"-x 1", "-s", "-s 1.5", "-c abc", "-v 1", "-w 2", "-wa 2", "model.txt", "-c 1e999", "-q1"})
    cases.push_back({call_train(in3(labels(s), dense(s, false), bad)), "linmodel_train:badOption"});
  {
    std::vector<Array> v = in3(labels(s), dense(s, false), "");
    v.push_back(standin::text("row"));
    cases.push_back({call_train(std::move(v)), "linmodel_train:badFormat"});
  }
  cases.push_back({call_train(in3(standin::real(11, 1), dense(s, false), "")), "linmodel_train:labelCount"});
  cases.push_back({call_train(in3(standin::real(6, 2), dense(s, false), "")), "linmodel_train:labelCount"});
  std::vector<double> y = s.y;
  y[4] = 1.5;
  cases.push_back({call_train(in3(standin::real(12, 1, y), dense(s, false), "")), "linmodel_train:badLabel"});
  y[4] = NAN;
  cases.push_back({call_train(in3(standin::real(12, 1, y), dense(s, false), "-s 11")), "linmodel_train:badLabel"});
  std::vector<double> x(36, 1.0);
  x[7] = INFINITY;
  cases.push_back({call_train(in3(labels(s), standin::real(12, 3, x), "")), "linmodel_train:notFinite"});
  cases.push_back({call_train(in3(standin::real(0, 1), standin::real(0, 3), "")), "linmodel_train:tooFewInstances"});
  cases.push_back({call_train(in3(standin::real(1, 1, {1}), standin::real(1, 3), "-v 2")), "linmodel_train:tooFewInstances"});
  for (const char* bad : {"-c -1", "-e 0", "-s 8", "-s 11 -p -1"})
    cases.push_back({call_train(in3(labels(s), dense(s, false), bad)), "linmodel_train:badParameter"});
  // liblinear would allocate weights for 2147483646 features of 100 classes
  // (terabytes) without checking: refused before.
  std::vector<double> classes(100);
  for (size_t k = 0; k < classes.size(); ++k) classes[k] = static_cast<double>(k);
  {
    std::vector<Array> v = in3(standin::real(100, 1, classes), standin::sparse(2147483646, 100, {}, {}, {}), "");
    v.push_back(standin::text("col"));
    cases.push_back({call_train(std::move(v)), "linmodel_train:outOfMemory"});
  }

  const standin::Result trained = train(s, "-s 2 -B 1");
  ASSERT_TRUE(trained.ok);
  const mxArray* model = trained.out(0);
  auto predict = [&](std::vector<const mxArray*> in, int nlhs = 1) { return standin::call("linmodel_predict", nlhs, in); };
  const Array x3 = dense(s, false), x4 = standin::real(12, 4), col = standin::text("col"), other = standin::text("COL");
  Array broken = standin::empty_struct_array({"Parameters", "nr_class"});
  // A regression model whose class count is not 2: liblinear would read its
  // (absent) labels.
  const Array regression = model_struct(13, 1, 3, -1, {1}, {1, 2, 3});
  cases.push_back({predict({model}), "linmodel_predict:nargin"});
  cases.push_back({predict({model, x3.get()}, 4), "linmodel_predict:nargout"});
  cases.push_back({predict({x3.get(), x3.get()}), "linmodel_predict:notStruct"});
  cases.push_back({predict({broken.get(), x3.get()}), "linmodel_predict:badModel"});
  cases.push_back({predict({regression.get(), x3.get()}), "linmodel_predict:badModel"});
  cases.push_back({predict({model, standin::complex(12, 3).get()}), "linmodel_predict:notDouble"});
  cases.push_back({predict({model, x3.get(), other.get()}), "linmodel_predict:badFormat"});
  cases.push_back({predict({model, x4.get()}), "linmodel_predict:featureCount"});
  cases.push_back({predict({model, x3.get(), col.get()}), "linmodel_predict:featureCount"});
  cases.push_back({predict({model, x3.get()}, 3), "linmodel_predict:noProbability"});
  for (const Case& c : cases) {
    eegtest::expect_error(c.r, c.id);
    EXPECT_EQ(c.r.printed, "") << c.id;
    EXPECT_EQ(c.r.host_blocks_reclaimed, 0) << c.id;
  }
  EXPECT_NE(cases[cases.size() - 3].r.error_text.find("X has 4 features (its columns); the model was trained on 3"),
            std::string::npos);

  // Warnings, and the call goes on: a weight for a class no label has, more
  // folds than instances.
  standin::Result r = train(s, "-s 1 -w7 2 -w4 2");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].id, "linmodel_train:weightLabel");
  r = train(s, "-s 1 -v 20");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].id, "linmodel_train:foldCount");
  EXPECT_TRUE(eegtest::same_bits(standin::doubles(r.out(0)), standin::doubles(train(s, "-s 1 -v 12").out(0))));
}

}  // namespace
