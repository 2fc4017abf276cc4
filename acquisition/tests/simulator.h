// The simulated amplifier for the whole-session tests: a fixture that sets
// its environment variables and reads its call log, the start, fetch and
// stop calls through the stand-in host, and what a test looks at in the
// process (heap in use, threads, whether the simulator is loaded).
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>
#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/session_scalars.h"
#include "host/standin/standin.h"
#include "testing/portable_env.h"

namespace {

using standin::Array;
using Log = std::vector<std::string>;

const char* const LIBRARY = AMPSIM_LIBRARY;

// Sets simulator variables for one test and clears them afterwards; every
// test gets its own call log.
class Simulator : public ::testing::Test {
 protected:
  void SetUp() override {
    log_path_ = ::testing::TempDir() + "ampsim_" + std::to_string(getpid()) + ".log";
    std::remove(log_path_.c_str());
    set("AMPSIM_LOG", log_path_);
  }
  void TearDown() override {
    for (const std::string& name : names_) unsetenv(name.c_str());
    std::remove(log_path_.c_str());
  }
  void set(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
    names_.push_back(name);
  }
  Log log() const {
    Log lines;
    std::ifstream in(log_path_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void clear_log() { std::remove(log_path_.c_str()); }

 private:
  std::string log_path_;
  std::vector<std::string> names_;
};

standin::Result start(const char* path = LIBRARY, int nlhs = 15) {
  return standin::call("acq_start", nlhs, {standin::text(path)});
}

// acq_fetch with outputs 1, 2, 6, 8, 9 of a start and the last pointer.
standin::Result fetch(const standin::Result& s, int32_t last) {
  Array pointer = standin::int32(1, 1, {last});
  std::vector<const mxArray*> in;
  for (int k = 0; k < 5; ++k) in.push_back(s.out(acquisition::FETCH_INPUTS[k]));
  in.push_back(pointer.get());
  return standin::call("acq_fetch", 2, in);
}

// acq_stop with outputs 1, 2, 4, 7, 8 of a start.
standin::Result stop(const standin::Result& s, int nlhs = 0) {
  std::vector<const mxArray*> in;
  for (acquisition::SessionScalar k : acquisition::STOP_INPUTS) in.push_back(s.out(k));
  return standin::call("acq_stop", nlhs, in);
}

int32_t int32_out(const standin::Result& r, size_t k) { return standin::int32s(r.out(k))[0]; }

// The simulator's sweep counter from its word (the last channel): the
// sweep's index modulo 2^24, in the upper three bytes.
constexpr uint32_t COUNTER_MODULUS = 1u << 24;
inline uint32_t sweep_counter(int32_t word) { return static_cast<uint32_t>(word) >> 8; }

// Bytes in use on the main heap (large blocks included); the rings are
// megabytes, so a ring left behind shows plainly.
long heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
  return 0;  // the sanitizer's allocator keeps its own books; LeakSanitizer checks instead
#elif defined(_WIN32)
  // The C runtime's heap, walked block by block.
  long used = 0;
  _HEAPINFO entry;
  entry._pentry = nullptr;
  while (_heapwalk(&entry) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += static_cast<long>(entry._size);
  return used;
#else
  struct mallinfo2 m = mallinfo2();
  return static_cast<long>(m.uordblks + m.hblkhd);
#endif
}

constexpr long RING_LEFT_BEHIND = 1 << 20;

// Threads of this process, and whether the simulator is mapped into it.
#if defined(_WIN32)
size_t thread_count() {
  size_t n = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    n += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  CloseHandle(snapshot);
  return n;
}
bool simulator_loaded() {
  return GetModuleHandleA(std::filesystem::path(LIBRARY).filename().string().c_str()) != nullptr;
}
#else
size_t thread_count() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) n += entry.exists() ? 1 : 0;
  return n;
}
bool simulator_loaded() {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);)
    if (line.find("libampsim.so") != std::string::npos) return true;
  return false;
}
#endif

const Log PROBE = {"load", "OPEN_DRIVER_ASYNC ok", "USB_WRITE disable ok", "READ_MULTIPLE_SWEEPS 8388608",
                    "USB_WRITE enable ok", "READ_POINTER ok"};
// Default amplifier: Mk2, speed mode 4, 282 channels.
const std::string SESSION_RING = "READ_MULTIPLE_SWEEPS 34652160";

Log concat(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Log RESTART = concat(PROBE, {"USB_WRITE disable ok", "CLOSE_DRIVER_ASYNC ok", "OPEN_DRIVER_ASYNC ok",
                                     "USB_WRITE disable ok", SESSION_RING, "USB_WRITE enable ok", "READ_POINTER ok"});

}  // namespace
