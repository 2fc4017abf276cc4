#include "host/huge_pages.h"

#include <cstddef>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pages {

void advise_huge(void* buffer, uint64_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t HUGE = uintptr_t{1} << 21;
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

}  // namespace pages
