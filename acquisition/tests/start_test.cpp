// The start protocol without a host and without a driver library: fake
// driver exports that log their calls beside the printed lines, fail on
// request and write sweeps of a chosen layout into the registered ring.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "acquisition/start.h"

namespace {

using namespace acquisition;
using Log = std::vector<std::string>;

// The fake driver.  Calls are counted over the whole start; READ_POINTER
// failures and bad pointers are given per connection (1: probe, 2: session).
struct FakeDriver {
  Log events;  // printed lines and driver calls, in order
  std::string fail_call;  // "OPEN", "USB_WRITE" or "CLOSE"
  int fail_at = 0;        // ... on its n-th call
  int calls_open = 0, calls_write = 0, calls_close = 0;
  int connection = 0;
  int fail_read_connection = 0, fail_read_at = 0;  // n-th READ_POINTER of that connection fails
  int bad_pointer_connection = 0;
  uint32_t bad_pointer = 0;
  uint32_t status = 0x88000000u;  // Mk2, speed mode 4: 282 channels
  uint32_t sweep_words = 282;     // what the driver really writes
  int reads = 0;
  uint32_t* ring = nullptr;
  int64_t ring_bytes = 0;
  int64_t pointer = 0;
  bool streaming = false;
  bool raise = false;  // a failing call throws instead of returning its failure
};
FakeDriver g;
int g_handle_token;  // the fake handle's address

void print_event(const char* text) { g.events.push_back(text); }

void* fake_open() {
  if (g.fail_call == "OPEN" && ++g.calls_open == g.fail_at) {
    g.events.push_back("OPEN fail");
    if (g.raise) throw std::runtime_error("driver");
    return nullptr;
  }
  ++g.connection;
  g.reads = 0;
  g.events.push_back("OPEN");
  return &g_handle_token;
}

int32_t fake_usb_write(void* handle, const unsigned char* message) {
  EXPECT_EQ(handle, &g_handle_token);
  const std::string kind = message[0] == 0xFF ? "enable" : "disable";
  for (int k = 1; k < 64; ++k) EXPECT_EQ(message[k], 0);
  if (g.fail_call == "USB_WRITE" && ++g.calls_write == g.fail_at) {
    g.events.push_back("USB_WRITE " + kind + " fail");
    if (g.raise) throw std::runtime_error("driver");
    return 0;
  }
  g.streaming = kind == "enable";
  g.events.push_back("USB_WRITE " + kind);
  return 1;
}

int32_t fake_read_sweeps(void*, unsigned char* ring, int32_t bytes) {
  g.ring = reinterpret_cast<uint32_t*>(ring);
  g.ring_bytes = bytes;
  g.pointer = 0;
  g.events.push_back("READ_MULTIPLE_SWEEPS " + std::to_string(bytes));
  return 1;
}

// Every successful read after the enable message finds one more sweep.
int32_t fake_read_pointer(void*, uint32_t* pointer) {
  ++g.reads;
  if (g.connection == g.fail_read_connection && g.reads == g.fail_read_at) {
    g.events.push_back("READ_POINTER fail");
    if (g.raise) throw std::runtime_error("driver");
    return 0;
  }
  if (g.reads == 1) g.events.push_back("READ_POINTER");
  if (g.connection == g.bad_pointer_connection) {
    *pointer = g.bad_pointer;
    return 1;
  }
  *pointer = static_cast<uint32_t>(g.pointer);
  if (g.streaming && g.reads > 1) {
    for (uint32_t w = 0; w < g.sweep_words; ++w) {
      const uint32_t word = w == 0 ? SYNC_WORD : w == 1 ? g.status : 0x100u * w;
      g.ring[(g.pointer / 4 + w) % (g.ring_bytes / 4)] = word;
    }
    g.pointer = (g.pointer + 4 * g.sweep_words) % g.ring_bytes;
  }
  return 1;
}

int32_t fake_close(void* handle) {
  EXPECT_EQ(handle, &g_handle_token);
  if (g.fail_call == "CLOSE" && ++g.calls_close == g.fail_at) {
    g.events.push_back("CLOSE fail");
    if (g.raise) throw std::runtime_error("driver");
    return 0;
  }
  g.events.push_back("CLOSE");
  return 1;
}

// A real library stands in for the driver's module, so that the release's
// unload can be seen: after it the library is no longer loaded.
#if defined(_WIN32)
const std::string MODULE = std::string(ACQ_STUB_DIR) + "/libacq_stub_missing_4.dll";
bool module_loaded() { return GetModuleHandleA("libacq_stub_missing_4.dll") != nullptr; }
void* load_module() { return reinterpret_cast<void*>(LoadLibraryA(MODULE.c_str())); }
#else
const std::string MODULE = std::string(ACQ_STUB_DIR) + "/libacq_stub_missing_4.so";
bool module_loaded() {
  void* h = dlopen(MODULE.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}
void* load_module() { return dlopen(MODULE.c_str(), RTLD_NOW | RTLD_LOCAL); }
#endif

StartHeld held_with_fakes() {
  StartHeld held;
  held.library = load_module();
  EXPECT_NE(held.library, nullptr);
  held.driver.open = fake_open;
  held.driver.usb_write = fake_usb_write;
  held.driver.read_multiple_sweeps = fake_read_sweeps;
  held.driver.read_pointer = fake_read_pointer;
  held.driver.close = fake_close;
  return held;
}

// Runs the two phases as the entry does and releases what is held at the
// end, with a marker between the phase's events and the release's.
struct Outcome {
  std::string message;
  Log events;
};
Outcome run_start() {
  StartHeld held = held_with_fakes();
  AmplifierStatus status;
  const char* message = probe_amplifier(held, status, print_event);
  if (!message) message = restart_driver(held, status, print_event);
  g.events.push_back("-- release");
  release_start(held);
  EXPECT_EQ(held.ring, nullptr);
  EXPECT_EQ(held.library, nullptr);
  EXPECT_FALSE(held.handshake);
  EXPECT_FALSE(module_loaded());
  return {message ? message : "", g.events};
}

Log after_marker(const Log& events) {
  for (size_t k = 0; k < events.size(); ++k)
    if (events[k] == "-- release") return Log(events.begin() + static_cast<long>(k) + 1, events.end());
  return {};
}

std::string last_printed(const Log& events) {
  std::string last;
  for (const std::string& e : events)
    if (!e.empty() && e.back() == '\n') last = e;
  return last;
}

TEST(StartProtocol, SuccessPrintsBetweenTheDriverCallsInOrder) {
  g = FakeDriver();
  const Outcome o = run_start();
  EXPECT_EQ(o.message, "");
  const Log expected = {
      "Connecting to driver...\n", "OPEN", "Initializing USB interface...\n", "USB_WRITE disable",
      "Initializing ring buffer...\n", "READ_MULTIPLE_SWEEPS 8388608", "Enabling handshake...\n", "USB_WRITE enable",
      "Querying buffer pointer...\n", "READ_POINTER", "Waiting for data...\n", "Checking status...\n",
      "  status: 8912896\n", "  MK2: 1\n", "  speed mode: 4\n", "  sampling rate: 2048\n",
      "  channels: 282 (1xSync, 1xTrigger, 256xEEG, 8xExG, 16xExtra)\n", "  battery: good\n",
      "Reallocating optimized ring buffer...\n", "Sending the enable message again...\n", "USB_WRITE disable",
      "Closing the driver...\n", "CLOSE", "Freeing the ring buffer...\n", "Allocating a new ring buffer...\n",
      "Zeroing the ring buffer...\n", "Opening the driver...\n", "OPEN", "Reinitializing the USB interface...\n",
      "USB_WRITE disable", "Starting data acquisition...\n", "READ_MULTIPLE_SWEEPS 34652160", "Enabling handshake...\n",
      "USB_WRITE enable", "Attempt to read buffer pointer...\n", "READ_POINTER", "Verifying channel format...\n",
      "Channel format is correct...\n",
      // The running session, released: disable, close (unload and free are
      // checked by run_start).
      "-- release", "USB_WRITE disable", "CLOSE"};
  EXPECT_EQ(o.events, expected);
}

struct Row {
  const char* what;
  void (*setup)();
  const char* message;
  const char* last_line;  // the step's printed line, the last before the failure
  Log released;           // driver calls of the release
};

TEST(StartProtocol, EveryFailureReturnsItsMessageAndReleasesWhatIsHeld) {
  const Log D_C = {"USB_WRITE disable", "CLOSE"};
  const Log C = {"CLOSE"};
  const std::vector<Row> rows = {
      {"4.1 open", [] { g.fail_call = "OPEN", g.fail_at = 1; }, "Could not open connection to BioSemi driver.",
       "Connecting to driver...\n", {}},
      {"4.2 initialize", [] { g.fail_call = "USB_WRITE", g.fail_at = 1; },
       "Could not initialize BioSemi USB2 interface.", "Initializing USB interface...\n", C},
      {"4.4 enable", [] { g.fail_call = "USB_WRITE", g.fail_at = 2; },
       "Could not enable handshake with BioSemi USB2 interface.", "Enabling handshake...\n", C},
      {"4.5 pointer", [] { g.fail_read_connection = 1, g.fail_read_at = 1; },
       "Can not obtain ring buffer pointer from BioSemi driver.", "Querying buffer pointer...\n", D_C},
      {"4.5 range", [] { g.bad_pointer_connection = 1, g.bad_pointer = 8388612; },
       "Buffer pointer returned by BioSemi driver is not in the valid range.", "Querying buffer pointer...\n", D_C},
      {"4.6 wait", [] { g.fail_read_connection = 1, g.fail_read_at = 2; },
       "Ring buffer handshake with BioSemi driver failed unexpectedly.", "Waiting for data...\n", D_C},
      {"5 speed mode", [] { g.status = 0x20000000u; },
       "BioSemi amplifier speed mode wheel must be between positions 0 and 7 (currently 8); recommended is 4.",
       "  speed mode: 8\n", D_C},
      {"6.1 disable", [] { g.fail_call = "USB_WRITE", g.fail_at = 3; }, "Error while disabling the handshake.",
       "Sending the enable message again...\n", C},
      {"6.2 close", [] { g.fail_call = "CLOSE", g.fail_at = 1; }, "Error while disconnecting.",
       "Closing the driver...\n", {}},
      {"6.6 open", [] { g.fail_call = "OPEN", g.fail_at = 2; }, "Could not open connection to BioSemi driver.",
       "Opening the driver...\n", {}},
      {"6.7 initialize", [] { g.fail_call = "USB_WRITE", g.fail_at = 4; },
       "Could not initialize BioSemi USB2 interface.", "Reinitializing the USB interface...\n", C},
      {"6.9 enable", [] { g.fail_call = "USB_WRITE", g.fail_at = 5; },
       "Could not reenable handshake with BioSemi USB2 interface.", "Enabling handshake...\n", C},
      {"6.10 pointer", [] { g.fail_read_connection = 2, g.fail_read_at = 1; },
       "Can not obtain ring buffer pointer from BioSemi driver.", "Attempt to read buffer pointer...\n", D_C},
      {"6.10 range", [] { g.bad_pointer_connection = 2, g.bad_pointer = 34652164; },
       "Buffer pointer returned by BioSemi driver is not in the valid range.", "Attempt to read buffer pointer...\n",
       D_C},
      {"6.11 wait", [] { g.fail_read_connection = 2, g.fail_read_at = 3; },
       "Ring buffer handshake with BioSemi driver failed unexpectedly.", "Verifying channel format...\n", D_C},
      {"6.11 format", [] { g.sweep_words = 100; }, "Sync signal did not show up at the expected position.",
       "Verifying channel format...\n", D_C},
  };
  // A driver whose failing call throws instead (a C++ driver letting an
  // exception out) fails the same way and gets the same releases.
  for (const bool raise : {false, true}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.what) + (raise ? " (throws)" : ""));
      g = FakeDriver();
      g.raise = raise;
      row.setup();
      const Outcome o = run_start();
      EXPECT_EQ(o.message, row.message);
      EXPECT_EQ(last_printed(o.events), row.last_line);
      EXPECT_EQ(after_marker(o.events), row.released);
    }
  }
}

}  // namespace
