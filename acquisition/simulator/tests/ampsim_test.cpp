// The simulated amplifier: its sweeps (in-process, through the generator the
// library uses) and what the library itself writes through its five exports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/simulator/sweeps.h"
#include "acquisition/status.h"
#include "host/dynlib.h"
#include "testing/portable_env.h"

#if !defined(_WIN32)
// Allocation that fails on demand, for the library too (on Linux the
// executable's operator new is the one every library calls).  Its delete
// frees what it allocated with malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
std::atomic<bool> g_fail_new{false};

void* operator new(std::size_t bytes) {
  void* p = g_fail_new.load(std::memory_order_relaxed) ? nullptr : std::malloc(bytes ? bytes : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

using ampsim::Generator;

uint64_t fnv1a(uint64_t h, const std::vector<uint32_t>& words) {
  for (uint32_t w : words) {
    h ^= w;
    h *= 0x100000001b3ull;
  }
  return h;
}

// Without a paradigm the sweeps are exactly what the simulator has always
// written, the sweep counter in the sample bits (digests of the first 5000
// sweeps of two amplifiers).
TEST(SweepGenerator, WithoutParadigmTheSweepsAreUnchanged) {
  struct Case {
    uint32_t status;
    double rate;
    uint32_t channels;
    uint64_t digest;
  } cases[] = {{0x88000000u, 2048, 282, 0x91abeb8100c10065ull}, {0x06000000u, 32768, 34, 0xd46ec69c39389065ull}};
  for (const Case& c : cases) {
    Generator gen(c.channels, c.status, c.rate);
    std::vector<uint32_t> sweep(c.channels);
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint64_t k = 0; k < 5000; ++k) {
      gen.sweep(k, sweep.data());
      h = fnv1a(h, sweep);
    }
    EXPECT_EQ(h, c.digest) << std::hex << c.status;
  }
}

// The sweep counter holds the sweep's index modulo 2^24 in the upper three
// bytes, so that a 24-bit reader sees every step of it; it runs on by one
// across its wrap at 2^24 sweeps (and at 2^32, where the index's low word
// wraps).
TEST(SweepGenerator, TheCounterCountsInTheSampleBitsAcrossItsWrap) {
  const Generator gen(34, 0x06000000u, 16384);
  std::vector<uint32_t> sweep(34);
  for (uint64_t from : {uint64_t{0}, (uint64_t{1} << 24) - 3, (uint64_t{1} << 32) - 3, (uint64_t{1} << 40) - 3}) {
    uint32_t previous = 0;
    for (uint64_t k = from; k < from + 6; ++k) {
      gen.sweep(k, sweep.data());
      const uint32_t word = sweep[33];
      EXPECT_EQ(word & 0xFFu, 0u) << k;
      EXPECT_EQ(word >> 8, k % (1u << 24)) << k;
      if (k > from) {
        EXPECT_EQ(((word >> 8) - (previous >> 8)) & 0xFFFFFFu, 1u) << k;
      }
      previous = word;
    }
  }
}

double microvolts(uint32_t word) { return static_cast<double>(static_cast<int32_t>(word) >> 8) / ampsim::STEPS_PER_UV; }

// Sixty seconds of the oddball paradigm at 2048 Hz: events on the exact
// quarter-second grid, one target in about five, the sweep counter intact,
// and averages that show the target's late response and the standard's
// smaller, earlier one over the channel block, and nothing elsewhere.
TEST(SweepGenerator, OddballEventsAndAveragedResponses) {
  const uint64_t rate = 2048, quarter = 512, hold = 21;  // 10 ms of 2048 Hz, rounded up
  const uint32_t channels = 282, centre = ampsim::RESPONSE_FIRST_WORD + 15, outside = 120;
  Generator gen(channels, 0x88000000u, static_cast<double>(rate), true, 1);
  const uint64_t n = 60 * rate;
  std::vector<uint32_t> sweep(channels), codes(n);
  std::vector<double> at_centre(n), at_outside(n);
  for (uint64_t k = 0; k < n; ++k) {
    gen.sweep(k, sweep.data());
    ASSERT_EQ(sweep[0], ampsim::SYNC_WORD);
    ASSERT_EQ(sweep[channels - 1], static_cast<uint32_t>(k) << 8);
    ASSERT_EQ(sweep[1] & 0xFF0000FFu, 0x88000000u);
    codes[k] = (sweep[1] >> 8) & 0xFFFFu;
    at_centre[k] = microvolts(sweep[centre]);
    at_outside[k] = microvolts(sweep[outside]);
  }
  // Mean over [from, from + 100 ms) after each event of one class; 100 ms
  // is one period of the 10 Hz rhythm and five of the line pickup.
  auto window = [&](const std::vector<double>& x, uint32_t code, double from) {
    double sum = 0;
    int events = 0;
    for (uint64_t onset = 0; onset + rate < n; onset += quarter) {
      if (codes[onset] != code) continue;
      const uint64_t a = onset + static_cast<uint64_t>(from * rate), b = a + rate / 10;
      for (uint64_t k = a; k < b; ++k) sum += x[k];
      ++events;
    }
    return sum / events / static_cast<double>(rate / 10);
  };

  int targets = 0, events = 0;
  for (uint64_t k = 0; k < n; ++k) {
    const bool held = k % quarter < hold;
    if (!held) {
      ASSERT_EQ(codes[k], 0u) << "sweep " << k;
      continue;
    }
    ASSERT_TRUE(codes[k] == ampsim::CODE_STANDARD || codes[k] == ampsim::CODE_TARGET) << "sweep " << k;
    ASSERT_EQ(codes[k], codes[k - k % quarter]);
    if (k % quarter == 0) {
      ++events;
      targets += codes[k] == ampsim::CODE_TARGET;
    }
  }
  EXPECT_EQ(events, 240);
  EXPECT_GE(targets, 30);
  EXPECT_LE(targets, 66);

  // The difference of the class averages: events overlap (a response lasts
  // longer than the 250 ms between events), but the neighbours of a target
  // and of a standard are alike, so the difference is the target's own late
  // response.  Its largest 100 ms window, searched in 10 ms steps:
  double best = -1e9, best_from = 0;
  for (int step = 0; step <= 60; ++step) {
    const double d = window(at_centre, ampsim::CODE_TARGET, step / 100.0) -
                     window(at_centre, ampsim::CODE_STANDARD, step / 100.0);
    if (d > best) best = d, best_from = step / 100.0;
  }
  EXPECT_GT(best, 3.0);
  EXPECT_NEAR(best_from + 0.05, 0.30, 0.03);
  // The standard's own response: its early window stands above the next.
  EXPECT_GT(window(at_centre, ampsim::CODE_STANDARD, 0.12) - window(at_centre, ampsim::CODE_STANDARD, 0.22), 0.8);
  // Nothing of it away from the block.
  for (double from : {0.12, 0.25}) {
    EXPECT_LT(std::abs(window(at_outside, ampsim::CODE_TARGET, from) - window(at_outside, ampsim::CODE_STANDARD, from)),
              0.5);
    EXPECT_LT(std::abs(window(at_outside, ampsim::CODE_STANDARD, from) -
                       window(at_outside, ampsim::CODE_STANDARD, from + 0.1)), 0.5);
  }

  // Another seed, another order.
  Generator other(channels, 0x88000000u, static_cast<double>(rate), true, 2);
  int differ = 0;
  for (uint64_t j = 0; j < 240; ++j) differ += other.event_code(j * quarter) != codes[j * quarter];
  EXPECT_GT(differ, 20);
}

// ---- The library through its exports. ----

struct Driver {
  void* library = nullptr;
  void* (*open)() = nullptr;
  int32_t (*usb_write)(void*, const unsigned char*) = nullptr;
  int32_t (*read_sweeps)(void*, unsigned char*, int32_t) = nullptr;
  int32_t (*read_pointer)(void*, uint32_t*) = nullptr;
  int32_t (*close)(void*) = nullptr;
  int32_t (*last_refusal)(char*, int32_t) = nullptr;

  Driver() {
    library = acquisition::load_library(AMPSIM_LIBRARY);
    if (!library) return;
    open = reinterpret_cast<decltype(open)>(acquisition::find_export(library, "OPEN_DRIVER_ASYNC"));
    usb_write = reinterpret_cast<decltype(usb_write)>(acquisition::find_export(library, "USB_WRITE"));
    read_sweeps = reinterpret_cast<decltype(read_sweeps)>(acquisition::find_export(library, "READ_MULTIPLE_SWEEPS"));
    read_pointer = reinterpret_cast<decltype(read_pointer)>(acquisition::find_export(library, "READ_POINTER"));
    close = reinterpret_cast<decltype(close)>(acquisition::find_export(library, "CLOSE_DRIVER_ASYNC"));
    last_refusal = reinterpret_cast<decltype(last_refusal)>(acquisition::find_export(library, "AMPSIM_LAST_REFUSAL"));
  }
  ~Driver() {
    if (library) acquisition::unload_library(library);
  }

  // Opens, runs until at least `bytes` are in the ring, stops and closes;
  // the ring's first bytes, or nothing when the open fails.
  std::vector<uint32_t> record(size_t bytes) {
    std::vector<uint32_t> ring(bytes / 2 + (1 << 20));  // room for what comes before the stop
    void* handle = open();
    if (!handle) return {};
    unsigned char disable[64] = {0}, enable[64] = {0xFF};
    usb_write(handle, disable);
    read_sweeps(handle, reinterpret_cast<unsigned char*>(ring.data()), static_cast<int32_t>(ring.size() * 4));
    usb_write(handle, enable);
    const auto t0 = std::chrono::steady_clock::now();
    uint32_t pointer = 0;
    while (read_pointer(handle, &pointer) && pointer < bytes &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    usb_write(handle, disable);
    close(handle);
    ring.resize(pointer >= bytes ? bytes / 4 : 0);
    return ring;
  }

  // The reason of the last failure.
  std::string refusal() {
    char text[600];
    const int32_t n = last_refusal(text, sizeof text);
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(text));
    return text;
  }

  // Opens and starts the writer on `ring`, reading the first pointer.
  void* run(std::vector<uint32_t>& ring, uint32_t& pointer) {
    void* handle = open();
    if (!handle) return nullptr;
    const unsigned char disable[64] = {0}, enable[64] = {0xFF};
    EXPECT_EQ(usb_write(handle, disable), 1);
    read_sweeps(handle, reinterpret_cast<unsigned char*>(ring.data()), static_cast<int32_t>(ring.size() * 4));
    EXPECT_EQ(usb_write(handle, enable), 1);
    EXPECT_EQ(read_pointer(handle, &pointer), 1);
    return handle;
  }

  // Seconds the disable message and the close take.
  double stop(void* handle) {
    const unsigned char disable[64] = {0};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(usb_write(handle, disable), 1);
    EXPECT_EQ(close(handle), 1);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
};

const char* const SETTINGS[] = {"AMPSIM_STATUS", "AMPSIM_RATE",     "AMPSIM_CHANNELS",   "AMPSIM_FAIL",
                                "AMPSIM_STALL",  "AMPSIM_OFFSET",   "AMPSIM_MIDSWEEP",   "AMPSIM_BADPOINTER",
                                "AMPSIM_START",  "AMPSIM_PARADIGM", "AMPSIM_SEED"};

class Exports : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : SETTINGS) unsetenv(name);
  }
};

