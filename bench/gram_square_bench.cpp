// gram_square, radial and cubic polynomial kernels, at M = 2000 and 4000
// rows and N = 64 and 256 features: the entry through the stand-in host
// (model conversion, row conversion, blocked evaluation on all cores), its
// evaluation alone on one thread and on all, and the straightforward
// baseline that evaluates every one of the M*M pairs by a merge over the two
// feature lists, all measured in the same run.  The results are checked to
// agree bit for bit first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "host/standin/standin.h"
#include "svkernel/kernel.h"
#include "testing/gram_reference.h"

namespace {

constexpr double GAMMA = 0.01;

const std::vector<double>& data(int64_t M, int64_t N) {
  static std::map<std::pair<int64_t, int64_t>, std::vector<double>> cache;
  auto& x = cache[{M, N}];
  if (x.empty()) {
    std::mt19937_64 gen(static_cast<uint64_t>(M * 1000 + N));
    std::normal_distribution<double> dist;
    x.resize(static_cast<size_t>(M * N));
    for (double& e : x) e = dist(gen);
  }
  return x;
}

constexpr double COEF_LIN = 0.05;
constexpr int32_t DEGREE = 3;

standin::Array model(int32_t type) {
  standin::Array k = standin::empty_struct_array(
      {"kernel_type", "poly_degree", "rbf_gamma", "coef_lin", "coef_const", "custom"});
  standin::set_field(k.get(), "kernel_type", standin::scalar(type));
  standin::set_field(k.get(), "poly_degree", standin::scalar(DEGREE));
  standin::set_field(k.get(), "rbf_gamma", standin::scalar(GAMMA));
  standin::set_field(k.get(), "coef_lin", standin::scalar(COEF_LIN));
  standin::set_field(k.get(), "coef_const", standin::scalar(1));
  standin::set_field(k.get(), "custom", standin::text("empty"));
  const char* scalars[] = {"sv_num", "upper_bound", "b", "totwords", "totdoc", "loo_error", "loo_recall",
                           "xa_error", "xa_recall", "xa_precision", "maxdiff", "r_delta_sq", "r_delta_avg",
                           "model_length", "loss", "vcdim", "index"};
  std::vector<std::string> names(std::begin(scalars), std::end(scalars));
  names.push_back("kernel_parm");
  names.push_back("supvec");
  standin::Array m = standin::empty_struct_array(names);
  for (const char* f : scalars) standin::set_field(m.get(), f, standin::scalar(0));
  standin::set_field(m.get(), "kernel_parm", std::move(k));
  standin::set_field(m.get(), "supvec", standin::real(0, 0));
  return m;
}

standin::Result entry(int64_t M, int64_t N, int32_t type) {
  auto r = standin::call("gram_square", 1,
                         {standin::real(static_cast<size_t>(M), static_cast<size_t>(N), data(M, N)), model(type)});
  if (!r.ok) {
    std::fprintf(stderr, "gram_square failed: %s\n", r.error_text.c_str());
    std::exit(1);
  }
  return r;
}

// Packed rows as the entry builds them from the feature lists.
struct Packed {
  std::vector<float> packed;
  std::vector<double> sq;
};

Packed pack(int64_t M, int64_t N) {
  const auto& X = data(M, N);
  Packed p;
  p.packed.assign(svkernel::gramPackedFloats(static_cast<int32_t>(M), static_cast<int32_t>(N)), 0.0f);
  p.sq.resize(static_cast<size_t>(M));
  for (int64_t i = 0; i < M; ++i) {
    auto list = svkernel_ref::row_list(X.data(), M, N, i);
    p.sq[i] = svkernel_ref::merge_dot(list.data(), list.data());
    for (int64_t k = 0; k < N; ++k)
      p.packed[static_cast<size_t>((i / svkernel::GRAM_BLOCK) * N + k) * svkernel::GRAM_BLOCK +
               i % svkernel::GRAM_BLOCK] = list[k].value;
  }
  return p;
}

svkernel::kernel_parm parm(int32_t type) {
  svkernel::kernel_parm p{};
  p.kernel_type = type;
  p.rbf_gamma = GAMMA;
  p.poly_degree = DEGREE;
  p.coef_lin = COEF_LIN;
  p.coef_const = 1;
  return p;
}

svkernel_ref::Kernel literal(int32_t type) { return svkernel_ref::Kernel{type, DEGREE, GAMMA, COEF_LIN, 1}; }

void BM_gram_square_entry(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(
        mxGetPr(entry(state.range(0), state.range(1), static_cast<int32_t>(state.range(2))).out(0)));
}

void evaluation(benchmark::State& state, int threads) {
  const int32_t M = static_cast<int32_t>(state.range(0)), N = static_cast<int32_t>(state.range(1));
  Packed p = pack(M, N);
  std::vector<double> K(static_cast<size_t>(M) * M);
  const auto kernel = parm(static_cast<int32_t>(state.range(2)));
  for (auto _ : state) {
    svkernel::gramDense(kernel, p.packed.data(), p.sq.data(), M, N, K.data(), threads);
    benchmark::DoNotOptimize(K.data());
  }
}
void BM_gram_evaluation_one_thread(benchmark::State& state) { evaluation(state, 1); }
void BM_gram_evaluation_all_cores(benchmark::State& state) {
  evaluation(state, static_cast<int>(std::thread::hardware_concurrency()));
}

void BM_gram_baseline_per_pair(benchmark::State& state) {
  const svkernel_ref::Kernel k = literal(static_cast<int32_t>(state.range(2)));
  for (auto _ : state) {
    auto K = svkernel_ref::gram(k, data(state.range(0), state.range(1)).data(), state.range(0), state.range(1));
    benchmark::DoNotOptimize(K.data());
  }
}

// Kernel 2 radial, 1 polynomial.
void sizes(benchmark::internal::Benchmark* b) {
  for (int64_t type : {2, 1})
    for (int64_t M : {2000, 4000})
      for (int64_t N : {64, 256}) b->Args({M, N, type});
  b->ArgNames({"M", "N", "kernel"})->Unit(benchmark::kMillisecond)->UseRealTime();
}
void fast(benchmark::internal::Benchmark* b) { sizes(b->Iterations(3)); }
void slow(benchmark::internal::Benchmark* b) { sizes(b->Iterations(1)); }

BENCHMARK(BM_gram_square_entry)->Apply(fast);
BENCHMARK(BM_gram_evaluation_all_cores)->Apply(fast);
BENCHMARK(BM_gram_evaluation_one_thread)->Apply(fast);
BENCHMARK(BM_gram_baseline_per_pair)->Apply(slow);

}  // namespace

int main(int argc, char** argv) {
  // Same values, bit for bit, as the literal procedure.
  for (int32_t type : {2, 1})
    for (int64_t N : {64, 256}) {
      const int64_t M = 700;
      auto got = standin::doubles(entry(M, N, type).out(0));
      auto expected = svkernel_ref::gram(literal(type), data(M, N).data(), M, N);
      const bool same = got.size() == expected.size() &&
                        std::memcmp(got.data(), expected.data(), got.size() * sizeof(double)) == 0;
      std::printf("kernel %d, M %lld, N %lld: identical to the per-pair procedure: %s\n", type,
                  static_cast<long long>(M), static_cast<long long>(N), same ? "yes" : "NO");
      if (!same) return 1;
    }
  std::printf("threads available: %u\n", std::thread::hardware_concurrency());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
