// ampsim: a simulated amplifier driver library with the five exports of the
// real one, for running and testing the acquisition without an amplifier.
//
// Exports (C linkage):
//   void* OPEN_DRIVER_ASYNC(void)                      handle, 0 on failure
//   int   USB_WRITE(void* h, const unsigned char* m)   64-byte control message
//   int   READ_MULTIPLE_SWEEPS(void* h, unsigned char* ring, int bytes)
//   int   READ_POINTER(void* h, unsigned* pointer)     non-zero = success
//   int   CLOSE_DRIVER_ASYNC(void* h)                  non-zero = success
// and two of its own, AMPSIM_LAST_REFUSAL (see "Failures" below) and
// AMPSIM_REPLAY_ENDED (see AMPSIM_REPLAY).
//
// One amplifier, one connection at a time.  The enable message (byte 0 =
// 0xFF) starts a writer thread that, from the first pointer read after it,
// writes whole sweeps into the registered ring in real time and publishes
// the byte pointer after each sweep, wrapping at the ring's end (the pointer equals the ring's length when the
// last sweep ended there).  The disable message and the close call stop and
// join the thread; a new open after a close works.  The writer thread never
// calls into the host: it only writes the ring and the pointer.
//
// The sweeps themselves (sync word, status word with event codes, channels,
// sweep counter, and the oddball paradigm's evoked responses) are made by
// the generator in sweeps.h.
//
// Settings (settings.{h,cpp}), read from the environment at every
// OPEN_DRIVER_ASYNC (AMPSIM_LOG also when the library is loaded).  Numbers
// are whole numbers, decimal or 0x-prefixed hex, without sign, space,
// fraction or exponent.  "[@c]" restricts a setting to the c-th connection
// since the library was loaded (the c-th successful open, c from 1 to
// 2147483647); without it the setting applies to every connection.  An empty
// value is the same as none.  A value that is not a whole number in its
// range, a paradigm the simulator does not know or an AMPSIM_FAIL item that
// is not well formed refuses the open (see "Failures" below).
//   AMPSIM_STATUS=<raw>     0 to 0xFFFFFFFF: the raw status word (default
//                           0x88000000: Mk2, speed mode 4, battery good)
//   AMPSIM_RATE=<hz>        1 to 65536 sweeps per second (default: the rate
//                           the status word decodes to; the bound is four
//                           times the fastest amplifier's 16384).  Given
//                           without AMPSIM_STATUS, the default status word's
//                           speed mode moves to the position that runs at
//                           that rate (2048, 4096, 8192 or 16384: Mk2 speed
//                           mode 4 to 7), so that the status word tells the
//                           true rate; any other rate alone refuses the
//                           open.  With AMPSIM_STATUS both are taken as
//                           given.
//   AMPSIM_CHANNELS=<n>     3 to 100000 words per sweep (default: the
//                           decoded layout's total, 282 when the speed mode
//                           is invalid)
//   AMPSIM_FAIL=<CALL>:<n>[@c][,...]
//                           the n-th call (n from 1 to 2147483647) of export
//                           CALL fails (returns 0); counted over the
//                           library's lifetime, or within connection c when
//                           "@c" is given
//   AMPSIM_STALL=<0|1>[@c]  1: the pointer never moves (no data are written)
//   AMPSIM_OFFSET=<bytes>[@c]  0 to 2147483647: the data start that many
//                           bytes after the pointer read after the enable
//                           message (the bytes between are filler, not a
//                           sync word, wrapping in the ring like the data)
//   AMPSIM_MIDSWEEP=<bytes>[@c]  0 to 2147483647: the published pointer lies
//                           that many bytes into the next sweep (those bytes
//                           already written); at most one word less than a
//                           sweep
//   AMPSIM_BADPOINTER=<value>[@c]  0 to 0xFFFFFFFF: READ_POINTER reports this
//                           value
//   AMPSIM_START=<bytes>[@c]  0 to 2147483647: position of the first data in
//                           the ring (the first pointer), rounded down to a
//                           whole word; may equal the ring's length, and a
//                           position beyond it is the ring's end
//   AMPSIM_PARADIGM=oddball one event every 250 ms, a standard (code 1) or,
//                           one time in five, a target (code 2), with evoked
//                           responses on the first 32 EEG channels (see
//                           sweeps.h); unset, empty or "off": the plain
//                           half-second events.  Any other value refuses
//                           the open.
//   AMPSIM_SEED=<n>         0 to 18446744073709551615: seed of the oddball
//                           sequence and its trial-to-trial variation
//                           (default 1); the same seed gives the same
//                           sweeps, bit for bit
//   AMPSIM_REPLAY=<file>    plays a BDF file instead of the generator, in
//                           real time at the file's rate, with the layout
//                           and status word the file gives (replay.h);
//                           AMPSIM_STATUS, AMPSIM_RATE and AMPSIM_CHANNELS
//                           are then ignored.  A file that cannot be read
//                           or fits no layout refuses the open.  After the
//                           file's last sweep the pointer stands still
//                           (AMPSIM_REPLAY_ENDED() returns 1), unless
//                           AMPSIM_REPLAY_LOOP=1, when the file starts again.
//   AMPSIM_LOG=<file>       appends one line per call: "load", "unload",
//                           "OPEN_DRIVER_ASYNC ok|fail", "USB_WRITE
//                           disable|enable ok|fail", "READ_MULTIPLE_SWEEPS
//                           <bytes>", "READ_POINTER ok" (first success of
//                           each connection only) or "READ_POINTER fail",
//                           "CLOSE_DRIVER_ASYNC ok|fail"
//
// Failures.  No exception leaves an export, and the writer thread catches
// its own: a call that cannot do its work returns its documented failure
// (0, or a null handle).  The writer stops at least every few milliseconds
// to look at its stop flag, whatever the rate and sweep size, so that a
// disable or close returns promptly.  The reason of the last failure (a
// refused setting, an injected failure such as "AMPSIM_FAIL=
// OPEN_DRIVER_ASYNC:1: injected failure", or an internal one such as memory
// running out) is kept until the next successful open, and read through a
// sixth export:
//   int32_t AMPSIM_LAST_REFUSAL(char* text, int32_t bytes)
//                           copies the reason into text with a terminating
//                           zero, truncated to bytes, and returns its full
//                           length (0: none)
// It lives as long as the library stays loaded: a caller that wants it after
// a failed start holds its own reference to the library.  A refused open
// also prints its reason on the standard error.
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/simulator/replay.h"
#include "acquisition/simulator/settings.h"
#include "acquisition/simulator/sweeps.h"

