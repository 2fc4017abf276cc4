// The guards of the session record, through the stand-in host against the
// simulated amplifier: scalars of stopped or other sessions are refused
// before they are used as addresses, a library with a live session is not
// started again, acq_stop_all and the modules' exit hooks stop what is
// live, and a fetch later than the ring can hold warns.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "acquisition/sessions.h"
#include "acquisition/tests/simulator.h"
#include "testing/test_util.h"

namespace {

using acquisition::FETCH_INPUTS;
using acquisition::SESSION_CHANNELS;
using acquisition::SESSION_RATE;
using acquisition::STOP_INPUTS;
using standin::Array;

// The simulator fixture under a suite name of its own (it is defined once
// per test file).
class Guards : public Simulator {};

const Log SHUTDOWN = {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "unload"};

// acq_fetch with the session's scalars, one of them replaced.
standin::Result fetch_with(const standin::Result& s, int input, const mxArray* value, int32_t last = 0) {
  Array pointer = standin::int32(1, 1, {last});
  std::vector<const mxArray*> in;
  for (int k = 0; k < 5; ++k) in.push_back(s.out(FETCH_INPUTS[k]));
  in.push_back(pointer.get());
  in[static_cast<size_t>(input)] = value;
  return standin::call("acq_fetch", 2, in);
}

standin::Result stop_with(const standin::Result& s, int input, const mxArray* value) {
  std::vector<const mxArray*> in;
  for (acquisition::SessionScalar k : STOP_INPUTS) in.push_back(s.out(k));
  in[static_cast<size_t>(input)] = value;
  return standin::call("acq_stop", 0, in);
}

standin::Result stop_all(int nlhs = 0) { return standin::call("acq_stop_all", nlhs, std::vector<const mxArray*>{}); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Guards, StaleScalarsAreRefusedAndTouchNothing) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  auto t = stop(s);
  ASSERT_TRUE(t.ok) << t.error_text;
  clear_log();
  // Fetch after the stop: the ring is freed and the library unloaded.
  auto f = fetch(s, 0);
  eegtest::expect_error(f, "acq_fetch:noSession");
  EXPECT_TRUE(contains(f.error_text, "stopped or never started")) << f.error_text;
  // Scalars of a session never started.
  Array ring = standin::uint64(1, 1, {0x12345678});
  eegtest::expect_error(fetch_with(s, 3, ring.get()), "acq_fetch:noSession");
  EXPECT_TRUE(log().empty());
  EXPECT_EQ(acquisition::live_session_count(), 0);
}

TEST_F(Guards, DoubleStopIsAnErrorAndReleasesNothing) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  ASSERT_TRUE(stop(s).ok);
  const Log before = log();
  EXPECT_EQ(Log(before.end() - 3, before.end()), SHUTDOWN);
  auto t = stop(s);
  eegtest::expect_error(t, "acq_stop:noSession");
  EXPECT_TRUE(contains(t.error_text, "stopped already or never started")) << t.error_text;
  EXPECT_TRUE(contains(t.error_text, "Nothing was released.")) << t.error_text;
  EXPECT_EQ(log(), before);  // no second disable, close or unload
  // The driver is free for the next session.
  auto s2 = start();
  ASSERT_TRUE(s2.ok) << s2.error_text;
  EXPECT_TRUE(stop(s2).ok);
}

