// ampsim: a simulated amplifier driver library with the five exports of the
// real one, for running and testing the acquisition without an amplifier.
//
// Exports (C linkage):
//   void* OPEN_DRIVER_ASYNC(void)                      handle, 0 on failure
//   int   USB_WRITE(void* h, const unsigned char* m)   64-byte control message
//   int   READ_MULTIPLE_SWEEPS(void* h, unsigned char* ring, int bytes)
//   int   READ_POINTER(void* h, unsigned* pointer)     non-zero = success
//   int   CLOSE_DRIVER_ASYNC(void* h)                  non-zero = success
//
// One amplifier, one connection at a time.  The enable message (byte 0 =
// 0xFF) starts a writer thread that, from the first pointer read after it,
// writes whole sweeps into the registered ring in real time and publishes
// the byte pointer after each sweep,
// wrapping at the ring's end (the pointer equals the ring's length when the
// last sweep ended there).  The disable message and the close call stop and
// join the thread; a new open after a close works.  The writer thread never
// calls into the host: it only writes the ring and the pointer.
//
// The sweeps themselves (sync word, status word with event codes, channels,
// sweep counter, and the oddball paradigm's evoked responses) are made by
// the generator in sweeps.h.
//
// Configuration, read from the environment at every OPEN_DRIVER_ASYNC
// (AMPSIM_LOG also when the library is loaded).  Numbers are decimal or
// 0x-prefixed hex.  "[@c]" restricts a setting to the c-th connection since
// the library was loaded (the c-th successful open); without it the setting
// applies to every connection.
//   AMPSIM_STATUS=<raw>     raw status word (default 0x88000000: Mk2, speed
//                           mode 4, battery good)
//   AMPSIM_RATE=<hz>        sweeps per second (default: the rate the status
//                           word decodes to).  Given without AMPSIM_STATUS,
//                           the default status word's speed mode moves to
//                           the position that runs at that rate (2048,
//                           4096, 8192 or 16384: Mk2 speed mode 4 to 7), so
//                           that the status word tells the true rate; any
//                           other rate alone makes every open fail.  With
//                           AMPSIM_STATUS both are taken as given.
//   AMPSIM_CHANNELS=<n>     words per sweep (default: the decoded layout's
//                           total, 282 when the speed mode is invalid)
//   AMPSIM_FAIL=<CALL>:<n>[@c][,...]
//                           the n-th call of export CALL fails (returns 0);
//                           counted over the library's lifetime, or within
//                           connection c when "@c" is given
//   AMPSIM_STALL=1[@c]      the pointer never moves (no data are written)
//   AMPSIM_OFFSET=<bytes>[@c]  the data start that many bytes after the
//                           pointer read after the enable message (the
//                           bytes between are filler, not a sync word)
//   AMPSIM_MIDSWEEP=<bytes>[@c]  the published pointer lies that many bytes
//                           into the next sweep (those bytes already written)
//   AMPSIM_BADPOINTER=<value>[@c]  READ_POINTER reports this value
//   AMPSIM_START=<bytes>[@c]  position of the first data in the ring (the
//                           first pointer); may equal the ring's length
//   AMPSIM_PARADIGM=oddball one event every 250 ms, a standard (code 1) or,
//                           one time in five, a target (code 2), with evoked
//                           responses on the first 32 EEG channels (see
//                           sweeps.h); unset, empty or "off": the plain
//                           half-second events.  Any other value makes
//                           every open fail.
//   AMPSIM_SEED=<n>         seed of the oddball sequence and its trial-to-
//                           trial variation (default 1); the same seed gives
//                           the same sweeps, bit for bit.  A value that is
//                           not a number makes every open fail.
//   AMPSIM_REPLAY=<file>    plays a BDF file instead of the generator, in
//                           real time at the file's rate, with the layout
//                           and status word the file gives (replay.h);
//                           AMPSIM_STATUS, AMPSIM_RATE and AMPSIM_CHANNELS
//                           are then ignored.  A file that cannot be read
//                           or fits no layout makes every open fail.  After
//                           the file's last sweep the pointer stands still
//                           (AMPSIM_REPLAY_ENDED() returns 1), unless
//                           AMPSIM_REPLAY_LOOP=1, when the file starts again.
//   AMPSIM_LOG=<file>       appends one line per call: "load", "unload",
//                           "OPEN_DRIVER_ASYNC ok|fail", "USB_WRITE
//                           disable|enable ok|fail", "READ_MULTIPLE_SWEEPS
//                           <bytes>", "READ_POINTER ok" (first success of
//                           each connection only) or "READ_POINTER fail",
//                           "CLOSE_DRIVER_ASYNC ok|fail"
// A setting that makes the open fail also says why on the standard error.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/simulator/replay.h"
#include "acquisition/simulator/sweeps.h"
#include "acquisition/status.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Only the five driver exports leave the DLL.
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

