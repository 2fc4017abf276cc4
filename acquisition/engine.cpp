#include "acquisition/engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

#include "acquisition/history.h"
#include "acquisition/recorder.h"
#include "acquisition/ring.h"
#include "acquisition/thread_time.h"


namespace acquisition {

namespace {

// The reader looks at the driver's pointer this often: a few milliseconds'
// worth of sweeps per pass, and a stop that is seen within one pass.  Its
// cost is mostly the wake-ups: at 610 channels x 16384 Hz about 1.4 % of a
// core every 2 ms, 2.4 % every 1 ms.
constexpr std::chrono::microseconds POLL_INTERVAL(2000);
// A pointer that stands still (or reads that fail) this long is a problem.
constexpr double STALL_SECONDS = 1.0;
// Onsets waiting for acq_events at most; older ones are dropped and counted.
constexpr size_t MAX_PENDING_EVENTS = size_t{1} << 20;
// Problems waiting for the script at most (the oldest are kept).
constexpr size_t MAX_PENDING_PROBLEMS = 16;
// How long a stop waits for the reader thread before giving up on it.
constexpr double JOIN_SECONDS = 5.0;

double seconds_since(int64_t t0_ns) { return static_cast<double>(session_clock_ns() - t0_ns) / 1e9; }

}  // namespace

struct Engine {
  EngineConfig cfg;
  History history;
  int64_t started_ns = 0;
  bool identity = false;          // every word of the sweep is kept
  uint32_t* scratch = nullptr;    // one sweep, for a sweep that straddles the ring's end

  std::mutex driver_lock;         // READ_POINTER: the reader and acq_fetch
  std::thread reader;
  std::atomic<bool> stop{false};
  std::atomic<bool> reader_done{false};
  std::atomic<bool> running{false};
  std::atomic<bool> stalled{false};
  std::atomic<int64_t> lost_by_reader{0};
  std::atomic<int64_t> cpu_ns{0};
  std::atomic<int64_t> events_total{0};
  bool started = false, stopped = false, stuck = false;

  // Only the host's thread.
  int64_t read_cursor = 0;
  int64_t lost_by_reads = 0;

  std::mutex events_lock;
  std::deque<TriggerEvent> events;
  int64_t events_dropped = 0;

  mutable std::mutex problems_lock;
  std::deque<EngineProblem> problems;
  EngineProblem last_problem;

