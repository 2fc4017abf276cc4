// What the simulated amplifier writes.  Every sweep is a pure function of
// its index, so that the writer thread can generate a sweep ahead of the one
// it publishes, a run can be reproduced to the bit, and the signal can be
// tested without a driver or a thread.  Plain C++; no host header.
//
// A sweep has (channels) 32-bit words:
//   word 0         the sync word 0xFFFFFF00
//   word 1         the status word: the configured raw word with an event
//                  code in raw bits 8-23 (status bits 0-15, the trigger
//                  inputs), held for the first 10 ms after each event and 0
//                  otherwise.  Without a paradigm: codes 1, 2, ... 254 in
//                  turn, one every half second.  Oddball paradigm: one event
//                  every quarter second, code 1 (standard) or 2 (target).
//   words 2 to C-2 the channels: a 24-bit sample shifted left by 8 (31.25 nV
//                  per step): a per-channel offset, a 10 Hz alpha rhythm, a
//                  22 Hz beta rhythm, 50 Hz line pickup and noise; with the
//                  oddball paradigm, plus the evoked responses on words 2 to
//                  33 (the first 32 EEG channels)
//   word C-1       the sweep counter: the sweep's index modulo 2^24 in the
//                  sample bits (shifted left by 8, low byte 0), so that a
//                  24-bit file keeps all of it and a recording proves its
//                  own continuity in any reader; it wraps to 0 after
//                  16777216 sweeps (17 minutes at 16384 Hz)
//
// The oddball responses, in microvolts at the centre of the channel block
// (half of it at the block's edges):
//   every event  a bump of 2 uV peaking 170 ms after the event (35 ms wide)
//   targets      in addition a bump of 5 uV peaking 300 ms after the event
//                (70 ms wide), its size and latency varying from trial to
//                trial (size 1 +- 0.5 times, latency +- 40 ms), so that
//                some targets barely answer
// A single trial's response lies below the rhythms and the noise; averages
// over a few tens of trials show it plainly.  Which events are targets (one
// in five on average) and how each response varies follow from the seed
// alone.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace ampsim {

constexpr uint32_t SYNC_WORD = 0xFFFFFF00u;
constexpr double PI = 3.14159265358979323846;
constexpr double STEPS_PER_UV = 32.0;  // 31.25 nV per step

// Raw status word bits of the speed mode wheel (values 1, 2, 4 at raw bits
// 25 to 27, value 8 at raw bit 29).
constexpr uint32_t SPEED_MODE_BITS = 0x2E000000u;

inline uint32_t with_speed_mode(uint32_t raw, uint32_t mode) {
  return (raw & ~SPEED_MODE_BITS) | ((mode & 7u) << 25) | ((mode & 8u) << 26);
}

// The raw status word that runs at `rate` with the wheel in the same group
// of four positions as `raw` (2048 Hz times 1, 2, 4 or 8), or false when no
// position runs at that rate.
inline bool status_for_rate(uint32_t raw, uint64_t rate, uint32_t& out) {
  const uint32_t mode = ((raw >> 25) & 7u) | ((raw >> 26) & 8u);
  for (uint32_t low = 0; low < 4; ++low) {
    if (rate == (2048u << low)) {
      out = with_speed_mode(raw, (mode & ~3u) | low);
      return true;
    }
  }
  return false;
}

