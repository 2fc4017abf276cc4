// Pivoted incomplete Cholesky factorization of a kernel matrix that is never
// formed.  Shared by every factorization deliverable.
//
// Positions and steps are 0-based.  The factor G is column-major with n rows
// (leading dimension n); row i belongs to the sample at position i of the
// pivot order `perm`.  Step k chooses the sample with the largest residual,
// swaps it to position k and makes column k: the kernel values of the pivot
// against the samples at positions k+1 … n-1, minus G[i,j]·G[k,j] for the
// columns j = 0 … k-1 in increasing order, divided by G[k,k].  Every entry is
// computed by exactly those operations in exactly that order, whatever the
// path below takes, so results are reproducible to the last bit and equal to
// the literal procedure's; vectors and threads only ever run across
// independent entries, never across the terms of one sum.
//
// What makes it fast:
// - One pass over the factor per column made, in blocks of rows: a block's
//   kernel values and all its eliminations are done while it is in cache,
//   and the blocks are shared among threads.
// - Once the factor no longer fits in cache, reading it once per step is the
//   cost, so the columns of several likely pivots are made in one pass: a
//   pool of candidates (the samples with the largest residuals) whose
//   columns are kept eliminated up to the current step.  A pass fills it for
//   several candidates at once (the factor is read once for all of them);
//   every step then subtracts the new column's term from each pooled column,
//   which is the very subtraction the plain step would make for that entry,
//   in the same order.  A pivot found in the pool needs no pass at all; a
//   candidate never chosen only costs its column.  The pooled columns are
//   indexed by position, so they move with the rows on a swap.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "host/huge_pages.h"
#include "lowrank/memory.h"
#include "lowrank/panel.h"
#include "lowrank/team.h"

namespace lowrank {

// Work doubles in a block of memory that is kept for the next call once
// given back (host/huge_pages.h), so that a repeated factorization finds its
// buffers already backed by pages, whatever the process did before.  The
// contents start undefined: every user writes the values it reads.
struct Doubles {
  pages::Block block;
  size_t count = 0;

  Doubles() = default;
  explicit Doubles(size_t n) : count(n) {
    if (n > SIZE_MAX / sizeof(double)) throw std::bad_alloc();
    block = pages::take(n * sizeof(double));
  }
  ~Doubles() { pages::give(block, work_keep_bytes()); }
  Doubles(Doubles&& other) noexcept : block(other.block), count(other.count) {
    other.block = pages::Block();
    other.count = 0;
  }
  Doubles& operator=(Doubles&& other) noexcept {
    if (this != &other) {
      pages::give(block, work_keep_bytes());
      block = other.block;
      count = other.count;
      other.block = pages::Block();
      other.count = 0;
    }
    return *this;
  }
  Doubles(const Doubles&) = delete;
  Doubles& operator=(const Doubles&) = delete;