  Recorder* recorder = nullptr;
  RecordSummary summary;
};

namespace {

void add_problem(Engine* e, const char* condition, const char* fmt, ...) ACQ_PRINTF(3, 4);
void add_problem(Engine* e, const char* condition, const char* fmt, ...) {
  EngineProblem p;
  std::snprintf(p.condition, sizeof p.condition, "%s", condition);
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(p.text, sizeof p.text, fmt, ap);
  va_end(ap);
  std::lock_guard<std::mutex> hold(e->problems_lock);
  if (e->problems.size() < MAX_PENDING_PROBLEMS) e->problems.push_back(p);
  e->last_problem = p;
}

// READ_POINTER under the driver lock; a driver that throws reads as a
// failure (`threw` set), since nothing may leave the reader thread.
int32_t locked_read_pointer(Engine* e, uint32_t* pointer, bool& threw) {
  std::lock_guard<std::mutex> hold(e->driver_lock);
  threw = false;
  try {
    return e->cfg.driver.read_pointer(e->cfg.handle, pointer);
  } catch (...) {
    threw = true;
    return 0;
  }
}

// Takes `count` sweeps from the ring at byte `pos` on into the history as
// sweeps `first` on, checking each sweep's sync word.  Returns how many were
// taken: fewer when a sync word is missing (the rest is misaligned).
int64_t take_sweeps(Engine* e, int64_t pos, int64_t first, int64_t count) {
  const EngineConfig& c = e->cfg;
  const int64_t sweep_bytes = static_cast<int64_t>(c.channels) * 4;
  const uint32_t* ring = reinterpret_cast<const uint32_t*>(c.ring);
  const int64_t ring_words = c.ring_bytes / 4;
  int64_t good = 0;
  while (good < count && ring[((pos + good * sweep_bytes) / 4) % ring_words] == SYNC_WORD) ++good;
  if (e->identity) {
    // Whole sweeps: one copy per stretch that neither the ring's end nor the
    // history's end interrupts.
    for (int64_t j = 0; j < good;) {
      const int64_t slot = (first + j) % e->history.capacity;
      const int64_t n = std::min(good - j, e->history.capacity - slot);
      copy_ring_bytes(c.ring, c.ring_bytes, (pos + j * sweep_bytes) % c.ring_bytes, history_slot(e->history, first + j),
                     n * sweep_bytes);
      j += n;
    }
    return good;
  }
  const int64_t rows = e->history.rows;
  for (int64_t j = 0; j < good; ++j) {
    const int64_t at = (pos + j * sweep_bytes) % c.ring_bytes;
    const uint32_t* sweep = reinterpret_cast<const uint32_t*>(c.ring + at);
    if (at + sweep_bytes > c.ring_bytes) {
      copy_ring_bytes(c.ring, c.ring_bytes, at, e->scratch, sweep_bytes);
      sweep = e->scratch;
    }
    int32_t* slot = history_slot(e->history, first + j);
    for (int64_t r = 0; r < rows; ++r) slot[r] = static_cast<int32_t>(sweep[c.keep[static_cast<size_t>(r)]]);
  }
  return good;
}

// The onsets among sweeps [from, to) of the history: a change of the 16-bit
// trigger value (status bits 0 to 15, word bits 8 to 23) to a value other
// than 0.
void detect_onsets(Engine* e, int64_t from, int64_t to, uint32_t& previous) {
  std::vector<TriggerEvent> found;
  for (int64_t k = from; k < to; ++k) {
    const uint32_t code = (static_cast<uint32_t>(history_slot(e->history, k)[1]) >> 8) & 0xFFFFu;
    if (code != previous && code != 0) found.push_back(TriggerEvent{k, code});
    previous = code;
  }
  if (found.empty()) return;
  e->events_total.fetch_add(static_cast<int64_t>(found.size()));
  std::lock_guard<std::mutex> hold(e->events_lock);
  for (const TriggerEvent& ev : found) {
    if (e->events.size() >= MAX_PENDING_EVENTS) {
      e->events.pop_front();
      ++e->events_dropped;
    }
    e->events.push_back(ev);
  }
}

void reader_main(Engine* e) {
  const EngineConfig& c = e->cfg;
  const int64_t sweep_bytes = static_cast<int64_t>(c.channels) * 4;
  const int64_t ring_bytes = c.ring_bytes;
  int64_t pos = static_cast<int64_t>(c.first_pointer) % ring_bytes;  // where the next sweep begins
  int64_t received = 0;
  uint32_t previous_code = 0;
  int64_t last_poll_ns = session_clock_ns();
  int64_t last_progress_ns = last_poll_ns;
  int64_t last_read_ok_ns = last_poll_ns;
  bool read_failure_reported = false;
  const int64_t record_sweeps = e->recorder ? recorder_record_sweeps(e->recorder) : 0;
  int64_t stop_deadline_ns = 0;
  int64_t passes = 0;

  for (;;) {
    const int64_t now = session_clock_ns();
    if (e->stop.load(std::memory_order_acquire)) {
      // A recording ends on a record boundary when the driver delivers it in
      // time; otherwise its last record is completed by repetition.
      if (record_sweeps <= 0 || received % record_sweeps == 0 || recorder_failed(e->recorder)) break;
      if (stop_deadline_ns == 0)
        stop_deadline_ns = now + static_cast<int64_t>((static_cast<double>(record_sweeps) / c.rate + 0.5) * 1e9);
      else if (now > stop_deadline_ns)
        break;
    }
    if (++passes % 64 == 0) e->cpu_ns.store(thread_cpu_ns(), std::memory_order_relaxed);

    uint32_t p = 0;
    bool threw = false;
    if (locked_read_pointer(e, &p, threw) == 0) {
      if (threw) {
        add_problem(e, "driverFailed",
                    "The driver's READ_POINTER raised an exception after sweep %lld; the reader stopped.",
                    static_cast<long long>(received));
        break;
      }
      last_progress_ns = now;  // failing reads are their own problem, not a stall
      if (!read_failure_reported && static_cast<double>(now - last_read_ok_ns) / 1e9 >= STALL_SECONDS) {
        add_problem(e, "readFailed",
                    "Reading the driver's buffer pointer has failed for %.1f s (after sweep %lld); the reader "
                    "keeps trying.",
                    static_cast<double>(now - last_read_ok_ns) / 1e9, static_cast<long long>(received));
        read_failure_reported = true;
      }
      std::this_thread::sleep_for(POLL_INTERVAL);
      continue;
    }
    last_read_ok_ns = now;
    read_failure_reported = false;
    if (p > static_cast<uint32_t>(ring_bytes)) {
      add_problem(e, "badPointer",
                  "The driver reported the buffer pointer %u, beyond the ring's %lld bytes, after sweep %lld; "
                  "the reader stopped.",
                  p, static_cast<long long>(ring_bytes), static_cast<long long>(received));
      break;
    }
    const int64_t pointer = static_cast<int64_t>(p) % ring_bytes;
    int64_t count = ((pointer - pos) % ring_bytes + ring_bytes) % ring_bytes / sweep_bytes;

    // A reader held up longer than the ring lasts (a debugger stop, a
    // starved process) has missed sweeps; by the clock, how many.
    const double due = static_cast<double>(now - last_poll_ns) / 1e9 * c.rate;
    if (due >= RING_SWEEPS) {
      const int64_t missed = std::max<int64_t>(0, static_cast<int64_t>(due) - count);
      e->lost_by_reader.fetch_add(missed);
      add_problem(e, "overrun",
                  "The reader was held up for %.2f s, longer than the driver's ring lasts (%.2f s): about %lld "
                  "sweeps after sweep %lld were lost.",
                  due / c.rate, static_cast<double>(RING_SWEEPS) / c.rate, static_cast<long long>(missed),
                  static_cast<long long>(received));
    }
    last_poll_ns = now;

    if (count > 0) {
      if (stop_deadline_ns != 0) count = std::min(count, record_sweeps - received % record_sweeps);
      // Never more in one pass than the history holds, so that a pass never
      // replaces its own sweeps; the rest waits for the next pass.
      count = std::min(count, e->history.capacity);
      history_begin(e->history, received + count);
      const int64_t good = take_sweeps(e, pos, received, count);
      int64_t kept = good;
      // A pass this close to the ring's size may have been overtaken by the
      // driver while it was copied: ask the pointer again, and keep only the
      // sweeps it cannot have reached.
      if (good == count && count >= RING_SWEEPS / 2) {
        uint32_t after = 0;
        bool threw_after = false;
        if (locked_read_pointer(e, &after, threw_after) != 0) {
          const double clock_bytes = seconds_since(now) * c.rate * static_cast<double>(sweep_bytes);
          const int64_t skip = overwritten_sweeps(pos + count * sweep_bytes, static_cast<int64_t>(p),
                                                  static_cast<int64_t>(after), count, sweep_bytes, ring_bytes,
                                                  clock_bytes);
          if (skip > 0) {
            // The newer sweeps move down in place of the ones not trusted.
            kept = count - skip;
            for (int64_t j = 0; j < kept; ++j)
              std::memmove(history_slot(e->history, received + j), history_slot(e->history, received + skip + j),
                           static_cast<size_t>(e->history.rows) * sizeof(int32_t));
            e->lost_by_reader.fetch_add(skip);
            add_problem(e, "overrun",
                        "The driver overwrote %lld sweeps after sweep %lld before the reader could copy them.",
                        static_cast<long long>(skip), static_cast<long long>(received));
          }
        }
      }
      history_publish(e->history, received + kept);
      detect_onsets(e, received, received + kept, previous_code);
      received += kept;
      if (good < count) {
        add_problem(e, "syncLost",
                    "Sweep %lld did not begin with the sync word: the driver's sweeps are misaligned. The reader "
                    "stopped.",
                    static_cast<long long>(received + 1));
        break;
      }
      pos = (pos + count * sweep_bytes) % ring_bytes;
      last_progress_ns = now;
      if (e->stalled.load(std::memory_order_relaxed)) e->stalled.store(false, std::memory_order_relaxed);
    } else if (!e->stalled.load(std::memory_order_relaxed) &&
               static_cast<double>(now - last_progress_ns) / 1e9 >= STALL_SECONDS) {
      e->stalled.store(true, std::memory_order_relaxed);
      add_problem(e, "stalled",
                  "The driver's buffer pointer has not moved for %.1f s (the last sweep was %lld): the amplifier "
                  "stopped sending, or a replayed file ended.",
                  static_cast<double>(now - last_progress_ns) / 1e9, static_cast<long long>(received));
    }
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
  e->running.store(false);
  e->cpu_ns.store(thread_cpu_ns());
  e->reader_done.store(true, std::memory_order_release);
}

void copy_text(char* dest, size_t size, const std::string& text) { std::snprintf(dest, size, "%s", text.c_str()); }

}  // namespace

Engine* engine_create(const EngineConfig& config, EngineRefused& why) {
  why = EngineRefused();
  Engine* e = new (std::nothrow) Engine;
  if (!e) {
    why.refusal = EngineRefusal::out_of_memory;
    std::snprintf(why.message, sizeof why.message, "Out of memory for the session.");
    return nullptr;
  }
  try {
    e->cfg = config;
  } catch (...) {
    delete e;
    why.refusal = EngineRefusal::out_of_memory;
    std::snprintf(why.message, sizeof why.message, "Out of memory for the session.");
    return nullptr;
  }
  const int32_t rows = static_cast<int32_t>(config.keep.size());
  e->identity = rows == config.channels;
  e->scratch = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(config.channels) * 4));
  if (!e->scratch || !history_allocate(e->history, rows, config.history_sweeps)) {
    const double gib = static_cast<double>(rows) * 4.0 * static_cast<double>(config.history_sweeps) / 1073741824.0;
    why.refusal = EngineRefusal::out_of_memory;
    std::snprintf(why.message, sizeof why.message,
                  "The history of %lld sweeps (%.3g GiB) cannot be allocated. Ask for a shorter 'history' or fewer "
                  "'channels'.",
                  static_cast<long long>(config.history_sweeps), gib);
    engine_destroy(e);
    return nullptr;
  }
  if (!config.record_path.empty()) {
    std::string message;
    const RecorderOpen opened = recorder_open(e->recorder, config, message);
    if (opened != RecorderOpen::ok) {
      why.refusal = opened == RecorderOpen::exists ? EngineRefusal::file_exists : EngineRefusal::file_failed;
      copy_text(why.message, sizeof why.message, message);
      engine_destroy(e);
      return nullptr;
    }
  }
  return e;
}

