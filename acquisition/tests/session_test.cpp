// Whole sessions through the stand-in host against the simulated amplifier:
// start, fetch and stop, the failures the simulator can provoke with the
// releases seen in its call log, the time-outs and the argument messages.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/tests/simulator.h"
#include "host/dynlib.h"
#include "host/standin/standin.h"

namespace {

using standin::Array;

const char* const START_LINES[] = {"Loading BioSemi driver dll...\n", "Connecting to driver...\n",
                                   "Initializing USB interface...\n", "Initializing ring buffer...\n",
                                   "Enabling handshake...\n", "Querying buffer pointer...\n",
                                   "Waiting for data...\n", "Checking status...\n"};

TEST_F(Simulator, HappyPathGivesTheSessionAndStopReleasesIt) {
  const long heap_before = heap_in_use();
  const size_t threads_before = thread_count();
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  ASSERT_TRUE(s.clean());
  EXPECT_EQ(thread_count(), threads_before + 1);  // the simulator's writer
  EXPECT_TRUE(simulator_loaded());
  EXPECT_TRUE(s.warnings.empty());
  ASSERT_EQ(s.outputs.size(), 15u);
  for (size_t k = 0; k < 15; ++k) {
    EXPECT_EQ(mxGetClassID(s.out(k)), k < 8 ? mxUINT64_CLASS : mxINT32_CLASS) << k;
    EXPECT_EQ(mxGetNumberOfDimensions(s.out(k)), 2u);
    EXPECT_EQ(mxGetNumberOfElements(s.out(k)), 1u);
    if (k < 8) {
      EXPECT_NE(standin::uint64s(s.out(k))[0], 0u) << k;
    }
  }
  const std::vector<int32_t> expected = {282, 2048, 1, 1, 256, 8, 0};
  for (size_t k = 8; k < 15; ++k) EXPECT_EQ(int32_out(s, k), expected[k - 8]) << k;

  std::string printed;
  for (const char* line : START_LINES) printed += line;
  printed +=
      "  status: 8912897\n  MK2: 1\n  speed mode: 4\n  sampling rate: 2048\n"
      "  channels: 282 (1xSync, 1xTrigger, 256xEEG, 8xExG, 16xExtra)\n  battery: good\n"
      "Reallocating optimized ring buffer...\nSending the enable message again...\nClosing the driver...\n"
      "Freeing the ring buffer...\nAllocating a new ring buffer...\nZeroing the ring buffer...\n"
      "Opening the driver...\nReinitializing the USB interface...\nStarting data acquisition...\n"
      "Enabling handshake...\nAttempt to read buffer pointer...\nVerifying channel format...\n"
      "Channel format is correct...\nSetting up MATLAB return variables...\n";
  EXPECT_EQ(s.printed, printed);
  EXPECT_EQ(log(), RESTART);

  // The data start at the ring's start with sweep 0.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  auto f = fetch(s, 0);
  ASSERT_TRUE(f.ok) << f.error_text;
  const int32_t n = static_cast<int32_t>(mxGetN(f.out(0)));
  ASSERT_GT(n, 0);
  EXPECT_EQ(int32_out(f, 1), n * 282 * 4);
  auto words = standin::int32s(f.out(0));
  for (int32_t j = 0; j < n; ++j) {
    EXPECT_EQ(words[j * 282], -256);
    EXPECT_EQ(static_cast<uint32_t>(words[j * 282 + 1]) & 0xFF000000u, 0x88000000u);
    EXPECT_EQ(words[j * 282 + 281], j << 8);  // the sweep counter
  }

  auto t = stop(s, 1);  // an output requested: none is filled
  EXPECT_TRUE(t.ok) << t.error_text;
  EXPECT_TRUE(t.clean());
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_TRUE(t.printed.empty());
  EXPECT_EQ(t.out(0), nullptr);
  EXPECT_EQ(log(), concat(RESTART, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "unload"}));
  EXPECT_LT(heap_in_use() - heap_before, RING_LEFT_BEHIND);
  EXPECT_EQ(thread_count(), threads_before);
  EXPECT_FALSE(simulator_loaded());
}

struct FailureRow {
  const char* variable;
  const char* value;
  const char* message;
  Log log;
};

