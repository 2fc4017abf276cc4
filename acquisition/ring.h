// Reading the ring the driver fills: the two waits of the session start and
// the plan of a fetch.  Plain C++; no host header.
#pragma once

#include <cstdint>

#include "acquisition/driver.h"

namespace acquisition {

// Bytes that have arrived since pointer p0 when the driver now shows p1,
// reckoned modulo the ring's length: a pointer that wrapped past the ring's
// end after p0 counts what was written since, never a huge amount.  p1 equal
// to the ring's length with p0 at 0 is the whole ring.
int64_t arrived_bytes(uint32_t p0, uint32_t p1, int64_t ring_bytes);

// The ring word at byte pointer p: index p / 4, taken modulo the ring's word
// count, so a position at or past the ring's end continues at its start.
uint32_t ring_word(const uint32_t* ring, int64_t ring_bytes, uint64_t p);

enum class WaitResult {
  ready,           // the expected data are in the ring
  read_failed,     // READ_POINTER returned 0
  no_data,         // time-out with less than one sync and status word after p0
  no_sync,         // time-out with data after p0 but no sync word at p0
  sync_misplaced,  // the word one sweep after p0 is not a sync word
};

// Polls READ_POINTER without pause until the sweep stream that starts at p0
// shows what the caller waits for, or START_TIMEOUT_SECONDS have passed.
//   channels == 0: start wait, for the sync and status words of the first
//                  sweep at p0;
//   channels > 0:  format wait, for the sync word of the second sweep at
//                  p0 + channels * 4 (a sweep of that many words).
// A word is looked at only once every one of its bytes lies before the
// pointer just read.
WaitResult wait_for_sweeps(const DriverExports& driver, void* handle, const uint32_t* ring, int64_t ring_bytes,
                           uint32_t p0, uint32_t channels);

// What one fetch copies.  Offsets and lengths in bytes.
struct FetchPlan {
  int32_t pointer = 0;     // the new pointer, a whole number of sweeps
  int32_t sweeps = 0;      // columns of the result; -1: nothing (0 x 0)
  int64_t first_offset = 0, first_bytes = 0;  // from ring + first_offset
  int64_t second_bytes = 0;                   // then from the ring's start
};

// p: the driver's pointer (signed); last: the previous pointer, a multiple
// of the sweep length in 0 ... ring_bytes.
FetchPlan plan_fetch(int32_t p, int32_t last, int32_t sweep_bytes, int32_t ring_bytes);

// Copies the planned bytes into dest (sweeps * sweep_bytes bytes).
void copy_sweeps(const unsigned char* ring, const FetchPlan& plan, unsigned char* dest);

// Copies `bytes` of the ring from byte `offset` on, going round its end,
// into dest.
void copy_ring_bytes(const unsigned char* ring, int64_t ring_bytes, int64_t offset, void* dest, int64_t bytes);

// The driver goes on writing while sweeps are copied out of the ring.  A
// copy of `sweeps` whole sweeps that end at byte `span_end` was planned when
// the driver's pointer stood at `pointer` (span_end or a little past it, in
// a sweep not yet whole); after the copy the pointer stands at `after`, and
// by the clock the driver should have written `clock_bytes` meanwhile, which
// tells how often it may have gone round the ring (the pointers alone say
// it only modulo the ring).  Returns how many of the copied sweeps, counted
// from the oldest, the driver may have overwritten before they were copied:
// those its writes up to `after` reached.  (The sweep it may be writing
// beyond `after` is not counted: the copy runs from the oldest sweep on, so
// it took the oldest long before the driver could be in the middle of
// them.)  Positions are taken modulo the ring.
int64_t overwritten_sweeps(int64_t span_end, int64_t pointer, int64_t after, int64_t sweeps, int64_t sweep_bytes,
                           int64_t ring_bytes, double clock_bytes);

}  // namespace acquisition
