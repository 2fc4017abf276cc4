// Processor time of the calling thread, for the session threads' reports of
// what they cost.  Plain C++; no host header.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <time.h>
#endif

namespace acquisition {

// Nanoseconds of processor time the calling thread has used (0 when the
// system cannot tell).
inline int64_t thread_cpu_ns() {
#if defined(_WIN32)
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& f) {
    return (static_cast<int64_t>(f.dwHighDateTime) << 32) | static_cast<int64_t>(f.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) * 100;
#else
  timespec t;
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
#endif
}

}  // namespace acquisition
