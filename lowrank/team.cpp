#include "lowrank/team.h"

#include <chrono>
#include <system_error>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <immintrin.h>
#define LOWRANK_PAUSE() _mm_pause()
#else
#define LOWRANK_PAUSE() std::this_thread::yield()
#endif

namespace lowrank {

namespace {

// How long a waiting thread spins before it sleeps: about the time between
// the jobs of consecutive steps, so that they do not pay for waking a thread
// (which takes tens of microseconds), and short enough to leave the
// processor soon to others once the factorization ends.
constexpr auto SPIN_TIME = std::chrono::microseconds(100);

// Spins until ready() or the spin time is over; true when ready.
template <class Ready>
bool spin_until(Ready&& ready) {
  const auto until = std::chrono::steady_clock::now() + SPIN_TIME;
  for (;;) {
    for (int k = 0; k < 64; ++k) {
      if (ready()) return true;
      LOWRANK_PAUSE();
    }
    if (std::chrono::steady_clock::now() > until) return ready();
  }
}

}  // namespace

Team::Team(int threads) {
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones started do the work
    }
  }
}

Team::~Team() {
  {
    std::lock_guard<std::mutex> guard(lock);
    stopping = true;
    generation.fetch_add(1, std::memory_order_release);
  }
  wake.notify_all();
  for (std::thread& t : helpers) t.join();
}

// Takes blocks of the current job until none is left.
void Team::work() {
  for (;;) {
    const size_t b = next.fetch_add(1, std::memory_order_relaxed);
    if (b >= blocks_) return;
    (*job_)(b);
    finished.fetch_add(1, std::memory_order_acq_rel);
  }
}

void Team::run(size_t blocks, const std::function<void(size_t)>& job) {
  if (helpers.empty() || blocks <= 1) {
    for (size_t b = 0; b < blocks; ++b) job(b);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    job_ = &job;
    blocks_ = blocks;
    next.store(0, std::memory_order_relaxed);
    finished.store(0, std::memory_order_relaxed);
    generation.fetch_add(1, std::memory_order_release);
  }
  wake.notify_all();
  work();
  // Done when every block is and no helper is still looking for one (so that
  // none can reach into the next job's counters with this job's view).
  auto all_done = [this] {
    return finished.load(std::memory_order_acquire) == blocks_ && inside.load(std::memory_order_acquire) == 0;
  };
  if (!spin_until(all_done)) {
    std::unique_lock<std::mutex> guard(lock);
    done.wait(guard, all_done);
  }
}

void Team::serve() {
  uint64_t seen = 0;
  for (;;) {
    auto changed = [&] { return generation.load(std::memory_order_acquire) != seen; };
    if (!spin_until(changed)) {
      std::unique_lock<std::mutex> guard(lock);
      wake.wait(guard, changed);
    }
    {
      std::lock_guard<std::mutex> guard(lock);
      seen = generation.load(std::memory_order_acquire);
      if (stopping) return;
      inside.fetch_add(1, std::memory_order_relaxed);
    }
    work();
    std::lock_guard<std::mutex> guard(lock);
    inside.fetch_sub(1, std::memory_order_release);
    done.notify_all();
  }
}

int team_threads_for(size_t rows) {
  // Below a couple of thousand rows a step is too short to share.
  if (rows < 2048) return 1;
  const unsigned hw = std::thread::hardware_concurrency();
  const unsigned most = hw == 0 ? 1u : hw;
  return static_cast<int>(most < 4u ? most : 4u);
}

}  // namespace lowrank