TEST_F(Simulator, EveryFailureReleasesInOrderAndRaisesItsMessage) {
  const std::string open_fail = "Could not open connection to BioSemi driver.";
  const std::string init_fail = "Could not initialize BioSemi USB2 interface.";
  const std::string no_pointer = "Can not obtain ring buffer pointer from BioSemi driver.";
  const std::string range = "Buffer pointer returned by BioSemi driver is not in the valid range.";
  const std::string handshake = "Ring buffer handshake with BioSemi driver failed unexpectedly.";
  const Log shutdown = {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "unload"};
  const Log probe_until_sweeps(PROBE.begin(), PROBE.begin() + 4);
  const Log restart_until_sweeps(RESTART.begin(), RESTART.end() - 2);
  const Log restart_until_open(RESTART.begin(), RESTART.end() - 4);
  const std::vector<FailureRow> rows = {
      {"AMPSIM_FAIL", "OPEN_DRIVER_ASYNC:1", open_fail.c_str(), {"load", "OPEN_DRIVER_ASYNC fail", "unload"}},
      {"AMPSIM_FAIL", "USB_WRITE:1", init_fail.c_str(),
       {"load", "OPEN_DRIVER_ASYNC ok", "USB_WRITE disable fail", "CLOSE_DRIVER_ASYNC ok", "unload"}},
      {"AMPSIM_FAIL", "USB_WRITE:2", "Could not enable handshake with BioSemi USB2 interface.",
       concat(probe_until_sweeps, {"USB_WRITE enable fail", "CLOSE_DRIVER_ASYNC ok", "unload"})},
      {"AMPSIM_FAIL", "READ_POINTER:1", no_pointer.c_str(),
       concat(Log(PROBE.begin(), PROBE.end() - 1), concat({"READ_POINTER fail"}, shutdown))},
      {"AMPSIM_BADPOINTER", "8388612@1", range.c_str(), concat(PROBE, shutdown)},
      {"AMPSIM_FAIL", "READ_POINTER:2", handshake.c_str(), concat(PROBE, concat({"READ_POINTER fail"}, shutdown))},
      {"AMPSIM_STATUS", "0x20000000",  // Mk1, speed mode 8
       "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 8); recommended is 4.",
       concat(PROBE, shutdown)},
      {"AMPSIM_STATUS", "0xA2000000",  // Mk2, speed mode 9
       "BioSemi amplifier speed mode wheel must be between positions 0 and 8 (currently 9 = Reserved); "
       "recommended is 4.",
       concat(PROBE, shutdown)},
      {"AMPSIM_FAIL", "USB_WRITE:3", "Error while disabling the handshake.",
       concat(PROBE, {"USB_WRITE disable fail", "CLOSE_DRIVER_ASYNC ok", "unload"})},
      {"AMPSIM_FAIL", "CLOSE_DRIVER_ASYNC:1", "Error while disconnecting.",
       concat(PROBE, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC fail", "unload"})},
      {"AMPSIM_FAIL", "OPEN_DRIVER_ASYNC:2", open_fail.c_str(),
       concat(PROBE, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "OPEN_DRIVER_ASYNC fail", "unload"})},
      {"AMPSIM_FAIL", "USB_WRITE:1@2", init_fail.c_str(),
       concat(restart_until_open, {"USB_WRITE disable fail", "CLOSE_DRIVER_ASYNC ok",
                                   "unload"})},
      {"AMPSIM_FAIL", "USB_WRITE:2@2", "Could not reenable handshake with BioSemi USB2 interface.",
       concat(restart_until_sweeps, {"USB_WRITE enable fail", "CLOSE_DRIVER_ASYNC ok", "unload"})},
      {"AMPSIM_FAIL", "READ_POINTER:1@2", no_pointer.c_str(),
       concat(Log(RESTART.begin(), RESTART.end() - 1), concat({"READ_POINTER fail"}, shutdown))},
      {"AMPSIM_BADPOINTER", "34652164@2", range.c_str(), concat(RESTART, shutdown)},
      {"AMPSIM_FAIL", "READ_POINTER:2@2", handshake.c_str(),
       concat(RESTART, concat({"READ_POINTER fail"}, shutdown))},
      {"AMPSIM_CHANNELS", "100", "Sync signal did not show up at the expected position.", concat(RESTART, shutdown)},
  };
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(std::string(row.variable) + "=" + row.value);
    clear_log();
    set(row.variable, row.value);
    const long heap_before = heap_in_use();
    auto r = start();
    unsetenv(row.variable);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.error_text, row.message);
    EXPECT_EQ(r.error_id, "");
    EXPECT_TRUE(r.outputs.empty());
    EXPECT_EQ(log(), row.log);
    EXPECT_LT(heap_in_use() - heap_before, RING_LEFT_BEHIND);
  }
}