// AMPSIM_RATE alone turns the speed mode wheel to the position that runs at
// that rate, so that the status word, the layout and the rate agree; a rate
// that no position runs at, and a paradigm or seed it does not know, make
// the open fail; with AMPSIM_STATUS the rate and the word are taken as given.
TEST_F(Exports, TheStatusWordTellsTheRateTheSweepsComeAt) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  const struct {
    const char* rate;
    uint32_t expected_rate, channels;
  } alone[] = {{"2048", 2048, 282}, {"4096", 4096, 154}, {"8192", 8192, 90}, {"16384", 16384, 314}};
  for (const auto& c : alone) {
    setenv("AMPSIM_RATE", c.rate, 1);
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<uint32_t> words = driver.record(size_t{c.expected_rate} / 4 * c.channels * 4);  // 250 ms
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_FALSE(words.empty()) << c.rate;
    acquisition::AmplifierStatus decoded;
    ASSERT_EQ(acquisition::decode_amplifier_status(words[1], decoded), acquisition::SpeedModeError::none);
    EXPECT_EQ(decoded.mk2, 1u);
    EXPECT_EQ(decoded.sampling_rate, c.expected_rate);
    EXPECT_EQ(decoded.layout.total, c.channels);
    EXPECT_EQ(words[c.channels], ampsim::SYNC_WORD);
    EXPECT_EQ(words[2 * c.channels - 1], 1u << 8);  // the sweep counter of the second sweep
    EXPECT_GT(seconds, 0.2);  // written in real time at that rate, not at 2048 Hz
    EXPECT_LT(seconds, 0.7);
  }

  for (const char* rate : {"1000", "32768"}) {
    setenv("AMPSIM_RATE", rate, 1);
    EXPECT_EQ(driver.open(), nullptr) << rate;
  }
  setenv("AMPSIM_STATUS", "0x06000000", 1);  // Mk1, speed mode 3: 34 channels at 16384 Hz
  setenv("AMPSIM_RATE", "32768", 1);
  std::vector<uint32_t> words = driver.record(8192 * 34 * 4);  // 250 ms at 32768 sweeps/s
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words[1] & 0xFF0000FFu, 0x06000000u);
  unsetenv("AMPSIM_STATUS");
  unsetenv("AMPSIM_RATE");

  setenv("AMPSIM_PARADIGM", "odball", 1);
  EXPECT_EQ(driver.open(), nullptr);
  setenv("AMPSIM_PARADIGM", "oddball", 1);
  setenv("AMPSIM_SEED", "12x", 1);
  EXPECT_EQ(driver.open(), nullptr);
}

