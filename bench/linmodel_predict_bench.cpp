// linmodel_predict on one 240-feature epoch (a two-class model with a bias
// feature), the online case: one call through the stand-in host against a
// stand-in call that does next to nothing (tri_unpack_f32 of one value), so
// that the difference is what the call itself costs beyond the host's
// overhead (aim: under 20 us).  Also the host-free part alone (model
// conversion, feature nodes, prediction).  The decision value is first
// checked bit for bit against the literal sum w'x + bias weight.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "host/standin/standin.h"
#include "linmodel/instances.h"
#include "linmodel/scoring.h"

namespace {

constexpr size_t FEATURES = 240;
constexpr double AIM_US = 20;

std::vector<double> normal(size_t count, unsigned seed, double spread) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> dist(0.0, spread);
  std::vector<double> v(count);
  for (double& e : v) e = dist(gen);
  return v;
}

struct Inputs {
  std::vector<double> w, epoch;
  standin::Array model, x, empty_call_input;
};

const Inputs& inputs() {
  static Inputs in = [] {
    Inputs v;
    v.w = normal(FEATURES + 1, 3, 1.0);
    v.epoch = normal(FEATURES, 4, 5.0);
    v.model = standin::empty_struct_array({"Parameters", "nr_class", "nr_feature", "bias", "Label", "w"});
    standin::set_field(v.model.get(), "Parameters", standin::scalar(0));
    standin::set_field(v.model.get(), "nr_class", standin::scalar(2));
    standin::set_field(v.model.get(), "nr_feature", standin::scalar(FEATURES));
    standin::set_field(v.model.get(), "bias", standin::scalar(1));
    standin::set_field(v.model.get(), "Label", standin::real(2, 1, {2, 1}));
    standin::set_field(v.model.get(), "w", standin::real(1, FEATURES + 1, v.w));
    v.x = standin::real(1, FEATURES, v.epoch);
    v.empty_call_input = standin::single(1, 1, {1.0f});
    return v;
  }();
  return in;
}

standin::Result predict_call() {
  return standin::call("linmodel_predict", 2, std::vector<const mxArray*>{inputs().model.get(), inputs().x.get()});
}
standin::Result empty_call() {
  return standin::call("tri_unpack_f32", 1, std::vector<const mxArray*>{inputs().empty_call_input.get()});
}

// The host-free part of a call: the model record from the struct's fields,
// the epoch's feature nodes, the prediction.
double core_predict() {
  const Inputs& in = inputs();
  const double parameters = 0, nr_class = 2, nr_feature = FEATURES, bias = 1, labels[2] = {2, 1};
  linmodel::ModelFields fields;
  fields.field_count = linmodel::MODEL_FIELD_COUNT;
  const double* data[] = {&parameters, &nr_class, &nr_feature, &bias, labels, in.w.data()};
  const size_t counts[] = {1, 1, 1, 1, 2, FEATURES + 1};
  for (int p = 0; p < linmodel::MODEL_FIELD_COUNT; ++p) fields.field[p] = {data[p], counts[p], true};
  linmodel::ModelPtr m(static_cast<model*>(std::calloc(1, sizeof(model))));
  char error[256];
  linmodel::ModelRules rules;
  rules.exact_bias = rules.regression_labels = true;
  if (linmodel::model_from_fields(m.get(), fields, error, sizeof error, rules)) std::abort();
  double label = 0, value = 0;
  linmodel::Predictions to;
  to.labels = &label;
  to.values = &value;
  linmodel::predict_all(m.get(), linmodel::dense_nodes(in.epoch.data(), 1, FEATURES, false, 1.0), to);
  return value;
}

void BM_linmodel_predict_epoch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(predict_call().outputs.data());
}
void BM_empty_call_baseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(empty_call().outputs.data());
}
void BM_core_predict_epoch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(core_predict());
}
BENCHMARK(BM_linmodel_predict_epoch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_empty_call_baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_core_predict_epoch)->Unit(benchmark::kMicrosecond);

// Microseconds per call of f, best of `rounds` rounds of `calls` calls.
template <class F>
double best_us(F f, int rounds, int calls) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < calls; ++k) benchmark::DoNotOptimize(f());
    const std::chrono::duration<double, std::micro> t = std::chrono::steady_clock::now() - t0;
    best = std::min(best, t.count() / calls);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const Inputs& in = inputs();
  double literal = 0;
  for (size_t f = 0; f < FEATURES; ++f) literal += in.w[f] * in.epoch[f];
  literal += in.w[FEATURES] * 1.0;
  const standin::Result r = predict_call();
  if (!r.ok || standin::doubles(r.out(1)).at(0) != literal || core_predict() != literal) {
    std::printf("linmodel_predict: the decision value differs from the literal sum w'x + bias weight\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();

  // The two calls alternate, best of several rounds each.
  double call = 1e300, empty = 1e300;
  for (int round = 0; round < 5; ++round) {
    call = std::min(call, best_us([] { return predict_call().outputs.size(); }, 1, 2000));
    empty = std::min(empty, best_us([] { return empty_call().outputs.size(); }, 1, 2000));
  }
  const double core = best_us(core_predict, 5, 2000);
  std::printf("linmodel_predict, one %zu-feature epoch: %.2f us per stand-in call, an empty stand-in call %.2f us: "
              "%.2f us beyond the host's overhead (%.1fx the empty call; aim under %.0f us); host-free part %.2f us\n",
              FEATURES, call, empty, call - empty, call / empty, AIM_US, core);
  return 0;
}
