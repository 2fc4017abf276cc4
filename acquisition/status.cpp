#include "acquisition/status.h"

#include <cstdio>

namespace acquisition {

namespace {

// Layouts by speed mode, {total, sync, trigger, EEG, ExG, extra}.
constexpr ChannelLayout MK1_LAYOUTS[8] = {
    {258, 1, 1, 256, 0, 0}, {130, 1, 1, 128, 0, 0}, {66, 1, 1, 64, 0, 0},  {34, 1, 1, 32, 0, 0},
    {258, 1, 1, 232, 8, 16}, {130, 1, 1, 104, 8, 16}, {66, 1, 1, 40, 8, 16}, {34, 1, 1, 8, 8, 16},
};
// Mk2 speed mode 7 has 314 words per sweep (272 extra), and speed modes 0 to
// 3 count their 608 data channels as ExG.
constexpr ChannelLayout MK2_LAYOUTS[9] = {
    {610, 1, 1, 0, 608, 0},  {610, 1, 1, 0, 608, 0},  {610, 1, 1, 0, 608, 0},
    {610, 1, 1, 0, 608, 0},  {282, 1, 1, 256, 8, 16}, {154, 1, 1, 128, 8, 16},
    {90, 1, 1, 64, 8, 16},   {314, 1, 1, 32, 8, 272}, {314, 1, 1, 280, 8, 24},
};

}  // namespace

SpeedModeError decode_amplifier_status(uint32_t raw, AmplifierStatus& out) {
  out = AmplifierStatus();
  const uint32_t status = raw >> 8;
  out.status = status;
  out.mk2 = (status >> 23) & 1u;
  out.speed_mode = ((status >> 17) & 1u) | (((status >> 18) & 1u) << 1) | (((status >> 19) & 1u) << 2) |
                   (((status >> 21) & 1u) << 3);
  out.battery_low = (status >> 22) & 1u;

  if (!out.mk2 && out.speed_mode == 8) return SpeedModeError::mk1_mode8;
  if (out.speed_mode >= 9) return out.mk2 ? SpeedModeError::mk2_reserved : SpeedModeError::mk1_reserved;

  out.sampling_rate = 2048u << (out.speed_mode % 4);
  out.layout = out.mk2 ? MK2_LAYOUTS[out.speed_mode] : MK1_LAYOUTS[out.speed_mode];
  return SpeedModeError::none;
}

const char* speed_mode_message(SpeedModeError error) {
  switch (error) {
    case SpeedModeError::mk1_mode8:
      return "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 8); recommended is 4.";
    case SpeedModeError::mk2_reserved:
      return "BioSemi amplifier speed mode wheel must be between positions 0 and 8 (currently 9 = Reserved); "
             "recommended is 4.";
    case SpeedModeError::mk1_reserved:
      return "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 9 = Reserved); "
             "recommended is 4.";
    case SpeedModeError::none:
      break;
  }
  return nullptr;
}

void channel_label(const ChannelLayout& layout, uint32_t word, char (&label)[LABEL_BYTES]) {
  label[0] = '\0';
  const uint32_t eeg_first = layout.sync + layout.trigger;
  const uint32_t exg_first = eeg_first + layout.eeg;
  const uint32_t extra_first = exg_first + layout.exg;
  if (word >= layout.total) return;
  if (word < layout.sync) {
    std::snprintf(label, LABEL_BYTES, "Sync");
  } else if (word < eeg_first) {
    std::snprintf(label, LABEL_BYTES, "Status");
  } else if (word < exg_first) {
    const uint32_t k = word - eeg_first;
    std::snprintf(label, LABEL_BYTES, "%c%u", static_cast<char>('A' + k / 32 % 26), k % 32 + 1);
  } else if (word < extra_first) {
    std::snprintf(label, LABEL_BYTES, "EXG%u", word - exg_first + 1);
  } else {
    std::snprintf(label, LABEL_BYTES, "EXTRA%u", word - extra_first + 1);
  }
}

}  // namespace acquisition
