// The BDF core: the header's bytes, the record size, the writer's records
// against the sweeps (and the fast transpose against the literal one), the
// reader on whole, cut and foreign files, the repair, and the writer's
// refusals and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bdf/file.h"
#include "bdf/format.h"
#include "bdf/pack.h"
#include "bdf/reader.h"
#include "bdf/tests/recording.h"
#include "bdf/writer.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using bdftest::amplifier_spec;

std::string temp_path(const std::string& name) { return testing::TempDir() + "bdf_test_" + name; }

std::vector<unsigned char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string text_at(const std::vector<unsigned char>& b, size_t at, size_t n) {
  return std::string(reinterpret_cast<const char*>(&b[at]), n);
}

bdf::SignalHeader signal(const char* label, double pmin, double pmax, int32_t dmin, int32_t dmax, int32_t samples) {
  bdf::SignalHeader s;
  s.label = label;
  s.physical_min = pmin;
  s.physical_max = pmax;
  s.digital_min = dmin;
  s.digital_max = dmax;
  s.samples = samples;
  return s;
}

// Writes n sweeps of the generator in chunks of irregular sizes.
void record(const std::string& path, const bdf::FileSpec& spec, const ampsim::Generator& gen, uint64_t n,
            bdf::Writer& w) {
  std::string error;
  ASSERT_EQ(bdf::writer_open(w, path, spec, true, error), bdf::OpenResult::ok) << error;
  const std::vector<int32_t> words = bdftest::sweeps(gen, 0, n);
  std::mt19937 pick(7);
  for (uint64_t done = 0; done < n;) {
    uint64_t chunk = pick() % 700 + 1;
    if (chunk > n - done) chunk = n - done;
    ASSERT_TRUE(bdf::writer_append(w, words.data() + done * gen.channels, static_cast<int64_t>(chunk), error)) << error;
    done += chunk;
  }
}

// Every signal of the file against the generator's words, and the onsets
// against the generator's codes, over the file's first `n` sweeps.
void expect_sweeps(bdf::Reader& r, const bdf::FileSpec& spec, const ampsim::Generator& gen, int64_t n) {
  const int32_t C = static_cast<int32_t>(spec.signals.size());
  std::vector<int32_t> all(static_cast<size_t>(C));
  for (int32_t c = 0; c < C; ++c) all[c] = c;
  std::vector<int32_t> got(static_cast<size_t>(C * n));
  std::string error;
  ASSERT_TRUE(bdf::read_words(r, all, 0, n, got.data(), error)) << error;
  const std::vector<int32_t> words = bdftest::sweeps(gen, 0, static_cast<uint64_t>(n));
  std::vector<bdf::Event> expected;
  uint32_t previous = 0;
  for (int64_t t = 0; t < n; ++t) {
    for (int32_t c = 0; c < C; ++c) {
      const int32_t word = words[t * gen.channels + spec.signals[c].source_word];
      ASSERT_EQ(got[t * C + c], static_cast<int32_t>(static_cast<uint32_t>(word) & 0xFFFFFF00u)) << t << " " << c;
    }
    const uint32_t code = (static_cast<uint32_t>(words[t * gen.channels + 1]) >> 8) & 0xFFFFu;
    if (code && code != previous) expected.push_back(bdf::Event{t, code});
    previous = code;
  }
  std::vector<bdf::Event> events;
  ASSERT_TRUE(bdf::read_events(r, C - 1, 0, n, events, error)) << error;
  ASSERT_EQ(events.size(), expected.size());
  for (size_t e = 0; e < events.size(); ++e) {
    EXPECT_EQ(events[e].sample, expected[e].sample);
    EXPECT_EQ(events[e].code, expected[e].code);
  }
}