using ampsim::Generator;
enum Call { OPEN, WRITE, READ_SWEEPS, READ_POINTER_CALL, CLOSE, CALL_COUNT };
const char* const CALL_NAMES[CALL_COUNT] = {"OPEN_DRIVER_ASYNC", "USB_WRITE", "READ_MULTIPLE_SWEEPS", "READ_POINTER",
                                            "CLOSE_DRIVER_ASYNC"};

struct Fault {
  int call = 0;
  long n = 0;
  long connection = 0;  // 0: counted over the library's lifetime
};

struct Setting {
  bool set = false;
  uint64_t value = 0;
  long connection = 0;  // 0: every connection
};

struct Config {
  uint32_t status = 0x88000000u;
  double rate = 2048;
  uint32_t channels = 282;
  bool oddball = false;
  uint64_t seed = 1;
  bool replay = false;  // the sweeps come from Device::replay
  std::string refusal;  // why every open fails, empty when none
  std::vector<Fault> faults;
  Setting stall, offset, midsweep, badpointer, start;
  std::string log;
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
  ampsim::Replay replay;
  std::atomic<bool> replay_ended{false};

  Device();
  ~Device();
};

// The one amplifier (defined further down, after the writer).
Device& device();

// The value of an environment variable, empty when it is not set.  On
// Windows a host sets its variables in the process's Win32 environment,
// which the C runtime's copy that getenv reads inside a DLL does not follow.
std::string environment(const char* name) {
#ifdef _WIN32
  char small[256];
  const DWORD n = GetEnvironmentVariableA(name, small, sizeof small);
  if (n == 0) return std::string();
  if (n < sizeof small) return std::string(small, n);
  std::string large(n, '\0');  // n counts the terminating zero here
  const DWORD m = GetEnvironmentVariableA(name, &large[0], n);
  large.resize(m < n ? m : 0);
  return large;
#else
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
#endif
}

bool parse_number(const char* text, uint64_t& value, const char** end) {
  char* e = nullptr;
  value = std::strtoull(text, &e, 0);
  *end = e;
  return e != text;
}

// "<value>[@<connection>]"
Setting read_setting(const char* name) {
  Setting s;
  const std::string value = environment(name);
  const char* text = value.c_str();
  if (!*text) return s;
  const char* end = nullptr;
  if (!parse_number(text, s.value, &end)) return s;
  if (*end == '@') {
    uint64_t c = 0;
    if (!parse_number(end + 1, c, &end)) return s;
    s.connection = static_cast<long>(c);
  }
  s.set = true;
  return s;
}

bool applies(const Setting& s) { return s.set && (s.connection == 0 || s.connection == device().connection); }

// "<CALL>:<n>[@c],..."
std::vector<Fault> read_faults() {
  std::vector<Fault> faults;
  const std::string all = environment("AMPSIM_FAIL");
  size_t begin = 0;
  while (begin < all.size()) {
    size_t comma = all.find(',', begin);
    if (comma == std::string::npos) comma = all.size();
    const std::string item = all.substr(begin, comma - begin);
    begin = comma + 1;
    const size_t colon = item.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = item.substr(0, colon);
    Fault f;
    f.call = -1;
    for (int k = 0; k < CALL_COUNT; ++k)
      if (name == CALL_NAMES[k]) f.call = k;
    if (f.call < 0) continue;
    const char* end = nullptr;
    uint64_t n = 0;
    if (!parse_number(item.c_str() + colon + 1, n, &end)) continue;
    f.n = static_cast<long>(n);
    if (*end == '@') {
      uint64_t c = 0;
      if (!parse_number(end + 1, c, &end)) continue;
      f.connection = static_cast<long>(c);
    }
    faults.push_back(f);
  }
  return faults;
}

