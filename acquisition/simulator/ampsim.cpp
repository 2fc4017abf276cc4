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
// A sweep has (channels) 32-bit words:
//   word 0         the sync word 0xFFFFFF00
//   word 1         the status word: the configured raw word with an event
//                  code in raw bits 8-23 (status bits 0-15, the trigger
//                  inputs): codes 1, 2, ... 254 in turn, each held for the
//                  first 10 ms of every half second, 0 otherwise
//   words 2 to C-2 the channels: a 24-bit sample shifted left by 8 (BioSemi
//                  units of 31.25 nV): a per-channel offset, a 10 Hz alpha
//                  rhythm, a 22 Hz beta rhythm, 50 Hz line pickup and noise
//   word C-1       a running sweep counter (unshifted, from 0 at the enable
//                  message), so that a reader can prove no sweep was lost
//
// Configuration, read from the environment at every OPEN_DRIVER_ASYNC
// (AMPSIM_LOG also when the library is loaded).  Numbers are decimal or
// 0x-prefixed hex.  "[@c]" restricts a setting to the c-th connection since
// the library was loaded (the c-th successful open); without it the setting
// applies to every connection.
//   AMPSIM_STATUS=<raw>     raw status word (default 0x88000000: Mk2, speed
//                           mode 4, battery good)
//   AMPSIM_RATE=<hz>        sweeps per second (default: the rate the status
//                           word decodes to)
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
//   AMPSIM_LOG=<file>       appends one line per call: "load", "unload",
//                           "OPEN_DRIVER_ASYNC ok|fail", "USB_WRITE
//                           disable|enable ok|fail", "READ_MULTIPLE_SWEEPS
//                           <bytes>", "READ_POINTER ok" (first success of
//                           each connection only) or "READ_POINTER fail",
//                           "CLOSE_DRIVER_ASYNC ok|fail"
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

#include "acquisition/status.h"

#define AMPSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t SYNC = 0xFFFFFF00u;
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

  Device();
  ~Device();
};

// The one amplifier (defined further down, after the writer).
Device& device();

bool parse_number(const char* text, uint64_t& value, const char** end) {
  char* e = nullptr;
  value = std::strtoull(text, &e, 0);
  *end = e;
  return e != text;
}

// "<value>[@<connection>]"
Setting read_setting(const char* name) {
  Setting s;
  const char* text = std::getenv(name);
  if (!text || !*text) return s;
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
  const char* text = std::getenv("AMPSIM_FAIL");
  if (!text) return faults;
  std::string all(text);
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
  if (status.set) c.status = static_cast<uint32_t>(status.value);
  acquisition::AmplifierStatus decoded;
  if (acquisition::decode_amplifier_status(c.status, decoded) == acquisition::SpeedModeError::none) {
    c.rate = decoded.sampling_rate;
    c.channels = decoded.layout.total;
  } else {
    c.rate = 2048u << (decoded.speed_mode % 4);
    c.channels = 282;
  }
  Setting rate = read_setting("AMPSIM_RATE");
  if (rate.set && rate.value > 0) c.rate = static_cast<double>(rate.value);
  Setting channels = read_setting("AMPSIM_CHANNELS");
  if (channels.set && channels.value >= 3 && channels.value <= 100000) c.channels = static_cast<uint32_t>(channels.value);
  c.faults = read_faults();
  c.stall = read_setting("AMPSIM_STALL");
  c.offset = read_setting("AMPSIM_OFFSET");
  c.midsweep = read_setting("AMPSIM_MIDSWEEP");
  c.badpointer = read_setting("AMPSIM_BADPOINTER");
  c.start = read_setting("AMPSIM_START");
  if (const char* log = std::getenv("AMPSIM_LOG")) c.log = log;
  device().cfg = c;
}

void append_log(const std::string& path, const char* text) {
  if (path.empty()) return;
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "%s\n", text);
  std::fclose(f);
}

void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
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

const int16_t* sine_table() {
  static int16_t table[4096];
  static bool made = false;
  if (!made) {
    for (int k = 0; k < 4096; ++k) table[k] = static_cast<int16_t>(std::lround(32767.0 * std::sin(2 * M_PI * k / 4096)));
    made = true;
  }
  return table;
}

uint32_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return static_cast<uint32_t>(x);
}

struct Generator {
  uint32_t channels;
  uint32_t status;
  uint64_t rate;
  uint64_t alpha_step, beta_step, line_step;  // phase steps, 2^32 per cycle
  const int16_t* sine;

  Generator(uint32_t c, uint32_t s, double r) : channels(c), status(s), rate(static_cast<uint64_t>(r)) {
    if (rate == 0) rate = 1;
    alpha_step = static_cast<uint64_t>(10.0 / r * 4294967296.0);
    beta_step = static_cast<uint64_t>(22.0 / r * 4294967296.0);
    line_step = static_cast<uint64_t>(50.0 / r * 4294967296.0);
    sine = sine_table();
  }

  int32_t sin_at(uint64_t phase) const { return sine[(phase >> 20) & 4095]; }

  void sweep(uint64_t k, uint32_t* w) const {
    w[0] = SYNC;
    const uint64_t half_second = rate / 2 ? rate / 2 : 1;
    const uint64_t event = k / half_second;
    const uint32_t code = (k % half_second) * 50 < half_second ? static_cast<uint32_t>(event % 254 + 1) : 0u;
    w[1] = (status & 0xFF0000FFu) | (code << 8);
    for (uint32_t ch = 2; ch + 1 < channels; ++ch) {
      const uint64_t shift = static_cast<uint64_t>(ch) * 0x9E3779B97F4A7C15ull;
      const int32_t offset = static_cast<int32_t>(mix(ch) % 200001u) - 100000;
      const int32_t alpha = 300 + static_cast<int32_t>(ch * 37 % 500);
      int32_t v = offset + alpha * sin_at(k * alpha_step + shift) / 32767 +
                  120 * sin_at(k * beta_step + (shift >> 7)) / 32767 + 60 * sin_at(k * line_step) / 32767;
      const uint32_t h = mix((k << 12) ^ ch);
      v += static_cast<int32_t>(h & 511) - 256 + static_cast<int32_t>((h >> 9) & 511) - 256;
      w[ch] = static_cast<uint32_t>(v) << 8;
    }
    w[channels - 1] = static_cast<uint32_t>(k);
  }
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
    while (written < due && batch-- > 0) {
      gen.sweep(written, sweep.data());
      pos = write_words(ring, ring_bytes, pos, sweep.data(), sweep.size());
      ++written;
      int64_t published = pos;
      if (mid_words > 0) {
        gen.sweep(written, next.data());
        published = write_words(ring, ring_bytes, pos, next.data(), mid_words);
      }
      d.pointer.store(static_cast<uint32_t>(published), std::memory_order_release);
    }
    if (written >= due) std::this_thread::sleep_for(std::chrono::microseconds(500));
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
  Generator gen(d.cfg.channels, d.cfg.status, d.cfg.rate);
  const uint64_t filler = applies(d.cfg.offset) ? d.cfg.offset.value : 0;
  const uint64_t mid = applies(d.cfg.midsweep) ? d.cfg.midsweep.value : 0;
  d.pointer_read.store(false, std::memory_order_release);
  d.writer = std::thread(writer_main, d.ring, d.ring_bytes, d.start_pos, gen, filler, mid);
}

bool valid(void* handle) { return handle == &device() && device().open; }

// Loading the library constructs the one device, unloading destroys it.
Device::Device() {
  if (const char* log = std::getenv("AMPSIM_LOG")) cfg.log = log;
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
  if (count_and_check_fault(OPEN) || device().open) {
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
