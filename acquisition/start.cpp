#include "acquisition/start.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/dynlib.h"
#include "acquisition/ring.h"

namespace acquisition {

namespace {

// Formats one printed line; the lines are short and fixed in shape.
void printf_line(PrintFn print, const char* fmt, ...) ACQ_PRINTF(2, 3);
void printf_line(PrintFn print, const char* fmt, ...) {
  char text[160];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  print(text);
}

bool send(const StartHeld& held, bool enable) {
  unsigned char message[CONTROL_MESSAGE_BYTES];
  if (enable)
    make_enable_message(message);
  else
    make_disable_message(message);
  return call_usb_write(held.driver, held.handle, message) != 0;
}

// Sends the disable message; whatever the result, no disable is owed any
// more.
bool disable(StartHeld& held) {
  held.handshake = false;
  return send(held, false);
}

// Runs one of the two waits on the ring held.
const char* wait_message(const StartHeld& held, uint32_t p0, uint32_t channels) {
  switch (wait_for_sweeps(held.driver, held.handle, reinterpret_cast<const uint32_t*>(held.ring), held.ring_bytes,
                          p0, channels)) {
    case WaitResult::ready:
      return nullptr;
    case WaitResult::read_failed:
      return "Ring buffer handshake with BioSemi driver failed unexpectedly.";
    case WaitResult::no_data:
      return "BioSemi driver does not transmit data. Is the box turned on?";
    case WaitResult::no_sync:
      return "Did not get a sync signal from BioSemi driver. Is the battery charged?";
    case WaitResult::sync_misplaced:
      return "Sync signal did not show up at the expected position.";
  }
  return nullptr;
}

// Allocates a zero-filled ring of `bytes` and registers it with the driver.
bool allocate_ring(StartHeld& held, int32_t bytes) {
  held.ring = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
  if (!held.ring) return false;
  held.ring_bytes = bytes;
  return true;
}

}  // namespace

void release_start(StartHeld& held) {
  if (held.handshake) disable(held);
  if (held.handle) call_close(held.driver, held.handle);
  held.handle = nullptr;
  if (held.library) unload_library(held.library);
  held.library = nullptr;
  held.driver = DriverExports();
  std::free(held.ring);
  held.ring = nullptr;
  held.ring_bytes = 0;
  held.first_pointer = 0;
}

const char* load_driver(const char* path, StartHeld& held, PrintFn print) {
  print("Loading BioSemi driver dll...\n");
  held.library = load_library(path);
  if (!held.library) return "Could not load BioSemi driver DLL.";

  void* found[5];
  for (int k = 0; k < 5; ++k) {
    found[k] = find_export(held.library, DRIVER_EXPORT_NAMES[k].name);
    if (!found[k]) return DRIVER_EXPORT_NAMES[k].missing;
  }
  held.driver.open = reinterpret_cast<OpenDriverFn>(found[0]);
  held.driver.usb_write = reinterpret_cast<UsbWriteFn>(found[1]);
  held.driver.read_multiple_sweeps = reinterpret_cast<ReadMultipleSweepsFn>(found[2]);
  held.driver.read_pointer = reinterpret_cast<ReadPointerFn>(found[3]);
  held.driver.close = reinterpret_cast<CloseDriverFn>(found[4]);
  return nullptr;
}

const char* probe_amplifier(StartHeld& held, AmplifierStatus& status, PrintFn print) {
  print("Connecting to driver...\n");
  held.handle = call_open(held.driver);
  if (!held.handle) return "Could not open connection to BioSemi driver.";

  print("Initializing USB interface...\n");
  if (!send(held, false)) return "Could not initialize BioSemi USB2 interface.";

  print("Initializing ring buffer...\n");
  if (!allocate_ring(held, PROBE_RING_BYTES)) return "Could not allocate ring buffer (out of memory).";
  std::memset(held.ring, 0, PROBE_RING_BYTES);
  call_read_multiple_sweeps(held.driver, held.handle, held.ring, PROBE_RING_BYTES);

  print("Enabling handshake...\n");
  if (!send(held, true)) return "Could not enable handshake with BioSemi USB2 interface.";
  held.handshake = true;

  print("Querying buffer pointer...\n");
  uint32_t p0 = 0;
  if (call_read_pointer(held.driver.read_pointer, held.handle, &p0) == 0) return "Can not obtain ring buffer pointer from BioSemi driver.";
  if (p0 > static_cast<uint32_t>(PROBE_RING_BYTES))
    return "Buffer pointer returned by BioSemi driver is not in the valid range.";

  print("Waiting for data...\n");
  if (const char* message = wait_message(held, p0, 0)) return message;

  // The status word follows the sync word at p0.
  print("Checking status...\n");
  const uint32_t raw =
      ring_word(reinterpret_cast<const uint32_t*>(held.ring), PROBE_RING_BYTES, static_cast<uint64_t>(p0) + 4);
  const SpeedModeError speed_error = decode_amplifier_status(raw, status);
  printf_line(print, "  status: %u\n", status.status);
  printf_line(print, "  MK2: %u\n", status.mk2);
  printf_line(print, "  speed mode: %u\n", status.speed_mode);
  if (speed_error != SpeedModeError::none) return speed_mode_message(speed_error);
  const ChannelLayout& l = status.layout;
  printf_line(print, "  sampling rate: %u\n", status.sampling_rate);
  printf_line(print, "  channels: %u (%uxSync, %uxTrigger, %uxEEG, %uxExG, %uxExtra)\n", l.total, l.sync, l.trigger,
              l.eeg, l.exg, l.extra);
  print(status.battery_low ? "  battery: low\n" : "  battery: good\n");
  return nullptr;
}

const char* restart_driver(StartHeld& held, const AmplifierStatus& status, PrintFn print) {
  print("Reallocating optimized ring buffer...\n");
  print("Sending the enable message again...\n");
  if (!disable(held)) return "Error while disabling the handshake.";

  print("Closing the driver...\n");
  const bool closed = call_close(held.driver, held.handle) != 0;
  held.handle = nullptr;  // gone even when the close reports a failure
  if (!closed) return "Error while disconnecting.";

  print("Freeing the ring buffer...\n");
  std::free(held.ring);
  held.ring = nullptr;
  held.ring_bytes = 0;

  // At most 610 channels: the product fits in 32-bit signed arithmetic.
  const int32_t channels = static_cast<int32_t>(status.layout.total);
  const int32_t ring_bytes = channels * 4 * RING_SWEEPS;
  print("Allocating a new ring buffer...\n");
  if (!allocate_ring(held, ring_bytes)) return "Could not reallocate ring buffer (out of memory?).";

  print("Zeroing the ring buffer...\n");
  std::memset(held.ring, 0, static_cast<size_t>(ring_bytes));

  print("Opening the driver...\n");
  held.handle = call_open(held.driver);
  if (!held.handle) return "Could not open connection to BioSemi driver.";

  print("Reinitializing the USB interface...\n");
  if (!send(held, false)) return "Could not initialize BioSemi USB2 interface.";

  print("Starting data acquisition...\n");
  call_read_multiple_sweeps(held.driver, held.handle, held.ring, ring_bytes);

  print("Enabling handshake...\n");
  if (!send(held, true)) return "Could not reenable handshake with BioSemi USB2 interface.";
  held.handshake = true;

  print("Attempt to read buffer pointer...\n");
  uint32_t p0 = 0;
  if (call_read_pointer(held.driver.read_pointer, held.handle, &p0) == 0) return "Can not obtain ring buffer pointer from BioSemi driver.";
  if (p0 > static_cast<uint32_t>(ring_bytes))
    return "Buffer pointer returned by BioSemi driver is not in the valid range.";

  print("Verifying channel format...\n");
  if (const char* message = wait_message(held, p0, static_cast<uint32_t>(channels))) return message;
  held.first_pointer = p0;
  print("Channel format is correct...\n");
  return nullptr;
}

}  // namespace acquisition