// With the paradigm on, every connection writes exactly the generator's
// sweeps for its seed, from sweep 0 on.
TEST_F(Exports, OddballSessionsAreReproducible) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  setenv("AMPSIM_PARADIGM", "oddball", 1);
  setenv("AMPSIM_SEED", "7", 1);
  const size_t sweeps = 600;  // past the first two events' responses
  const std::vector<uint32_t> first = driver.record(sweeps * 282 * 4);
  const std::vector<uint32_t> second = driver.record(sweeps * 282 * 4);
  ASSERT_EQ(first.size(), sweeps * 282);
  EXPECT_EQ(first, second);
  Generator gen(282, 0x88000000u, 2048, true, 7);
  std::vector<uint32_t> expected(sweeps * 282);
  for (size_t k = 0; k < sweeps; ++k) gen.sweep(k, expected.data() + k * 282);
  EXPECT_EQ(first, expected);
}


// Every numeric setting is read alike: a value that is not a whole number
// in its range, or a connection suffix or AMPSIM_FAIL item that is not well
// formed, refuses the open with a reason that names it; decimal and hex
// forms are read exactly.
TEST_F(Exports, EveryNumericSettingIsAWholeNumberInItsRange) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  const std::string hex = " (decimal or 0x-prefixed hex)";
  const struct {
    const char* name;
    const char* value;
    const char* range;
  } out_of_range[] = {
      {"AMPSIM_RATE", "abc", "1 to 65536"},       {"AMPSIM_RATE", "1e6", "1 to 65536"},
      {"AMPSIM_RATE", "0", "1 to 65536"},         {"AMPSIM_RATE", " 2048", "1 to 65536"},
      {"AMPSIM_RATE", "2048@2", "1 to 65536"},    {"AMPSIM_CHANNELS", "-3", "3 to 100000"},
      {"AMPSIM_CHANNELS", "100001", "3 to 100000"}, {"AMPSIM_STATUS", "0x100000000", "0 to 4294967295"},
      {"AMPSIM_SEED", "18446744073709551616", "0 to 18446744073709551615"},
      {"AMPSIM_STALL", "2", "0 to 1"},            {"AMPSIM_BADPOINTER", "0x", "0 to 4294967295"},
  };
  for (const auto& r : out_of_range) {
    setenv(r.name, r.value, 1);
    EXPECT_EQ(driver.open(), nullptr) << r.name << "=" << r.value;
    EXPECT_EQ(driver.refusal(), std::string(r.name) + "=" + r.value + ": the value must be a whole number from " +
                                    r.range + hex);
    unsetenv(r.name);
  }
  const std::string count = "the call count must be a whole number from 1 to 2147483647" + hex;
  const std::string connection = "the connection after @ must be a whole number from 1 to 2147483647" + hex;
  const struct {
    const char* name;
    const char* value;
    std::string reason;
  } refused[] = {
      {"AMPSIM_MIDSWEEP", "12@0", "AMPSIM_MIDSWEEP=12@0: " + connection},
      {"AMPSIM_START", "8@2x", "AMPSIM_START=8@2x: " + connection},
      {"AMPSIM_FAIL", "USB_WRITE:x", "AMPSIM_FAIL=USB_WRITE:x: in \"USB_WRITE:x\", " + count},
      {"AMPSIM_FAIL", "USB_WRITE:1,READ_POINTER:0",
       "AMPSIM_FAIL=USB_WRITE:1,READ_POINTER:0: in \"READ_POINTER:0\", " + count},
      {"AMPSIM_FAIL", "USB_WRITE:1@0", "AMPSIM_FAIL=USB_WRITE:1@0: in \"USB_WRITE:1@0\", " + connection},
      {"AMPSIM_FAIL", "USB_WRITE:1,", "AMPSIM_FAIL=USB_WRITE:1,: the item \"\" is not <CALL>:<n>[@c]"},
      {"AMPSIM_FAIL", "usb_write:1",
       "AMPSIM_FAIL=usb_write:1: \"usb_write\" is not an export (OPEN_DRIVER_ASYNC, USB_WRITE, READ_MULTIPLE_SWEEPS, "
       "READ_POINTER or CLOSE_DRIVER_ASYNC)"},
      {"AMPSIM_PARADIGM", "Oddball", "AMPSIM_PARADIGM=Oddball is not a paradigm (oddball or off)"},
  };
  for (const auto& r : refused) {
    setenv(r.name, r.value, 1);
    EXPECT_EQ(driver.open(), nullptr) << r.name << "=" << r.value;
    EXPECT_EQ(driver.refusal(), r.reason);
    unsetenv(r.name);
  }
  // A long value is quoted in part.
  setenv("AMPSIM_SEED", std::string(100, '9').c_str(), 1);
  EXPECT_EQ(driver.open(), nullptr);
  EXPECT_EQ(driver.refusal().substr(0, 80), "AMPSIM_SEED=" + std::string(60, '9') + "...: the");
  unsetenv("AMPSIM_SEED");

  // Hex and decimal alike: Mk2 speed mode 5 (154 channels at 4096 Hz),
  // 0x-prefixed rate and channel count, every kind of well-formed item.
  setenv("AMPSIM_STATUS", "2315255808", 1);
  setenv("AMPSIM_RATE", "0x1000", 1);
  setenv("AMPSIM_CHANNELS", "0X9A", 1);
  setenv("AMPSIM_SEED", "18446744073709551615", 1);
  setenv("AMPSIM_FAIL", "READ_POINTER:0x7FFFFFFF,CLOSE_DRIVER_ASYNC:9@0x7fffffff", 1);
  setenv("AMPSIM_START", "0@1", 1);
  const std::vector<uint32_t> words = driver.record(1024 * 154 * 4);
  ASSERT_FALSE(words.empty()) << driver.refusal();
  EXPECT_EQ(words[1] & 0xFF0000FFu, 0x8A000000u);
  EXPECT_EQ(words[154], ampsim::SYNC_WORD);
  EXPECT_EQ(driver.refusal(), "");
}