TEST(BdfFormat, HeaderFactsAndRecordSizes) {
  const bdf::FileSpec spec = amplifier_spec(0x88000000u, 2048);  // Mk2 mode 4: 282 words, 281 signals
  const std::string path = temp_path("facts.bdf");
  {
    bdf::Writer w;
    ampsim::Generator gen(282, 0x88000000u, 2048);
    record(path, spec, gen, 2048 * 2, w);
    std::string error;
    ASSERT_TRUE(bdf::writer_close(w, error)) << error;
  }
  const std::vector<unsigned char> b = file_bytes(path);
  const size_t ns = 281;
  ASSERT_EQ(b.size(), 256 * (ns + 1) + 2 * 2048 * 3 * ns);
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(text_at(b, 1, 7), "BIOSEMI");
  EXPECT_EQ(text_at(b, 168, 16), "09.12.2413.05.07");
  EXPECT_EQ(text_at(b, 184, 8), "72192   ");
  EXPECT_EQ(text_at(b, 192, 44), "24BIT" + std::string(39, ' '));
  EXPECT_EQ(text_at(b, 236, 8), "2       ");  // records
  EXPECT_EQ(text_at(b, 244, 8), "1       ");  // seconds per record
  EXPECT_EQ(text_at(b, 252, 4), "281 ");
  const size_t sig = 256;
  EXPECT_EQ(text_at(b, sig, 16), "A1              ");
  EXPECT_EQ(text_at(b, sig + 16 * 256, 16), "EXG1            ");
  EXPECT_EQ(text_at(b, sig + 16 * 280, 16), "Status          ");
  const size_t unit = sig + ns * (16 + 80), pmin = unit + ns * 8, pmax = pmin + ns * 8, dmin = pmax + ns * 8,
               dmax = dmin + ns * 8, samples = dmax + ns * 8 + ns * 80;
  EXPECT_EQ(text_at(b, unit, 8), "uV      ");
  EXPECT_EQ(text_at(b, unit + 8 * 280, 8), "Boolean ");
  EXPECT_EQ(text_at(b, pmin, 8), "-262144 ");
  EXPECT_EQ(text_at(b, pmax, 8), "262143  ");
  EXPECT_EQ(text_at(b, dmin, 8), "-8388608");
  EXPECT_EQ(text_at(b, dmax, 8), "8388607 ");
  EXPECT_EQ(text_at(b, pmin + 8 * 280, 8), "-8388608");
  EXPECT_EQ(text_at(b, pmax + 8 * 280, 8), "8388607 ");
  EXPECT_EQ(text_at(b, samples, 8), "2048    ");

  // Records of at most 1 s, within the strict readers' limit, of a duration
  // the header holds exactly.
  struct Case {
    int32_t rate, signals, sweeps;
    const char* seconds;
  } cases[] = {{2048, 281, 2048, "1"},   {16384, 609, 4096, "0.25"}, {8192, 609, 4096, "0.5"},
               {16384, 1, 16384, "1"}, {1000, 40, 1000, "1"},        {2048, 313, 2048, "1"}};
  for (const Case& c : cases) {
    const int32_t n = bdf::record_sweeps_for(c.rate, c.signals);
    EXPECT_EQ(n, c.sweeps) << c.rate << " Hz, " << c.signals << " signals";
    EXPECT_LE(int64_t{n} * c.signals * 3, bdf::RECORD_BYTES_LIMIT);
    EXPECT_EQ(bdf::exact_ratio_text(n, c.rate, 8), c.seconds);
  }
}

// The fast transpose against the literal one, at every fill and block edge.
TEST(BdfWriter, PackMatchesLiteral) {
  std::mt19937 gen(3);
  const int32_t sweep_words = 37, record_sweeps = 101;
  std::vector<int32_t> sources;
  for (int32_t w = 36; w >= 0; w -= 2) sources.push_back(w);
  const int32_t signals = static_cast<int32_t>(sources.size());
  std::vector<int32_t> words(static_cast<size_t>(record_sweeps * sweep_words));
  for (int32_t& w : words) w = static_cast<int32_t>(gen());
  for (int32_t fill : {0, 1, 31, 32, 64, 100}) {
    for (int32_t n : {1, 31, 32, 33, 65}) {
      if (fill + n > record_sweeps) continue;
      std::vector<unsigned char> fast(static_cast<size_t>(3 * signals * record_sweeps), 0xAB), literal = fast;
      bdf::pack_sweeps(words.data(), n, sweep_words, sources.data(), signals, record_sweeps, fill, fast.data());
      bdf::pack_sweeps_literal(words.data(), n, sweep_words, sources.data(), signals, record_sweeps, fill,
                               literal.data());
      EXPECT_EQ(fast, literal) << "fill " << fill << ", " << n << " sweeps";
    }
  }
}

