// [lib, drv, open, usb_write, read_sweeps, read_pointer, close, ring,
//  channels, rate, sync, trigger, eeg, exg, pointer] = acq_start(driver_path)
// Loads the amplifier driver library, reads the amplifier's status from a
// probe ring, restarts the driver with a session ring sized for the decoded
// layout and hands the session back as fifteen scalars.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "acquisition/driver.h"
#include "host/dynlib.h"
#include "acquisition/ring.h"
#include "acquisition/status.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_PATH };
enum {
  OUT_LIBRARY, OUT_HANDLE, OUT_OPEN, OUT_USB_WRITE, OUT_READ_SWEEPS, OUT_READ_POINTER, OUT_CLOSE, OUT_RING,
  OUT_CHANNELS, OUT_RATE, OUT_SYNC, OUT_TRIGGER, OUT_EEG, OUT_EXG, OUT_POINTER, OUTPUT_COUNT
};

// The path buffer holds at most this many bytes, terminating zero included.
constexpr size_t PATH_BUFFER_BYTES = 16384;

// What the call holds at a given moment; released on failure in the order
// disable, close, unload, free.
struct Held {
  DriverExports driver;
  void* library = nullptr;
  void* handle = nullptr;
  unsigned char* ring = nullptr;
  unsigned char disable[CONTROL_MESSAGE_BYTES];
  unsigned char enable[CONTROL_MESSAGE_BYTES];
};

enum Release : unsigned { NONE = 0, DISABLE = 1, CLOSE = 2, UNLOAD = 4, FREE_RING = 8 };

// Releases what `what` names, in the order disable, close, unload, free.
void release(Held& h, unsigned what) {
  if (what & DISABLE) h.driver.usb_write(h.handle, h.disable);
  if (what & CLOSE) h.driver.close(h.handle);
  if (what & UNLOAD) acquisition::unload_library(h.library);
  if (what & FREE_RING) {
    std::free(h.ring);
    h.ring = nullptr;
  }
}

// Releases what `what` names, then raises the message.  Nothing the host
// does not reclaim is held when the error is raised.
[[noreturn]] void give_up(Held& h, unsigned what, const char* message) {
  release(h, what);
  host::fail_text(message);
}

// The battery warning is raised while the probe ring and the open driver are
// held.  A script that has turned that warning into an error makes the host
// end the call from inside the warning; this guard, destroyed as the host's
// error unwinds the call, then releases everything as the other failures of
// the probe phase do, instead of leaving the driver running.
struct ReleaseIfWarningEndsCall {
  Held& h;
  bool armed = true;
  ~ReleaseIfWarningEndsCall() {
    if (armed) release(h, DISABLE | CLOSE | UNLOAD | FREE_RING);
  }
};

// Runs one of the two waits; a failure releases everything and raises.
void wait_or_give_up(Held& h, int64_t ring_bytes, uint32_t p0, uint32_t channels) {
  const WaitResult r =
      wait_for_sweeps(h.driver, h.handle, reinterpret_cast<const uint32_t*>(h.ring), ring_bytes, p0, channels);
  const unsigned all = DISABLE | CLOSE | UNLOAD | FREE_RING;
  switch (r) {
    case WaitResult::ready:
      return;
    case WaitResult::read_failed:
      give_up(h, all, "Ring buffer handshake with BioSemi driver failed unexpectedly.");
    case WaitResult::no_data:
      give_up(h, all, "BioSemi driver does not transmit data. Is the box turned on?");
    case WaitResult::no_sync:
      give_up(h, all, "Did not get a sync signal from BioSemi driver. Is the battery charged?");
    case WaitResult::sync_misplaced:
      give_up(h, all, "Sync signal did not show up at the expected position.");
  }
}

void store_uint64(mxArray* plhs[], int slot, uint64_t value) {
  const mwSize dims[2] = {1, 1};
  plhs[slot] = mxCreateNumericArray(2, dims, mxUINT64_CLASS, mxREAL);
  *static_cast<uint64_t*>(mxGetData(plhs[slot])) = value;
}

void store_int32(mxArray* plhs[], int slot, int32_t value) {
  const mwSize dims[2] = {1, 1};
  plhs[slot] = mxCreateNumericArray(2, dims, mxINT32_CLASS, mxREAL);
  *static_cast<int32_t*>(mxGetData(plhs[slot])) = value;
}

