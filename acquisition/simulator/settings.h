// The simulated amplifier's settings: read from the environment at every
// OPEN_DRIVER_ASYNC, each checked against its range, so that a setting the
// simulator cannot honour refuses the open with a reason instead of being
// ignored or reaching the writer.  Plain C++; no host header, no device
// state.  The settings and their ranges are listed in ampsim.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ampsim {

enum Call { OPEN, WRITE, READ_SWEEPS, READ_POINTER_CALL, CLOSE, CALL_COUNT };
constexpr const char* CALL_NAMES[CALL_COUNT] = {"OPEN_DRIVER_ASYNC", "USB_WRITE", "READ_MULTIPLE_SWEEPS",
                                                "READ_POINTER", "CLOSE_DRIVER_ASYNC"};

// Ranges of the numeric settings.
constexpr uint64_t MAX_RATE = 65536;  // sweeps per second: four times the fastest amplifier's 16384
constexpr uint64_t MIN_CHANNELS = 3;  // sync, status and the sweep counter
constexpr uint64_t MAX_CHANNELS = 100000;
constexpr uint64_t MAX_RING_BYTES = 2147483647;  // the longest ring READ_MULTIPLE_SWEEPS can be given
constexpr uint64_t MAX_COUNT = 2147483647;       // connections and call counts

// The n-th call of an export fails.
struct Fault {
  int call = 0;
  long n = 0;
  long connection = 0;  // 0: counted over the library's lifetime
  std::string item;     // as written, for the reason of the failure
};

// A numeric setting with an optional "@c" connection.
struct Setting {
  bool set = false;
  uint64_t value = 0;
  long connection = 0;  // 0: every connection
};

struct Config {
  uint32_t status = 0x88000000u;
  uint64_t rate = 2048;
  uint32_t channels = 282;
  bool oddball = false;
  uint64_t seed = 1;
  std::string refusal;  // why the open fails, empty when it may go on
  std::vector<Fault> faults;
  Setting stall, offset, midsweep, badpointer, start;
  std::string log;
};

// The value of an environment variable, empty when it is not set.
std::string environment(const char* name);

// Every setting; the first one out of range is named in `refusal`.
Config read_config();

inline bool applies(const Setting& s, long connection) {
  return s.set && (s.connection == 0 || s.connection == connection);
}

}  // namespace ampsim