TEST_F(Guards, ScalarsOfAnotherSessionOrSwappedAreRefused) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  // The sampling rate where the channel count goes: both int32 scalars.
  auto f = fetch_with(s, 4, s.out(SESSION_RATE));
  eegtest::expect_error(f, "acq_fetch:noSession");
  EXPECT_TRUE(contains(f.error_text, "Input 5, the channel count, is 2048, but session ")) << f.error_text;
  EXPECT_TRUE(contains(f.error_text, "has 282 channels")) << f.error_text;
  // ... also with a pointer that is a whole number of the session's sweeps
  // but not of 2048-word ones.
  eegtest::expect_error(fetch_with(s, 4, s.out(SESSION_RATE), 282 * 4 * 3), "acq_fetch:noSession");
  // Another driver handle; another function where READ_POINTER goes.
  Array other = standin::uint64(1, 1, {0x1000});
  eegtest::expect_error(fetch_with(s, 1, other.get()), "acq_fetch:noSession");
  eegtest::expect_error(fetch_with(s, 2, s.out(acquisition::SESSION_OPEN)), "acq_fetch:noSession");
  // A stop with one value not the session's releases nothing.
  for (int input : {0, 1, 2, 3}) {
    SCOPED_TRACE(input);
    auto t = stop_with(s, input, s.out(acquisition::SESSION_READ_SWEEPS));
    eegtest::expect_error(t, "acq_stop:noSession");
    EXPECT_TRUE(contains(t.error_text, "Nothing was released.")) << t.error_text;
  }
  EXPECT_EQ(log(), RESTART);
  // The session itself is untouched and still delivers.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto g = fetch(s, 0);
  ASSERT_TRUE(g.ok) << g.error_text;
  EXPECT_GT(mxGetN(g.out(0)), 0u);
  EXPECT_TRUE(stop(s).ok);
}

TEST_F(Guards, SecondStartOnALiveLibrarySaysWhichSessionHoldsIt) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  auto again = start();
  eegtest::expect_error(again, "acq_start:alreadyOpen");
  EXPECT_TRUE(contains(again.error_text, "already has a live acquisition session ")) << again.error_text;
  EXPECT_TRUE(contains(again.error_text, std::string(LIBRARY) + ", 282 channels at 2048 Hz)")) << again.error_text;
  EXPECT_TRUE(contains(again.error_text, "acq_stop_all()")) << again.error_text;
  EXPECT_EQ(again.printed, "Loading BioSemi driver dll...\n");
  EXPECT_EQ(log(), RESTART);  // the driver was not called, the library stays loaded
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto f = fetch(s, 0);
  ASSERT_TRUE(f.ok) << f.error_text;
  EXPECT_TRUE(stop(s).ok);
  EXPECT_EQ(log(), concat(RESTART, SHUTDOWN));
}

// A second simulator, a copy of the library under another name: the loader
// gives it a handle and a device of its own.
struct SecondLibrary {
  std::string path = ::testing::TempDir() + "libampsim_second_" + std::to_string(getpid()) + ".so";
  SecondLibrary() { std::filesystem::copy_file(LIBRARY, path, std::filesystem::copy_options::overwrite_existing); }
  ~SecondLibrary() { std::remove(path.c_str()); }
};

TEST_F(Guards, StopAllStopsTheSessionsOfEveryLibrary) {
  SecondLibrary second;
  const long heap_before = heap_in_use();
  const size_t threads_before = thread_count();
  auto a = start();
  ASSERT_TRUE(a.ok) << a.error_text;
  set("AMPSIM_STATUS", "0x06000000");  // the second amplifier: Mk1, speed mode 3
  auto b = start(second.path.c_str());
  ASSERT_TRUE(b.ok) << b.error_text;
  EXPECT_EQ(int32_out(b, SESSION_CHANNELS), 34);
  EXPECT_EQ(acquisition::live_session_count(), 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fetch(a, 0).ok);
  ASSERT_TRUE(fetch(b, 0).ok);
  clear_log();

  auto r = stop_all(1);
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>{2});
  EXPECT_TRUE(contains(r.printed, "Stopped acquisition session ")) << r.printed;
  EXPECT_TRUE(contains(r.printed, std::string(LIBRARY) + ", 282 channels at 2048 Hz).\n")) << r.printed;
  EXPECT_TRUE(contains(r.printed, second.path + ", 34 channels at 16384 Hz).\n")) << r.printed;
  EXPECT_EQ(log(), concat(SHUTDOWN, SHUTDOWN));  // oldest first, each in the order of a stop
  EXPECT_EQ(acquisition::live_session_count(), 0);
  EXPECT_EQ(thread_count(), threads_before);
  EXPECT_LT(heap_in_use() - heap_before, RING_LEFT_BEHIND);
  eegtest::expect_error(fetch(a, 0), "acq_fetch:noSession");
  eegtest::expect_error(stop(b), "acq_stop:noSession");

  // Nothing live: nothing printed, 0.
  r = stop_all(1);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>{0});
  EXPECT_EQ(r.printed, "");
  eegtest::expect_error(stop_all(2), "acq_stop_all:nargout");
  eegtest::expect_error(standin::call("acq_stop_all", 0, {standin::scalar(1)}), "acq_stop_all:nargin");
}