#ifdef _WIN32
// Only the driver's exports leave the DLL.
#define AMPSIM_EXPORT extern "C" __declspec(dllexport)
#else
#define AMPSIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(__GNUC__)
#define AMPSIM_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define AMPSIM_PRINTF_FORMAT
#endif

namespace {

using namespace ampsim;

// The reason of the last failure, in a fixed buffer behind a spin lock:
// noting and reading it never allocates or throws, and the writer thread
// may note its own.
class FailureNote {
 public:
  void set(const char* reason) noexcept {
    lock();
    std::snprintf(text_, sizeof text_, "%s", reason);
    unlock();
  }
  void clear() noexcept { set(""); }
  int32_t copy(char* out, int32_t bytes) noexcept {
    lock();
    const size_t length = std::strlen(text_);
    if (out && bytes > 0) {
      const size_t n = length < static_cast<size_t>(bytes) ? length : static_cast<size_t>(bytes) - 1;
      std::memcpy(out, text_, n);
      out[n] = '\0';
    }
    unlock();
    return static_cast<int32_t>(length);
  }

 private:
  void lock() noexcept {
    while (busy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() noexcept { busy_.clear(std::memory_order_release); }
  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  char text_[512] = {0};
};

struct Device {
  Config cfg;
  bool open = false;
  long connection = 0;  // successful opens so far
  long lifetime_calls[CALL_COUNT] = {0};
  long connection_calls[CALL_COUNT] = {0};
  bool read_pointer_logged = false;
  uint32_t* ring = nullptr;
  int64_t ring_bytes = 0;
  int64_t start_pos = 0;
  std::atomic<uint32_t> pointer{0};
  std::thread writer;
  std::atomic<bool> stop{false};
  // Set by the first READ_POINTER after the enable message: the writer waits
  // for it, so that the pointer a start reads first is where the data begin
  // whatever the thread scheduling.
  std::atomic<bool> pointer_read{false};
  FailureNote failure;
  // AMPSIM_REPLAY: the file whose sweeps the writer plays, and whether it
  // has played its last.
  Replay replay;
  bool replaying = false;
  std::atomic<bool> replay_ended{false};

  Device();
  ~Device();
};

// The one amplifier (defined further down, after the writer).
Device& device();

void append_log(const std::string& path, const char* text) {
  if (path.empty()) return;
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "%s\n", text);
  std::fclose(f);
}

void log_line(const char* fmt, ...) AMPSIM_PRINTF_FORMAT;
void log_line(const char* fmt, ...) {
  char text[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  append_log(device().cfg.log, text);
}

// Notes why a call fails, for AMPSIM_LAST_REFUSAL.
void note_failure(const char* fmt, ...) AMPSIM_PRINTF_FORMAT;
void note_failure(const char* fmt, ...) {
  char text[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  device().failure.set(text);
}

// Counts the call and tells whether it is to fail; a failing call notes the
// fault that made it.
bool count_and_check_fault(int call) {
  const long lifetime = ++device().lifetime_calls[call];
  const long in_connection = ++device().connection_calls[call];
  for (const Fault& f : device().cfg.faults) {
    if (f.call != call) continue;
    if ((f.connection == 0 && f.n == lifetime) ||
        (f.connection != 0 && f.connection == device().connection && f.n == in_connection)) {
      note_failure("AMPSIM_FAIL=%s: injected failure", f.item.c_str());
      return true;
    }
  }
  return false;
}

bool applies(const Setting& s) { return ampsim::applies(s, device().connection); }

// ---- The writer thread: no host calls, only the ring and the pointer. ----

// What a writer thread works with.  Its buffers are allocated by the caller
// that starts it: the thread itself never allocates.
struct WriterJob {
  uint32_t* ring;
  int64_t ring_bytes;
  int64_t pos;  // where the first data go
  Generator gen;
  uint64_t filler_bytes;
  size_t mid_words;
  std::vector<uint32_t> sweep, next;
};

// Writes count words from pos on and returns the position after them; a
// position equal to the ring's length continues at 0.
int64_t write_words(uint32_t* ring, int64_t ring_bytes, int64_t pos, const uint32_t* src, size_t count) {
  while (count > 0) {
    if (pos >= ring_bytes) pos = 0;
    size_t n = static_cast<size_t>((ring_bytes - pos) / 4);
    if (n > count) n = count;
    std::memcpy(ring + pos / 4, src, n * 4);
    pos += static_cast<int64_t>(n) * 4;
    src += n;
    count -= n;
  }
  return pos;
}

bool stopping() { return device().stop.load(std::memory_order_acquire); }

// Sweep k from the replayed file (false after its end) or the generator.
bool make_sweep(const Generator& gen, uint64_t k, uint32_t* w) {
  if (device().replaying) return replay_sweep(device().replay, k, w);
  gen.sweep(k, w);
  return true;
}

void write_sweeps(WriterJob& job) {
  Device& d = device();
  while (!d.pointer_read.load(std::memory_order_acquire) && !stopping())
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  int64_t pos = job.pos;
  if (job.filler_bytes > 0) {
    // In pieces of a few kilobytes, the stop flag looked at between them.
    uint32_t filler[1024];
    for (uint32_t& w : filler) w = 0x12345600u;
    for (uint64_t left = job.filler_bytes / 4; left > 0 && !stopping();) {
      const size_t n = left < 1024 ? static_cast<size_t>(left) : 1024;
      pos = write_words(job.ring, job.ring_bytes, pos, filler, n);
      left -= n;
    }
    d.pointer.store(static_cast<uint32_t>(pos), std::memory_order_release);
  }
  const Generator& gen = job.gen;
  using clock = std::chrono::steady_clock;
  const clock::time_point t0 = clock::now();
  uint64_t written = 0;
  while (!stopping()) {
    const double elapsed = std::chrono::duration<double>(clock::now() - t0).count();
    const uint64_t due = static_cast<uint64_t>(elapsed * static_cast<double>(gen.rate));
    // At most a few milliseconds' worth per pass, and the stop flag looked
    // at before every sweep: a sweep of the largest size takes about a
    // millisecond to make, so a stop is prompt even when the writer cannot
    // keep up with its rate.
    uint64_t batch = gen.rate / 200 + 1;
    while (written < due && batch-- > 0 && !stopping() && !d.replay_ended.load(std::memory_order_relaxed)) {
      if (!make_sweep(gen, written, job.sweep.data())) {
        d.replay_ended.store(true, std::memory_order_release);
        break;
      }
      pos = write_words(job.ring, job.ring_bytes, pos, job.sweep.data(), job.sweep.size());
      ++written;
      int64_t published = pos;
      if (job.mid_words > 0 && make_sweep(gen, written, job.next.data())) {
        published = write_words(job.ring, job.ring_bytes, pos, job.next.data(), job.mid_words);
      }
      d.pointer.store(static_cast<uint32_t>(published), std::memory_order_release);
    }
    if (written >= due || d.replay_ended.load(std::memory_order_relaxed)) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

// Nothing the writer does is expected to throw; should it all the same, the
// thread ends (the pointer stands still) and the reason is kept.
void writer_main(WriterJob job) {
  try {
    write_sweeps(job);
  } catch (const std::exception& e) {
    note_failure("writer thread: %s", e.what());
  } catch (...) {
    note_failure("writer thread: unexpected exception");
  }
}

void stop_writer() {
  if (device().writer.joinable()) {
    device().stop.store(true, std::memory_order_release);
    device().writer.join();
  }
  device().stop.store(false, std::memory_order_release);
}

void start_writer() {
  Device& d = device();
  if (d.writer.joinable() || !d.ring || (applies(d.cfg.stall) && d.cfg.stall.value != 0)) return;
  const uint64_t mid_bytes = applies(d.cfg.midsweep) ? d.cfg.midsweep.value : 0;
  WriterJob job{d.ring,
                d.ring_bytes,
                d.start_pos,
                Generator(d.cfg.channels, d.cfg.status, static_cast<double>(d.cfg.rate), d.cfg.oddball, d.cfg.seed),
                applies(d.cfg.offset) ? d.cfg.offset.value : 0,
                static_cast<size_t>(mid_bytes / 4 < d.cfg.channels ? mid_bytes / 4 : d.cfg.channels - 1),
                std::vector<uint32_t>(d.cfg.channels),
                std::vector<uint32_t>(d.cfg.channels)};
  d.pointer_read.store(false, std::memory_order_release);
  d.replay_ended.store(false, std::memory_order_release);
  d.writer = std::thread(writer_main, std::move(job));
}

// ---- The device and its exports. ----

// AMPSIM_REPLAY: the file's layout, status word and rate replace the
// configured ones, or the open is refused with the file's reason.
void open_replay(Device& d) {
  d.replaying = false;
  const std::string path = environment("AMPSIM_REPLAY");
  if (path.empty() || !d.cfg.refusal.empty()) return;
  std::string reason;
  if (!replay_open(d.replay, path, environment("AMPSIM_REPLAY_LOOP") == "1", reason)) {
    d.cfg.refusal = reason;
    return;
  }
  d.replaying = true;
  d.cfg.status = d.replay.status;
  d.cfg.rate = d.replay.rate;
  d.cfg.channels = d.replay.layout.total;
}

bool valid(void* handle) { return handle == &device() && device().open; }

// Runs the body of an export: an exception never leaves the library.  The
// call then fails with `failed`, its reason kept and printed, and logged as
// "<label> fail".
template <class Result, class Body>
Result guarded(const char* label, Result failed, Body body) noexcept {
  const char* what = "unexpected exception";
  try {
    return body();
  } catch (const std::bad_alloc&) {
    what = "out of memory";
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  note_failure("%s: %s", label, what);
  std::fprintf(stderr, "ampsim: %s: %s; the call fails.\n", label, what);
  log_line("%s fail", label);
  return failed;
}

// Loading the library constructs the one device, unloading destroys it.
Device::Device() {
  try {
    cfg.log = environment("AMPSIM_LOG");
  } catch (...) {
  }
  append_log(cfg.log, "load");
}

// A library unloaded, or a process ended, with a session still open must not
// leave the writer running (or joinable) behind.
Device::~Device() {
  if (writer.joinable()) {
    stop.store(true);
    try {
      writer.join();
    } catch (...) {
      writer.detach();
    }
  }
  append_log(cfg.log, "unload");
}

Device g_device;

Device& device() { return g_device; }

}  // namespace

AMPSIM_EXPORT void* OPEN_DRIVER_ASYNC(void) {
  return guarded<void*>("OPEN_DRIVER_ASYNC", nullptr, []() -> void* {
    Device& d = device();
    d.cfg = read_config();
    open_replay(d);
    const std::string& refusal = d.cfg.refusal;
    if (!refusal.empty()) std::fprintf(stderr, "ampsim: %s; the driver does not open.\n", refusal.c_str());
    const bool injected = count_and_check_fault(OPEN);
    if (injected || d.open || !refusal.empty()) {
      if (!refusal.empty())
        note_failure("%s", refusal.c_str());
      else if (!injected)
        note_failure("OPEN_DRIVER_ASYNC: the amplifier has a connection open already (one at a time)");
      log_line("OPEN_DRIVER_ASYNC fail");
      return nullptr;
    }
    d.open = true;
    ++d.connection;
    for (long& c : d.connection_calls) c = 0;
    d.connection_calls[OPEN] = 1;
    d.read_pointer_logged = false;
    d.ring = nullptr;
    d.ring_bytes = 0;
    d.pointer.store(0);
    d.failure.clear();
    log_line("OPEN_DRIVER_ASYNC ok");
    return &d;
  });
}

AMPSIM_EXPORT int USB_WRITE(void* handle, const unsigned char* message) {
  if (!valid(handle) || !message) return 0;
  const bool enable = message[0] == 0xFF;
  const char* label = enable ? "USB_WRITE enable" : "USB_WRITE disable";
  return guarded(label, 0, [&] {
    if (count_and_check_fault(WRITE)) {
      log_line("%s fail", label);
      return 0;
    }
    if (enable)
      start_writer();
    else
      stop_writer();
    log_line("%s ok", label);
    return 1;
  });
}

AMPSIM_EXPORT int READ_MULTIPLE_SWEEPS(void* handle, unsigned char* ring, int bytes) {
  if (!valid(handle)) return 0;
  return guarded("READ_MULTIPLE_SWEEPS", 0, [&] {
    if (count_and_check_fault(READ_SWEEPS)) {
      log_line("READ_MULTIPLE_SWEEPS fail");
      return 0;
    }
    Device& d = device();
    stop_writer();
    d.ring = reinterpret_cast<uint32_t*>(ring);
    d.ring_bytes = bytes > 0 ? bytes - bytes % 4 : 0;
    if (d.ring_bytes == 0) d.ring = nullptr;
    // The setting is at most MAX_RING_BYTES: a position from 0 to the ring's
    // end.
    int64_t start = applies(d.cfg.start) ? static_cast<int64_t>(d.cfg.start.value) : 0;
    start -= start % 4;
    if (start > d.ring_bytes) start = d.ring_bytes;
    d.start_pos = start;
    d.pointer.store(static_cast<uint32_t>(start), std::memory_order_release);
    log_line("READ_MULTIPLE_SWEEPS %d", bytes);
    return 1;
  });
}

AMPSIM_EXPORT int READ_POINTER(void* handle, unsigned* pointer) {
  if (!valid(handle) || !pointer) return 0;
  return guarded("READ_POINTER", 0, [&] {
    Device& d = device();
    if (count_and_check_fault(READ_POINTER_CALL)) {
      log_line("READ_POINTER fail");
      return 0;
    }
    const uint32_t value = applies(d.cfg.badpointer) ? static_cast<uint32_t>(d.cfg.badpointer.value)
                                                     : d.pointer.load(std::memory_order_acquire);
    std::memcpy(pointer, &value, 4);
    d.pointer_read.store(true, std::memory_order_release);
    if (!d.read_pointer_logged) {
      d.read_pointer_logged = true;
      log_line("READ_POINTER ok");
    }
    return 1;
  });
}

AMPSIM_EXPORT int CLOSE_DRIVER_ASYNC(void* handle) {
  if (!valid(handle)) return 0;
  return guarded("CLOSE_DRIVER_ASYNC", 0, [] {
    Device& d = device();
    // The connection ends even when the close reports a failure: the writer
    // must never outlive it.
    stop_writer();
    d.open = false;
    d.ring = nullptr;
    if (count_and_check_fault(CLOSE)) {
      log_line("CLOSE_DRIVER_ASYNC fail");
      return 0;
    }
    log_line("CLOSE_DRIVER_ASYNC ok");
    return 1;
  });
}

AMPSIM_EXPORT int32_t AMPSIM_LAST_REFUSAL(char* text, int32_t bytes) { return device().failure.copy(text, bytes); }

// 1 when the replayed file (AMPSIM_REPLAY) has ended and the pointer stands
// still, 0 otherwise.
AMPSIM_EXPORT int32_t AMPSIM_REPLAY_ENDED(void) { return device().replay_ended.load(std::memory_order_acquire) ? 1 : 0; }