// Sweeps written in chunks of every size come back word for word; the last
// record is completed with the last sweep; the onsets are the generator's;
// physical values follow the header's scaling (exact for Status); a read
// from the middle of the file and the events after a given sweep agree.
TEST(BdfWriter, RoundTripThroughTheReader) {
  const uint32_t raw = 0x88000000u;  // 282 words at 2048 Hz
  const bdf::FileSpec spec = amplifier_spec(raw, 2048);
  const ampsim::Generator gen(282, raw, 2048, true, 5);
  const std::string path = temp_path("roundtrip.bdf");
  const uint64_t n = 3 * 2048 + 777;
  bdf::Writer w;
  record(path, spec, gen, n, w);
  EXPECT_EQ(w.records, 3);
  EXPECT_EQ(w.sweeps, 3 * 2048);
  EXPECT_EQ(bdf::writer_pending(w), 777);
  {
    // Valid while being written: the count follows every record.
    bdf::Reader r;
    std::string error;
    ASSERT_TRUE(bdf::reader_open(r, path, error)) << error;
    EXPECT_EQ(r.header.records, 3);
    EXPECT_EQ(r.records, 3);
  }
  std::string error;
  ASSERT_TRUE(bdf::writer_close(w, error)) << error;
  EXPECT_EQ(w.records, 4);
  EXPECT_EQ(w.padded, 2048 - 777);

  bdf::Reader r;
  ASSERT_TRUE(bdf::reader_open(r, path, error)) << error;
  EXPECT_EQ(r.records, 4);
  EXPECT_EQ(bdf::signal_rate(r, 0), 2048);
  expect_sweeps(r, spec, gen, static_cast<int64_t>(n));
  std::vector<int32_t> status_row{280}, pad(2048 - 777);
  ASSERT_TRUE(bdf::read_words(r, status_row, static_cast<int64_t>(n), 2048 - 777, pad.data(), error));
  std::vector<int32_t> last_read(1);
  ASSERT_TRUE(bdf::read_words(r, status_row, static_cast<int64_t>(n) - 1, 1, last_read.data(), error));
  for (int32_t v : pad) ASSERT_EQ(v, last_read[0]);

  // Values: EEG by the header's scaling, Status exactly its digital value.
  const std::vector<int32_t> rows{0, 255, 280};
  const int64_t first = 2048 - 5, count = 300;
  std::vector<int32_t> words(rows.size() * count);
  std::vector<double> values(rows.size() * count);
  ASSERT_TRUE(bdf::read_words(r, rows, first, count, words.data(), error));
  ASSERT_TRUE(bdf::read_values(r, rows, first, count, values.data(), error));
  const double scale = 524287.0 / 16777215.0, offset = -262144.0 + 8388608.0 * scale;
  for (int64_t k = 0; k < count * 3; ++k) {
    const double d = words[k] >> 8;
    ASSERT_EQ(values[k], k % 3 == 2 ? d : d * scale + offset) << k;
  }
  // Onsets from a later sweep on: one at that very sweep counts only when
  // the trigger changed there.
  std::vector<bdf::Event> all, later;
  ASSERT_TRUE(bdf::read_events(r, 280, 0, bdf::signal_samples(r, 280), all, error));
  ASSERT_GE(all.size(), 12u);
  const int64_t onset = all[5].sample;
  ASSERT_TRUE(bdf::read_events(r, 280, onset, 5000, later, error));
  ASSERT_FALSE(later.empty());
  EXPECT_EQ(later[0].sample, onset);
  ASSERT_TRUE(bdf::read_events(r, 280, onset + 1, 5000, later, error));
  EXPECT_EQ(later[0].sample, all[6].sample);
}

