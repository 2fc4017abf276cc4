// Decoding of the amplifier's status word into sampling rate and channel
// layout.  Plain C++; no host header.
//
// The raw status word is word 1 of every sweep.  Its low 8 bits are unused;
// status = raw >> 8.  Status bits 17, 18, 19 and 21 are the speed mode wheel
// (values 1, 2, 4, 8), bit 22 is set when the battery is low, bit 23 when the
// amplifier is a Mk2 (clear: Mk1).
#pragma once

#include <cstdint>

namespace acquisition {

struct ChannelLayout {
  uint32_t total = 0;  // words per sweep
  uint32_t sync = 0;
  uint32_t trigger = 0;
  uint32_t eeg = 0;
  uint32_t exg = 0;
  uint32_t extra = 0;  // total - sync - trigger - eeg - exg
};

struct AmplifierStatus {
  uint32_t status = 0;  // the 24-bit value
  uint32_t mk2 = 0;
  uint32_t speed_mode = 0;  // 0 to 15
  uint32_t battery_low = 0;
  uint32_t sampling_rate = 0;  // Hz
  ChannelLayout layout;
};

enum class SpeedModeError {
  none,
  mk1_mode8,         // Mk1 with the wheel at 8
  mk2_reserved,      // Mk2 with the wheel at 9 or more
  mk1_reserved,      // Mk1 with the wheel at 9 or more
};

// Decodes the raw word.  On a speed-mode error, status, mk2, speed_mode and
// battery_low are filled and the rest stays 0.
SpeedModeError decode_amplifier_status(uint32_t raw, AmplifierStatus& out);

// The message of a speed-mode error (null for none).
const char* speed_mode_message(SpeedModeError error);

// Characters of the longest channel label, terminating zero included.
constexpr int LABEL_BYTES = 16;

// The label of word `word` (0-based) of a sweep of this layout:
//   "Sync", "Status"                     the sync and status words
//   "A1" ... "A32", "B1" ... "H32", "I1"  the EEG channels, 32 per letter, in
//                                        the amplifier maker's naming
//   "EXG1" ... "EXG8"                    the ExG channels (608 in Mk2 speed
//                                        modes 0 to 3: EXG1 to EXG608)
//   "EXTRA1" ... "EXTRAn"                the extra channels (sensors and
//                                        auxiliary inputs)
// A word beyond the layout gets an empty label.
void channel_label(const ChannelLayout& layout, uint32_t word, char (&label)[LABEL_BYTES]);

}  // namespace acquisition