inline uint64_t mix64(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

inline uint32_t mix(uint64_t x) { return static_cast<uint32_t>(mix64(x)); }

// Uniform in [0, 1) from 16 bits of h.
inline double unit(uint64_t h, int which) { return static_cast<double>((h >> (16 * which)) & 0xFFFFu) / 65536.0; }

// Roughly normal, mean 0 and standard deviation 1: four uniforms summed.
inline double about_normal(uint64_t h) {
  return (unit(h, 0) + unit(h, 1) + unit(h, 2) + unit(h, 3) - 2.0) * 1.7320508075688772;
}

constexpr uint32_t CODE_STANDARD = 1;
constexpr uint32_t CODE_TARGET = 2;
constexpr uint32_t RESPONSE_FIRST_WORD = 2;
constexpr uint32_t RESPONSE_CHANNELS = 32;

// Event j of the oddball sequence.
struct OddballEvent {
  bool target = false;
  double early_gain = 1.0;  // times the nominal early bump
  double late_gain = 0.0;   // times the nominal target bump
  int64_t late_shift = 0;   // sweeps later than the nominal target peak
};

inline OddballEvent oddball_event(uint64_t seed, uint64_t j, uint64_t rate) {
  const uint64_t base = mix64(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) + j * 0xD1B54A32D192ED03ull;
  OddballEvent e;
  e.target = mix64(base) % 5 == 0;
  e.early_gain = std::fmax(0.0, 1.0 + 0.3 * about_normal(mix64(base ^ 0x1111111111111111ull)));
  if (e.target) {
    e.late_gain = std::fmax(0.0, 1.0 + 0.5 * about_normal(mix64(base ^ 0x2222222222222222ull)));
    const double shift = (unit(mix64(base ^ 0x3333333333333333ull), 0) - 0.5) * 0.08;
    e.late_shift = static_cast<int64_t>(std::lround(shift * static_cast<double>(rate)));
  }
  return e;
}

struct Generator {
  uint32_t channels;
  uint32_t status;
  uint64_t rate;
  uint64_t alpha_step, beta_step, line_step;  // phase steps, 2^32 per cycle
  std::vector<int16_t> sine;      // sin(2 pi k / 4096) in 16-bit fixed point
  bool oddball;
  uint64_t seed;
  uint64_t quarter;               // sweeps between oddball events
  uint64_t max_shift;             // largest target latency shift, sweeps
  std::vector<double> early;      // bump of every event, steps, per sweep after it
  std::vector<double> late;       // target bump at its nominal latency
  std::vector<double> weight;     // per channel of the response block

  Generator(uint32_t c, uint32_t s, double r, bool with_oddball = false, uint64_t oddball_seed = 1)
      : channels(c), status(s), rate(static_cast<uint64_t>(r)), oddball(with_oddball), seed(oddball_seed) {
    if (rate == 0) rate = 1;
    alpha_step = static_cast<uint64_t>(10.0 / r * 4294967296.0);
    beta_step = static_cast<uint64_t>(22.0 / r * 4294967296.0);
    line_step = static_cast<uint64_t>(50.0 / r * 4294967296.0);
    // Built per generator: a function-local static here would be a unique
    // symbol, which keeps the library from ever being unloaded.
    sine.resize(4096);
    for (int k = 0; k < 4096; ++k) sine[k] = static_cast<int16_t>(std::lround(32767.0 * std::sin(2 * PI * k / 4096)));
    quarter = rate / 4 ? rate / 4 : 1;
    max_shift = static_cast<uint64_t>(std::lround(0.04 * static_cast<double>(rate)));
    if (!oddball) return;
    const size_t span = static_cast<size_t>(0.7 * static_cast<double>(rate)) + 1;
    early.resize(span);
    late.resize(span);
    for (size_t n = 0; n < span; ++n) {
      const double t = static_cast<double>(n) / static_cast<double>(rate);
      early[n] = 2.0 * STEPS_PER_UV * std::exp(-0.5 * std::pow((t - 0.17) / 0.035, 2));
      late[n] = 5.0 * STEPS_PER_UV * std::exp(-0.5 * std::pow((t - 0.30) / 0.07, 2));
    }
    for (uint32_t i = 0; i < RESPONSE_CHANNELS; ++i)
      weight.push_back(0.5 + 0.5 * std::sin(PI * (i + 0.5) / RESPONSE_CHANNELS));
  }

  int32_t sin_at(uint64_t phase) const { return sine[(phase >> 20) & 4095]; }

  uint32_t event_code(uint64_t k) const {
    if (oddball)
      return (k % quarter) * 25 < quarter ? (oddball_event(seed, k / quarter, rate).target ? CODE_TARGET : CODE_STANDARD)
                                          : 0u;
    const uint64_t half_second = rate / 2 ? rate / 2 : 1;
    return (k % half_second) * 50 < half_second ? static_cast<uint32_t>(k / half_second % 254 + 1) : 0u;
  }

  // The summed responses of the events before sweep k, in steps at full
  // weight; every event still under way counts, most recent first.
  double response(uint64_t k) const {
    const uint64_t span = early.size();
    double sum = 0.0;
    for (uint64_t j = k / quarter + 1; j-- > 0;) {
      const uint64_t n = k - j * quarter;
      if (n >= span + max_shift) break;
      const OddballEvent e = oddball_event(seed, j, rate);
      if (n < span) sum += e.early_gain * early[n];
      const int64_t m = static_cast<int64_t>(n) - e.late_shift;
      if (e.target && m >= 0 && static_cast<uint64_t>(m) < span) sum += e.late_gain * late[static_cast<size_t>(m)];
    }
    return sum;
  }

  void sweep(uint64_t k, uint32_t* w) const {
    w[0] = SYNC_WORD;
    w[1] = (status & 0xFF0000FFu) | (event_code(k) << 8);
    const double evoked = oddball ? response(k) : 0.0;
    for (uint32_t ch = 2; ch + 1 < channels; ++ch) {
      const uint64_t shift = static_cast<uint64_t>(ch) * 0x9E3779B97F4A7C15ull;
      const int32_t offset = static_cast<int32_t>(mix(ch) % 200001u) - 100000;
      const int32_t alpha = 300 + static_cast<int32_t>(ch * 37 % 500);
      int32_t v = offset + alpha * sin_at(k * alpha_step + shift) / 32767 +
                  120 * sin_at(k * beta_step + (shift >> 7)) / 32767 + 60 * sin_at(k * line_step) / 32767;
      const uint32_t h = mix((k << 12) ^ ch);
      v += static_cast<int32_t>(h & 511) - 256 + static_cast<int32_t>((h >> 9) & 511) - 256;
      const uint32_t block = ch - RESPONSE_FIRST_WORD;
      if (oddball && block < RESPONSE_CHANNELS) v += static_cast<int32_t>(std::lround(evoked * weight[block]));
      w[ch] = static_cast<uint32_t>(v) << 8;
    }
    w[channels - 1] = static_cast<uint32_t>(k) << 8;  // (k mod 2^24) in the sample bits
  }
};

}  // namespace ampsim
