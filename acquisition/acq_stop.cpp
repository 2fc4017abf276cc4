// acq_stop(lib, drv, usb_write, close, ring)
// Ends a session that acq_start began: disable message, close the driver,
// unload the library, free the ring.  Driver problems are warnings; every
// step runs.
#include <cstdint>
#include <cstdlib>

#include "acquisition/driver.h"
#include "host/dynlib.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_LIBRARY, IN_HANDLE, IN_USB_WRITE, IN_CLOSE, IN_RING, INPUT_COUNT };

uint64_t read_uint64(const mxArray* a) { return *static_cast<const uint64_t*>(mxGetData(a)); }

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int /*nlhs*/, mxArray* /*plhs*/[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != INPUT_COUNT) host::fail_text("Five input argument required.");
  for (int k = 0; k < INPUT_COUNT; ++k)
    if (host::numel(prhs[k]) != 1) host::fail_text("All inputs must be scalars.");
  // Each value is read as 64 bits: the session scalars must keep the class
  // acq_start gave them.
  for (int k = 0; k < INPUT_COUNT; ++k)
    if (!host::is_real_uint64(prhs[k]))
      host::fail("acq_stop:notUint64", "Input %d must be the uint64 scalar that acq_start returned.", k + 1);

  void* const library = reinterpret_cast<void*>(static_cast<uintptr_t>(read_uint64(prhs[IN_LIBRARY])));
  void* const handle = reinterpret_cast<void*>(static_cast<uintptr_t>(read_uint64(prhs[IN_HANDLE])));
  const UsbWriteFn usb_write = from_address<UsbWriteFn>(read_uint64(prhs[IN_USB_WRITE]));
  const CloseDriverFn close = from_address<CloseDriverFn>(read_uint64(prhs[IN_CLOSE]));
  void* const ring = reinterpret_cast<void*>(static_cast<uintptr_t>(read_uint64(prhs[IN_RING])));
  if (!library || !usb_write || !close)
    host::fail("acq_stop:nullAddress", "The library handle and the USB_WRITE and CLOSE_DRIVER_ASYNC addresses "
                                       "must not be 0.");

  // Every release runs; the warnings come after them, in the order the
  // problems occurred, so that a warning turned into an error cannot leave
  // the library loaded or the ring allocated.
  unsigned char disable[CONTROL_MESSAGE_BYTES];
  make_disable_message(disable);
  const bool handshake_ok = usb_write(handle, disable) != 0;
  const bool close_ok = close(handle) != 0;
  unload_library(library);
  std::free(ring);
  if (!handshake_ok)
    mexWarnMsgIdAndTxt("BioSemi:HandshakeProblem", "The handshake while shutting down the BioSemi driver gave an error.");
  if (!close_ok) mexWarnMsgIdAndTxt("BioSemi:CloseProblem", "Closing the BioSemi driver gave an error.");
}