void read_config() {
  Config c;
  Setting status = read_setting("AMPSIM_STATUS");
  Setting rate = read_setting("AMPSIM_RATE");
  if (status.set) {
    c.status = static_cast<uint32_t>(status.value);
  } else if (rate.set && rate.value > 0 && !ampsim::status_for_rate(c.status, rate.value, c.status)) {
    // (not std::to_string: its digit table is a unique symbol, which would
    // keep the library from ever being unloaded)
    char text[160];
    std::snprintf(text, sizeof text,
                  "AMPSIM_RATE=%llu without AMPSIM_STATUS: no speed mode runs at that rate (2048, 4096, 8192 or 16384)",
                  static_cast<unsigned long long>(rate.value));
    c.refusal = text;
  }
  acquisition::AmplifierStatus decoded;
  if (acquisition::decode_amplifier_status(c.status, decoded) == acquisition::SpeedModeError::none) {
    c.rate = decoded.sampling_rate;
    c.channels = decoded.layout.total;
  } else {
    c.rate = 2048u << (decoded.speed_mode % 4);
    c.channels = 282;
  }
  if (rate.set && rate.value > 0) c.rate = static_cast<double>(rate.value);
  Setting channels = read_setting("AMPSIM_CHANNELS");
  if (channels.set && channels.value >= 3 && channels.value <= 100000) c.channels = static_cast<uint32_t>(channels.value);
  c.faults = read_faults();
  c.stall = read_setting("AMPSIM_STALL");
  c.offset = read_setting("AMPSIM_OFFSET");
  c.midsweep = read_setting("AMPSIM_MIDSWEEP");
  c.badpointer = read_setting("AMPSIM_BADPOINTER");
  c.start = read_setting("AMPSIM_START");
  const std::string paradigm = environment("AMPSIM_PARADIGM");
  if (paradigm == "oddball")
    c.oddball = true;
  else if (!paradigm.empty() && paradigm != "off")
    c.refusal = "AMPSIM_PARADIGM=" + paradigm + " is not a paradigm (oddball or off)";
  const std::string seed = environment("AMPSIM_SEED");
  if (!seed.empty()) {
    const char* end = nullptr;
    if (!parse_number(seed.c_str(), c.seed, &end) || *end != '\0')
      c.refusal = "AMPSIM_SEED=" + seed + " is not a number";
  }
  c.log = environment("AMPSIM_LOG");
  const std::string replay = environment("AMPSIM_REPLAY");
  if (!replay.empty()) {
    std::string reason;
    ampsim::Replay& r = device().replay;
    if (ampsim::replay_open(r, replay, environment("AMPSIM_REPLAY_LOOP") == "1", reason)) {
      c.replay = true;
      c.status = r.status;
      c.rate = r.rate;
      c.channels = r.layout.total;
    } else {
      c.refusal = reason;
    }
  }
  device().cfg = c;
}

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

// Counts the call and tells whether it is to fail.
bool count_and_check_fault(int call) {
  const long lifetime = ++device().lifetime_calls[call];
  const long in_connection = ++device().connection_calls[call];
  for (const Fault& f : device().cfg.faults) {
    if (f.call != call) continue;
    if (f.connection == 0 && f.n == lifetime) return true;
    if (f.connection != 0 && f.connection == device().connection && f.n == in_connection) return true;
  }
  return false;
}

// ---- The writer thread: no host calls, only the ring and the pointer. ----

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

// Sweep k from the replayed file (false after its end) or the generator.
bool make_sweep(const Generator& gen, uint64_t k, uint32_t* w) {
  if (device().cfg.replay) return ampsim::replay_sweep(device().replay, k, w);
  gen.sweep(k, w);
  return true;
}

