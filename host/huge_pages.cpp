#include "host/huge_pages.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer blocks come from malloc and are never kept, so that
// the sanitizer sees every access past a block's end; they are filled with
// NaN bytes, so that code that counted on zeros gives different results.
#if defined(__SANITIZE_ADDRESS__)
#define PAGES_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAGES_CHECKED 1
#endif
#endif
#if !defined(PAGES_CHECKED)
#define PAGES_CHECKED 0
#endif

#if defined(__linux__) && !PAGES_CHECKED
#define PAGES_MAPPED 1
#else
#define PAGES_MAPPED 0
#endif

namespace pages {

namespace {

constexpr uint64_t HUGE = uint64_t{1} << 21;
constexpr uint64_t SMALL = uint64_t{1} << 12;

uint64_t round_up(uint64_t bytes, uint64_t unit) { return (bytes + unit - 1) / unit * unit; }

// Fresh memory from the system: mapped at a 2 MiB boundary and asked for
// huge pages when large, so that every page of it can be a huge one.
Block map_block(uint64_t bytes) {
  Block b;
  if (bytes == 0) return b;
#if PAGES_MAPPED
  const uint64_t unit = bytes >= HUGE_HINT_MIN_BYTES ? HUGE : SMALL;
  b.bytes = round_up(bytes, unit);
  if (b.bytes < bytes) throw std::bad_alloc();
  const uint64_t extra = unit == HUGE ? HUGE : 0;
  void* p = mmap(nullptr, static_cast<size_t>(b.bytes + extra), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                 -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t start = unit == HUGE ? (at + HUGE - 1) & ~(HUGE - 1) : at;
  // The unaligned head and the tail beyond the block go back at once.
  if (start > at) munmap(p, start - at);
  if (extra > start - at) munmap(reinterpret_cast<void*>(start + b.bytes), static_cast<size_t>(extra - (start - at)));
  b.data = reinterpret_cast<void*>(start);
  advise_huge(b.data, b.bytes);
#else
  b.bytes = bytes;
  if (static_cast<uint64_t>(static_cast<size_t>(bytes)) != bytes) throw std::bad_alloc();
  b.data = std::malloc(static_cast<size_t>(bytes));
  if (b.data == nullptr) throw std::bad_alloc();
#if PAGES_CHECKED
  std::memset(b.data, 0xff, static_cast<size_t>(bytes));
#endif
#endif
  return b;
}

void unmap_block(const Block& b) {
  if (b.data == nullptr) return;
#if PAGES_MAPPED
  munmap(b.data, static_cast<size_t>(b.bytes));
#else
  std::free(b.data);
#endif
}

// The kept blocks, the oldest first.  Returned to the system when the module
// is unloaded.
struct Kept {
  std::mutex lock;
  std::vector<Block> blocks;
  uint64_t bytes = 0;
  ~Kept() {
    for (const Block& b : blocks) unmap_block(b);
  }
};

Kept& kept() {
  static Kept k;
  return k;
}

}  // namespace

void advise_huge(void* buffer, uint64_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes < HUGE_HINT_MIN_BYTES) return;
  const uintptr_t at = reinterpret_cast<uintptr_t>(buffer);
  const uintptr_t first = (at + HUGE - 1) & ~(HUGE - 1);
  const uintptr_t last = (at + static_cast<uintptr_t>(bytes)) & ~(HUGE - 1);
  if (last > first) (void)madvise(reinterpret_cast<void*>(first), static_cast<size_t>(last - first), MADV_HUGEPAGE);
#else
  (void)buffer;
  (void)bytes;
#endif
}

Block take(uint64_t bytes) {
  if (bytes == 0) return Block();
  {
    Kept& k = kept();
    std::lock_guard<std::mutex> guard(k.lock);
    size_t best = k.blocks.size();
    for (size_t i = 0; i < k.blocks.size(); ++i)
      if (k.blocks[i].bytes >= bytes && (best == k.blocks.size() || k.blocks[i].bytes < k.blocks[best].bytes)) best = i;
    if (best < k.blocks.size()) {
      const Block b = k.blocks[best];
      k.blocks.erase(k.blocks.begin() + static_cast<std::ptrdiff_t>(best));
      k.bytes -= b.bytes;
      return b;
    }
  }
  return map_block(bytes);
}

void give(Block block, uint64_t keep_bytes) {
  if (block.data == nullptr) return;
#if !PAGES_CHECKED
  if (block.bytes <= keep_bytes) {
    std::vector<Block> surplus;
    {
      Kept& k = kept();
      std::lock_guard<std::mutex> guard(k.lock);
      size_t drop = 0;
      uint64_t bytes = k.bytes;
      while (bytes + block.bytes > keep_bytes) bytes -= k.blocks[drop++].bytes;
      surplus.assign(k.blocks.begin(), k.blocks.begin() + static_cast<std::ptrdiff_t>(drop));
      k.blocks.erase(k.blocks.begin(), k.blocks.begin() + static_cast<std::ptrdiff_t>(drop));
      try {
        k.blocks.push_back(block);
        k.bytes = bytes + block.bytes;
        block = Block();
      } catch (const std::bad_alloc&) {
        k.bytes = bytes;  // the list could not grow: the block goes back below
      }
    }
    for (const Block& b : surplus) unmap_block(b);
  }
#else
  (void)keep_bytes;
#endif
  unmap_block(block);
}

uint64_t kept_bytes() {
  Kept& k = kept();
  std::lock_guard<std::mutex> guard(k.lock);
  return k.bytes;
}

void release_kept() {
  std::vector<Block> all;
  {
    Kept& k = kept();
    std::lock_guard<std::mutex> guard(k.lock);
    all.swap(k.blocks);
    k.bytes = 0;
  }
  for (const Block& b : all) unmap_block(b);
}

}  // namespace pages
