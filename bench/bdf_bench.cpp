// BDF at 610 words x 16384 Hz (Mk2 speed mode 3: 609 signals, 30 MB of
// file per second), one second of sweeps per iteration unless said:
//   pack        the sweeps into records, blocked, against the literal
//               sweep-by-sweep transpose (baseline) in the same run
//   writer      writer_append of 1 s into a file (the page cache), without
//               and with a sync to the disk every second of data; the
//               counter core_share is the writer's time per second of data
//               (1.0 = one core busy all the time)
//   read        the whole of a 2-s file into a channels x sweeps matrix:
//               the core (doubles, int32 words), the literal decode
//               (baseline), and the bdf_read entry in the stand-in host
//               (outputs made as the host makes them, less Octave's own
//               copy: bench/bdf_read_rate.m measures that); the counter
//               x_real_time is seconds of data read per second
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "bdf/pack.h"
#include "bdf/reader.h"
#include "bdf/tests/recording.h"
#include "bdf/writer.h"
#include "host/standin/standin.h"

namespace {

constexpr uint32_t STATUS = 0x86000000u;  // Mk2, speed mode 3: 610 words, 16384 Hz
constexpr int32_t RATE = 16384;
constexpr uint32_t WORDS = 610;
constexpr int READ_SECONDS = 2;

std::string temp_file(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/eegmex_bench_" + name + ".bdf";
}

const std::vector<int32_t>& second_of_sweeps() {
  static const std::vector<int32_t> words = [] {
    const ampsim::Generator gen(WORDS, STATUS, RATE, true, 1);
    return bdftest::sweeps(gen, 0, RATE);
  }();
  return words;
}

bdf::FileSpec spec(double sync_seconds) {
  bdf::FileSpec s = bdftest::amplifier_spec(STATUS, RATE);
  s.sync_seconds = sync_seconds;
  return s;
}

void pack_second(benchmark::State& state, bool literal) {
  const bdf::FileSpec s = spec(0);
  const int32_t rs = bdf::record_sweeps_for(RATE, static_cast<int32_t>(s.signals.size()));
  std::vector<int32_t> sources;
  for (const bdf::SignalSpec& sig : s.signals) sources.push_back(sig.source_word);
  std::vector<unsigned char> record(static_cast<size_t>(3) * rs * sources.size());
  const std::vector<int32_t>& words = second_of_sweeps();
  for (auto _ : state) {
    for (int32_t first = 0; first < RATE; first += rs) {
      const int32_t* block = words.data() + static_cast<size_t>(first) * WORDS;
      if (literal)
        bdf::pack_sweeps_literal(block, rs, WORDS, sources.data(), static_cast<int32_t>(sources.size()), rs, 0,
                                 record.data());
      else
        bdf::pack_sweeps(block, rs, WORDS, sources.data(), static_cast<int32_t>(sources.size()), rs, 0, record.data());
      benchmark::DoNotOptimize(record.data());
    }
  }
  state.counters["core_share"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate |
                                                             benchmark::Counter::kInvert);
}

void BM_pack(benchmark::State& state) { pack_second(state, false); }
void BM_pack_literal_baseline(benchmark::State& state) { pack_second(state, true); }

void write_second(benchmark::State& state, double sync_seconds) {
  const std::string path = temp_file("write");
  bdf::Writer w;
  std::string error;
  if (bdf::writer_open(w, path, spec(sync_seconds), true, error) != bdf::OpenResult::ok) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::vector<int32_t>& words = second_of_sweeps();
  int64_t seconds = 0;
  for (auto _ : state) {
    // Sixty seconds at most in one file; then a new one (not timed).
    if (seconds == 60) {
      state.PauseTiming();
      bdf::writer_close(w, error);
      bdf::writer_open(w, path, spec(sync_seconds), true, error);
      seconds = 0;
      state.ResumeTiming();
    }
    if (!bdf::writer_append(w, words.data(), RATE, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    ++seconds;
  }
  bdf::writer_close(w, error);
  std::remove(path.c_str());
  state.counters["core_share"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate |
                                                             benchmark::Counter::kInvert);
}

void BM_writer_page_cache(benchmark::State& state) { write_second(state, 0); }
void BM_writer_sync_every_second(benchmark::State& state) { write_second(state, 1); }

// The file the read benchmarks share.
const std::string& read_file() {
  static const std::string path = [] {
    const std::string p = temp_file("read");
    bdf::Writer w;
    std::string error;
    bdf::writer_open(w, p, spec(0), true, error);
    for (int s = 0; s < READ_SECONDS; ++s) bdf::writer_append(w, second_of_sweeps().data(), RATE, error);
    bdf::writer_close(w, error);
    return p;
  }();
  return path;
}

std::vector<int32_t> all_signals(const bdf::Reader& r) {
  std::vector<int32_t> s;
  for (size_t c = 0; c < r.header.signals.size(); ++c) s.push_back(static_cast<int32_t>(c));
  return s;
}

void x_real_time(benchmark::State& state) {
  state.counters["x_real_time"] = benchmark::Counter(READ_SECONDS, benchmark::Counter::kIsIterationInvariantRate);
}

// The whole file through the core, as doubles or as int32 words.
template <class T>
void read_all(benchmark::State& state) {
  bdf::Reader r;
  std::string error;
  bdf::reader_open(r, read_file(), error);
  const std::vector<int32_t> signals = all_signals(r);
  std::vector<T> out(signals.size() * static_cast<size_t>(READ_SECONDS * RATE));
  for (auto _ : state) {
    bool ok = false;
    if constexpr (std::is_same<T, double>::value)
      ok = bdf::read_values(r, signals, 0, READ_SECONDS * RATE, out.data(), error);
    else
      ok = bdf::read_words(r, signals, 0, READ_SECONDS * RATE, out.data(), error);
    if (!ok) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  x_real_time(state);
}

void BM_read_values(benchmark::State& state) { read_all<double>(state); }
void BM_read_words(benchmark::State& state) { read_all<int32_t>(state); }

// The whole file read at once, then decoded sample by sample, channel by
// channel (strided stores), with the header's scaling.
void BM_read_values_literal_baseline(benchmark::State& state) {
  bdf::Reader r;
  std::string error;
  bdf::reader_open(r, read_file(), error);
  const int64_t C = static_cast<int64_t>(r.header.signals.size()), spr = r.header.signals[0].samples;
  const int64_t n = READ_SECONDS * RATE;
  std::vector<double> out(static_cast<size_t>(C * n));
  std::vector<unsigned char> bytes(static_cast<size_t>(r.records * r.record_bytes));
  for (auto _ : state) {
    std::FILE* f = std::fopen(read_file().c_str(), "rb");
    std::fseek(f, static_cast<long>(r.header.header_bytes), SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("short read");
    std::fclose(f);
    for (int64_t c = 0; c < C; ++c) {
      double scale = 1, offset = 0;
      bdf::signal_scaling(r.header.signals[static_cast<size_t>(c)], scale, offset);
      for (int64_t t = 0; t < n; ++t) {
        const unsigned char* p = &bytes[static_cast<size_t>((t / spr) * r.record_bytes + 3 * (c * spr + t % spr))];
        out[static_cast<size_t>(t * C + c)] = bdf::sample_value(p) * scale + offset;
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
  x_real_time(state);
}

void read_entry(benchmark::State& state, bool raw) {
  std::vector<standin::Array> inputs;
  inputs.push_back(standin::text(read_file()));
  if (raw) inputs.push_back(standin::text("raw"));
  for (auto _ : state) {
    standin::Result result = standin::call("bdf_read", 1, inputs);
    if (!result.ok) state.SkipWithError(result.error_text.c_str());
  }
  x_real_time(state);
}

void BM_bdf_read_entry(benchmark::State& state) { read_entry(state, false); }
void BM_bdf_read_entry_raw(benchmark::State& state) { read_entry(state, true); }

BENCHMARK(BM_pack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pack_literal_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_writer_page_cache)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_writer_sync_every_second)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_read_values)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_words)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_values_literal_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_bdf_read_entry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_bdf_read_entry_raw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::remove(read_file().c_str());
  return 0;
}