void writer_main(uint32_t* ring, int64_t ring_bytes, int64_t pos, Generator gen, uint64_t filler_bytes,
                 uint64_t midsweep_bytes) {
  Device& d = device();
  std::vector<uint32_t> sweep(gen.channels), next(gen.channels);
  while (!d.pointer_read.load(std::memory_order_acquire) && !d.stop.load(std::memory_order_acquire))
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  if (filler_bytes > 0) {
    std::vector<uint32_t> filler(static_cast<size_t>(filler_bytes / 4), 0x12345600u);
    pos = write_words(ring, ring_bytes, pos, filler.data(), filler.size());
    d.pointer.store(static_cast<uint32_t>(pos), std::memory_order_release);
  }
  size_t mid_words = static_cast<size_t>(midsweep_bytes / 4);
  if (mid_words >= gen.channels) mid_words = gen.channels - 1;
  using clock = std::chrono::steady_clock;
  const clock::time_point t0 = clock::now();
  uint64_t written = 0;
  while (!d.stop.load(std::memory_order_acquire)) {
    const double elapsed = std::chrono::duration<double>(clock::now() - t0).count();
    const uint64_t due = static_cast<uint64_t>(elapsed * static_cast<double>(gen.rate));
    // At most a few milliseconds' worth per pass, so that a stop is prompt.
    uint64_t batch = gen.rate / 200 + 1;
    while (written < due && batch-- > 0 && !d.replay_ended.load(std::memory_order_relaxed)) {
      if (!make_sweep(gen, written, sweep.data())) {
        d.replay_ended.store(true, std::memory_order_release);
        break;
      }
      pos = write_words(ring, ring_bytes, pos, sweep.data(), sweep.size());
      ++written;
      int64_t published = pos;
      if (mid_words > 0 && make_sweep(gen, written, next.data())) {
        published = write_words(ring, ring_bytes, pos, next.data(), mid_words);
      }
      d.pointer.store(static_cast<uint32_t>(published), std::memory_order_release);
    }
    if (written >= due || d.replay_ended.load(std::memory_order_relaxed)) std::this_thread::sleep_for(std::chrono::microseconds(500));
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
  Generator gen(d.cfg.channels, d.cfg.status, d.cfg.rate, d.cfg.oddball, d.cfg.seed);
  const uint64_t filler = applies(d.cfg.offset) ? d.cfg.offset.value : 0;
  const uint64_t mid = applies(d.cfg.midsweep) ? d.cfg.midsweep.value : 0;
  d.pointer_read.store(false, std::memory_order_release);
  d.replay_ended.store(false, std::memory_order_release);
  d.writer = std::thread(writer_main, d.ring, d.ring_bytes, d.start_pos, gen, filler, mid);
}

bool valid(void* handle) { return handle == &device() && device().open; }

// Loading the library constructs the one device, unloading destroys it.
Device::Device() {
  cfg.log = environment("AMPSIM_LOG");
  append_log(cfg.log, "load");
}

// A library unloaded, or a process ended, with a session still open must not
// leave the writer running (or joinable) behind.
Device::~Device() {
  if (writer.joinable()) {
    stop.store(true);
    writer.join();
  }
  append_log(cfg.log, "unload");
}

Device g_device;

Device& device() { return g_device; }

}  // namespace

AMPSIM_EXPORT void* OPEN_DRIVER_ASYNC(void) {
  read_config();
  if (!device().cfg.refusal.empty()) std::fprintf(stderr, "ampsim: %s; the driver does not open.\n", device().cfg.refusal.c_str());
  if (count_and_check_fault(OPEN) || device().open || !device().cfg.refusal.empty()) {
    log_line("OPEN_DRIVER_ASYNC fail");
    return nullptr;
  }
  Device& d = device();
  d.open = true;
  ++d.connection;
  for (long& c : d.connection_calls) c = 0;
  d.connection_calls[OPEN] = 1;
  d.read_pointer_logged = false;
  d.ring = nullptr;
  d.ring_bytes = 0;
  d.pointer.store(0);
  log_line("OPEN_DRIVER_ASYNC ok");
  return &d;
}

AMPSIM_EXPORT int USB_WRITE(void* handle, const unsigned char* message) {
  if (!valid(handle) || !message) return 0;
  const bool enable = message[0] == 0xFF;
  const char* kind = enable ? "enable" : "disable";
  if (count_and_check_fault(WRITE)) {
    log_line("USB_WRITE %s fail", kind);
    return 0;
  }
  if (enable)
    start_writer();
  else
    stop_writer();
  log_line("USB_WRITE %s ok", kind);
  return 1;
}

AMPSIM_EXPORT int READ_MULTIPLE_SWEEPS(void* handle, unsigned char* ring, int bytes) {
  if (!valid(handle)) return 0;
  if (count_and_check_fault(READ_SWEEPS)) {
    log_line("READ_MULTIPLE_SWEEPS fail");
    return 0;
  }
  Device& d = device();
  stop_writer();
  d.ring = reinterpret_cast<uint32_t*>(ring);
  d.ring_bytes = bytes > 0 ? bytes - bytes % 4 : 0;
  if (d.ring_bytes == 0) d.ring = nullptr;
  int64_t start = applies(d.cfg.start) ? static_cast<int64_t>(d.cfg.start.value) : 0;
  start -= start % 4;
  if (start > d.ring_bytes) start = d.ring_bytes;
  d.start_pos = start;
  d.pointer.store(static_cast<uint32_t>(start), std::memory_order_release);
  log_line("READ_MULTIPLE_SWEEPS %d", bytes);
  return 1;
}

AMPSIM_EXPORT int READ_POINTER(void* handle, unsigned* pointer) {
  if (!valid(handle) || !pointer) return 0;
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
}

AMPSIM_EXPORT int CLOSE_DRIVER_ASYNC(void* handle) {
  if (!valid(handle)) return 0;
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
}

// 1 when the replayed file (AMPSIM_REPLAY) has ended and the pointer stands
// still, 0 otherwise.
AMPSIM_EXPORT int32_t AMPSIM_REPLAY_ENDED(void) { return device().replay_ended.load(std::memory_order_acquire) ? 1 : 0; }