void report_layout(const AmplifierStatus& s) {
  const ChannelLayout& l = s.layout;
  mexPrintf("  sampling rate: %u\n", s.sampling_rate);
  mexPrintf("  channels: %u (%uxSync, %uxTrigger, %uxEEG, %uxExG, %uxExtra)\n", l.total, l.sync, l.trigger, l.eeg,
            l.exg, l.extra);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  // 1. Arguments.
  if (nrhs != 1) host::fail_text("One input argument required.");
  if (nlhs != OUTPUT_COUNT) host::fail_text("15 output arguments required.");
  if (!mxIsChar(prhs[IN_PATH]) || host::rows(prhs[IN_PATH]) != 1 || host::cols(prhs[IN_PATH]) <= 4)
    host::fail_text("First input argument must be a string.");
  const size_t path_chars = host::numel(prhs[IN_PATH]);
  if (path_chars >= PATH_BUFFER_BYTES)
    host::fail("acq_start:pathTooLong", "The driver library path has %zu characters; at most %zu are accepted.",
               path_chars, PATH_BUFFER_BYTES - 1);
  char path[PATH_BUFFER_BYTES];
  mxGetNChars(prhs[IN_PATH], path, static_cast<mwSize>(path_chars + 1));
  path[path_chars] = '\0';

  Held h;
  make_disable_message(h.disable);
  make_enable_message(h.enable);

  // 2. Library.
  mexPrintf("Loading BioSemi driver dll...\n");
  h.library = load_library(path);
  if (!h.library) host::fail_text("Could not load BioSemi driver DLL.");

  // 3. Exports, in order; the first that is missing ends the call.
  static const char* const missing[5] = {
      "Did not find function OPEN_DRIVER_ASYNC() in the BisoSemi driver DLL.",
      "Did not find function USB_WRITE() in the BisoSemi driver DLL.",
      "Did not find function READ_MULTIPLE_SWEEPS() in the BisoSemi driver DLL.",
      "Did not find function READ_POINTER() in the BisoSemi driver DLL.",
      "Did not find function CLOSE_DRIVER_ASYNC() in the BisoSemi driver DLL.",
  };
  void* exports[5];
  for (int k = 0; k < 5; ++k) {
    exports[k] = find_export(h.library, EXPORT_NAMES[k]);
    if (!exports[k]) give_up(h, UNLOAD, missing[k]);
  }
  h.driver.open = reinterpret_cast<OpenDriverFn>(exports[0]);
  h.driver.usb_write = reinterpret_cast<UsbWriteFn>(exports[1]);
  h.driver.read_multiple_sweeps = reinterpret_cast<ReadMultipleSweepsFn>(exports[2]);
  h.driver.read_pointer = reinterpret_cast<ReadPointerFn>(exports[3]);
  h.driver.close = reinterpret_cast<CloseDriverFn>(exports[4]);

  // 4. Probe phase.
  mexPrintf("Connecting to driver...\n");
  h.handle = h.driver.open();
  if (!h.handle) give_up(h, UNLOAD, "Could not open connection to BioSemi driver.");

  mexPrintf("Initializing USB interface...\n");
  if (h.driver.usb_write(h.handle, h.disable) == 0)
    give_up(h, CLOSE | UNLOAD, "Could not initialize BioSemi USB2 interface.");

  mexPrintf("Initializing ring buffer...\n");
  h.ring = static_cast<unsigned char*>(std::malloc(PROBE_RING_BYTES));
  if (!h.ring) give_up(h, CLOSE | UNLOAD, "Could not allocate ring buffer (out of memory).");
  std::memset(h.ring, 0, PROBE_RING_BYTES);
  h.driver.read_multiple_sweeps(h.handle, h.ring, PROBE_RING_BYTES);

  mexPrintf("Enabling handshake...\n");
  if (h.driver.usb_write(h.handle, h.enable) == 0)
    give_up(h, CLOSE | UNLOAD | FREE_RING, "Could not enable handshake with BioSemi USB2 interface.");

  const unsigned all = DISABLE | CLOSE | UNLOAD | FREE_RING;
  mexPrintf("Querying buffer pointer...\n");
  uint32_t p0 = 0;
  if (h.driver.read_pointer(h.handle, &p0) == 0)
    give_up(h, all, "Can not obtain ring buffer pointer from BioSemi driver.");
  if (p0 > static_cast<uint32_t>(PROBE_RING_BYTES))
    give_up(h, all, "Buffer pointer returned by BioSemi driver is not in the valid range.");

  mexPrintf("Waiting for data...\n");
  wait_or_give_up(h, PROBE_RING_BYTES, p0, 0);

  // 5. Status word: the word after the sync word at p0.
  mexPrintf("Checking status...\n");
  const uint32_t raw = ring_word(reinterpret_cast<const uint32_t*>(h.ring), PROBE_RING_BYTES,
                                 static_cast<uint64_t>(p0) + 4);
  AmplifierStatus status;
  const SpeedModeError speed_error = decode_amplifier_status(raw, status);
  mexPrintf("  status: %u\n", status.status);
  mexPrintf("  MK2: %u\n", status.mk2);
  mexPrintf("  speed mode: %u\n", status.speed_mode);
  if (speed_error != SpeedModeError::none) give_up(h, all, speed_mode_message(speed_error));
  report_layout(status);
  if (status.battery_low) {
    mexPrintf("  battery: low\n");
    ReleaseIfWarningEndsCall guard{h};
    mexWarnMsgIdAndTxt("BioSemi:BatteryLow",
                       "The BioSemi battery is low; amplifier will shut down within 30-60 minutes.");
    guard.armed = false;
  } else {
    mexPrintf("  battery: good\n");
  }

  // 6. Restart with the session ring.  The probe ring is freed on every
  // failure that still holds it, and so is the session ring.
  mexPrintf("Reallocating optimized ring buffer...\n");
  mexPrintf("Sending the enable message again...\n");
  if (h.driver.usb_write(h.handle, h.disable) == 0)
    give_up(h, CLOSE | UNLOAD | FREE_RING, "Error while disabling the handshake.");

  mexPrintf("Closing the driver...\n");
  if (h.driver.close(h.handle) == 0) give_up(h, UNLOAD | FREE_RING, "Error while disconnecting.");
  h.handle = nullptr;

  mexPrintf("Freeing the ring buffer...\n");
  std::free(h.ring);
  h.ring = nullptr;

  const int32_t channels = static_cast<int32_t>(status.layout.total);
  const int32_t ring_bytes = channels * 4 * RING_SWEEPS;
  mexPrintf("Allocating a new ring buffer...\n");
  h.ring = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(ring_bytes)));
  if (!h.ring) give_up(h, UNLOAD, "Could not reallocate ring buffer (out of memory?).");

  mexPrintf("Zeroing the ring buffer...\n");
  std::memset(h.ring, 0, static_cast<size_t>(ring_bytes));

  mexPrintf("Opening the driver...\n");
  h.handle = h.driver.open();
  if (!h.handle) give_up(h, UNLOAD | FREE_RING, "Could not open connection to BioSemi driver.");

  mexPrintf("Reinitializing the USB interface...\n");
  if (h.driver.usb_write(h.handle, h.disable) == 0)
    give_up(h, CLOSE | UNLOAD | FREE_RING, "Could not initialize BioSemi USB2 interface.");

  mexPrintf("Starting data acquisition...\n");
  h.driver.read_multiple_sweeps(h.handle, h.ring, ring_bytes);

  mexPrintf("Enabling handshake...\n");
  if (h.driver.usb_write(h.handle, h.enable) == 0)
    give_up(h, CLOSE | UNLOAD | FREE_RING, "Could not reenable handshake with BioSemi USB2 interface.");

  mexPrintf("Attempt to read buffer pointer...\n");
  if (h.driver.read_pointer(h.handle, &p0) == 0)
    give_up(h, all, "Can not obtain ring buffer pointer from BioSemi driver.");
  if (p0 > static_cast<uint32_t>(ring_bytes))
    give_up(h, all, "Buffer pointer returned by BioSemi driver is not in the valid range.");

  mexPrintf("Verifying channel format...\n");
  wait_or_give_up(h, ring_bytes, p0, static_cast<uint32_t>(channels));
  mexPrintf("Channel format is correct...\n");

  // 7. The session, handed to the script.
  mexPrintf("Setting up MATLAB return variables...\n");
  store_uint64(plhs, OUT_LIBRARY, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h.library)));
  store_uint64(plhs, OUT_HANDLE, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h.handle)));
  store_uint64(plhs, OUT_OPEN, address_of(h.driver.open));
  store_uint64(plhs, OUT_USB_WRITE, address_of(h.driver.usb_write));
  store_uint64(plhs, OUT_READ_SWEEPS, address_of(h.driver.read_multiple_sweeps));
  store_uint64(plhs, OUT_READ_POINTER, address_of(h.driver.read_pointer));
  store_uint64(plhs, OUT_CLOSE, address_of(h.driver.close));
  store_uint64(plhs, OUT_RING, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h.ring)));
  store_int32(plhs, OUT_CHANNELS, channels);
  store_int32(plhs, OUT_RATE, static_cast<int32_t>(status.sampling_rate));
  store_int32(plhs, OUT_SYNC, static_cast<int32_t>(status.layout.sync));
  store_int32(plhs, OUT_TRIGGER, static_cast<int32_t>(status.layout.trigger));
  store_int32(plhs, OUT_EEG, static_cast<int32_t>(status.layout.eeg));
  store_int32(plhs, OUT_EXG, static_cast<int32_t>(status.layout.exg));
  store_int32(plhs, OUT_POINTER, 0);
}
