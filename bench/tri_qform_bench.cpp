// tri_qform_f32 at a = 4000: the packed quadratic form against a
// straightforward x' * S * x on the unpacked single matrix (row sums in
// double, then the dot product), measured in the same run.  The Octave
// comparison with x' * S * x is bench/tri_qform_bench.m.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "packed/tri.h"

namespace {

constexpr int64_t SIDE = 4000;

struct Data {
  std::vector<float> packed, full;
  std::vector<double> x;
};

const Data& data() {
  static Data d = [] {
    Data v;
    std::mt19937_64 gen(7);
    std::normal_distribution<double> dist;
    v.packed.resize(static_cast<size_t>(packed::packed_length(SIDE)));
    for (float& e : v.packed) e = static_cast<float>(dist(gen));
    v.full.resize(static_cast<size_t>(SIDE * SIDE));
    packed::tri_unpack(v.packed.data(), SIDE, v.full.data());
    v.x.resize(SIDE);
    for (double& e : v.x) e = dist(gen);
    return v;
  }();
  return d;
}

double full_qform(const std::vector<float>& S, const std::vector<double>& x) {
  std::vector<double> y(SIDE, 0.0);
  for (int64_t j = 0; j < SIDE; ++j)
    for (int64_t i = 0; i < SIDE; ++i) y[i] += static_cast<double>(S[i + SIDE * j]) * x[j];
  double q = 0;
  for (int64_t i = 0; i < SIDE; ++i) q += x[i] * y[i];
  return q;
}

void BM_tri_qform(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(packed::tri_qform(data().packed.data(), data().x.data(), SIDE));
}
void BM_full_qform_baseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(full_qform(data().full, data().x));
}
BENCHMARK(BM_tri_qform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_full_qform_baseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const double a = packed::tri_qform(data().packed.data(), data().x.data(), SIDE);
  const double b = full_qform(data().full, data().x);
  std::printf("a = %lld: packed %.10g, full %.10g, relative difference %.2e\n", static_cast<long long>(SIDE), a, b,
              std::fabs(a - b) / std::fabs(b));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
