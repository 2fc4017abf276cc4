// acq_fetch at the largest layout (610 channels; 16384 sweeps per second):
// the cost of one call through the stand-in host for 0, 16, 164 and 1638
// new sweeps (nothing, 1 ms, 10 ms and 100 ms of data), every fetch crossing
// the ring's end, against a straightforward word-by-word copy with a modular
// ring index into a fresh zeroed buffer, measured in the same run.  The two
// are checked to agree before timing.  Also the part of every fetch that
// the session record takes (lookup, clock, note of the fetch time).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/sessions.h"
#include "host/standin/standin.h"

namespace {

using acquisition::RING_SWEEPS;

constexpr int32_t CHANNELS = 610;
constexpr int32_t S = CHANNELS * 4;
constexpr int32_t R = S * RING_SWEEPS;

uint32_t g_pointer = 0;
int32_t fake_read_pointer(void*, uint32_t* p) {
  *p = g_pointer;
  return 1;
}

std::vector<uint32_t>& ring() {
  static std::vector<uint32_t> r = [] {
    std::vector<uint32_t> v(static_cast<size_t>(R / 4));
    for (size_t k = 0; k < v.size(); ++k) v[k] = static_cast<uint32_t>(k * 2654435761u);
    return v;
  }();
  return r;
}

// Last pointer and new pointer for n sweeps, half of them before the ring's end.
int32_t last_for(int64_t n) { return R - static_cast<int32_t>(n / 2) * S; }
uint32_t pointer_for(int64_t n) { return static_cast<uint32_t>((n - n / 2) * S); }

standin::Result fetch(int32_t last) {
  return standin::call("acq_fetch", 2,
                       {standin::uint64(1, 1, {1}), standin::uint64(1, 1, {1}),
                        standin::uint64(1, 1, {acquisition::address_of(&fake_read_pointer)}),
                        standin::uint64(1, 1, {reinterpret_cast<uintptr_t>(ring().data())}),
                        standin::int32(1, 1, {CHANNELS}), standin::int32(1, 1, {last})});
}

std::vector<int32_t> baseline(int32_t last, uint32_t p, int64_t n) {
  std::vector<int32_t> out(static_cast<size_t>(n * CHANNELS), 0);
  const std::vector<uint32_t>& r = ring();
  const size_t words = r.size();
  for (int64_t j = 0; j < n; ++j)
    for (int32_t i = 0; i < CHANNELS; ++i)
      out[static_cast<size_t>(j * CHANNELS + i)] =
          static_cast<int32_t>(r[(static_cast<size_t>(last / 4) + static_cast<size_t>(j * CHANNELS + i)) % words]);
  (void)p;
  return out;
}

void BM_acq_fetch(benchmark::State& state) {
  const int64_t n = state.range(0);
  g_pointer = n == 0 ? static_cast<uint32_t>(S) : pointer_for(n);
  const int32_t last = n == 0 ? S : last_for(n);
  for (auto _ : state) {
    standin::Result r = fetch(last);
    benchmark::DoNotOptimize(r.outputs.data());
  }
  state.counters["sweeps"] = static_cast<double>(n);
  if (n > 0) state.counters["ns_per_sweep"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_copy_baseline(benchmark::State& state) {
  const int64_t n = state.range(0);
  for (auto _ : state) {
    std::vector<int32_t> out = baseline(last_for(n), pointer_for(n), n);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["sweeps"] = static_cast<double>(n);
  state.counters["ns_per_sweep"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// What the session record adds to every fetch: the lookup of the session,
// the clock and the note of the fetch time.
void BM_session_guard(benchmark::State& state) {
  acquisition::SessionRecord found;
  for (auto _ : state) {
    auto match = acquisition::match_fetch(reinterpret_cast<void*>(1), fake_read_pointer, ring().data(), CHANNELS, found);
    const int64_t now = acquisition::session_clock_ns();
    acquisition::note_fetch(ring().data(), now);
    benchmark::DoNotOptimize(match);
  }
}

BENCHMARK(BM_session_guard);
BENCHMARK(BM_acq_fetch)->Arg(0)->Arg(16)->Arg(164)->Arg(1638)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_copy_baseline)->Arg(16)->Arg(164)->Arg(1638)->Unit(benchmark::kMicrosecond);

}  // namespace

int32_t fake_usb_write(void*, const unsigned char*) { return 1; }
int32_t fake_close(void*) { return 1; }

// The fake ring as a live session of the record, as acq_start leaves one,
// at a rate for which no fetch of the benchmark comes late.
void record_fake_session() {
  acquisition::SessionRecord s;
  s.library = reinterpret_cast<void*>(1);
  s.handle = reinterpret_cast<void*>(1);
  s.driver.read_pointer = fake_read_pointer;
  s.driver.usb_write = fake_usb_write;
  s.driver.close = fake_close;
  s.ring = reinterpret_cast<unsigned char*>(ring().data());
  s.ring_bytes = R;
  s.channels = CHANNELS;
  s.rate = 1;
  acquisition::add_session(s);
}

int main(int argc, char** argv) {
  record_fake_session();
  for (int64_t n : {16, 164, 1638}) {
    g_pointer = pointer_for(n);
    standin::Result r = fetch(last_for(n));
    if (!r.ok || standin::int32s(r.out(0)) != baseline(last_for(n), pointer_for(n), n)) {
      std::fprintf(stderr, "acq_fetch and the baseline disagree at %lld sweeps\n", static_cast<long long>(n));
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
