// The session as the script carries it: the fifteen scalars acq_start
// returns, in their order, and the ones acq_fetch and acq_stop take back.
// Shared by the entries, the tests and the named-field functions' help.
#pragma once

namespace acquisition {

// acq_start's outputs, in order.  The first eight are uint64, the rest
// int32.
enum SessionScalar {
  SESSION_LIBRARY,       // library module handle
  SESSION_DRIVER,        // driver handle of the running connection
  SESSION_OPEN,          // address of OPEN_DRIVER_ASYNC
  SESSION_USB_WRITE,     // address of USB_WRITE
  SESSION_READ_SWEEPS,   // address of READ_MULTIPLE_SWEEPS
  SESSION_READ_POINTER,  // address of READ_POINTER
  SESSION_CLOSE,         // address of CLOSE_DRIVER_ASYNC
  SESSION_RING,          // address of the session ring
  SESSION_CHANNELS,      // total channel count (words per sweep)
  SESSION_RATE,          // sampling rate in Hz
  SESSION_SYNC,          // sync channel count
  SESSION_TRIGGER,       // trigger channel count
  SESSION_EEG,           // EEG channel count
  SESSION_EXG,           // ExG channel count
  SESSION_POINTER,       // 0: the pointer the first fetch copies from
  SESSION_SCALARS
};

// The first session scalar of class int32; those before it are uint64.
constexpr int FIRST_INT32_SCALAR = SESSION_CHANNELS;

// acq_fetch's inputs, in order: which session scalar each one is (the last
// is the pointer, acq_start's at first and then the previous fetch's).
constexpr SessionScalar FETCH_INPUTS[6] = {SESSION_LIBRARY,      SESSION_DRIVER,   SESSION_READ_POINTER,
                                           SESSION_RING,         SESSION_CHANNELS, SESSION_POINTER};

// acq_stop's inputs, in order.
constexpr SessionScalar STOP_INPUTS[5] = {SESSION_LIBRARY, SESSION_DRIVER, SESSION_USB_WRITE, SESSION_CLOSE,
                                          SESSION_RING};

}  // namespace acquisition
