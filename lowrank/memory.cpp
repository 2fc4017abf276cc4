#include "lowrank/memory.h"

#include <limits>
#include <new>

#include "host/physical_memory.h"

namespace lowrank {

uint64_t physical_memory_bytes() { return host::physical_memory_bytes(); }

uint64_t bytes_of(uint64_t count, uint64_t size) {
  const uint64_t most = std::numeric_limits<uint64_t>::max();
  if (size != 0 && count > most / size) return most;
  return count * size;
}

uint64_t add_bytes(uint64_t a, uint64_t b) {
  const uint64_t most = std::numeric_limits<uint64_t>::max();
  return a > most - b ? most : a + b;
}

bool fits_in_memory(uint64_t bytes) {
  const uint64_t physical = physical_memory_bytes();
  return physical == 0 || bytes <= physical;
}

void require_memory(uint64_t bytes) {
  if (!fits_in_memory(bytes)) throw std::bad_alloc();
}

uint64_t work_keep_bytes() {
  static const uint64_t keep = [] {
    const uint64_t sixteenth = physical_memory_bytes() / 16;
    return sixteenth < WORK_KEEP_MAX_BYTES ? sixteenth : WORK_KEEP_MAX_BYTES;
  }();
  return keep;
}

}  // namespace lowrank