void engine_start(Engine* e) {
  if (!e || e->started) return;
  e->started = true;
  e->started_ns = session_clock_ns();
  e->running.store(true);
  if (e->recorder) recorder_start(e->recorder, &e->history);
  e->reader = std::thread(reader_main, e);
}

bool engine_stop(Engine* e, RecordSummary& summary) {
  summary = RecordSummary();
  if (!e) return true;
  if (!e->stopped) {
    e->stopped = true;
    e->stop.store(true, std::memory_order_release);
    if (e->reader.joinable()) {
      // A driver call that never returns must not hang the host: after a
      // while the thread is left to itself (and the library loaded).
      const int64_t t0 = session_clock_ns();
      while (!e->reader_done.load(std::memory_order_acquire) && seconds_since(t0) < JOIN_SECONDS)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (e->reader_done.load(std::memory_order_acquire)) {
        e->reader.join();
      } else {
        e->reader.detach();
        e->stuck = true;
      }
    }
    e->running.store(false);
    if (e->recorder) {
      recorder_finish(e->recorder, e->history.published.load(std::memory_order_acquire), e->summary);
    }
  }
  summary = e->summary;
  return !e->stuck;
}

void engine_destroy(Engine* e) {
  if (!e) return;
  if (!e->stopped) {
    RecordSummary ignored;
    engine_stop(e, ignored);
  }
  if (e->stuck) return;  // its thread may still touch it
  recorder_destroy(e->recorder);
  history_free(e->history);
  std::free(e->scratch);
  delete e;
}

