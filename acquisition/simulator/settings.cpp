#include "acquisition/simulator/settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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
#endif

#if defined(__GNUC__)
#define AMPSIM_PRINTF_FORMAT __attribute__((format(printf, 2, 3)))
#else
#define AMPSIM_PRINTF_FORMAT
#endif

namespace ampsim {

namespace {

// The first reason wins; later settings are still read, but not named.
// (Formatted with snprintf, not std::to_string: the latter's digit table is
// a unique symbol, which would keep the library from ever being unloaded.)
void refuse(Config& c, const char* fmt, ...) AMPSIM_PRINTF_FORMAT;
void refuse(Config& c, const char* fmt, ...) {
  if (!c.refusal.empty()) return;
  char text[400];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  c.refusal = text;
}

// A value as a reason quotes it: at most 60 characters, control characters
// as '?'.
std::string shown(const std::string& value) {
  std::string s = value.size() > 60 ? value.substr(0, 60) + "..." : value;
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 32 || ch == 127) ch = '?';
  return s;
}

// A whole number from min to max, decimal or 0x-prefixed hex, read from
// `text` on; `end` is left at the first character after its digits.  No
// sign, space, fraction or exponent: "1e6" stops at the 'e'.
bool whole_number(const char* text, uint64_t min, uint64_t max, uint64_t& value, const char*& end) {
  uint64_t base = 10;
  const char* p = text;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  const char* digits = p;
  uint64_t v = 0;
  bool above = false;
  for (;; ++p) {
    uint64_t d;
    if (*p >= '0' && *p <= '9')
      d = static_cast<uint64_t>(*p - '0');
    else if (base == 16 && *p >= 'a' && *p <= 'f')
      d = static_cast<uint64_t>(*p - 'a' + 10);
    else if (base == 16 && *p >= 'A' && *p <= 'F')
      d = static_cast<uint64_t>(*p - 'A' + 10);
    else
      break;
    if (d > max || v > (max - d) / base) above = true;  // v * base + d > max
    if (!above) v = v * base + d;
  }
  end = p;
  value = v;
  return p != digits && !above && v >= min;
}

enum class Wrong { nothing, value, connection };

// "<n>" or, with a connection allowed, "<n>[@<c>]", the whole of `text` up
// to `stop`.
Wrong counted(const char* text, const char* stop, bool per_connection, uint64_t min, uint64_t max, uint64_t& n,
              long& connection) {
  const char* end = nullptr;
  if (!whole_number(text, min, max, n, end) || (end != stop && !(per_connection && *end == '@'))) return Wrong::value;
  connection = 0;
  if (end == stop) return Wrong::nothing;
  uint64_t c = 0;
  if (!whole_number(end + 1, 1, MAX_COUNT, c, end) || end != stop) return Wrong::connection;
  connection = static_cast<long>(c);
  return Wrong::nothing;
}


Setting read_setting(Config& c, const char* name, uint64_t min, uint64_t max, bool per_connection = true) {
  Setting s;
  const std::string text = environment(name);
  if (text.empty()) return s;
  const char* stop = text.c_str() + text.size();
  const Wrong wrong = counted(text.c_str(), stop, per_connection, min, max, s.value, s.connection);
  if (wrong == Wrong::value) {
    refuse(c, "%s=%s: the value must be a whole number from %llu to %llu (decimal or 0x-prefixed hex)", name,
           shown(text).c_str(), static_cast<unsigned long long>(min), static_cast<unsigned long long>(max));
    return Setting();
  }
  if (wrong == Wrong::connection) {
    refuse(c, "%s=%s: the connection after @ must be a whole number from 1 to %llu (decimal or 0x-prefixed hex)",
           name, shown(text).c_str(), static_cast<unsigned long long>(MAX_COUNT));
    return Setting();
  }
  s.set = true;
  return s;
}

// "<CALL>:<n>[@c],..."
std::vector<Fault> read_faults(Config& c) {
  std::vector<Fault> faults;
  const std::string all = environment("AMPSIM_FAIL");
  if (all.empty()) return faults;
  size_t begin = 0;
  while (begin <= all.size()) {
    size_t comma = all.find(',', begin);
    if (comma == std::string::npos) comma = all.size();
    Fault f;
    f.item = all.substr(begin, comma - begin);
    begin = comma + 1;
    const size_t colon = f.item.find(':');
    if (colon == std::string::npos) {
      refuse(c, "AMPSIM_FAIL=%s: the item \"%s\" is not <CALL>:<n>[@c]", shown(all).c_str(), shown(f.item).c_str());
      return {};
    }
    const std::string name = f.item.substr(0, colon);
    f.call = -1;
    for (int k = 0; k < CALL_COUNT; ++k)
      if (name == CALL_NAMES[k]) f.call = k;
    if (f.call < 0) {
      refuse(c,
             "AMPSIM_FAIL=%s: \"%s\" is not an export (OPEN_DRIVER_ASYNC, USB_WRITE, READ_MULTIPLE_SWEEPS, "
             "READ_POINTER or CLOSE_DRIVER_ASYNC)",
             shown(all).c_str(), shown(name).c_str());
      return {};
    }
    uint64_t n = 0;
    const char* text = f.item.c_str() + colon + 1;
    const Wrong wrong = counted(text, f.item.c_str() + f.item.size(), true, 1, MAX_COUNT, n, f.connection);
    if (wrong != Wrong::nothing) {
      refuse(c, "AMPSIM_FAIL=%s: in \"%s\", %s must be a whole number from 1 to %llu (decimal or 0x-prefixed hex)",
             shown(all).c_str(), shown(f.item).c_str(),
             wrong == Wrong::value ? "the call count" : "the connection after @",
             static_cast<unsigned long long>(MAX_COUNT));
      return {};
    }
    f.n = static_cast<long>(n);
    faults.push_back(f);
  }
  return faults;
}

}  // namespace

