// Backing large buffers with 2 MiB pages where the system offers them on
// request (Linux transparent huge pages in "madvise" mode).  The first touch
// of such a buffer then costs one page fault per 2 MiB instead of one per
// 4 KiB (about 1.6 us each: 50 ms for 128 MiB), and walking it misses the
// TLB less.  Plain C++; no host header.
#pragma once

#include <cstdint>

namespace pages {

// Buffers smaller than this are left alone: a few faults are not worth a
// system call.
constexpr uint64_t HUGE_HINT_MIN_BYTES = uint64_t{8} << 20;

// Asks for huge pages under the whole 2 MiB pages inside [buffer, buffer +
// bytes) when bytes >= HUGE_HINT_MIN_BYTES.  A hint only: it changes no
// value, pages already touched stay as they are, a refusal is ignored, and
// elsewhere than on Linux nothing happens.
void advise_huge(void* buffer, uint64_t bytes);

}  // namespace pages
