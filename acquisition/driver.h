// The amplifier driver as the acquisition entries see it: the five exports
// resolved by name, the two 64-byte control messages, and the constants of
// the ring contract.  Plain C++; no host header.
//
// The driver fills a ring owned by the caller with sweeps of (channels)
// little-endian 32-bit words, word 0 the sync word, word 1 the status word,
// and publishes a byte pointer into that ring: every byte before it (since
// the last wrap) has been written; it returns to 0 after the ring's end, and
// the value equal to the ring's length means the end of the ring.
//
// Order of calls in a session: OPEN_DRIVER_ASYNC, USB_WRITE (disable),
// READ_MULTIPLE_SWEEPS (ring), USB_WRITE (enable), READ_POINTER any number
// of times, USB_WRITE (disable), CLOSE_DRIVER_ASYNC, then the library is
// unloaded.  The library accepts a new open after a close.
#pragma once

#include <cstdint>
#include <cstring>

// printf-style checks for the acquisition's own formatted texts.
#if defined(__GNUC__) || defined(__clang__)
#define ACQ_PRINTF(fmt_pos, args_pos) __attribute__((format(printf, fmt_pos, args_pos)))
#else
#define ACQ_PRINTF(fmt_pos, args_pos)
#endif

namespace acquisition {

// Pointer-sized driver handle; 0 means failure.
using OpenDriverFn = void* (*)();
// (handle, address of a 64-byte control message); non-zero = success.
using UsbWriteFn = int32_t (*)(void* handle, const unsigned char* message);
// (handle, ring start, ring length in bytes); result not used.
using ReadMultipleSweepsFn = int32_t (*)(void* handle, unsigned char* ring, int32_t ring_bytes);
// (handle, address of a 32-bit word); non-zero = success, stores the pointer.
using ReadPointerFn = int32_t (*)(void* handle, uint32_t* pointer);
// (handle); non-zero = success.
using CloseDriverFn = int32_t (*)(void* handle);

// The five exports, in the order they are resolved.
struct DriverExports {
  OpenDriverFn open = nullptr;
  UsbWriteFn usb_write = nullptr;
  ReadMultipleSweepsFn read_multiple_sweeps = nullptr;
  ReadPointerFn read_pointer = nullptr;
  CloseDriverFn close = nullptr;
};

// The five exports in the order they are resolved, each with the message a
// library that lacks it gets.  The name is written once; the message is
// built from it at compile time.
struct DriverExportName {
  const char* name;
  const char* missing;
};
#define ACQ_DRIVER_EXPORT(name) \
  DriverExportName { name, "Did not find function " name "() in the BisoSemi driver DLL." }
constexpr DriverExportName DRIVER_EXPORT_NAMES[5] = {
    ACQ_DRIVER_EXPORT("OPEN_DRIVER_ASYNC"), ACQ_DRIVER_EXPORT("USB_WRITE"),
    ACQ_DRIVER_EXPORT("READ_MULTIPLE_SWEEPS"), ACQ_DRIVER_EXPORT("READ_POINTER"),
    ACQ_DRIVER_EXPORT("CLOSE_DRIVER_ASYNC")};
#undef ACQ_DRIVER_EXPORT

constexpr int CONTROL_MESSAGE_BYTES = 64;
// First word of every sweep.
constexpr uint32_t SYNC_WORD = 0xFFFFFF00u;
// Ring used while the status word is probed.
constexpr int32_t PROBE_RING_BYTES = 8388608;
// Sweeps held by the session ring.
constexpr int32_t RING_SWEEPS = 30720;
// Both waits of the start give up after this long.
constexpr double START_TIMEOUT_SECONDS = 3.0;

// Disable message: 64 zero bytes.  Sent right after opening and at every
// shutdown.
inline void make_disable_message(unsigned char (&message)[CONTROL_MESSAGE_BYTES]) {
  std::memset(message, 0, sizeof message);
}

// Enable message: byte 0 = 0xFF, the rest 0.  Starts the handshake.
inline void make_enable_message(unsigned char (&message)[CONTROL_MESSAGE_BYTES]) {
  std::memset(message, 0, sizeof message);
  message[0] = 0xFF;
}

// The driver's exports as the acquisition calls them: a driver library whose
// export lets a C++ exception out counts as one whose call failed (a null
// handle, a zero result), so that nothing it throws can cut a release short
// or leave a thread.
inline void* call_open(const DriverExports& d) noexcept {
  try {
    return d.open();
  } catch (...) {
    return nullptr;
  }
}
inline int32_t call_usb_write(const DriverExports& d, void* handle, const unsigned char* message) noexcept {
  try {
    return d.usb_write(handle, message);
  } catch (...) {
    return 0;
  }
}
inline int32_t call_read_multiple_sweeps(const DriverExports& d, void* handle, unsigned char* ring,
                                         int32_t ring_bytes) noexcept {
  try {
    return d.read_multiple_sweeps(handle, ring, ring_bytes);
  } catch (...) {
    return 0;
  }
}
inline int32_t call_read_pointer(ReadPointerFn read_pointer, void* handle, uint32_t* pointer) noexcept {
  try {
    return read_pointer(handle, pointer);
  } catch (...) {
    return 0;
  }
}
inline int32_t call_close(const DriverExports& d, void* handle) noexcept {
  try {
    return d.close(handle);
  } catch (...) {
    return 0;
  }
}

// Addresses travel through the host as uint64 scalars.
template <class Fn>
inline uint64_t address_of(Fn fn) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(fn));
}
template <class Fn>
inline Fn from_address(uint64_t address) {
  return reinterpret_cast<Fn>(static_cast<uintptr_t>(address));
}

}  // namespace acquisition
