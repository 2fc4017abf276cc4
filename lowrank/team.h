// A few threads that share the blocks of rows of one factorization step.
// The blocks are handed out one at a time to whichever thread asks first, the
// caller included, so that a helper the system has not scheduled yet holds
// up nothing: the caller does the blocks the helpers do not take.  Helpers
// wait between jobs, spinning briefly (a step takes from microseconds to
// milliseconds) before they sleep.  Jobs are plain C++ and must not throw;
// the host is never called from a helper.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lowrank {

struct Team {
  // Up to `threads` threads in all (the caller included); fewer when the
  // system will not start more.
  explicit Team(int threads);
  ~Team();
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  int size() const { return static_cast<int>(helpers.size()) + 1; }

  // Runs job(b) for b = 0 … blocks-1, each once, and returns when all are
  // done.
  void run(size_t blocks, const std::function<void(size_t)>& job);

 private:
  void serve();
  void work();

  std::vector<std::thread> helpers;
  const std::function<void(size_t)>* job_ = nullptr;
  size_t blocks_ = 0;
  std::atomic<size_t> next{0}, finished{0};
  std::atomic<int> inside{0};  // helpers taking blocks of the current job
  std::atomic<uint64_t> generation{0};
  bool stopping = false;
  std::mutex lock;
  std::condition_variable wake, done;
};

// Threads worth using for a step over `rows` rows on this machine.
int team_threads_for(size_t rows);

}  // namespace lowrank