int32_t engine_read_pointer(Engine* e, uint32_t* pointer) {
  bool threw = false;
  return locked_read_pointer(e, pointer, threw);
}

int32_t engine_rows(const Engine* e) { return e->history.rows; }
int64_t engine_capacity(const Engine* e) { return e->history.capacity; }
int64_t engine_received(const Engine* e) { return e->history.published.load(std::memory_order_acquire); }

int64_t engine_copy(const Engine* e, int64_t from, int64_t to, int32_t* dest) {
  return history_copy(e->history, from, to, dest);
}

int64_t engine_read_cursor(const Engine* e) { return e->read_cursor; }

void engine_move_read_cursor(Engine* e, int64_t next, int64_t lost) {
  e->read_cursor = next;
  e->lost_by_reads += lost;
}

size_t engine_pending_events(Engine* e) {
  std::lock_guard<std::mutex> hold(e->events_lock);
  return e->events.size();
}

size_t engine_take_events(Engine* e, TriggerEvent* dest, size_t most, int64_t& dropped) {
  std::lock_guard<std::mutex> hold(e->events_lock);
  const size_t n = std::min(most, e->events.size());
  std::copy(e->events.begin(), e->events.begin() + static_cast<std::ptrdiff_t>(n), dest);
  e->events.erase(e->events.begin(), e->events.begin() + static_cast<std::ptrdiff_t>(n));
  dropped = e->events_dropped;
  e->events_dropped = 0;
  return n;
}

