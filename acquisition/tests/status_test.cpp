#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "acquisition/status.h"

namespace {

using acquisition::AmplifierStatus;
using acquisition::SpeedModeError;
using acquisition::decode_amplifier_status;

// Raw status word for a model, speed mode and battery state.
uint32_t raw_word(bool mk2, uint32_t mode, bool battery_low) {
  uint32_t raw = 0;
  if (mode & 1) raw |= 1u << 25;
  if (mode & 2) raw |= 1u << 26;
  if (mode & 4) raw |= 1u << 27;
  if (mode & 8) raw |= 1u << 29;
  if (battery_low) raw |= 1u << 30;
  if (mk2) raw |= 1u << 31;
  return raw;
}

TEST(DecodeStatus, LayoutTableForEveryValidMode) {
  struct Row { bool mk2; uint32_t mode, total, eeg, exg, extra, rate; };
  const Row rows[] = {
      {false, 0, 258, 256, 0, 0, 2048},   {false, 1, 130, 128, 0, 0, 4096}, {false, 2, 66, 64, 0, 0, 8192},
      {false, 3, 34, 32, 0, 0, 16384},    {false, 4, 258, 232, 8, 16, 2048}, {false, 5, 130, 104, 8, 16, 4096},
      {false, 6, 66, 40, 8, 16, 8192},    {false, 7, 34, 8, 8, 16, 16384},   {true, 0, 610, 0, 608, 0, 2048},
      {true, 1, 610, 0, 608, 0, 4096},    {true, 2, 610, 0, 608, 0, 8192},   {true, 3, 610, 0, 608, 0, 16384},
      {true, 4, 282, 256, 8, 16, 2048},   {true, 5, 154, 128, 8, 16, 4096},  {true, 6, 90, 64, 8, 16, 8192},
      {true, 7, 314, 32, 8, 272, 16384},  {true, 8, 314, 280, 8, 24, 2048},
  };
  for (const Row& r : rows) {
    for (bool low : {false, true}) {
      AmplifierStatus s;
      const uint32_t raw = raw_word(r.mk2, r.mode, low) | 0x00FFFF00u;  // trigger bits must not matter
      ASSERT_EQ(decode_amplifier_status(raw, s), SpeedModeError::none) << r.mk2 << " " << r.mode;
      EXPECT_EQ(s.status, raw >> 8);
      EXPECT_EQ(s.mk2, r.mk2 ? 1u : 0u);
      EXPECT_EQ(s.speed_mode, r.mode);
      EXPECT_EQ(s.battery_low, low ? 1u : 0u);
      EXPECT_EQ(s.sampling_rate, r.rate);
      EXPECT_EQ(s.layout.total, r.total);
      EXPECT_EQ(s.layout.sync, 1u);
      EXPECT_EQ(s.layout.trigger, 1u);
      EXPECT_EQ(s.layout.eeg, r.eeg);
      EXPECT_EQ(s.layout.exg, r.exg);
      EXPECT_EQ(s.layout.extra, r.extra);
      EXPECT_EQ(s.layout.total, 2 + r.eeg + r.exg + r.extra);
    }
  }
}

TEST(DecodeStatus, SingleBits) {
  AmplifierStatus s;
  ASSERT_EQ(decode_amplifier_status(0, s), SpeedModeError::none);
  EXPECT_EQ(s.layout.total, 258u);
  EXPECT_EQ(s.layout.eeg, 256u);
  EXPECT_EQ(s.battery_low, 0u);

  ASSERT_EQ(decode_amplifier_status(0x80000000u, s), SpeedModeError::none);
  EXPECT_EQ(s.mk2, 1u);
  EXPECT_EQ(s.layout.total, 610u);
  EXPECT_EQ(s.layout.exg, 608u);

  ASSERT_EQ(decode_amplifier_status(0xA0000000u, s), SpeedModeError::none);  // bits 31 and 29
  EXPECT_EQ(s.speed_mode, 8u);
  EXPECT_EQ(s.sampling_rate, 2048u);
  EXPECT_EQ(s.layout.total, 314u);

  ASSERT_EQ(decode_amplifier_status(1u << 28, s), SpeedModeError::none);  // status bit 20 is unused
  EXPECT_EQ(s.speed_mode, 0u);
  EXPECT_EQ(s.layout.total, 258u);

  ASSERT_EQ(decode_amplifier_status(0xFFu, s), SpeedModeError::none);  // low byte is unused
  EXPECT_EQ(s.status, 0u);
}

TEST(DecodeStatus, SpeedModeErrors) {
  AmplifierStatus s;
  EXPECT_EQ(decode_amplifier_status(1u << 29, s), SpeedModeError::mk1_mode8);
  EXPECT_EQ(s.speed_mode, 8u);
  EXPECT_EQ(s.mk2, 0u);
  EXPECT_EQ(s.layout.total, 0u);
  EXPECT_EQ(std::string(acquisition::speed_mode_message(SpeedModeError::mk1_mode8)),
            "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 8); recommended is 4.");
  for (uint32_t mode = 9; mode <= 15; ++mode) {
    EXPECT_EQ(decode_amplifier_status(raw_word(false, mode, false), s), SpeedModeError::mk1_reserved) << mode;
    EXPECT_EQ(s.speed_mode, mode);
    EXPECT_EQ(decode_amplifier_status(raw_word(true, mode, true), s), SpeedModeError::mk2_reserved) << mode;
    EXPECT_EQ(s.battery_low, 1u);
  }
  EXPECT_EQ(decode_amplifier_status((1u << 29) | (1u << 25), s), SpeedModeError::mk1_reserved);
  EXPECT_EQ(std::string(acquisition::speed_mode_message(SpeedModeError::mk1_reserved)),
            "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 9 = Reserved); "
            "recommended is 4.");
  EXPECT_EQ(std::string(acquisition::speed_mode_message(SpeedModeError::mk2_reserved)),
            "BioSemi amplifier speed mode wheel must be between positions 0 and 8 (currently 9 = Reserved); "
            "recommended is 4.");
  EXPECT_EQ(acquisition::speed_mode_message(SpeedModeError::none), nullptr);
}

}  // namespace

TEST(ChannelLabels, MakerNamingAcrossLayouts) {
  auto label = [](const acquisition::ChannelLayout& layout, uint32_t word) {
    char text[acquisition::LABEL_BYTES];
    acquisition::channel_label(layout, word, text);
    return std::string(text);
  };
  AmplifierStatus mode4, mode8, mode0;
  decode_amplifier_status(raw_word(true, 4, false), mode4);
  decode_amplifier_status(raw_word(true, 8, false), mode8);
  decode_amplifier_status(raw_word(true, 0, false), mode0);
  const std::vector<std::pair<uint32_t, std::string>> mk2_mode4 = {
      {0, "Sync"}, {1, "Status"}, {2, "A1"}, {33, "A32"}, {34, "B1"}, {257, "H32"},
      {258, "EXG1"}, {265, "EXG8"}, {266, "EXTRA1"}, {281, "EXTRA16"}, {282, ""}};
  for (const auto& [word, text] : mk2_mode4) EXPECT_EQ(label(mode4.layout, word), text) << word;
  EXPECT_EQ(label(mode8.layout, 2 + 256), "I1");     // 280 EEG channels go on past H32
  EXPECT_EQ(label(mode8.layout, 2 + 279), "I24");
  EXPECT_EQ(label(mode0.layout, 2), "EXG1");         // 608 ExG, no EEG
  EXPECT_EQ(label(mode0.layout, 609), "EXG608");
}
