// Replay: the simulated amplifier plays a BDF file instead of its generator
// (AMPSIM_REPLAY=FILE), in real time at the file's rate.  Plain C++; no host
// header.
//
// Sweeps are rebuilt word by word: word 0 the sync word, word 1 the Status
// signal's sample as the status word (its upper three bytes), and every
// other word the sample of the file's signal with that word's channel label
// (acquisition::channel_label), 0 for a channel the file lacks.
//
// The layout is the one the status word of the file's first sweep decodes to
// when that layout runs at the file's rate and has a channel of every label
// in the file (our recordings: the status word was recorded whole).
// Otherwise (a file whose Status holds no speed bits)
// it is the first of the amplifier's layouts, Mk2 before Mk1 and speed mode
// 4 to 8 before 0 to 3, that runs at the file's rate and has a channel of
// every label in the file; the status word then carries that layout's speed
// bits and model bit over the file's own low 16 bits (the triggers), so that
// the start decodes the layout.  A file that fits no layout is refused with
// the reason.
//
// The replay ends with the file: after its last sweep no sweep follows (the
// driver's pointer stands still), unless it loops (AMPSIM_REPLAY_LOOP=1),
// when the file's first sweep follows its last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/status.h"
#include "bdf/reader.h"

namespace ampsim {

struct Replay {
  bdf::Reader reader;
  bool loop = false;
  uint32_t status = 0;  // the raw status word the start decodes
  uint32_t rate = 0;
  acquisition::ChannelLayout layout;
  int64_t sweeps = 0;                 // sweeps in the file
  std::vector<int32_t> signals;       // the file's signals read, status first
  std::vector<int32_t> word_column;   // per sweep word: its column in `signals`, -1 for none
  bool rebuild_status = false;        // the status word takes the layout's bits
  // The sweeps of the file from chunk_first on, `signals` words each.
  std::vector<int32_t> chunk;
  int64_t chunk_first = -1, chunk_count = 0;
};

// Opens the file and finds its layout.  False with the reason (naming the
// file) when it cannot be read or fits no layout.
bool replay_open(Replay& r, const std::string& path, bool loop, std::string& reason);

// Writes sweep k (0 = the file's first) into `words` (layout.total words).
// False when the replay has ended (no loop, k past the file's last sweep)
// or the file could not be read; nothing is written then.  Allocates
// nothing: the writer thread calls it.
bool replay_sweep(Replay& r, uint64_t k, uint32_t* words);

}  // namespace ampsim
