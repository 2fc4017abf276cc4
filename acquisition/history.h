// The history of an acquisition session: the kept words of every sweep
// received, addressed by sweep number, in a ring of `capacity` sweeps that
// one writer (the session's reader thread) fills while any number of
// readers copy spans out of it.  Plain C++; no host header.
//
// Sweep k (0-based, in the order received) lives in slot k % capacity, its
// `rows` words one after another, so that a span of sweeps is a run of
// column-major int32 columns.  No lock is taken: the writer announces how
// far it is about to write before it writes (`writing`) and how far it has
// written after (`published`).  A copy reads `published` first, copies, and
// then reads `writing`: every sweep older than writing - capacity may have
// been overwritten while it was being copied and is reported as such, so
// that a copy never hands out a sweep it cannot vouch for.
#pragma once

#include <atomic>
#include <cstdint>

namespace acquisition {

struct History {
  int32_t rows = 0;
  int64_t capacity = 0;    // sweeps held at most
  int32_t* words = nullptr;  // rows * capacity
  std::atomic<int64_t> writing{0};    // sweeps [0, writing) have been or are being written
  std::atomic<int64_t> published{0};  // sweeps [0, published) are complete
};

// Allocates the ring and touches every page of it; false when the memory
// cannot be had.
bool history_allocate(History& h, int32_t rows, int64_t capacity);
void history_free(History& h);

// The oldest sweep still held when `received` have been published.
inline int64_t history_oldest(const History& h, int64_t received) {
  return received > h.capacity ? received - h.capacity : 0;
}

// Writer side: the slot of sweep k, and the two announcements around a
// batch of sweeps [published, upto).
inline int32_t* history_slot(const History& h, int64_t k) {
  return h.words + static_cast<int64_t>(h.rows) * (k % h.capacity);
}
void history_begin(History& h, int64_t upto);
void history_publish(History& h, int64_t upto);

// Copies sweeps [from, to) into dest (rows * (to - from) words, column-
// major) and returns the first of them that is still intact after the copy:
// `from` when every one is, up to `to` when none is.  The caller chooses
// from and to within the sweeps published and held.
int64_t history_copy(const History& h, int64_t from, int64_t to, int32_t* dest);

}  // namespace acquisition