// On Windows a host sets its variables in the process's Win32 environment,
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

Config read_config() {
  Config c;
  const Setting status = read_setting(c, "AMPSIM_STATUS", 0, 0xFFFFFFFFu, false);
  const Setting rate = read_setting(c, "AMPSIM_RATE", 1, MAX_RATE, false);
  if (status.set) {
    c.status = static_cast<uint32_t>(status.value);
  } else if (rate.set && !status_for_rate(c.status, rate.value, c.status)) {
    refuse(c, "AMPSIM_RATE=%llu without AMPSIM_STATUS: no speed mode runs at that rate (2048, 4096, 8192 or 16384)",
           static_cast<unsigned long long>(rate.value));
  }
  acquisition::AmplifierStatus decoded;
  if (acquisition::decode_amplifier_status(c.status, decoded) == acquisition::SpeedModeError::none) {
    c.rate = decoded.sampling_rate;
    c.channels = decoded.layout.total;
  } else {
    c.rate = 2048u << (decoded.speed_mode % 4);
    c.channels = 282;
  }
  if (rate.set) c.rate = rate.value;
  const Setting channels = read_setting(c, "AMPSIM_CHANNELS", MIN_CHANNELS, MAX_CHANNELS, false);
  if (channels.set) c.channels = static_cast<uint32_t>(channels.value);
  c.faults = read_faults(c);
  c.stall = read_setting(c, "AMPSIM_STALL", 0, 1);
  c.offset = read_setting(c, "AMPSIM_OFFSET", 0, MAX_RING_BYTES);
  c.midsweep = read_setting(c, "AMPSIM_MIDSWEEP", 0, MAX_RING_BYTES);
  c.badpointer = read_setting(c, "AMPSIM_BADPOINTER", 0, 0xFFFFFFFFu);
  c.start = read_setting(c, "AMPSIM_START", 0, MAX_RING_BYTES);
  const std::string paradigm = environment("AMPSIM_PARADIGM");
  if (paradigm == "oddball")
    c.oddball = true;
  else if (!paradigm.empty() && paradigm != "off")
    refuse(c, "AMPSIM_PARADIGM=%s is not a paradigm (oddball or off)", shown(paradigm).c_str());
  const Setting seed = read_setting(c, "AMPSIM_SEED", 0, UINT64_MAX, false);
  if (seed.set) c.seed = seed.value;
  c.log = environment("AMPSIM_LOG");
  return c;
}

}  // namespace ampsim
