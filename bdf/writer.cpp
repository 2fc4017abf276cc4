#include "bdf/writer.h"

#include <cmath>
#include <cstring>

#include "bdf/file.h"
#include "bdf/format.h"
#include "bdf/pack.h"

namespace bdf {

SignalSpec amplifier_signal(const std::string& label, int32_t source_word) {
  SignalSpec s;
  s.label = label;
  s.unit = "uV";
  s.physical_min = -262144;
  s.physical_max = 262143;
  s.source_word = source_word;
  return s;
}

SignalSpec status_signal(int32_t source_word) {
  SignalSpec s;
  s.label = "Status";
  s.transducer = "Triggers and Status";
  s.unit = "Boolean";
  s.physical_min = -8388608;
  s.physical_max = 8388607;
  s.source_word = source_word;
  return s;
}

int32_t record_sweeps_for(int32_t rate, int32_t signal_count) {
  if (rate <= 0) return 0;
  const int64_t sweep_bytes = SAMPLE_BYTES * (signal_count > 0 ? signal_count : 1);
  const auto fits = [&](int64_t n) {
    return n * sweep_bytes <= RECORD_BYTES_LIMIT && !exact_ratio_text(n, rate, 8).empty();
  };
  // A record of 1/k s, k as small as the limit allows, so that every
  // second of the file starts a record; else the longest exact record.
  for (int64_t k = 1; k <= rate; ++k)
    if (rate % k == 0 && fits(rate / k)) return static_cast<int32_t>(rate / k);
  for (int64_t n = rate; n >= 1; --n)
    if (fits(n)) return static_cast<int32_t>(n);
  return 1;
}

namespace {

// Why a spec cannot make a header, or empty.
std::string spec_problem(const FileSpec& spec) {
  char text[256];
  if (spec.rate < 1) return "the rate must be at least 1 sweep per second";
  if (spec.sweep_words < 1) return "a sweep must have at least one word";
  if (spec.signals.empty() || spec.signals.size() > static_cast<size_t>(MAX_SIGNALS))
    return "a file holds 1 to 9999 signals";
  if (spec.patient.size() > 80 || spec.recording.size() > 80)
    return "the patient and recording fields hold at most 80 characters";
  if (spec.record_sweeps < 0 || spec.record_sweeps > spec.rate)
    return "a data record holds 1 sweep to the sweeps of one second";
  if (!(spec.sync_seconds >= 0)) return "the sync interval must not be negative";
  const int32_t record_sweeps =
      spec.record_sweeps ? spec.record_sweeps : record_sweeps_for(spec.rate, static_cast<int32_t>(spec.signals.size()));
  if (exact_ratio_text(record_sweeps, spec.rate, 8).empty()) {
    std::snprintf(text, sizeof text, "a record of %d sweeps at %d Hz lasts a time that 8 characters cannot hold exactly",
                  record_sweeps, spec.rate);
    return text;
  }
  for (size_t i = 0; i < spec.signals.size(); ++i) {
    const SignalSpec& s = spec.signals[i];
    const char* what = nullptr;
    if (s.label.size() > 16)
      what = "its label is longer than 16 characters";
    else if (s.transducer.size() > 80 || s.prefilter.size() > 80)
      what = "its transducer or prefilter is longer than 80 characters";
    else if (s.unit.size() > 8)
      what = "its unit is longer than 8 characters";
    else if (s.source_word < 0 || s.source_word >= spec.sweep_words)
      what = "its source word lies outside the sweep";
    else if (!(s.digital_min >= -8388608 && s.digital_min < s.digital_max && s.digital_max <= 8388607))
      what = "its digital range is not an increasing range of 24-bit values";
    else if (!(std::isfinite(s.physical_min) && std::isfinite(s.physical_max) && s.physical_min != s.physical_max))
      what = "its physical range is empty or not finite";
    if (what) {
      std::snprintf(text, sizeof text, "signal %zu (%.16s): %s", i + 1, s.label.c_str(), what);
      return text;
    }
  }
  return std::string();
}

bool fail(Writer& w, const std::string& what, std::string& error) {
  w.failure = "Cannot write " + w.path + ": " + what;
  error = w.failure;
  return false;
}

// Writes the filled record at the file's end, then its new record count.
bool write_record(Writer& w, std::string& error) {
  const int64_t rb = static_cast<int64_t>(w.record.size());
  const int64_t header_bytes = MAIN_HEADER_BYTES + SIGNAL_HEADER_BYTES * static_cast<int64_t>(w.spec.signals.size());
  if (!seek_to(w.file, header_bytes + w.records * rb) ||
      std::fwrite(w.record.data(), 1, w.record.size(), w.file) != w.record.size())
    return fail(w, system_reason(), error);
  w.records += 1;
  w.sweeps += w.spec.record_sweeps;
  w.fill = 0;
  char count[RECORD_COUNT_BYTES];
  format_record_count(w.records, count);
  if (!seek_to(w.file, RECORD_COUNT_OFFSET) || std::fwrite(count, 1, RECORD_COUNT_BYTES, w.file) != RECORD_COUNT_BYTES)
    return fail(w, system_reason(), error);
  if (w.sync_records > 0 && ++w.unsynced_records >= w.sync_records) {
    w.unsynced_records = 0;
    if (!sync_file(w.file)) return fail(w, system_reason(), error);
  }
  return true;
}

}  // namespace

Writer::~Writer() {
  if (file) std::fclose(file);
}

OpenResult writer_open(Writer& w, const std::string& path, const FileSpec& spec, bool overwrite, std::string& error) {
  if (w.file) std::fclose(w.file);
  w.file = nullptr;
  w.records = w.sweeps = w.padded = 0;
  w.fill = 0;
  w.unsynced_records = 0;
  w.failure.clear();
  w.path = path;
  const std::string problem = spec_problem(spec);
  if (!problem.empty()) {
    w.failure = "Cannot record to " + path + ": " + problem;
    error = w.failure;
    return OpenResult::failed;
  }
  w.spec = spec;
  if (w.spec.record_sweeps == 0)
    w.spec.record_sweeps = record_sweeps_for(spec.rate, static_cast<int32_t>(spec.signals.size()));

  Header h;
  h.patient = spec.patient;
  h.recording = spec.recording;
  h.start_date = format_date(spec.year, spec.month, spec.day);
  h.start_time = format_time(spec.hour, spec.minute, spec.second);
  h.reserved = "24BIT";
  h.records = 0;
  h.record_seconds = static_cast<double>(w.spec.record_sweeps) / spec.rate;
  w.sources.clear();
  for (const SignalSpec& s : spec.signals) {
    SignalHeader sig;
    sig.label = s.label;
    sig.transducer = s.transducer;
    sig.unit = s.unit;
    sig.prefilter = s.prefilter;
    sig.physical_min = s.physical_min;
    sig.physical_max = s.physical_max;
    sig.digital_min = s.digital_min;
    sig.digital_max = s.digital_max;
    sig.samples = w.spec.record_sweeps;
    h.signals.push_back(sig);
    w.sources.push_back(s.source_word);
  }
  std::vector<unsigned char> bytes = format_header(h);
  // The duration field holds the exact ratio, not a rounded double.
  const std::string duration = exact_ratio_text(w.spec.record_sweeps, spec.rate, 8);
  std::memset(&bytes[RECORD_DURATION_OFFSET], ' ', 8);
  std::memcpy(&bytes[RECORD_DURATION_OFFSET], duration.data(), duration.size());

  std::string reason;
  const CreateResult created = create_file(path, overwrite, w.file, reason);
  if (created != CreateResult::ok) {
    w.failure = (created == CreateResult::exists ? path + " exists already: " : "Cannot create " + path + ": ") + reason;
    error = w.failure;
    return created == CreateResult::exists ? OpenResult::exists : OpenResult::failed;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), w.file) != bytes.size()) {
    fail(w, system_reason(), error);
    std::fclose(w.file);
    w.file = nullptr;
    return OpenResult::failed;
  }
  w.record.assign(static_cast<size_t>(record_bytes(h)), 0);
  const double records_per_second = static_cast<double>(spec.rate) / w.spec.record_sweeps;
  w.sync_records = spec.sync_seconds > 0
                       ? static_cast<int64_t>(std::ceil(spec.sync_seconds * records_per_second - 1e-9))
                       : 0;
  if (spec.sync_seconds > 0 && w.sync_records < 1) w.sync_records = 1;
  return OpenResult::ok;
}

