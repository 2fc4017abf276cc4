#include "bdf/reader.h"

#include <cstring>

#include "bdf/file.h"
#include "bdf/pack.h"

namespace bdf {

namespace {

// A read of one signal's samples in one record, at most this many bytes
// apart from the next selected signal's, is merged with it into one read.
constexpr int64_t MERGE_GAP = 64 * 1024;
// Sweeps of the status signal read at a time when looking for onsets.
constexpr int64_t EVENT_CHUNK = 1 << 16;

bool fail(const Reader& r, const std::string& what, std::string& error) {
  error = "Cannot read " + r.path + ": " + what;
  return false;
}

// Loads, of record `record`, the samples a .. b-1 (within the record) of the
// given signals into r.buffer (laid out as the whole record) and points
// r.rows[c] at sample a of signal c.
bool load_record(Reader& r, const std::vector<int32_t>& signals, int64_t record, int64_t a, int64_t b,
                 std::string& error) {
  if (r.buffer.size() < static_cast<size_t>(r.record_bytes)) r.buffer.resize(static_cast<size_t>(r.record_bytes));
  const int64_t base = r.header.header_bytes + record * r.record_bytes;
  // Runs of signals whose wanted bytes lie close together are read at once.
  size_t k = 0;
  while (k < signals.size()) {
    int64_t begin = r.signal_offset[signals[k]] + 3 * a;
    int64_t end = r.signal_offset[signals[k]] + 3 * b;
    size_t next = k + 1;
    while (next < signals.size()) {
      const int64_t nb = r.signal_offset[signals[next]] + 3 * a;
      const int64_t ne = r.signal_offset[signals[next]] + 3 * b;
      if (nb < begin - MERGE_GAP || nb > end + MERGE_GAP) break;
      if (nb < begin) begin = nb;
      if (ne > end) end = ne;
      ++next;
    }
    const size_t bytes = static_cast<size_t>(end - begin);
    if (!seek_to(r.file, base + begin) || std::fread(&r.buffer[static_cast<size_t>(begin)], 1, bytes, r.file) != bytes)
      return fail(r, std::ferror(r.file) ? system_reason() : "the file ended early", error);
    k = next;
  }
  for (size_t c = 0; c < signals.size(); ++c)
    r.rows[c] = &r.buffer[static_cast<size_t>(r.signal_offset[signals[c]] + 3 * a)];
  return true;
}

// Reads samples first .. first+count-1 of the signals record by record and
// hands each record's part to unpack(rows, n, sample index in the output).
template <class Unpack>
bool read_samples(Reader& r, const std::vector<int32_t>& signals, int64_t first, int64_t count, Unpack unpack,
                  std::string& error) {
  if (signals.empty() || count <= 0) return true;
  const int64_t spr = r.header.signals[signals[0]].samples;
  if (r.rows.size() < signals.size()) r.rows.resize(signals.size());
  int64_t done = 0;
  while (done < count) {
    const int64_t sample = first + done;
    const int64_t record = sample / spr;
    const int64_t a = sample % spr;
    const int64_t b = a + (count - done) < spr ? a + (count - done) : spr;
    if (!load_record(r, signals, record, a, b, error)) return false;
    unpack(r.rows.data(), b - a, done);
    done += b - a;
  }
  return true;
}

}  // namespace

Reader::~Reader() {
  if (file) std::fclose(file);
}

bool reader_open(Reader& r, const std::string& path, std::string& error) {
  reader_close(r);
  r.path = path;
  std::string reason;
  r.file = open_file(path, false, reason);
  if (!r.file) return fail(r, reason, error);
  unsigned char head[MAIN_HEADER_BYTES];
  if (std::fread(head, 1, sizeof head, r.file) != sizeof head)
    return fail(r, "it is shorter than a BDF header", error);
  if (!parse_main_header(head, r.header, reason)) {
    error = r.path + " " + reason;
    return false;
  }
  std::vector<unsigned char> signal_bytes(static_cast<size_t>(r.header.header_bytes - MAIN_HEADER_BYTES));
  if (std::fread(signal_bytes.data(), 1, signal_bytes.size(), r.file) != signal_bytes.size())
    return fail(r, "it is shorter than its header", error);
  if (!parse_signal_headers(signal_bytes.data(), r.header, reason)) {
    error = r.path + " " + reason;
    return false;
  }
  r.file_bytes = file_size(r.file);
  if (r.file_bytes < 0) return fail(r, system_reason(), error);
  r.signal_offset.clear();
  int64_t offset = 0;
  for (const SignalHeader& s : r.header.signals) {
    r.signal_offset.push_back(offset);
    offset += SAMPLE_BYTES * s.samples;
  }
  r.record_bytes = offset;
  r.records_present =
      r.file_bytes > r.header.header_bytes ? (r.file_bytes - r.header.header_bytes) / r.record_bytes : 0;
  const int64_t declared = r.header.records;
  r.records = declared >= 0 && declared <= r.records_present ? declared : r.records_present;
  return true;
}

void reader_close(Reader& r) {
  if (r.file) std::fclose(r.file);
  r.file = nullptr;
  r.header = Header();
  r.records = r.records_present = 0;
  r.signal_offset.clear();
}

double signal_rate(const Reader& r, int32_t signal) {
  return r.header.signals[signal].samples / r.header.record_seconds;
}

int64_t signal_samples(const Reader& r, int32_t signal) { return r.records * r.header.signals[signal].samples; }

int32_t find_signal(const Reader& r, const std::string& label) {
  std::string wanted = label;
  while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
  for (size_t s = 0; s < r.header.signals.size(); ++s)
    if (r.header.signals[s].label == wanted) return static_cast<int32_t>(s);
  return -1;
}

void signal_scaling(const SignalHeader& s, double& scale, double& offset) {
  if (s.digital_max == s.digital_min) {
    scale = 1;
    offset = 0;
    return;
  }
  scale = (s.physical_max - s.physical_min) / (static_cast<double>(s.digital_max) - s.digital_min);
  offset = s.physical_min - s.digital_min * scale;
}

bool read_words(Reader& r, const std::vector<int32_t>& signals, int64_t first, int64_t count, int32_t* out,
                std::string& error) {
  const int32_t channels = static_cast<int32_t>(signals.size());
  return read_samples(
      r, signals, first, count,
      [&](const unsigned char* const* rows, int64_t n, int64_t at) { unpack_words(rows, channels, n, out + at * channels); },
      error);
}

bool read_values(Reader& r, const std::vector<int32_t>& signals, int64_t first, int64_t count, double* out,
                 std::string& error) {
  const int32_t channels = static_cast<int32_t>(signals.size());
  std::vector<double> scale(signals.size()), offset(signals.size());
  for (size_t c = 0; c < signals.size(); ++c) signal_scaling(r.header.signals[signals[c]], scale[c], offset[c]);
  return read_samples(
      r, signals, first, count,
      [&](const unsigned char* const* rows, int64_t n, int64_t at) {
        unpack_values(rows, channels, n, scale.data(), offset.data(), out + at * channels);
      },
      error);
}

bool read_events(Reader& r, int32_t signal, int64_t first, int64_t count, std::vector<Event>& events,
                 std::string& error) {
  events.clear();
  if (count <= 0) return true;
  const std::vector<int32_t> one{signal};
  // The trigger value before the first sample asked for: that of the sample
  // before it, 0 before the file's first.
  uint32_t previous = 0;
  if (first > 0) {
    int32_t word = 0;
    if (!read_words(r, one, first - 1, 1, &word, error)) return false;
    previous = (static_cast<uint32_t>(word) >> 8) & 0xFFFFu;
  }
  std::vector<int32_t> words;
  for (int64_t done = 0; done < count;) {
    const int64_t n = count - done < EVENT_CHUNK ? count - done : EVENT_CHUNK;
    words.resize(static_cast<size_t>(n));
    if (!read_words(r, one, first + done, n, words.data(), error)) return false;
    for (int64_t t = 0; t < n; ++t) {
      const uint32_t code = (static_cast<uint32_t>(words[static_cast<size_t>(t)]) >> 8) & 0xFFFFu;
      if (code != 0 && code != previous) events.push_back(Event{first + done + t, code});
      previous = code;
    }
    done += n;
  }
  return true;
}

bool repair_file(const std::string& path, RepairReport& report, std::string& error) {
  report = RepairReport();
  Reader r;
  if (!reader_open(r, path, error)) return false;
  report.declared = r.header.records;
  report.records = r.records;
  const int64_t whole = r.header.header_bytes + r.records * r.record_bytes;
  report.dropped_bytes = r.file_bytes - whole;
  reader_close(r);
  if (report.declared == report.records && report.dropped_bytes == 0) return true;

  std::string reason;
  std::FILE* f = open_file(path, true, reason);
  if (!f) {
    error = "Cannot repair " + path + ": " + reason;
    return false;
  }
  char count[RECORD_COUNT_BYTES];
  format_record_count(report.records, count);
  bool ok = truncate_file(f, whole) && seek_to(f, RECORD_COUNT_OFFSET) &&
            std::fwrite(count, 1, RECORD_COUNT_BYTES, f) == RECORD_COUNT_BYTES && sync_file(f);
  if (!ok) error = "Cannot repair " + path + ": " + system_reason();
  if (std::fclose(f) != 0 && ok) {
    error = "Cannot repair " + path + ": " + system_reason();
    ok = false;
  }
  return ok;
}

}  // namespace bdf