// AMPSIM_OFFSET beyond any ring (it made the writer allocate its filler at
// once and kill the host) refuses the open; the longest offset allowed is
// written in pieces, and a stop in the middle of it is prompt.
TEST_F(Exports, OffsetsBeyondAnyRingAreRefusedAndTheLongestStopsPromptly) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  setenv("AMPSIM_OFFSET", "0x100000000000", 1);
  EXPECT_EQ(driver.open(), nullptr);
  EXPECT_EQ(driver.refusal(),
            "AMPSIM_OFFSET=0x100000000000: the value must be a whole number from 0 to 2147483647 (decimal or "
            "0x-prefixed hex)");
  setenv("AMPSIM_OFFSET", "2147483647", 1);
  std::vector<uint32_t> ring(1 << 16);
  uint32_t pointer = 0;
  void* handle = driver.run(ring, pointer);
  ASSERT_NE(handle, nullptr) << driver.refusal();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_LT(driver.stop(handle), 1.0);  // prompt: a few ms alone, under a second on a loaded machine (it used to take minutes)
  EXPECT_EQ(ring[0], 0x12345600u);  // filler, not data
}

// AMPSIM_START below 0 (read as a huge unsigned value, it sent the writer
// far outside the ring) or beyond any ring refuses the open; the largest
// allowed is the end of the ring given, where the data then begin.
TEST_F(Exports, StartsOutsideAnyRingAreRefused) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  for (const char* start : {"-4294967296", "-4", "2147483648"}) {
    setenv("AMPSIM_START", start, 1);
    EXPECT_EQ(driver.open(), nullptr) << start;
    EXPECT_EQ(driver.refusal(), std::string("AMPSIM_START=") + start +
                                    ": the value must be a whole number from 0 to 2147483647 (decimal or "
                                    "0x-prefixed hex)");
  }
  setenv("AMPSIM_START", "2147483647", 1);
  std::vector<uint32_t> ring(100 * 282);
  uint32_t pointer = 0;
  void* handle = driver.run(ring, pointer);
  ASSERT_NE(handle, nullptr) << driver.refusal();
  EXPECT_EQ(pointer, ring.size() * 4);
  for (int k = 0; k < 200 && pointer >= ring.size() * 4; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    driver.read_pointer(handle, &pointer);
  }
  driver.stop(handle);
  EXPECT_LT(pointer, ring.size() * 4);
  EXPECT_EQ(ring[0], ampsim::SYNC_WORD);
  EXPECT_EQ(ring[281], 0u);  // the sweep counter of sweep 0
}

