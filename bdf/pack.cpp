#include "bdf/pack.h"

#include <cstring>

namespace bdf {

namespace {

// Sweeps per block of the packing transpose: a block's words of all
// channels (610 x 32 x 4 bytes) stay in the cache while each signal's run
// of samples is written in one stretch.
constexpr int64_t BLOCK = 32;

}  // namespace

void pack_sweeps(const int32_t* sweeps, int64_t n, int32_t sweep_words, const int32_t* sources, int32_t signals,
                 int32_t record_sweeps, int32_t fill, unsigned char* record) {
  const int64_t row_bytes = 3 * static_cast<int64_t>(record_sweeps);
  for (int64_t t0 = 0; t0 < n; t0 += BLOCK) {
    const int64_t nb = n - t0 < BLOCK ? n - t0 : BLOCK;
    const int32_t* block = sweeps + t0 * sweep_words;
    for (int32_t s = 0; s < signals; ++s) {
      const int32_t* src = block + sources[s];
      unsigned char* dst = record + s * row_bytes + 3 * (fill + t0);
      // Four bytes per sample into a scratch run (each store's fourth byte
      // is overwritten by the next), then the run's 3 * nb bytes at once.
      unsigned char run[3 * BLOCK + 1];
      for (int64_t j = 0; j < nb; ++j) {
        const uint32_t u = static_cast<uint32_t>(src[j * sweep_words]) >> 8;
        std::memcpy(run + 3 * j, &u, 4);
      }
      std::memcpy(dst, run, static_cast<size_t>(3 * nb));
    }
  }
}

void pack_sweeps_literal(const int32_t* sweeps, int64_t n, int32_t sweep_words, const int32_t* sources,
                         int32_t signals, int32_t record_sweeps, int32_t fill, unsigned char* record) {
  for (int64_t t = 0; t < n; ++t) {
    for (int32_t s = 0; s < signals; ++s) {
      const uint32_t u = static_cast<uint32_t>(sweeps[t * sweep_words + sources[s]]);
      unsigned char* dst = record + 3 * (static_cast<int64_t>(s) * record_sweeps + fill + t);
      dst[0] = static_cast<unsigned char>(u >> 8);
      dst[1] = static_cast<unsigned char>(u >> 16);
      dst[2] = static_cast<unsigned char>(u >> 24);
    }
  }
}

void pad_record(int32_t signals, int32_t record_sweeps, int32_t fill, unsigned char* record) {
  for (int32_t s = 0; s < signals; ++s) {
    unsigned char* row = record + 3 * static_cast<int64_t>(s) * record_sweeps;
    for (int32_t t = fill; t < record_sweeps; ++t) std::memcpy(row + 3 * t, row + 3 * (fill - 1), 3);
  }
}

// Unpacking writes the larger side (8-byte values) with a stride of a
// sweep; a block of this many sweeps of all channels (610 x 64 x 8 bytes)
// stays in the second-level cache while the channels' runs are read in
// order, so that each output line is filled by neighbouring channels before
// it leaves.
constexpr int64_t UNPACK_BLOCK = 64;

void unpack_words(const unsigned char* const* rows, int32_t channels, int64_t n, int32_t* out) {
  for (int64_t t0 = 0; t0 < n; t0 += UNPACK_BLOCK) {
    const int64_t nb = n - t0 < UNPACK_BLOCK ? n - t0 : UNPACK_BLOCK;
    for (int32_t c = 0; c < channels; ++c) {
      const unsigned char* p = rows[c] + 3 * t0;
      int32_t* o = out + t0 * channels + c;
      for (int64_t j = 0; j < nb; ++j) o[j * channels] = sample_word(p + 3 * j);
    }
  }
}

void unpack_values(const unsigned char* const* rows, int32_t channels, int64_t n, const double* scale,
                   const double* offset, double* out) {
  for (int64_t t0 = 0; t0 < n; t0 += UNPACK_BLOCK) {
    const int64_t nb = n - t0 < UNPACK_BLOCK ? n - t0 : UNPACK_BLOCK;
    for (int32_t c = 0; c < channels; ++c) {
      const unsigned char* p = rows[c] + 3 * t0;
      const double a = scale[c], b = offset[c];
      double* o = out + t0 * channels + c;
      for (int64_t j = 0; j < nb; ++j) o[j * channels] = static_cast<double>(sample_value(p + 3 * j)) * a + b;
    }
  }
}

}  // namespace bdf
