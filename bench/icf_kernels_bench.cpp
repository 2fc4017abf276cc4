// icf_matrix at n = 3000 (rank 300), icf_dotpower and icf_ortho at n = 20000:
// the library's factorizations (as the deliverables run them, and with one
// thread) against the literal procedure (residuals recomputed from the
// kernel diagonal, one column pass per eliminated column), measured in the
// same run.  Each pair is checked to agree bit for bit before timing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "lowrank/dotpower.h"
#include "lowrank/matrix.h"
#include "lowrank/ortho.h"
#include "testing/icf_reference.h"

namespace {

constexpr int32_t MATRIX_N = 3000, MATRIX_RANK = 300;
constexpr int32_t SAMPLES = 20000, DOTPOWER_DIM = 20, DOTPOWER_DEGREE = 2, ORTHO_ORDER = 60;
constexpr double DOTPOWER_TOL = 1e-6, ORTHO_TOL = 1e-10;

std::vector<double> normal(size_t count, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> dist;
  std::vector<double> v(count);
  for (double& e : v) e = dist(gen);
  return v;
}

// Gaussian kernel matrix of 3000 points in 10 dimensions, full numerical rank
// well above 300.
const std::vector<double>& kernel_matrix() {
  static std::vector<double> A = [] {
    const int32_t d = 10, n = MATRIX_N;
    auto X = normal(static_cast<size_t>(d) * n, 1);
    std::vector<double> K(static_cast<size_t>(n) * n);
    for (int32_t u = 0; u < n; ++u)
      for (int32_t v = 0; v < n; ++v) {
        double s = 0;
        for (int32_t t = 0; t < d; ++t) s += (X[t + d * u] - X[t + d * v]) * (X[t + d * u] - X[t + d * v]);
        K[u + static_cast<size_t>(n) * v] = std::exp(-s / 8.0);
      }
    return K;
  }();
  return A;
}

const std::vector<double>& dotpower_data() {
  static std::vector<double> X = normal(static_cast<size_t>(DOTPOWER_DIM) * SAMPLES, 2);
  return X;
}

const std::vector<double>& ortho_data() {
  static std::vector<double> x = normal(SAMPLES, 3);
  return x;
}

lowrank::IcfOptions threads(int64_t count) {
  lowrank::IcfOptions o;
  o.threads = static_cast<int>(count);
  return o;
}

// Arg: threads (0: as the deliverable chooses).
void BM_icf_matrix(benchmark::State& state) {
  std::vector<double> G(static_cast<size_t>(MATRIX_N) * MATRIX_RANK);
  for (auto _ : state) {
    std::fill(G.begin(), G.end(), 0.0);
    auto r = lowrank::icf_matrix(kernel_matrix().data(), MATRIX_N, 0.0, MATRIX_RANK, G.data(), threads(state.range(0)));
    benchmark::DoNotOptimize(r.rank);
  }
}
void BM_icf_matrix_literal(benchmark::State& state) {
  for (auto _ : state) {
    auto r = lowrank_ref::icf_matrix(kernel_matrix().data(), MATRIX_N, 0.0, MATRIX_RANK);
    benchmark::DoNotOptimize(r.G.data());
  }
}
void BM_icf_dotpower(benchmark::State& state) {
  int32_t rank = 0;
  lowrank::IcfStats stats;
  for (auto _ : state) {
    auto r = lowrank::icf_dotpower(dotpower_data().data(), DOTPOWER_DIM, SAMPLES, 1.0, 0.1, DOTPOWER_DEGREE,
                                   DOTPOWER_TOL, 30 * DOTPOWER_DIM, threads(state.range(0)), &stats);
    rank = r.rank;
    benchmark::DoNotOptimize(r.factor.data());
  }
  state.counters["rank"] = rank;
  if (stats.pool_steps > 0)
    state.counters["pool_hits"] = 1.0 - static_cast<double>(stats.pool_passes) / static_cast<double>(stats.pool_steps);
}
void BM_icf_dotpower_literal(benchmark::State& state) {
  for (auto _ : state) {
    auto r = lowrank_ref::icf_dotpower(dotpower_data().data(), DOTPOWER_DIM, SAMPLES, 1.0, 0.1, DOTPOWER_DEGREE,
                                       DOTPOWER_TOL, 30 * DOTPOWER_DIM);
    benchmark::DoNotOptimize(r.G.data());
  }
}
void BM_icf_ortho(benchmark::State& state) {
  int32_t rank = 0;
  for (auto _ : state) {
    auto r = lowrank::icf_ortho(ortho_data().data(), SAMPLES, 1.0, ORTHO_ORDER, ORTHO_TOL, 30, threads(state.range(0)));
    rank = r.rank;
    benchmark::DoNotOptimize(r.factor.data());
  }
  state.counters["rank"] = rank;
}
void BM_icf_ortho_literal(benchmark::State& state) {
  for (auto _ : state) {
    auto r = lowrank_ref::icf_ortho(ortho_data().data(), SAMPLES, 1.0, ORTHO_ORDER, ORTHO_TOL, 30);
    benchmark::DoNotOptimize(r.G.data());
  }
}

BENCHMARK(BM_icf_matrix)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_icf_matrix_literal)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_icf_dotpower)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_icf_dotpower_literal)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_icf_ortho)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_icf_ortho_literal)->Unit(benchmark::kMillisecond)->Iterations(2);

bool report(const char* what, int32_t rank, bool same) {
  std::printf("%s: rank %d, identical to the literal procedure: %s\n", what, rank, same ? "yes" : "NO");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;
  {
    std::vector<double> G(static_cast<size_t>(MATRIX_N) * MATRIX_RANK, 0.0);
    auto a = lowrank::icf_matrix(kernel_matrix().data(), MATRIX_N, 0.0, MATRIX_RANK, G.data());
    auto b = lowrank_ref::icf_matrix(kernel_matrix().data(), MATRIX_N, 0.0, MATRIX_RANK);
    ok &= report("icf_matrix n=3000", a.rank,
                 a.rank == b.rank && a.perm == b.perm && std::memcmp(G.data(), b.G.data(), G.size() * 8) == 0);
  }
  {
    auto a = lowrank::icf_dotpower(dotpower_data().data(), DOTPOWER_DIM, SAMPLES, 1.0, 0.1, DOTPOWER_DEGREE,
                                   DOTPOWER_TOL, 30 * DOTPOWER_DIM);
    auto b = lowrank_ref::icf_dotpower(dotpower_data().data(), DOTPOWER_DIM, SAMPLES, 1.0, 0.1, DOTPOWER_DEGREE,
                                       DOTPOWER_TOL, 30 * DOTPOWER_DIM);
    ok &= report("icf_dotpower n=20000 d=20 degree 2", a.rank,
                 a.rank == b.rank && a.perm == b.perm && std::memcmp(a.factor.data(), b.G.data(), b.G.size() * 8) == 0);
  }
  {
    auto a = lowrank::icf_ortho(ortho_data().data(), SAMPLES, 1.0, ORTHO_ORDER, ORTHO_TOL, 30);
    auto b = lowrank_ref::icf_ortho(ortho_data().data(), SAMPLES, 1.0, ORTHO_ORDER, ORTHO_TOL, 30);
    ok &= report("icf_ortho n=20000 order 60", a.rank,
                 a.rank == b.rank && a.perm == b.perm && std::memcmp(a.factor.data(), b.G.data(), b.G.size() * 8) == 0);
  }
  if (!ok) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
