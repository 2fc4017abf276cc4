// The simulated amplifier: its sweeps (in-process, through the generator the
// library uses) and what the library itself writes through its five exports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/simulator/sweeps.h"
#include "acquisition/status.h"
#include "host/dynlib.h"
#include "testing/portable_env.h"

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
// written (digests of the first 5000 sweeps of two amplifiers).
TEST(SweepGenerator, WithoutParadigmTheSweepsAreUnchanged) {
  struct Case {
    uint32_t status;
    double rate;
    uint32_t channels;
    uint64_t digest;
  } cases[] = {{0x88000000u, 2048, 282, 0x493b275db5fb6265ull}, {0x06000000u, 32768, 34, 0x8adfc6e5cb0c4865ull}};
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
    ASSERT_EQ(sweep[channels - 1], k);
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

  Driver() {
    library = acquisition::load_library(AMPSIM_LIBRARY);
    if (!library) return;
    open = reinterpret_cast<decltype(open)>(acquisition::find_export(library, "OPEN_DRIVER_ASYNC"));
    usb_write = reinterpret_cast<decltype(usb_write)>(acquisition::find_export(library, "USB_WRITE"));
    read_sweeps = reinterpret_cast<decltype(read_sweeps)>(acquisition::find_export(library, "READ_MULTIPLE_SWEEPS"));
    read_pointer = reinterpret_cast<decltype(read_pointer)>(acquisition::find_export(library, "READ_POINTER"));
    close = reinterpret_cast<decltype(close)>(acquisition::find_export(library, "CLOSE_DRIVER_ASYNC"));
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
};

class Exports : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : {"AMPSIM_STATUS", "AMPSIM_RATE", "AMPSIM_PARADIGM", "AMPSIM_SEED"}) unsetenv(name);
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
    EXPECT_EQ(words[2 * c.channels - 1], 1u);  // the sweep counter of the second sweep
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

}  // namespace