bool engine_take_problem(Engine* e, EngineProblem& problem) {
  if (e->recorder && recorder_take_problem(e->recorder, problem)) return true;
  std::lock_guard<std::mutex> hold(e->problems_lock);
  if (e->problems.empty()) return false;
  problem = e->problems.front();
  e->problems.pop_front();
  return true;
}

void engine_status(const Engine* e, EngineStatus& s) {
  s = EngineStatus();
  s.received = engine_received(e);
  s.capacity = e->history.capacity;
  s.held = s.received - history_oldest(e->history, s.received);
  s.lost_by_reads = e->lost_by_reads;
  s.lost_by_reader = e->lost_by_reader.load();
  s.events = e->events_total.load();
  s.running = e->running.load();
  s.stalled = e->stalled.load();
  s.reader_cpu_seconds = static_cast<double>(e->cpu_ns.load()) / 1e9;
  s.seconds = e->started ? seconds_since(e->started_ns) : 0.0;
  {
    std::lock_guard<std::mutex> hold(e->problems_lock);
    s.last_problem = e->last_problem;
  }
  if (e->recorder) {
    s.recording = true;
    recorder_progress(e->recorder, s.records_written, s.sweeps_written, s.recorder_cpu_seconds, s.record_error,
                      sizeof s.record_error);
    s.seconds_written = static_cast<double>(s.sweeps_written) / e->cfg.rate;
  }
}

}  // namespace acquisition