TEST_F(Guards, UnloadingTheModulesStopsWhatIsLive) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fetch(s, 0).ok);
  const size_t threads_before_clear = thread_count();
  standin::clear_modules();  // as the host's "clear all" or its exit
  EXPECT_EQ(log(), concat(RESTART, SHUTDOWN));
  EXPECT_EQ(acquisition::live_session_count(), 0);
  EXPECT_EQ(thread_count(), threads_before_clear - 1);
  EXPECT_FALSE(simulator_loaded());
  eegtest::expect_error(fetch(s, 0), "acq_fetch:noSession");
  // The modules load again and the driver is free.  (The new session may
  // well get the old one's addresses, and its scalars then equal the old.)
  auto s2 = start();
  ASSERT_TRUE(s2.ok) << s2.error_text;
  EXPECT_TRUE(stop(s2).ok);
}

TEST_F(Guards, FetchLaterThanTheRingHoldsWarnsAndReturnsTheData) {
  set("AMPSIM_STATUS", "0x06000000");  // Mk1, speed mode 3: 34 channels at 16384 Hz, a 1.875 s ring
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto f = fetch(s, 0);
  ASSERT_TRUE(f.ok) << f.error_text;
  EXPECT_TRUE(f.warnings.empty());
  const size_t n = mxGetN(f.out(0));
  ASSERT_GT(n, 0u);
  const uint32_t next_counter = sweep_counter(standin::int32s(f.out(0))[n * 34 - 1]) + 1;

  std::this_thread::sleep_for(std::chrono::milliseconds(2300));
  auto g = fetch(s, int32_out(f, 1));
  ASSERT_TRUE(g.ok) << g.error_text;
  ASSERT_EQ(g.warnings.size(), 1u);
  EXPECT_EQ(g.warnings[0].id, "acq_fetch:dataLost");
  double lost = 0, elapsed = 0;
  ASSERT_EQ(std::sscanf(g.warnings[0].text.c_str(), "About %lf s of data were lost: %lf s passed", &lost, &elapsed), 2)
      << g.warnings[0].text;
  EXPECT_TRUE(contains(g.warnings[0].text, "more than its ring holds (30720 sweeps, 1.88 s)")) << g.warnings[0].text;
  EXPECT_GT(elapsed, 2.25);
  // The data are returned as before: the newest part of what arrived,
  // reckoned modulo the ring; their sweep counter shows the loss.
  const size_t m = mxGetN(g.out(0));
  ASSERT_GT(m, 0u);
  EXPECT_NEAR(elapsed - lost, m / 16384.0, 0.011);
  const uint32_t first_counter = sweep_counter(standin::int32s(g.out(0))[33]);
  EXPECT_NEAR(((first_counter - next_counter) % COUNTER_MODULUS) / 16384.0, lost, 0.25);

  // A prompt fetch afterwards: no warning.
  auto h = fetch(s, int32_out(g, 1));
  ASSERT_TRUE(h.ok);
  EXPECT_TRUE(h.warnings.empty());
  EXPECT_TRUE(stop(s).ok);
}

}  // namespace
