// Open-addressing hash index over points stored elsewhere, each a run of
// `width` int32 coordinates.  The hash of a point is the wrapping sum of
// coordinate × weight(position), so the hash of a point one step away in
// position b is the parent's hash ± weight(b): no rehashing of candidates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lattice {

// Odd 64-bit weight of coordinate position b (splitmix64 of b).
inline uint64_t coordinate_weight(int32_t b) {
  uint64_t z = static_cast<uint64_t>(b) * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return (z ^ (z >> 31)) | 1u;
}

inline uint64_t point_hash(const int32_t* p, int32_t width, const uint64_t* weight) {
  uint64_t h = 0;
  for (int32_t b = 0; b < width; ++b) h += static_cast<uint64_t>(static_cast<int64_t>(p[b])) * weight[b];
  return h;
}

struct PointTable {
  int32_t width = 0;
  std::vector<uint64_t> key;   // hash of the point in each slot
  std::vector<int32_t> point;  // its number, -1 for an empty slot
  size_t used = 0;
};

inline size_t table_slot(uint64_t h, size_t mask) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return static_cast<size_t>(h) & mask;
}

// An empty table with room for about `expected` points before it grows.
inline void table_init(PointTable& t, int32_t width, size_t expected) {
  size_t capacity = 16;
  while (capacity < 2 * expected) capacity *= 2;
  t.width = width;
  t.key.assign(capacity, 0);
  t.point.assign(capacity, -1);
  t.used = 0;
}

// True when a point equal to p (hash h) is in the table; `base` holds the
// indexed points.
inline bool table_contains(const PointTable& t, const int32_t* base, const int32_t* p, uint64_t h) {
  const size_t mask = t.point.size() - 1;
  const size_t bytes = static_cast<size_t>(t.width) * sizeof(int32_t);
  for (size_t s = table_slot(h, mask);; s = (s + 1) & mask) {
    const int32_t q = t.point[s];
    if (q < 0) return false;
    // Points of no coordinates are all equal (and their buffers may be null).
    if (t.key[s] == h && (bytes == 0 || std::memcmp(base + static_cast<size_t>(q) * t.width, p, bytes) == 0))
      return true;
  }
}

inline void table_put(PointTable& t, uint64_t h, int32_t q) {
  const size_t mask = t.point.size() - 1;
  size_t s = table_slot(h, mask);
  while (t.point[s] >= 0) s = (s + 1) & mask;
  t.key[s] = h;
  t.point[s] = q;
  ++t.used;
}

// Adds point q (hash h) without checking for an equal one; grows the table
// to keep it at most half full.
inline void table_insert(PointTable& t, uint64_t h, int32_t q) {
  if (2 * (t.used + 1) > t.point.size()) {
    std::vector<uint64_t> old_key;
    std::vector<int32_t> old_point;
    old_key.swap(t.key);
    old_point.swap(t.point);
    t.key.assign(2 * old_point.size(), 0);
    t.point.assign(2 * old_point.size(), -1);
    t.used = 0;
    for (size_t s = 0; s < old_point.size(); ++s)
      if (old_point[s] >= 0) table_put(t, old_key[s], old_point[s]);
  }
  table_put(t, h, q);
}

}  // namespace lattice
