// The machine's physical memory, for the checks that refuse a request for
// work memory beyond it before anything is allocated: the system would hand
// out address space it cannot back and end the whole process once the pages
// are touched.  Plain C++: cores may use it.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace host {

// Physical memory of the machine in bytes; 0 when it cannot be told.
inline uint64_t physical_memory_bytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<uint64_t>(status.ullTotalPhys);
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  const uint64_t count = static_cast<uint64_t>(pages), size = static_cast<uint64_t>(page_size);
  return count > UINT64_MAX / size ? UINT64_MAX : count * size;
#endif
}

}  // namespace host
