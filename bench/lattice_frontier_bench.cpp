// lattice_frontier and lattice_frontier_full on a random downward-closed set
// of 5000 points in 8 dimensions (7 of them active): the indexed search
// against the plain linear scans over member columns and accepted points,
// measured in the same run.  Outputs are checked identical before timing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "lattice/frontier.h"
#include "testing/lattice_reference.h"
#include "testing/random_sets.h"

namespace {

constexpr int32_t DIMS = 8, POINTS = 5000;

const std::vector<int32_t>& members() {
  static std::vector<int32_t> s = lattice_test::downward_closed(DIMS, POINTS, 2024, {0, 1, 2, 3, 4, 6, 7});
  return s;
}
const std::vector<int32_t> BOUNDS(DIMS, 12);

void BM_frontier(benchmark::State& state) {
  const bool active_only = state.range(0) != 0;
  int32_t rows = 0;
  for (auto _ : state) {
    lattice::PointRows r = lattice::frontier(members().data(), DIMS, POINTS, BOUNDS.data(), active_only);
    rows = r.count;
    benchmark::DoNotOptimize(r.coords.data());
  }
  state.counters["rows"] = rows;
}

void BM_frontier_linear_scan(benchmark::State& state) {
  const bool active_only = state.range(0) != 0;
  size_t rows = 0;
  for (auto _ : state) {
    auto r = lattice_ref::frontier(members().data(), DIMS, POINTS, BOUNDS.data(), active_only);
    rows = r.rows;
    benchmark::DoNotOptimize(r.v.data());
  }
  state.counters["rows"] = static_cast<double>(rows);
}

// Argument: 1 = lattice_frontier (active dimensions), 0 = lattice_frontier_full.
BENCHMARK(BM_frontier)->ArgName("active_only")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_frontier_linear_scan)->ArgName("active_only")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  if (members().size() != static_cast<size_t>(DIMS) * POINTS) {
    std::printf("could not grow a set of %d points\n", POINTS);
    return 1;
  }
  for (bool active_only : {true, false}) {
    lattice::PointRows r = lattice::frontier(members().data(), DIMS, POINTS, BOUNDS.data(), active_only);
    auto ref = lattice_ref::frontier(members().data(), DIMS, POINTS, BOUNDS.data(), active_only);
    std::vector<double> out(ref.v.size());
    if (static_cast<size_t>(r.count) == ref.rows) lattice::write_rows(r, out.data());
    const bool same = static_cast<size_t>(r.count) == ref.rows && out == ref.v;
    std::printf("%s: %d points in %d dimensions, %d rows, identical to the linear scan: %s\n",
                active_only ? "lattice_frontier" : "lattice_frontier_full", POINTS, DIMS, r.count, same ? "yes" : "NO");
    if (!same) return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