// A rate no amplifier has refuses the open (one writer pass at 10^12 sweeps
// per second was 5e9 sweeps, and the stop waited for it); at the largest
// rate and sweep size allowed, with the oddball paradigm, the writer cannot
// keep up, and a stop still comes within a few sweeps.
TEST_F(Exports, StopsArePromptAtAnyRateAndSweepSize) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  setenv("AMPSIM_STATUS", "0x88000000", 1);
  setenv("AMPSIM_RATE", "1000000000000", 1);
  EXPECT_EQ(driver.open(), nullptr);
  EXPECT_EQ(driver.refusal(),
            "AMPSIM_RATE=1000000000000: the value must be a whole number from 1 to 65536 (decimal or 0x-prefixed hex)");
  setenv("AMPSIM_RATE", "65536", 1);
  setenv("AMPSIM_CHANNELS", "100000", 1);
  setenv("AMPSIM_PARADIGM", "oddball", 1);
  std::vector<uint32_t> ring(1 << 22);
  uint32_t pointer = 0;
  void* handle = driver.run(ring, pointer);
  ASSERT_NE(handle, nullptr) << driver.refusal();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LT(driver.stop(handle), 1.0);  // prompt: a few ms alone, under a second on a loaded machine (it used to take minutes)
}

// No exception leaves an export: the settings that made USB_WRITE throw
// out of memory (the oddball paradigm at 4e9 sweeps per second) refuse the
// open, and memory running out while the writer is set up fails the enable
// message with its reason kept; the connection then closes, and the next
// opens.
TEST_F(Exports, NoExceptionLeavesAnExport) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  setenv("AMPSIM_PARADIGM", "oddball", 1);
  setenv("AMPSIM_STATUS", "0x88000000", 1);
  setenv("AMPSIM_RATE", "4000000000", 1);
  EXPECT_EQ(driver.open(), nullptr);
  EXPECT_EQ(driver.refusal(),
            "AMPSIM_RATE=4000000000: the value must be a whole number from 1 to 65536 (decimal or 0x-prefixed hex)");
