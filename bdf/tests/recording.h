// What the tests, the test-file tool and the benchmarks record: the sweeps
// of the simulated amplifier, every word but the sync word, Status last, as
// the acquisition's recorder lays them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/simulator/sweeps.h"
#include "acquisition/status.h"
#include "bdf/writer.h"

namespace bdftest {

// The file spec of a layout's sweeps: words 2 to total-1 under their
// channel labels, then the status word.
inline bdf::FileSpec amplifier_spec(uint32_t raw_status, int32_t rate) {
  acquisition::AmplifierStatus st;
  acquisition::decode_amplifier_status(raw_status, st);
  bdf::FileSpec spec;
  spec.patient = "X X X X";
  spec.recording = "Startdate 09-DEC-2024 X eegmex ampsim";
  spec.year = 2024;
  spec.month = 12;
  spec.day = 9;
  spec.hour = 13;
  spec.minute = 5;
  spec.second = 7;
  spec.rate = rate;
  spec.sweep_words = static_cast<int32_t>(st.layout.total);
  for (uint32_t w = 2; w < st.layout.total; ++w) {
    char label[acquisition::LABEL_BYTES];
    acquisition::channel_label(st.layout, w, label);
    spec.signals.push_back(bdf::amplifier_signal(label, static_cast<int32_t>(w)));
  }
  spec.signals.push_back(bdf::status_signal(1));
  spec.sync_seconds = 0;
  return spec;
}

// Sweeps first .. first+n-1 of the generator, word after word.
inline std::vector<int32_t> sweeps(const ampsim::Generator& gen, uint64_t first, uint64_t n) {
  std::vector<int32_t> words(static_cast<size_t>(n * gen.channels));
  for (uint64_t k = 0; k < n; ++k)
    gen.sweep(first + k, reinterpret_cast<uint32_t*>(words.data() + k * gen.channels));
  return words;
}

}  // namespace bdftest
