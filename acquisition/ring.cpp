#include "acquisition/ring.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace acquisition {

int64_t arrived_bytes(uint32_t p0, uint32_t p1, int64_t ring_bytes) {
  int64_t d = static_cast<int64_t>(p1) - static_cast<int64_t>(p0);
  if (d < 0) d += ring_bytes;
  return d;
}

uint32_t ring_word(const uint32_t* ring, int64_t ring_bytes, uint64_t p) {
  const uint64_t words = static_cast<uint64_t>(ring_bytes / 4);
  return ring[(p / 4) % words];
}

WaitResult wait_for_sweeps(const DriverExports& driver, void* handle, const uint32_t* ring, int64_t ring_bytes,
                           uint32_t p0, uint32_t channels) {
  using clock = std::chrono::steady_clock;
  const clock::time_point t0 = clock::now();
  const int64_t sweep_bytes = static_cast<int64_t>(channels) * 4;
  // Bytes that must lie before the pointer before the words looked at are
  // read: sync and status word, or the first word of the second sweep.
  const int64_t needed = channels == 0 ? 8 : sweep_bytes + 4;
  for (;;) {
    uint32_t p1 = 0;
    if (call_read_pointer(driver.read_pointer, handle, &p1) == 0) return WaitResult::read_failed;
    const int64_t arrived = arrived_bytes(p0, p1, ring_bytes);

    const int64_t elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - t0).count();
    if (static_cast<double>(elapsed_ms) / 1000.0 > START_TIMEOUT_SECONDS)
      return arrived < 8 ? WaitResult::no_data : WaitResult::no_sync;

    if (arrived < needed) continue;
    if (ring_word(ring, ring_bytes, p0) != SYNC_WORD) continue;
    if (channels == 0) return WaitResult::ready;
    if (ring_word(ring, ring_bytes, static_cast<uint64_t>(p0) + static_cast<uint64_t>(sweep_bytes)) == SYNC_WORD)
      return WaitResult::ready;
    return WaitResult::sync_misplaced;
  }
}

FetchPlan plan_fetch(int32_t p, int32_t last, int32_t sweep_bytes, int32_t ring_bytes) {
  FetchPlan plan;
  p -= p % sweep_bytes;  // remainder with the sign of p
  if (p < 0) p += ring_bytes;
  plan.pointer = p;
  if (p == last) {
    plan.sweeps = -1;
  } else if (p > last) {
    plan.sweeps = (p - last) / sweep_bytes;
    plan.first_offset = last;
    plan.first_bytes = static_cast<int64_t>(p) - last;
  } else {
    plan.sweeps = static_cast<int32_t>((static_cast<int64_t>(ring_bytes) + p - last) / sweep_bytes);
    plan.first_offset = last;
    plan.first_bytes = static_cast<int64_t>(ring_bytes) - last;
    plan.second_bytes = p;
  }
  return plan;
}

void copy_sweeps(const unsigned char* ring, const FetchPlan& plan, unsigned char* dest) {
  if (plan.first_bytes > 0) std::memcpy(dest, ring + plan.first_offset, static_cast<size_t>(plan.first_bytes));
  if (plan.second_bytes > 0)
    std::memcpy(dest + plan.first_bytes, ring, static_cast<size_t>(plan.second_bytes));
}

void copy_ring_bytes(const unsigned char* ring, int64_t ring_bytes, int64_t offset, void* dest, int64_t bytes) {
  const int64_t first = std::min(bytes, ring_bytes - offset);
  std::memcpy(dest, ring + offset, static_cast<size_t>(first));
  if (bytes > first) std::memcpy(static_cast<unsigned char*>(dest) + first, ring, static_cast<size_t>(bytes - first));
}

int64_t overwritten_sweeps(int64_t span_end, int64_t pointer, int64_t after, int64_t sweeps, int64_t sweep_bytes,
                           int64_t ring_bytes, double clock_bytes) {
  if (sweeps <= 0) return 0;
  const auto wrap = [ring_bytes](int64_t p) { return ((p % ring_bytes) + ring_bytes) % ring_bytes; };
  // Bytes written since the pointer was read, as far as the pointers tell,
  // plus the whole rounds the clock says they cannot tell.
  int64_t written = wrap(after - pointer);
  if (clock_bytes > static_cast<double>(written) + ring_bytes / 2.0)
    written += ring_bytes * std::llround((clock_bytes - static_cast<double>(written)) / static_cast<double>(ring_bytes));
  // Where the driver's writes have reached, counted from the span's end,
  // against the gap between the span's end and its start (going round).
  const int64_t reach = wrap(pointer - span_end) + written;
  const int64_t gap = ring_bytes - sweeps * sweep_bytes;
  if (reach <= gap) return 0;
  const int64_t over = (reach - gap + sweep_bytes - 1) / sweep_bytes;
  return over < sweeps ? over : sweeps;
}

}  // namespace acquisition
