// The transposes between amplifier sweeps (word after word, sweep after
// sweep) and BDF data records (signal after signal, 3 bytes per sample).
// Plain C++; no host header.
#pragma once

#include <cstdint>

namespace bdf {

// Stores the upper three bytes of word sources[s] of each of n sweeps
// (sweep_words words apart) as samples fill .. fill+n-1 of signal s in a
// record of record_sweeps samples per signal, for every signal s.
void pack_sweeps(const int32_t* sweeps, int64_t n, int32_t sweep_words, const int32_t* sources, int32_t signals,
                 int32_t record_sweeps, int32_t fill, unsigned char* record);

// The same, sweep by sweep and signal by signal: the literal version that
// pack_sweeps must match byte for byte.
void pack_sweeps_literal(const int32_t* sweeps, int64_t n, int32_t sweep_words, const int32_t* sources, int32_t signals,
                         int32_t record_sweeps, int32_t fill, unsigned char* record);

// Completes a record holding `fill` (>= 1) samples per signal by repeating
// each signal's last sample.
void pad_record(int32_t signals, int32_t record_sweeps, int32_t fill, unsigned char* record);

// The word of a 3-byte sample: the sample in the upper three bytes, low byte
// 0 (what the amplifier's word held, less its low byte).
inline int32_t sample_word(const unsigned char* p) {
  return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                              (static_cast<uint32_t>(p[2]) << 24));
}

// The digital value of a 3-byte sample (-8388608 to 8388607).
inline int32_t sample_value(const unsigned char* p) { return sample_word(p) >> 8; }

// Reads n samples of each of `channels` signals, signal c's samples starting
// at rows[c] (3 bytes each), into out column by column (out[t * channels +
// c]) as words, or as values value * scale[c] + offset[c].
void unpack_words(const unsigned char* const* rows, int32_t channels, int64_t n, int32_t* out);
void unpack_values(const unsigned char* const* rows, int32_t channels, int64_t n, const double* scale,
                   const double* offset, double* out);

}  // namespace bdf