// The simulator's reason for refusing an open outlives the failed start for
// a caller that holds its own reference to the library (the start unloads
// only its own).
TEST_F(Simulator, TheReasonOfARefusedOpenOutlivesTheStart) {
  void* library = acquisition::load_library(LIBRARY);
  ASSERT_NE(library, nullptr);
  const auto last_refusal =
      reinterpret_cast<int32_t (*)(char*, int32_t)>(acquisition::find_export(library, "AMPSIM_LAST_REFUSAL"));
  ASSERT_NE(last_refusal, nullptr);
  set("AMPSIM_PARADIGM", "Oddball");
  auto r = start();
  EXPECT_EQ(r.error_text, "Could not open connection to BioSemi driver.");
  char text[100];
  last_refusal(text, sizeof text);
  EXPECT_STREQ(text, "AMPSIM_PARADIGM=Oddball is not a paradigm (oddball or off)");
  acquisition::unload_library(library);
}

TEST_F(Simulator, SpeedModeErrorComesAfterTheStatusLines) {
  set("AMPSIM_STATUS", "0x22000000");  // Mk1, speed mode 9
  auto r = start();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_text,
            "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 9 = Reserved); "
            "recommended is 4.");
  const std::string tail = "Checking status...\n  status: 2228225\n  MK2: 0\n  speed mode: 9\n";
  ASSERT_GE(r.printed.size(), tail.size());
  EXPECT_EQ(r.printed.substr(r.printed.size() - tail.size()), tail);
}

#if defined(_WIN32)
const char* const STUB_SUFFIX = ".dll";
#else
const char* const STUB_SUFFIX = ".so";
#endif

TEST_F(Simulator, MissingExportsAreNamedInOrder) {
  const char* const names[5] = {"OPEN_DRIVER_ASYNC", "USB_WRITE", "READ_MULTIPLE_SWEEPS", "READ_POINTER",
                                "CLOSE_DRIVER_ASYNC"};
  for (int k = 0; k < 5; ++k) {
    const std::string path = std::string(ACQ_STUB_DIR) + "/libacq_stub_missing_" + std::to_string(k) + STUB_SUFFIX;
    auto r = start(path.c_str());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.error_text, std::string("Did not find function ") + names[k] + "() in the BisoSemi driver DLL.");
    EXPECT_EQ(r.printed, "Loading BioSemi driver dll...\n");
  }
  auto r = start("/nonexistent/libdriver.so");
  EXPECT_EQ(r.error_text, "Could not load BioSemi driver DLL.");
}

#if defined(_WIN32)
// Windows counterpart: a folder, a pipe and a device are refused at once.
TEST_F(Simulator, PathsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
  const std::string pipe_name = "\\\\.\\pipe\\acq_test_" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  const auto t0 = std::chrono::steady_clock::now();
  for (const std::string& path : {pipe_name, ::testing::TempDir(), std::string("\\\\.\\NUL")}) {
    auto r = start(path.c_str());
    EXPECT_EQ(r.error_text, "Could not load BioSemi driver DLL.") << path;
    EXPECT_EQ(r.error_id, "");
    EXPECT_EQ(r.printed, "Loading BioSemi driver dll...\n");
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
  CloseHandle(pipe);
}
#else
TEST_F(Simulator, PathsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
  const std::string fifo = ::testing::TempDir() + "acq_fifo_" + std::to_string(getpid()) + ".so";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Should the loader open the FIFO, it blocks until a writer comes: this
  // writer then ends the wait after a few seconds, so that the test fails
  // instead of hanging.
  std::atomic<bool> done{false};
  std::thread rescue([&] {
    for (int k = 0; k < 100 && !done; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (done) return;
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
  });
  const auto t0 = std::chrono::steady_clock::now();
  for (const std::string& path : {fifo, ::testing::TempDir(), std::string("/dev/null")}) {
    auto r = start(path.c_str());
    EXPECT_EQ(r.error_text, "Could not load BioSemi driver DLL.") << path;
    EXPECT_EQ(r.error_id, "");
    EXPECT_EQ(r.printed, "Loading BioSemi driver dll...\n");
  }
  done = true;
  rescue.join();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
  std::remove(fifo.c_str());
}
#endif

TEST_F(Simulator, LowBatteryWarnsAndTheStartCompletes) {
  set("AMPSIM_STATUS", "0xC8000000");
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  ASSERT_EQ(s.warnings.size(), 1u);
  EXPECT_EQ(s.warnings[0].id, "BioSemi:BatteryLow");
  EXPECT_EQ(s.warnings[0].text, "The BioSemi battery is low; amplifier will shut down within 30-60 minutes.");
  EXPECT_NE(s.printed.find("  battery: low\nReallocating"), std::string::npos);
  EXPECT_EQ(int32_out(s, 8), 282);
  EXPECT_TRUE(stop(s).ok);
}

TEST_F(Simulator, BatteryWarningTurnedIntoAnErrorReleasesTheSession) {
  set("AMPSIM_STATUS", "0xC8000000");
  const long heap_before = heap_in_use();
  const size_t threads_before = thread_count();
  standin::warnings_as_errors(true);
  auto r = start();
  standin::reset_faults();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_id, "BioSemi:BatteryLow");
  EXPECT_EQ(log(), concat(PROBE, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "unload"}));
  EXPECT_EQ(thread_count(), threads_before);
  EXPECT_FALSE(simulator_loaded());
  EXPECT_LT(heap_in_use() - heap_before, RING_LEFT_BEHIND);
  // The driver is free for the next start.
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  EXPECT_TRUE(stop(s).ok);
}

