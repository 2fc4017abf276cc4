// linidx_coords on grids of about 2^20 cells with 10^5 random indices:
// direct conversion against tabulating the whole grid and looking each
// index up, measured in the same run.  Outputs are checked identical first.
// The comparison with Octave's ind2sub is in bench/compare_lattice.m.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "lattice/grid.h"
#include "testing/lattice_reference.h"

namespace {

// 0: ten extents of 4 (2^20 cells); 1: mixed extents (1072071 cells);
// 2: twenty extents of 2 (2^20 cells).
const std::vector<double>& grid(int64_t which) {
  static const std::vector<double> fours(10, 4.0);
  static const std::vector<double> mixed{7, 9, 11, 13, 17, 7};
  static const std::vector<double> twos(20, 2.0);
  return which == 0 ? fours : which == 1 ? mixed : twos;
}

const std::vector<double>& indices(int64_t which) {
  static std::vector<double> idx[3];
  if (idx[which].empty()) {
    double total = 1;
    for (double d : grid(which)) total *= d;
    std::mt19937 gen(17);
    std::uniform_int_distribution<int32_t> pick(1, static_cast<int32_t>(total));
    idx[which].resize(100000);
    for (double& v : idx[which]) v = pick(gen);
  }
  return idx[which];
}

void BM_linidx_coords(benchmark::State& state) {
  const auto& dims = grid(state.range(0));
  const auto& idx = indices(state.range(0));
  std::vector<double> out(dims.size() * idx.size());
  for (auto _ : state) {
    lattice::coords_of_indices(dims.data(), dims.size(), idx.data(), idx.size(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_linidx_coords_tabulating(benchmark::State& state) {
  const auto& dims = grid(state.range(0));
  const auto& idx = indices(state.range(0));
  for (auto _ : state) {
    auto r = lattice_ref::linidx_coords(dims.data(), static_cast<int32_t>(dims.size()), idx.data(),
                                        static_cast<int32_t>(idx.size()));
    benchmark::DoNotOptimize(r.v.data());
  }
}

// Argument: 0 = 2^20 grid of fours, 1 = mixed extents, 2 = 2^20 grid of twos.
BENCHMARK(BM_linidx_coords)->ArgName("grid")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_linidx_coords_tabulating)->ArgName("grid")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  for (int64_t which : {0, 1, 2}) {
    const auto& dims = grid(which);
    const auto& idx = indices(which);
    std::vector<double> out(dims.size() * idx.size());
    lattice::coords_of_indices(dims.data(), dims.size(), idx.data(), idx.size(), out.data());
    auto ref = lattice_ref::linidx_coords(dims.data(), static_cast<int32_t>(dims.size()), idx.data(),
                                          static_cast<int32_t>(idx.size()));
    const bool same = out == ref.v;
    std::printf("grid %lld (%zu extents), %zu indices, identical to the tabulating version: %s\n",
                static_cast<long long>(which), dims.size(), idx.size(), same ? "yes" : "NO");
    if (!same) return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
