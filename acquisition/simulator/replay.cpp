#include "acquisition/simulator/replay.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquisition/simulator/sweeps.h"

namespace ampsim {

namespace {

// Sweeps read from the file at a time.
constexpr int64_t CHUNK_SWEEPS = 2048;
// Status bits the layout decides (speed mode wheel, model); the start
// decodes them from the status word.
constexpr uint32_t LAYOUT_BITS = SPEED_MODE_BITS | 0x80000000u;

// The raw status word of a layout: model bit and speed mode.
uint32_t layout_status(bool mk2, uint32_t mode) { return with_speed_mode(mk2 ? 0x80000000u : 0u, mode); }

// Maps every word of the layout to a column of r.signals by label; false
// when the file has a signal that no word carries.
bool map_words(Replay& r, int32_t status_signal) {
  const size_t ns = r.reader.header.signals.size();
  std::vector<bool> used(ns, false);
  r.signals.assign(1, status_signal);
  used[static_cast<size_t>(status_signal)] = true;
  r.word_column.assign(r.layout.total, -1);
  r.word_column[1] = 0;
  for (uint32_t w = 2; w < r.layout.total; ++w) {
    char label[acquisition::LABEL_BYTES];
    acquisition::channel_label(r.layout, w, label);
    const int32_t s = bdf::find_signal(r.reader, label);
    if (s < 0 || used[static_cast<size_t>(s)]) continue;
    used[static_cast<size_t>(s)] = true;
    r.word_column[w] = static_cast<int32_t>(r.signals.size());
    r.signals.push_back(s);
  }
  for (size_t s = 0; s < ns; ++s)
    if (!used[s]) return false;
  return true;
}

}  // namespace

bool replay_open(Replay& r, const std::string& path, bool loop, std::string& reason) {
  r.loop = loop;
  r.chunk_first = -1;
  r.chunk_count = 0;
  std::string error;
  if (!bdf::reader_open(r.reader, path, error)) {
    reason = "AMPSIM_REPLAY: " + error;
    return false;
  }
  const std::string file = "AMPSIM_REPLAY=" + path + ": ";
  const int32_t status = bdf::find_signal(r.reader, "Status");
  if (status < 0) {
    reason = file + "the file has no channel labelled Status";
    return false;
  }
  const int32_t spr = r.reader.header.signals[static_cast<size_t>(status)].samples;
  for (const bdf::SignalHeader& s : r.reader.header.signals) {
    if (s.samples != spr) {
      reason = file + "its channels differ in rate";
      return false;
    }
  }
  const double rate = bdf::signal_rate(r.reader, status);
  r.sweeps = bdf::signal_samples(r.reader, status);
  if (r.sweeps < 1) {
    reason = file + "the file holds no whole data record";
    return false;
  }
  int32_t first = 0;
  if (!bdf::read_words(r.reader, {status}, 0, 1, &first, error)) {
    reason = "AMPSIM_REPLAY: " + error;
    return false;
  }

  // The layout the recorded status word names, when it runs at the file's rate.
  acquisition::AmplifierStatus decoded;
  r.status = static_cast<uint32_t>(first);
  r.rebuild_status = false;
  bool named = acquisition::decode_amplifier_status(r.status, decoded) == acquisition::SpeedModeError::none &&
               decoded.sampling_rate == rate;
  if (named) {
    r.layout = decoded.layout;
    r.rate = decoded.sampling_rate;
    named = map_words(r, status);
  }
  if (!named) {
    // Else the first layout at the file's rate with a channel of every label.
    bool found = false;
    for (int mk2 = 1; mk2 >= 0 && !found; --mk2) {
      for (uint32_t mode : {4u, 5u, 6u, 7u, 8u, 0u, 1u, 2u, 3u}) {
        const uint32_t candidate = layout_status(mk2 != 0, mode);
        if (acquisition::decode_amplifier_status(candidate, decoded) != acquisition::SpeedModeError::none ||
            decoded.sampling_rate != rate)
          continue;
        r.layout = decoded.layout;
        if (map_words(r, status)) {
          r.rate = decoded.sampling_rate;
          r.status = (r.status & ~LAYOUT_BITS) | candidate;
          r.rebuild_status = true;
          found = true;
          break;
        }
      }
    }
    if (!found) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "no amplifier layout runs at %g Hz with a channel of each of the file's %zu labels", rate,
                    r.reader.header.signals.size());
      reason = file + text;
      return false;
    }
  }
  r.chunk.assign(static_cast<size_t>(CHUNK_SWEEPS) * r.signals.size(), 0);
  // Everything the writer thread uses is allocated here.
  r.reader.buffer.resize(static_cast<size_t>(r.reader.record_bytes));
  r.reader.rows.resize(r.signals.size());
  return true;
}

bool replay_sweep(Replay& r, uint64_t k, uint32_t* words) {
  int64_t t = static_cast<int64_t>(k);
  if (t >= r.sweeps) {
    if (!r.loop) return false;
    t %= r.sweeps;
  }
  if (t < r.chunk_first || t >= r.chunk_first + r.chunk_count) {
    const int64_t n = r.sweeps - t < CHUNK_SWEEPS ? r.sweeps - t : CHUNK_SWEEPS;
    std::string error;
    if (!bdf::read_words(r.reader, r.signals, t, n, r.chunk.data(), error)) {
      r.chunk_first = -1;
      r.chunk_count = 0;
      return false;
    }
    r.chunk_first = t;
    r.chunk_count = n;
  }
  const int32_t* sweep = &r.chunk[static_cast<size_t>((t - r.chunk_first) * static_cast<int64_t>(r.signals.size()))];
  words[0] = SYNC_WORD;
  const uint32_t status = static_cast<uint32_t>(sweep[0]);
  words[1] = r.rebuild_status ? (status & ~LAYOUT_BITS) | (r.status & LAYOUT_BITS) : status;
  for (uint32_t w = 2; w < r.layout.total; ++w) {
    const int32_t c = r.word_column[w];
    words[w] = c < 0 ? 0u : static_cast<uint32_t>(sweep[c]);
  }
  return true;
}

}  // namespace ampsim