  double* data() { return static_cast<double*>(block.data); }
  const double* data() const { return static_cast<const double*>(block.data); }
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  double& operator[](size_t i) { return data()[i]; }
  const double& operator[](size_t i) const { return data()[i]; }
};

// Result of pivoted_icf: the factor buffer (n × capacity, column-major; its
// first rank·n values are the factor, zero above the diagonal) and the pivot
// order.
struct IcfResult {
  Doubles factor;
  std::vector<int32_t> perm;
  int32_t rank = 0;
};

// Tuning of the pool.  A pass makes at most POOL_REFILL columns (the
// pivot's and the likeliest next pivots'), about as many as it takes for a
// pass to cost its arithmetic rather than its reading of the factor.  The
// count adapts to how well the last pass served: it starts at
// POOL_REFILL_START, grows by half while the steps take every candidate of a
// pass, halves (down to POOL_REFILL_LEAST) while they take fewer than half.
// The pool holds POOL_SLOTS_PER_REFILL times the most candidates of a pass.
// When it starts is the kernel's to say (its POOL_FROM, a step): from there
// on a pass saved costs more than the columns of the candidates that are
// never chosen.
constexpr int POOL_REFILL = 16;
constexpr size_t POOL_REFILL_START = 8;
constexpr size_t POOL_REFILL_LEAST = 4;
constexpr size_t POOL_SLOTS_PER_REFILL = 3;
constexpr uint64_t POOL_FROM_KERNEL = ~uint64_t(0);
// The start of the pool for kernels whose columns are computed (an exp, a
// pow or a sum per value): the first steps' residuals tell little of the
// next pivots, and their passes over a few columns are cheap.
constexpr uint64_t POOL_FROM_COMPUTED = 8;
// Factor columns whose terms the pooled columns take in one batch.
constexpr size_t POOL_LAG = 8;

// How a factorization runs; the results are the same for every choice.
struct IcfOptions {
  int threads = 0;                        // threads in all; 0: as many as pay for the size
  int refill = POOL_REFILL;               // most columns made per pass; 0 or 1: no pool
  uint64_t pool_from = POOL_FROM_KERNEL;  // the step from which the pool is used
  Isa isa = best_isa();                   // instruction set of the inner loops
};

// What a factorization did: steps (columns made), passes over the factor,
// candidate columns computed (the pivots' included), and the steps and
// passes made while the pool was on.  The pool's hit rate, the share of its
// steps whose pivot column it held, is 1 - pool_passes / pool_steps.
struct IcfStats {
  int64_t steps = 0;
  int64_t passes = 0;
  int64_t columns = 0;
  int64_t pool_steps = 0;
  int64_t pool_passes = 0;
};

// Initial factor capacity: h + h/8 + 1 for a non-zero expected rank h, else
// 30·d.  Both are computed in 64 bits here; the entries refuse the sizes
// that would overflow the 32-bit form.
inline int64_t initial_capacity(int64_t d, int64_t expected_rank) {
  if (expected_rank != 0) return expected_rank + expected_rank / 8 + 1;
  return (d * 60) / 2;
}

// The factor buffer's column count as pivoted_icf uses it: never more than
// n + 1 (the factor has at most n columns and grows one column before it is
// full), at least 2 (so that growth by half does grow).
inline int64_t capped_capacity(int64_t n, int64_t capacity) {
  if (capacity > n) capacity = n + 1;
  if (capacity < 2) capacity = 2;
  return capacity;
}

// Rows per block of a pass: at most PASS_BLOCK_ROWS, so that the block's
// candidate columns stay in cache between their kernel values and their
// elimination; fewer for small factorizations, so that every thread gets a
// few blocks; never fewer than PASS_BLOCK_MIN, whose columns are still long
// runs for the hardware's prefetching.
constexpr size_t PASS_BLOCK_ROWS = 2048;
constexpr size_t PASS_BLOCK_MIN = 256;

// Work memory of a factorization of n samples besides the kernel's own data
// and the factor: the pivot order, the residuals and one candidate column.
// The pool's further columns are taken only when the factor has grown far
// beyond them and only if the machine has the memory.
inline uint64_t icf_state_bytes(uint64_t n) { return bytes_of(n, 4 + 8 + 8 + 4); }

// Work state of one factorization.
struct IcfWork {
  size_t n = 0;
  double* G = nullptr;  // the factor, leading dimension n
  std::vector<int32_t> perm;
  std::vector<double> resid;  // residual diagonal by position

  // The candidate pool: `slots` columns of n values, indexed by position.
  size_t slots = 0;
  size_t refill = 1;       // columns per pass now
  size_t most_refill = 1;  // the most once the pool is on (1: it never is)
  size_t last_pass = 0;    // the step of the last pass
  size_t last_fill = 0;    // and the columns it made
  uint64_t pool_from = 0;
  Doubles pool;
  std::vector<int32_t> slot_pos;  // position of a slot's candidate, -1 when free
  std::vector<int32_t> pos_slot;  // slot of the candidate at a position, -1 when none
  size_t synced = 0;              // the pooled columns hold the terms of columns 0 … synced-1
  size_t horizon = ~size_t(0);    // steps that may still come, this one included (a guess)

  // Scratch of a pass and of a step.
  std::vector<int32_t> fill_slots, samples, positions, active;
  std::vector<double> bt;
  std::vector<double*> columns;
  std::vector<std::pair<double, int32_t>> ranked;

