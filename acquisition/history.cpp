#include "acquisition/history.h"

#include <cstdlib>
#include <cstring>

namespace acquisition {

bool history_allocate(History& h, int32_t rows, int64_t capacity) {
  history_free(h);
  if (rows < 1 || capacity < 1) return false;
  const uint64_t words = static_cast<uint64_t>(rows) * static_cast<uint64_t>(capacity);
  if (words > SIZE_MAX / sizeof(int32_t)) return false;
  h.words = static_cast<int32_t*>(std::malloc(static_cast<size_t>(words) * sizeof(int32_t)));
  if (!h.words) return false;
  // Every page is touched here, on the opening thread, so that the reader
  // never pays the first touch of a page while sweeps arrive: at 610
  // channels x 16384 Hz that halves its cost while it first fills the
  // history (0.5 s more at the open for 1 GiB).  Through a volatile pointer,
  // because the compiler would turn malloc and a memset of zeros into a
  // calloc, which touches nothing.
  volatile unsigned char* bytes = reinterpret_cast<volatile unsigned char*>(h.words);
  const size_t total = static_cast<size_t>(words) * sizeof(int32_t);
  for (size_t k = 0; k < total; k += 4096) bytes[k] = 0;
  h.rows = rows;
  h.capacity = capacity;
  h.writing.store(0);
  h.published.store(0);
  return true;
}

void history_free(History& h) {
  std::free(h.words);
  h.words = nullptr;
  h.rows = 0;
  h.capacity = 0;
}

void history_begin(History& h, int64_t upto) {
  h.writing.store(upto, std::memory_order_relaxed);
  // The announcement is visible before any word of the batch is.
  std::atomic_thread_fence(std::memory_order_release);
}

void history_publish(History& h, int64_t upto) { h.published.store(upto, std::memory_order_release); }

int64_t history_copy(const History& h, int64_t from, int64_t to, int32_t* dest) {
  int64_t k = from;
  while (k < to) {
    const int64_t slot = k % h.capacity;
    int64_t n = h.capacity - slot;
    if (n > to - k) n = to - k;
    std::memcpy(dest, h.words + static_cast<int64_t>(h.rows) * slot,
                static_cast<size_t>(n) * static_cast<size_t>(h.rows) * sizeof(int32_t));
    dest += n * h.rows;
    k += n;
  }
  // Whatever the writer had begun by the time the copy ended may have
  // replaced sweeps older than one capacity behind it.
  std::atomic_thread_fence(std::memory_order_acquire);
  const int64_t writing = h.writing.load(std::memory_order_relaxed);
  const int64_t intact = writing - h.capacity;
  return intact > from ? (intact < to ? intact : to) : from;
}

}  // namespace acquisition