bool writer_append(Writer& w, const int32_t* sweeps, int64_t count, std::string& error) {
  if (!w.failure.empty()) {
    error = w.failure;
    return false;
  }
  if (!w.file) {
    error = "Cannot write " + w.path + ": the file is not open";
    return false;
  }
  const int32_t rs = w.spec.record_sweeps;
  while (count > 0) {
    const int64_t n = count < rs - w.fill ? count : rs - w.fill;
    pack_sweeps(sweeps, n, w.spec.sweep_words, w.sources.data(), static_cast<int32_t>(w.sources.size()), rs, w.fill,
                w.record.data());
    w.fill += static_cast<int32_t>(n);
    sweeps += n * w.spec.sweep_words;
    count -= n;
    if (w.fill == rs && !write_record(w, error)) return false;
  }
  return true;
}

int64_t writer_pending(const Writer& w) { return w.fill; }

bool writer_close(Writer& w, std::string& error) {
  bool ok = w.failure.empty();
  if (w.file && ok && w.fill > 0) {
    const int32_t rs = w.spec.record_sweeps;
    const int32_t missing = rs - w.fill;
    pad_record(static_cast<int32_t>(w.sources.size()), rs, w.fill, w.record.data());
    w.fill = rs;
    ok = write_record(w, error);
    if (ok) w.padded += missing;
  }
  if (w.file) {
    if (ok && !sync_file(w.file)) ok = fail(w, system_reason(), error);
    if (std::fclose(w.file) != 0 && ok) ok = fail(w, system_reason(), error);
    w.file = nullptr;
  }
  if (!ok) error = w.failure;
  return ok;
}

}  // namespace bdf
