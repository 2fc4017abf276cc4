// Writes a recording of the simulated amplifier with our writer, and its
// reference, for the checks with the field's readers:
//   PREFIX.bdf     the file
//   PREFIX.words   the sweeps' words as the file stores them: int32,
//                  little-endian, sweep after sweep, each sweep the words of
//                  the file's signals in the file's order (Status last)
//   PREFIX.events  the trigger onsets, one line per onset: "sweep code"
//                  (sweep 1 = the file's first)
//
//   bdf_make_test_file PREFIX [--status RAW] [--seconds S] [--seed N]
//                      [--cut RECORDS]
// --status: the raw status word (default 0x88000000: 282 words at 2048 Hz);
// --seconds: the length (default 4), rounded up to whole records; --seed:
// the oddball paradigm's seed (default 1); --cut: cut the file as a kill
// does: RECORDS whole records, their count in the header, and half a record
// after them (the reference keeps every sweep).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bdf/file.h"
#include "bdf/format.h"
#include "bdf/tests/recording.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PREFIX [--status RAW] [--seconds S] [--seed N] [--cut RECORDS]\n", argv[0]);
    return 2;
  }
  const std::string prefix = argv[1];
  uint32_t raw = 0x88000000u;
  double seconds = 4;
  uint64_t seed = 1;
  long cut = -1;
  for (int k = 2; k + 1 < argc; k += 2) {
    const std::string option = argv[k];
    if (option == "--status")
      raw = static_cast<uint32_t>(std::strtoul(argv[k + 1], nullptr, 0));
    else if (option == "--seconds")
      seconds = std::atof(argv[k + 1]);
    else if (option == "--seed")
      seed = std::strtoull(argv[k + 1], nullptr, 0);
    else if (option == "--cut")
      cut = std::atol(argv[k + 1]);
    else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  acquisition::AmplifierStatus st;
  if (acquisition::decode_amplifier_status(raw, st) != acquisition::SpeedModeError::none) {
    std::fprintf(stderr, "status 0x%08x has no layout\n", raw);
    return 2;
  }
  const int32_t rate = static_cast<int32_t>(st.sampling_rate);
  const bdf::FileSpec spec = bdftest::amplifier_spec(raw, rate);
  const int32_t per_record = bdf::record_sweeps_for(rate, static_cast<int32_t>(spec.signals.size()));
  const uint64_t records = static_cast<uint64_t>(std::ceil(seconds * rate / per_record));
  const uint64_t n = records * static_cast<uint64_t>(per_record);
  const ampsim::Generator gen(st.layout.total, raw, rate, true, seed);
  const std::vector<int32_t> words = bdftest::sweeps(gen, 0, n);

  const std::string path = prefix + ".bdf";
  bdf::Writer w;
  std::string error;
  if (bdf::writer_open(w, path, spec, true, error) != bdf::OpenResult::ok ||
      !bdf::writer_append(w, words.data(), static_cast<int64_t>(n), error) || !bdf::writer_close(w, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::ofstream ref(prefix + ".words", std::ios::binary | std::ios::trunc);
  std::ofstream ev(prefix + ".events", std::ios::trunc);
  uint32_t previous = 0;
  std::vector<int32_t> sweep(spec.signals.size());
  for (uint64_t t = 0; t < n; ++t) {
    const int32_t* w = &words[t * gen.channels];
    for (size_t c = 0; c < spec.signals.size(); ++c) sweep[c] = w[spec.signals[c].source_word];
    ref.write(reinterpret_cast<const char*>(sweep.data()), static_cast<std::streamsize>(sweep.size() * 4));
    const uint32_t code = (static_cast<uint32_t>(w[1]) >> 8) & 0xFFFFu;
    if (code != 0 && code != previous) ev << (t + 1) << " " << code << "\n";
    previous = code;
  }

  if (cut >= 0) {
    const int64_t header = bdf::MAIN_HEADER_BYTES + bdf::SIGNAL_HEADER_BYTES * static_cast<int64_t>(spec.signals.size());
    const int64_t record = static_cast<int64_t>(spec.signals.size()) * per_record * bdf::SAMPLE_BYTES;
    std::FILE* f = bdf::open_file(path, true, error);
    char count[bdf::RECORD_COUNT_BYTES];
    bdf::format_record_count(cut, count);
    if (!f || !bdf::truncate_file(f, header + cut * record + record / 2) || !bdf::seek_to(f, bdf::RECORD_COUNT_OFFSET) ||
        std::fwrite(count, 1, sizeof count, f) != sizeof count || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot cut %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("%s: %llu sweeps of %zu signals at %d Hz%s\n", path.c_str(), static_cast<unsigned long long>(n),
              spec.signals.size(), rate, cut >= 0 ? " (cut)" : "");
  return 0;
}