  Isa isa = Isa::base;
  Team* team = nullptr;
  size_t block = PASS_BLOCK_ROWS;  // rows per block of a pass
  IcfStats stats;
};

// Work (in multiply-subtract pairs, or their equivalent in kernel values)
// below which a job runs on the calling thread alone: waking a helper and
// waiting for its last block would cost more than it saves.
constexpr double SHARED_FROM_PAIRS = 5e5;

// Block b of rows first … last-1 (blocks of w.block rows, the last one
// shorter).
inline size_t block_count(const IcfWork& w, size_t first, size_t last) {
  return first >= last ? 0 : (last - first + w.block - 1) / w.block;
}
inline void block_rows(const IcfWork& w, size_t first, size_t last, size_t b, size_t* r0, size_t* r1) {
  *r0 = first + b * w.block;
  *r1 = std::min(last, *r0 + w.block);
}

// Runs job(b) for the blocks b = 0 … blocks-1: on the team when the work is
// worth sharing, else here.
template <class Job>
void icf_run(IcfWork& w, double work, size_t blocks, Job&& job) {
  if (work < SHARED_FROM_PAIRS) {
    for (size_t b = 0; b < blocks; ++b) job(b);
  } else {
    w.team->run(blocks, job);
  }
}

// Starts a factorization of n samples: perm = identity, resid = kernel
// diagonal, one candidate column.
template <class Kernel>
void icf_begin(IcfWork& w, size_t n, const Kernel& kernel, const IcfOptions& options, Team* team) {
  w.n = n;
  w.perm.resize(n);
  w.resid.resize(n);
  for (size_t i = 0; i < n; ++i) {
    w.perm[i] = static_cast<int32_t>(i);
    w.resid[i] = kernel.diag(i);
  }
  w.slots = 1;
  w.pool = Doubles(n);
  w.slot_pos.assign(1, -1);
  w.pos_slot.assign(n, -1);
  w.most_refill = options.refill > 1 ? static_cast<size_t>(options.refill) : 1;
  w.pool_from = options.pool_from == POOL_FROM_KERNEL ? Kernel::POOL_FROM : options.pool_from;
  w.refill = 1;
  w.isa = options.isa;
  w.team = team;
  // About four blocks per thread, in multiples of 8 rows.
  const size_t share = (n / (4 * static_cast<size_t>(team->size())) + 7) / 8 * 8;
  w.block = std::min(PASS_BLOCK_ROWS, std::max(PASS_BLOCK_MIN, share));
}

// Turns the pool on from step pool_from (never at step 0, whose residuals
// are only the kernel diagonal and tell nothing of the next pivots), if the
// machine has the memory for it; otherwise the factorization goes on with one
// pass per step.
inline void icf_consider_pool(IcfWork& w, size_t k) {
  if (w.most_refill <= 1 || w.refill > 1 || k == 0 || k < w.pool_from) return;
  const size_t most = w.most_refill;
  w.most_refill = 1;  // one try
  const size_t slots = POOL_SLOTS_PER_REFILL * most;
  if (!fits_in_memory(add_bytes(bytes_of(w.n, 8 * (k + slots)), icf_state_bytes(w.n)))) return;
  // No column is pooled between steps without the pool, so nothing is kept.
  try {
    w.pool = Doubles(slots * w.n);
  } catch (const std::bad_alloc&) {
    return;
  }
  w.slot_pos.resize(slots, -1);
  w.slots = slots;
  w.most_refill = most;
  w.refill = std::min(most, POOL_REFILL_START);
  w.last_fill = 0;
}

// Sizes the pass at step k by how the last one served: the steps since took
// all of its columns (or as many from the pool), so more are worth making at
// once; or fewer than half of them, so fewer.
inline void icf_adapt_refill(IcfWork& w, size_t k) {
  if (w.refill <= 1 || w.last_fill <= 1) return;
  const size_t served = k - w.last_pass;
  const size_t least = std::min(w.most_refill, POOL_REFILL_LEAST);
  if (served >= w.last_fill)
    w.refill = std::min(w.most_refill, w.refill + w.refill / 2);
  else if (2 * served < w.last_fill)
    w.refill = std::max(least, w.refill / 2);
}

// Chooses the candidates of a pass at step k (the pivot is at position k and
// is not pooled): the pivot, then the positions with the largest positive
// residuals that are not pooled yet, up to w.refill columns in all.  When no
// slot is free, the pooled candidate with the lowest residual makes room,
// provided the newcomer's residual is larger.  Leaves the chosen slots in
// w.fill_slots.
inline void icf_choose(IcfWork& w, size_t k) {
  const size_t n = w.n;
  w.fill_slots.clear();
  auto release = [&](size_t slot) {
    w.pos_slot[static_cast<size_t>(w.slot_pos[slot])] = -1;
    w.slot_pos[slot] = -1;
  };
  auto take = [&](size_t pos) {
    int32_t slot = -1;
    for (size_t s = 0; s < w.slots; ++s)
      if (w.slot_pos[s] < 0) {
        slot = static_cast<int32_t>(s);
        break;
      }
    if (slot < 0) {
      double lowest = 0.0;
      for (size_t s = 0; s < w.slots; ++s) {
        const size_t at = static_cast<size_t>(w.slot_pos[s]);
        if (at == k ||
            std::find(w.fill_slots.begin(), w.fill_slots.end(), static_cast<int32_t>(s)) != w.fill_slots.end())
          continue;
        const double r = w.resid[at];
        if (slot < 0 || !(r >= lowest)) {
          lowest = r;
          slot = static_cast<int32_t>(s);
        }
      }
      if (slot < 0 || (pos != k && !(w.resid[pos] > lowest))) return false;
      release(static_cast<size_t>(slot));
    }
    w.slot_pos[static_cast<size_t>(slot)] = static_cast<int32_t>(pos);
    w.pos_slot[pos] = slot;
    w.fill_slots.push_back(slot);
    return true;
  };
  // No more candidates than steps may come: a candidate left over at the end
  // costs its column for nothing.
  const size_t most = std::min(w.refill, std::max<size_t>(w.horizon, 1));
  // The `want` largest positive residuals of the positions not pooled, in
  // one scan: a short list kept in decreasing order (the lower position
  // first among equal values).
  const size_t want = w.refill > 1 && most > 1 ? most - 1 : 0;
  w.ranked.clear();
  for (size_t i = k + 1; i < n && want > 0; ++i) {
    const double r = w.resid[i];
    if (!(r > 0.0) || w.pos_slot[i] >= 0) continue;
    if (w.ranked.size() == want && !(r > w.ranked.back().first)) continue;
    if (w.ranked.size() == want) w.ranked.pop_back();
    size_t at = w.ranked.size();
    w.ranked.emplace_back(r, static_cast<int32_t>(i));
    for (; at > 0 && w.ranked[at - 1].first < r; --at) std::swap(w.ranked[at - 1], w.ranked[at]);
  }
  take(k);
  for (const auto& candidate : w.ranked)
    if (!take(static_cast<size_t>(candidate.second))) break;
}

// One pass over the factor for the candidates in w.fill_slots at step k:
// their kernel values against the samples at positions k+1 … n-1, minus the
// terms of columns 0 … k-1, block by block of rows.
template <class Kernel>
void icf_fill(IcfWork& w, Kernel& kernel, size_t k) {
  const size_t n = w.n, C = w.fill_slots.size();
  if (C == 0) return;
  w.samples.resize(C);
  w.positions.resize(C);
  w.columns.resize(C);
  w.bt.resize(k * C);
  for (size_t c = 0; c < C; ++c) {
    const size_t s = static_cast<size_t>(w.fill_slots[c]);
    const size_t at = static_cast<size_t>(w.slot_pos[s]);
    w.samples[c] = w.perm[at];
    w.positions[c] = static_cast<int32_t>(at);
    w.columns[c] = w.pool.data() + s * n;
    for (size_t j = 0; j < k; ++j) w.bt[j * C + c] = w.G[at + j * n];
  }
  kernel.prepare(w.samples.data(), w.positions.data(), C, *w.team);
  const Kernel& K = kernel;
  const double work = static_cast<double>(C) * static_cast<double>(n - k) * (static_cast<double>(k) + K.column_cost());
  icf_run(w, work, block_count(w, k + 1, n), [&](size_t block) {
    size_t r0, r1;
    block_rows(w, k + 1, n, block, &r0, &r1);
    K.columns(w.isa, C, w.columns.data(), r0, r1, w.perm.data());
    eliminate(w.isa, w.G, n, k, w.bt.data(), C, w.columns.data(), r0, r1);
  });
  w.stats.passes += 1;
  w.stats.columns += static_cast<int64_t>(C);
  if (w.refill > 1) w.stats.pool_passes += 1;
}

// Brings the pooled columns in `slots` from column `synced` up to column k-1:
// the terms of columns synced … k-1, in increasing order, for the rows after
// position k.  Those are the subtractions each entry would have received
// step by step; made in one pass they read the pooled columns once.
inline void icf_catch_up(IcfWork& w, const std::vector<int32_t>& slots, size_t k) {
  const size_t n = w.n, C = slots.size(), j0 = w.synced;
  if (C == 0 || j0 >= k) return;
  w.columns.resize(C);
  w.bt.resize((k - j0) * C);
  for (size_t c = 0; c < C; ++c) {
    const size_t s = static_cast<size_t>(slots[c]);
    const size_t at = static_cast<size_t>(w.slot_pos[s]);
    w.columns[c] = w.pool.data() + s * n;
    for (size_t j = j0; j < k; ++j) w.bt[(j - j0) * C + c] = w.G[at + j * n];
  }
  const double work = static_cast<double>(C) * static_cast<double>(n - k) * static_cast<double>(k - j0);
  icf_run(w, work, block_count(w, k + 1, n), [&](size_t block) {
    size_t r0, r1;
    block_rows(w, k + 1, n, block, &r0, &r1);
    eliminate(w.isa, w.G + j0 * n, n, k - j0, w.bt.data(), C, w.columns.data(), r0, r1);
  });
}

// The pooled slots but those in `except`, in slot order.
inline const std::vector<int32_t>& icf_active(IcfWork& w, const std::vector<int32_t>& except) {
  w.active.clear();
  for (size_t s = 0; s < w.slots; ++s)
    if (w.slot_pos[s] >= 0 && std::find(except.begin(), except.end(), static_cast<int32_t>(s)) == except.end())
      w.active.push_back(static_cast<int32_t>(s));
  return w.active;
}

// Step k with pivot position p; the factor has at least k+1 columns and
// column k is all zero.  Returns the remaining trace, the sum of the new
// residuals of positions k+1 … n-1 in increasing order, and sets *next to
// the position of the largest positive residual (the lowest on ties; k+1
// when none is positive or all are NaN).
//
// The residual of position i after step k is kdiag - G[i,0]² - … - G[i,k]²,
// subtracted in increasing column order.  After step k-1 resid[i] holds that
// chain up to column k-1 exactly, and columns 0 … k-1 of a row never change
// but by row swaps, so subtracting G[i,k]² from it gives the same bits as
// recomputing the chain from the kernel diagonal.  resid moves with the rows
// on a swap to keep that pairing.
template <class Kernel>
double icf_step(IcfWork& w, Kernel& kernel, size_t k, size_t p, size_t* next) {
  const size_t n = w.n;
  double* G = w.G;

  // Swap: positions p and k exchange their samples, factor rows so far,
  // residuals, kernel data and pooled entries.
  if (p != k) {
    std::swap(w.perm[p], w.perm[k]);
    std::swap(w.resid[p], w.resid[k]);
    for (size_t j = 0; j < k; ++j) std::swap(G[p + j * n], G[k + j * n]);
    kernel.swap(p, k);
    for (size_t s = 0; s < w.slots; ++s)
      if (w.slot_pos[s] >= 0) std::swap(w.pool[s * n + p], w.pool[s * n + k]);
    std::swap(w.pos_slot[p], w.pos_slot[k]);
    if (w.pos_slot[p] >= 0) w.slot_pos[static_cast<size_t>(w.pos_slot[p])] = static_cast<int32_t>(p);
    if (w.pos_slot[k] >= 0) w.slot_pos[static_cast<size_t>(w.pos_slot[k])] = static_cast<int32_t>(k);
  }

  // The pivot's column, eliminated up to column k-1: from the pool, or from
  // a pass that also fills the pool.  The pooled columns take the terms of
  // the new factor columns in batches of POOL_LAG, and all at once before a
  // pass (so that every pooled column is then eliminated up to column k-1);
  // the pivot's column takes the ones it lacks when it is chosen.
  icf_consider_pool(w, k);
  if (w.pos_slot[k] < 0) {
    // A pass.  The candidates are chosen first, so that a pooled column one
    // displaces takes no more terms; the pooled columns that stay are
    // brought up to column k-1, as the pass brings the new ones.
    icf_adapt_refill(w, k);
    icf_choose(w, k);
    icf_catch_up(w, icf_active(w, w.fill_slots), k);
    w.synced = k;
    icf_fill(w, kernel, k);
    w.last_pass = k;
    w.last_fill = w.fill_slots.size();
  } else if (k - w.synced >= POOL_LAG) {
    icf_catch_up(w, icf_active(w, {}), k);
    w.synced = k;
  } else {
    icf_catch_up(w, std::vector<int32_t>(1, w.pos_slot[k]), k);
  }
  w.stats.steps += 1;
  if (w.refill > 1) w.stats.pool_steps += 1;
  const size_t ps = static_cast<size_t>(w.pos_slot[k]);
  const double* src = w.pool.data() + ps * n;
  double* col = G + k * n;
  const double gkk = std::sqrt(w.resid[k]);
  col[k] = gkk;

  // Scaling, new residuals, the remaining trace (one sum in increasing
  // position) and the next pivot, the first largest positive residual.  One
  // thread: the sum is a chain of additions, which the other work hides in.
  double trace = 0.0, best = 0.0;
  size_t pick = k + 1;
  finish(w.isa, src, gkk, col, w.resid.data(), k + 1, n, &trace, &best, &pick);
  w.slot_pos[ps] = -1;
  w.pos_slot[k] = -1;
  *next = pick;
  return trace;
}

// A guess of the steps that may follow: the remaining trace went from
// `before` to `trace` in the last step and must fall to `limit`.  Only the
// pool's candidates per pass depend on it, never a result.
inline size_t icf_steps_left(double before, double trace, double limit) {
  const double left = (trace - limit) / (before - trace);
  if (!(left >= 0.0) || !(left < 1e9)) return ~size_t(0);
  return static_cast<size_t>(left) + 1;
}

// Threads for a factorization of n samples under `options`.
inline int icf_threads(size_t n, const IcfOptions& options) {
  return options.threads > 0 ? options.threads : team_threads_for(n);
}

// The factorization with an absolute stop on the remaining trace and a
// factor buffer that grows by half one column before it is full.  The
// kernel provides (see rbf.cpp for one):
//   POOL_FROM               factor bytes from which the pool pays
//   column_cost()           the cost of one kernel value, in
//                           multiply-subtract pairs
//   diag(v)                 the kernel diagonal of sample v
//   swap(p, k)              its data by position follows a row swap
//   prepare(samples, positions, C, team)
//                           the candidates of the next columns() calls
//   columns(isa, C, out, r0, r1, perm)
//                           out[c][i] = K(samples[c], perm[i]) for rows
//                           r0 … r1-1, the candidate sample first
// The factorization runs only if tol < n; it stops once the remaining trace
// is not above tol (a NaN trace stops it too).  `table_bytes` is the memory
// the kernel holds, counted when the factor grows.
template <class Kernel>
IcfResult pivoted_icf(int32_t n_in, Kernel& kernel, double tol, int32_t capacity, uint64_t table_bytes,
                      const IcfOptions& options = IcfOptions(), IcfStats* stats = nullptr) {
  const size_t n = static_cast<size_t>(n_in);
  Team team(icf_threads(n, options));
  IcfWork w;
  icf_begin(w, n, kernel, options, &team);
  IcfResult out;
  size_t cap = static_cast<size_t>(capped_capacity(n_in, capacity));
  out.factor = Doubles(cap * n);
  w.G = out.factor.data();

  int32_t rank = 0;
  if (tol < static_cast<double>(n)) {
    size_t p = 0;
    double before = static_cast<double>(n);
    // After position n - 1 the remaining trace is an empty sum, so with
    // tol >= 0 the trace test ends the loop by then; the bound only guards
    // a negative tol.
    for (size_t k = 0; k < n; ++k) {
      if (k == cap - 1) {
        // Growth by half, never beyond n + 1 columns (the next growth would
        // come at step n, which is never made).  Both buffers are held while
        // the finished columns are copied.
        const size_t grown_cap = std::min(cap + cap / 2, n + 1);
        require_memory(add_bytes(add_bytes(bytes_of(cap + grown_cap, 8 * n), table_bytes),
                                 bytes_of(w.pool.size(), 8) + icf_state_bytes(n)));
        Doubles grown(grown_cap * n);
        std::memcpy(grown.data(), out.factor.data(), k * n * sizeof(double));
        out.factor = std::move(grown);
        w.G = out.factor.data();
        cap = grown_cap;
      }
      const double trace = icf_step(w, kernel, k, p, &p);
      rank = static_cast<int32_t>(k) + 1;
      if (!(trace > tol)) break;
      w.horizon = icf_steps_left(before, trace, tol);
      before = trace;
    }
  }
  // The steps never write above the diagonal, and the buffer may hold an
  // earlier call's values there.
  for (size_t j = 1; j < static_cast<size_t>(rank); ++j) std::fill_n(out.factor.data() + j * n, j, 0.0);
  out.perm = std::move(w.perm);
  out.rank = rank;
  if (stats) *stats = w.stats;
  return out;
}

}  // namespace lowrank