// A file cut by a kill (count 0 or -1, or ahead of the data, a partial last
// record) reads up to its last whole record; the repair cuts the partial
// record and sets the count; a whole file is left alone.  A foreign file
// whose signals differ in rate reads too.
TEST(BdfReader, CutFilesAndRepair) {
  const uint32_t raw = 0x88000000u;
  const bdf::FileSpec spec = amplifier_spec(raw, 2048);
  const ampsim::Generator gen(282, raw, 2048, true, 9);
  const std::string path = temp_path("whole.bdf");
  {
    bdf::Writer w;
    record(path, spec, gen, 5 * 2048, w);
    std::string error;
    ASSERT_TRUE(bdf::writer_close(w, error)) << error;
  }
  const std::vector<unsigned char> whole = file_bytes(path);
  const size_t header = 256 * 282, rb = 281 * 3 * 2048;
  struct Case {
    const char* count;
    size_t records, partial;
  } cases[] = {{"-1      ", 3, 1000}, {"5       ", 3, 4}, {"2       ", 2, 0}, {"-1      ", 5, 0}};
  for (const Case& c : cases) {
    std::vector<unsigned char> cut(whole.begin(), whole.begin() + header + c.records * rb + c.partial);
    std::memcpy(&cut[236], c.count, 8);
    const std::string cut_path = temp_path("cut.bdf");
    put_bytes(cut_path, cut);
    std::string error;
    {
      bdf::Reader r;
      ASSERT_TRUE(bdf::reader_open(r, cut_path, error)) << error;
      EXPECT_EQ(r.records, static_cast<int64_t>(c.records)) << c.count;
      expect_sweeps(r, spec, gen, r.records * 2048);
    }
    bdf::RepairReport report;
    ASSERT_TRUE(bdf::repair_file(cut_path, report, error)) << error;
    EXPECT_EQ(report.records, static_cast<int64_t>(c.records));
    const std::vector<unsigned char> repaired = file_bytes(cut_path);
    ASSERT_EQ(repaired.size(), header + c.records * rb) << c.count;
    EXPECT_EQ(text_at(repaired, 236, 8).substr(0, 1), std::to_string(c.records));
    EXPECT_TRUE(std::equal(repaired.begin() + 256, repaired.end(), whole.begin() + 256));
    ASSERT_TRUE(bdf::repair_file(cut_path, report, error)) << error;
    EXPECT_EQ(report.dropped_bytes, 0);
    EXPECT_EQ(file_bytes(cut_path), repaired);
  }

  // Two signals at different rates (4 and 2 samples per record of 0.5 s),
  // a "BDF+C" reserved field and a decimal comma in a physical range.
  bdf::Header h;
  h.reserved = "BDF+C";
  h.records = 2;
  h.record_seconds = 0.5;
  h.start_date = "01.02.99";
  h.start_time = "10.11.12";
  h.signals = {signal("Fp1", -100, 100, -1000, 1000, 4), signal("Resp", -100, 100, -1000, 1000, 2)};
  std::vector<unsigned char> foreign = bdf::format_header(h);
  std::memcpy(&foreign[256 + 32 + 160 + 16 + 8], "-100,5  ", 8);  // slow's physical minimum
  for (int v = 0; v < 12; ++v) {
    const int32_t d = v * 100 - 500;
    for (int b = 0; b < 3; ++b) foreign.push_back(static_cast<unsigned char>((static_cast<uint32_t>(d) >> (8 * b)) & 0xFF));
  }
  const std::string foreign_path = temp_path("foreign.bdf");
  put_bytes(foreign_path, foreign);
  bdf::Reader r;
  std::string error;
  ASSERT_TRUE(bdf::reader_open(r, foreign_path, error)) << error;
  EXPECT_EQ(bdf::signal_rate(r, 0), 8);
  EXPECT_EQ(bdf::signal_rate(r, 1), 4);
  EXPECT_EQ(r.header.signals[1].physical_min, -100.5);
  int start[6];
  ASSERT_TRUE(bdf::parse_start(r.header, start));
  EXPECT_EQ(start[0], 1999);
  EXPECT_EQ(start[5], 12);
  std::vector<int32_t> got(4);
  ASSERT_TRUE(bdf::read_words(r, {1}, 0, 4, got.data(), error));
  EXPECT_EQ(got, (std::vector<int32_t>{-100 * 256, 0, 500 * 256, 600 * 256}));
}

