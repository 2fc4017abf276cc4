// The start protocol of an acquisition: load the driver library, probe the
// amplifier's status word with a probe ring, then restart the driver with a
// session ring sized for the decoded layout.  Plain C++; no host header.
//
// Every step is announced through the caller's print function, called
// between the driver calls in the order the lines must appear.  A phase
// returns null on success or the message to raise; it leaves in StartHeld
// exactly what is still held, and release_start undoes that.  The caller
// decides when to release (before raising its error), so that nothing is
// released twice and nothing is left behind.
#pragma once

#include <cstdint>

#include "acquisition/driver.h"
#include "acquisition/status.h"

namespace acquisition {

// Receives one printed piece of text (a line with its newline).
using PrintFn = void (*)(const char* text);

// What a start holds at a given moment.
struct StartHeld {
  void* library = nullptr;        // the loaded driver library
  DriverExports driver;           // its five exports, once resolved
  void* handle = nullptr;         // the open driver connection
  bool handshake = false;         // the enable message was accepted: a disable is owed
  unsigned char* ring = nullptr;  // the probe ring, later the session ring
  int32_t ring_bytes = 0;
  uint32_t first_pointer = 0;     // where the session's first sweep begins in its ring
};

// Undoes what `held` names, in the order: disable message, close the driver,
// unload the library, free the ring (results ignored).  `held` is empty
// afterwards.
void release_start(StartHeld& held);

// Loads the library at `path` and resolves the five exports in order.
// Prints "Loading BioSemi driver dll...".
const char* load_driver(const char* path, StartHeld& held, PrintFn print);

// Opens the driver with a probe ring, waits for the first sweep, decodes
// its status word into `status` and prints the status report, up to and
// including the battery line.  Expects the library and exports loaded.
const char* probe_amplifier(StartHeld& held, AmplifierStatus& status, PrintFn print);

// Disables and closes the probe connection, frees the probe ring, then
// opens the driver again with a session ring of RING_SWEEPS sweeps of the
// decoded layout and checks that the sweeps have that length.  On success
// `held` is the running session: library, handle, handshake, session ring.
const char* restart_driver(StartHeld& held, const AmplifierStatus& status, PrintFn print);

}  // namespace acquisition