#if !defined(_WIN32)
  unsetenv("AMPSIM_RATE");
  void* handle = driver.open();
  ASSERT_NE(handle, nullptr);
  std::vector<uint32_t> ring(1 << 16);
  const unsigned char disable[64] = {0}, enable[64] = {0xFF};
  EXPECT_EQ(driver.usb_write(handle, disable), 1);
  driver.read_sweeps(handle, reinterpret_cast<unsigned char*>(ring.data()), static_cast<int32_t>(ring.size() * 4));
  g_fail_new = true;
  const int32_t enabled = driver.usb_write(handle, enable);
  g_fail_new = false;
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(driver.refusal(), "USB_WRITE enable: out of memory");
  EXPECT_EQ(driver.usb_write(handle, disable), 1);
  EXPECT_EQ(driver.close(handle), 1);
  handle = driver.open();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(driver.refusal(), "");
  EXPECT_EQ(driver.close(handle), 1);
#endif
}

// The reason of the last failed open stays readable until an open succeeds:
// copied with a terminating zero, truncated to the room given, its full
// length returned; an injected failure says so.
TEST_F(Exports, TheLastRefusalIsKeptUntilAnOpenSucceeds) {
  Driver driver;
  ASSERT_NE(driver.library, nullptr) << AMPSIM_LIBRARY;
  ASSERT_NE(driver.last_refusal, nullptr);
  EXPECT_EQ(driver.last_refusal(nullptr, 0), 0);
  setenv("AMPSIM_FAIL", "OPEN_DRIVER_ASYNC:1", 1);
  EXPECT_EQ(driver.open(), nullptr);
  EXPECT_EQ(driver.refusal(), "AMPSIM_FAIL=OPEN_DRIVER_ASYNC:1: injected failure");
  unsetenv("AMPSIM_FAIL");
  setenv("AMPSIM_PARADIGM", "Oddball", 1);
  EXPECT_EQ(driver.open(), nullptr);
  const std::string reason = "AMPSIM_PARADIGM=Oddball is not a paradigm (oddball or off)";
  char text[8] = "#######";
  EXPECT_EQ(driver.last_refusal(text, 1), static_cast<int32_t>(reason.size()));
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(text[1], '#');
  EXPECT_EQ(driver.last_refusal(text, 8), static_cast<int32_t>(reason.size()));
  EXPECT_STREQ(text, "AMPSIM_");
  EXPECT_EQ(driver.last_refusal(nullptr, 100), static_cast<int32_t>(reason.size()));
  EXPECT_EQ(driver.refusal(), reason);
  unsetenv("AMPSIM_PARADIGM");
  void* handle = driver.open();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(driver.last_refusal(text, 8), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(driver.open(), nullptr);  // one connection at a time
  EXPECT_EQ(driver.refusal(), "OPEN_DRIVER_ASYNC: the amplifier has a connection open already (one at a time)");
  EXPECT_EQ(driver.close(handle), 1);
}

}  // namespace
