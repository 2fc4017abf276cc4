#include "lowrank/memory.h"

#include <limits>
#include <new>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lowrank {

uint64_t physical_memory_bytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<uint64_t>(status.ullTotalPhys);
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return bytes_of(static_cast<uint64_t>(pages), static_cast<uint64_t>(page_size));
#endif
}

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
