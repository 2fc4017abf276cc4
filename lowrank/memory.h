// How much work memory a factorization holds, and whether the machine has it.
// A request whose buffers exceed the physical memory is refused before
// anything is allocated: the system would otherwise hand out address space it
// cannot back and end the whole process once the pages are touched.
#pragma once

#include <cstdint>

namespace lowrank {

// Physical memory of the machine in bytes; 0 when it cannot be told.
uint64_t physical_memory_bytes();

// Bytes as a saturating count, so that no product of sizes wraps around.
uint64_t bytes_of(uint64_t count, uint64_t size);
uint64_t add_bytes(uint64_t a, uint64_t b);

// True when `bytes` fit in the physical memory (or it cannot be told).
bool fits_in_memory(uint64_t bytes);

// Throws std::bad_alloc when `bytes` do not fit in the physical memory.
void require_memory(uint64_t bytes);

// Work memory kept between calls for the next factorization: at most
// WORK_KEEP_MAX_BYTES and a sixteenth of the physical memory.  A rank-600
// factor of 20000 samples (96 MB) and its pool fit.
constexpr uint64_t WORK_KEEP_MAX_BYTES = uint64_t{256} << 20;
uint64_t work_keep_bytes();

}  // namespace lowrank