TEST_F(Simulator, PointersAtTheRingEndAreReadFromItsStart) {
  // Probe pointer exactly 8388608; the session pointer at its ring's end.
  set("AMPSIM_START", "8388608@1");
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  EXPECT_TRUE(stop(s).ok);

  unsetenv("AMPSIM_START");
  set("AMPSIM_START", "34652160@2");
  s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  // The first fetch copies from 0 whatever pointer the start saw, and the
  // stream that began at the ring's end is found at its start.
  EXPECT_EQ(int32_out(s, 14), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  auto f = fetch(s, 0);
  ASSERT_TRUE(f.ok) << f.error_text;
  ASSERT_GT(mxGetN(f.out(0)), 0u);
  auto words = standin::int32s(f.out(0));
  EXPECT_EQ(words[0], -256);
  EXPECT_EQ(words[281], 0);  // sweep counter of the first sweep
  EXPECT_TRUE(stop(s).ok);

  // A session pointer inside the ring: the returned pointer is still 0.
  unsetenv("AMPSIM_START");
  set("AMPSIM_START", std::to_string(1000 * 282 * 4) + "@2");
  s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  EXPECT_EQ(int32_out(s, 14), 0);
  EXPECT_TRUE(stop(s).ok);
}

TEST_F(Simulator, StopWithFailingDisableAndCloseStillReleasesEverything) {
  set("AMPSIM_FAIL", "USB_WRITE:3@2,CLOSE_DRIVER_ASYNC:1@2");
  const long heap_before = heap_in_use();
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  auto t = stop(s);
  EXPECT_TRUE(t.ok);
  EXPECT_TRUE(t.clean());
  ASSERT_EQ(t.warnings.size(), 2u);
  EXPECT_EQ(t.warnings[0].id, "BioSemi:HandshakeProblem");
  EXPECT_EQ(t.warnings[0].text, "The handshake while shutting down the BioSemi driver gave an error.");
  EXPECT_EQ(t.warnings[1].id, "BioSemi:CloseProblem");
  EXPECT_EQ(t.warnings[1].text, "Closing the BioSemi driver gave an error.");
  EXPECT_EQ(log(), concat(RESTART, {"USB_WRITE disable fail", "CLOSE_DRIVER_ASYNC fail", "unload"}));
  EXPECT_LT(heap_in_use() - heap_before, RING_LEFT_BEHIND);
}

// Fetches for the given time and checks that the sweep counter in the last
// channel runs on without a gap, repeat or reordering across wrap-arounds.
void fetch_without_loss(const standin::Result& s, double seconds, int min_wraps) {
  const int32_t channels = int32_out(s, 8);
  int32_t last = 0, wraps = 0;
  int64_t expected = 0;
  const auto t0 = std::chrono::steady_clock::now();
  const auto until = t0 + std::chrono::duration<double>(seconds);
  const auto give_up = t0 + std::chrono::seconds(20);
  while ((std::chrono::steady_clock::now() < until || wraps < min_wraps) && std::chrono::steady_clock::now() < give_up) {
    auto f = fetch(s, last);
    ASSERT_TRUE(f.ok) << f.error_text;
    ASSERT_TRUE(f.warnings.empty());
    const int32_t p = int32_out(f, 1);
    ASSERT_EQ(p % (channels * 4), 0);
    if (p < last) ++wraps;
    const size_t n = mxGetN(f.out(0));
    if (n > 0) {
      ASSERT_EQ(mxGetM(f.out(0)), static_cast<size_t>(channels));
      auto words = standin::int32s(f.out(0));
      for (size_t j = 0; j < n; ++j) {
        ASSERT_EQ(words[j * channels], -256) << "sweep " << expected;
        ASSERT_EQ(static_cast<uint32_t>(words[j * channels + channels - 1]), static_cast<uint32_t>(expected) << 8);
        ++expected;
      }
    }
    last = p;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_GE(wraps, min_wraps);
}

TEST_F(Simulator, FetchesAcrossWrapAroundsLoseNoSweep) {
  set("AMPSIM_STATUS", "0x06000000");  // Mk1, speed mode 3: 34 channels
  set("AMPSIM_RATE", "32768");         // the ring wraps every 0.94 s
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  ASSERT_EQ(int32_out(s, 8), 34);
  ASSERT_EQ(int32_out(s, 9), 16384);
  fetch_without_loss(s, 1.0, 2);
  EXPECT_TRUE(stop(s).ok);

  // The same with a driver that publishes its pointer inside a sweep.
  set("AMPSIM_MIDSWEEP", "20");
  s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  fetch_without_loss(s, 0.5, 1);
  EXPECT_TRUE(stop(s).ok);
}

TEST_F(Simulator, PointerThatNeverMovesTimesOut) {
  set("AMPSIM_STALL", "1");
  const auto t0 = std::chrono::steady_clock::now();
  auto r = start();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(r.error_text, "BioSemi driver does not transmit data. Is the box turned on?");
  EXPECT_GT(elapsed, 3.0);
  EXPECT_LT(elapsed, 10.0);
  EXPECT_EQ(log(), concat(PROBE, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "unload"}));
}

TEST_F(Simulator, DataAwayFromThePointerTimeOut) {
  set("AMPSIM_OFFSET", "4096");
  const auto t0 = std::chrono::steady_clock::now();
  auto r = start();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(r.error_text, "Did not get a sync signal from BioSemi driver. Is the battery charged?");
  EXPECT_GT(elapsed, 3.0);
  EXPECT_LT(elapsed, 10.0);
}

TEST_F(Simulator, StartArgumentMessages) {
  auto r = standin::call("acq_start", 15, {});
  EXPECT_EQ(r.error_text, "One input argument required.");
  r = standin::call("acq_start", 14, {standin::text(LIBRARY), standin::text(LIBRARY)});
  EXPECT_EQ(r.error_text, "One input argument required.");
  r = start(LIBRARY, 14);
  EXPECT_EQ(r.error_text, "15 output arguments required.");
  r = start(LIBRARY, 0);
  EXPECT_EQ(r.error_text, "15 output arguments required.");
  r = start("abcd");
  EXPECT_EQ(r.error_text, "First input argument must be a string.");
  r = start("abcde");  // accepted by the check, then not found
  EXPECT_EQ(r.error_text, "Could not load BioSemi driver DLL.");
  r = standin::call("acq_start", 15, {standin::real(1, 8)});
  EXPECT_EQ(r.error_text, "First input argument must be a string.");
  r = start(std::string(16384, 'x').c_str());
  EXPECT_EQ(r.error_id, "acq_start:pathTooLong");
  r = start(std::string(16383, 'x').c_str());
  EXPECT_EQ(r.error_text, "Could not load BioSemi driver DLL.");
  EXPECT_TRUE(log().empty());  // the simulator was never loaded
}

TEST_F(Simulator, StopArgumentMessagesReleaseNothing) {
  auto s = start();
  ASSERT_TRUE(s.ok) << s.error_text;
  auto r = standin::call("acq_stop", 0, std::vector<const mxArray*>{s.out(0), s.out(1), s.out(3), s.out(6)});
  EXPECT_EQ(r.error_text, "Five input argument required.");
  Array empty = standin::uint64(0, 1);
  r = standin::call("acq_stop", 0, std::vector<const mxArray*>{s.out(0), s.out(1), s.out(3), s.out(6), empty.get()});
  EXPECT_EQ(r.error_text, "All inputs must be scalars.");
  Array as_double = standin::scalar(1);
  r = standin::call("acq_stop", 0,
                    std::vector<const mxArray*>{s.out(0), s.out(1), s.out(3), as_double.get(), s.out(7)});
  EXPECT_EQ(r.error_id, "acq_stop:notUint64");
  Array zero = standin::uint64(1, 1, {0});
  r = standin::call("acq_stop", 0, std::vector<const mxArray*>{s.out(0), s.out(1), zero.get(), s.out(6), s.out(7)});
  EXPECT_EQ(r.error_id, "acq_stop:nullAddress");
  EXPECT_EQ(log(), RESTART);  // nothing released so far
  EXPECT_TRUE(stop(s).ok);
  EXPECT_EQ(log().back(), "unload");
}

}  // namespace