// Files no reader could use are refused with a message, never read.
TEST(BdfReader, RefusesWhatIsNotBdf) {
  const std::string path = temp_path("bad.bdf");
  bdf::Header h;
  h.records = 1;
  h.record_seconds = 1;
  h.signals = {signal("A1", -1, 1, -8388608, 8388607, 4)};
  const std::vector<unsigned char> good = bdf::format_header(h);
  struct Case {
    size_t at;
    const char* text;
    const char* expected;
  } cases[] = {
      {0, "0       ", "is not a BDF file"},
      {252, "0   ", "signal count"},
      {184, "256     ", "256 bytes per signal"},
      {244, "0       ", "record duration"},
      {256 + 16 + 80 + 8 + 8 + 8 + 8, "9999999 ", "digital maximum"},
      {256 + 16 + 80 + 8 + 8 + 8 + 8 + 8 + 80, "0       ", "samples per record"},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> bad = good;
    std::memcpy(&bad[c.at], c.text, std::strlen(c.text));
    put_bytes(path, bad);
    bdf::Reader r;
    std::string error;
    EXPECT_FALSE(bdf::reader_open(r, path, error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
  }
  put_bytes(path, std::vector<unsigned char>(good.begin(), good.begin() + 300));
  bdf::Reader r;
  std::string error;
  EXPECT_FALSE(bdf::reader_open(r, path, error));
  EXPECT_NE(error.find("shorter than its header"), std::string::npos) << error;
  EXPECT_FALSE(bdf::reader_open(r, temp_path("missing.bdf"), error));
}

// An existing file is kept unless overwrite; specs no header can hold are
// refused before anything is created; a failed write stops the writer, and
// what was written before it stays readable.
TEST(BdfWriter, RefusalsAndWriteFailures) {
  const bdf::FileSpec spec = amplifier_spec(0x88000000u, 2048);
  const std::string path = temp_path("exists.bdf");
  put_bytes(path, {1, 2, 3});
  std::string error;
  {
    bdf::Writer w;
    EXPECT_EQ(bdf::writer_open(w, path, spec, false, error), bdf::OpenResult::exists);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(file_bytes(path).size(), 3u);
    EXPECT_FALSE(bdf::writer_close(w, error));
    EXPECT_EQ(bdf::writer_open(w, path, spec, true, error), bdf::OpenResult::ok) << error;
    EXPECT_TRUE(bdf::writer_close(w, error)) << error;
    EXPECT_EQ(file_bytes(path).size(), 256u * 282);
  }
  bdf::FileSpec bad[7] = {spec, spec, spec, spec, spec, spec, spec};
  bad[0].signals[3].label = "ABCDEFGHIJKLMNOPQ";
  bad[1].signals[0].source_word = 282;
  bad[2].record_sweeps = 2049;
  bad[3].rate = 0;
  bad[4].signals[1].digital_max = bad[4].signals[1].digital_min;
  bad[5].signals.clear();
  bad[6].rate = 3;
  bad[6].record_sweeps = 1;  // 1/3 s has no exact decimal
  for (const bdf::FileSpec& b : bad) {
    bdf::Writer w;
    const std::string refused = temp_path("refused.bdf");
    std::remove(refused.c_str());
    EXPECT_EQ(bdf::writer_open(w, refused, b, true, error), bdf::OpenResult::failed);
    EXPECT_NE(error.find(refused), std::string::npos) << error;
    EXPECT_TRUE(file_bytes(refused).empty());
  }
#if defined(__linux__)
  {
    bdf::Writer w;
    EXPECT_EQ(bdf::writer_open(w, "/dev/full", spec, true, error), bdf::OpenResult::failed);
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
    EXPECT_FALSE(bdf::writer_close(w, error));
  }
#endif
#ifndef _WIN32
  {
    // A file-size limit of 2.5 records: the third record fails.
    const std::string limited = temp_path("limited.bdf");
    std::remove(limited.c_str());
    const ampsim::Generator gen(282, 0x88000000u, 2048);
    const std::vector<int32_t> words = bdftest::sweeps(gen, 0, 3 * 2048);
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 256 * 282 + 2048 * 281 * 3 * 5 / 2;
    setrlimit(RLIMIT_FSIZE, &small);
    bdf::Writer w;
    ASSERT_EQ(bdf::writer_open(w, limited, spec, true, error), bdf::OpenResult::ok) << error;
    const bool first = bdf::writer_append(w, words.data(), 2 * 2048, error);
    const bool third = bdf::writer_append(w, words.data() + 2 * 2048 * 282, 2048, error);
    const std::string message = error;
    const bool again = bdf::writer_append(w, words.data(), 1, error);
    const bool closed = bdf::writer_close(w, error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_TRUE(first);
    EXPECT_FALSE(third);
    EXPECT_NE(message.find("Cannot write " + limited), std::string::npos) << message;
    EXPECT_FALSE(again);
    EXPECT_FALSE(closed);
    EXPECT_EQ(error, message);
    bdf::Reader r;
    ASSERT_TRUE(bdf::reader_open(r, limited, error)) << error;
    EXPECT_EQ(r.records, 2);
    expect_sweeps(r, spec, gen, 2 * 2048);
  }
#endif
}

}  // namespace
