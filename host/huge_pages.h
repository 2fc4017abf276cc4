// Pages under large work and output buffers.  Plain C++; no host header.
//
// Touching memory the system has just mapped costs a page fault per 4 KiB
// page: about 1.5 us on bare metal, 3 to 6 us in a virtual machine, so 0.1 s
// for 100 MiB there, more than the arithmetic of many calls.  Two helps:
// - advise_huge: 2 MiB pages where the system offers them on request (Linux
//   transparent huge pages in "madvise" mode), one fault per 2 MiB, several
//   times cheaper per byte;
// - Block: work memory that this module maps itself and keeps for the next
//   call when it is given back, within a bound, so that a repeated call finds
//   its buffers already backed by pages.  Whether malloc hands out fresh or
//   reused pages depends on what the process freed before (glibc moves its
//   mmap threshold with it); blocks never come from malloc on Linux, so their
//   cost does not depend on the process's history.
#pragma once

#include <cstdint>

namespace pages {

// Buffers smaller than this are left alone: a few faults are not worth a
// system call.  Two huge pages: a buffer of this size covers at least one
// whole 2 MiB page wherever it starts.
constexpr uint64_t HUGE_HINT_MIN_BYTES = uint64_t{4} << 20;

// Asks for huge pages under the whole 2 MiB pages inside [buffer, buffer +
// bytes) when bytes >= HUGE_HINT_MIN_BYTES.  A hint only: it changes no
// value, pages already touched stay as they are, a refusal is ignored, and
// elsewhere than on Linux nothing happens.
void advise_huge(void* buffer, uint64_t bytes);

// A block of work memory; its contents are whatever its last user left.
struct Block {
  void* data = nullptr;
  uint64_t bytes = 0;  // the block's whole size, at least what was asked
};

// A block of at least `bytes` bytes (0 gives an empty block): the smallest
// kept one that is large enough, else a fresh one.  Throws std::bad_alloc
// when the system refuses the memory.
Block take(uint64_t bytes);

// Gives a block back.  It is kept for a later take() when the kept blocks,
// this one included, stay within `keep_bytes` (the oldest kept ones make
// room first); otherwise it is returned to the system.
void give(Block block, uint64_t keep_bytes);

// The bytes kept now, and returning them all to the system.
uint64_t kept_bytes();
void release_kept();

}  // namespace pages
