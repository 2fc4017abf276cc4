// [data, pointer] = acq_fetch(lib, drv, read_pointer, ring, channels, last)
// Copies the whole sweeps that arrived in the session ring since `last`
// into an int32 channels x n matrix and returns the new pointer.
#include <cstdint>

#include "acquisition/driver.h"
#include "acquisition/ring.h"
#include "acquisition/session_entry.h"
#include "acquisition/session_scalars.h"
#include "acquisition/sessions.h"
#include "host/mexhost.h"

namespace {

using namespace acquisition;

enum { IN_LIBRARY, IN_HANDLE, IN_READ_POINTER, IN_RING, IN_CHANNELS, IN_LAST, INPUT_COUNT };
enum { OUT_DATA, OUT_POINTER, OUTPUT_COUNT };

// Largest channel count whose ring length fits in 32-bit signed arithmetic.
constexpr int32_t MAX_CHANNELS = 2147483647 / (4 * RING_SWEEPS);

// Scalars that do not name a live session are refused before any of them
// is used as an address.
[[noreturn]] void refuse(SessionMatch match, const SessionRecord& session, int32_t channels) {
  const Text outputs = output_numbers(FETCH_INPUTS, 5);
  switch (match) {
    case SessionMatch::other_handle:
      host::fail_for("acq_fetch", "noSession",
                     "Input 2, the driver handle, is not that of %s, whose ring input 4 names. Pass outputs %s of "
                     "one acq_start.",
                     describe(session).text, outputs.text);
    case SessionMatch::other_function:
      host::fail_for("acq_fetch", "noSession",
                     "Input 3 is not the READ_POINTER address of %s, whose ring input 4 names. Pass outputs %s of "
                     "one acq_start.",
                     describe(session).text, outputs.text);
    case SessionMatch::other_channels:
      host::fail_for("acq_fetch", "noSession",
                     "Input 5, the channel count, is %d, but %s has %d channels. Pass outputs %s of acq_start (output "
                     "10 is the sampling rate).",
                     channels, describe(session).text, session.channels, outputs.text);
    default:
      host::fail_for("acq_fetch", "noSession",
                     "The inputs do not name a live acquisition session of this process: it was stopped or never "
                     "started, or these are not outputs %s of acq_start. acq_stop_all() stops every live session.",
                     outputs.text);
  }
}

// What a fetch could not return: sweeps the driver wrote over before the
// previous fetch's position was reached again (a fetch later than the ring
// lasts, reckoned by the clock), and sweeps it overwrote while this fetch
// was copying them (reckoned by the pointer read again after the copy).
struct Loss {
  double elapsed = 0;        // seconds since the previous fetch
  bool late = false;         // later than the ring lasts
  int64_t overwritten = 0;   // copied sweeps dropped from the result
};

// Raised after the fetch has been recorded and its outputs made, so that a
// warning turned into an error leaves the session moved on: the next fetch
// is not late again.  The data are returned all the same.
void warn_of_loss(const SessionRecord& session, const Loss& loss, int32_t returned_sweeps) {
  if (session.rate <= 0 || (!loss.late && loss.overwritten == 0)) return;
  const double ring_seconds = static_cast<double>(RING_SWEEPS) / session.rate;
  const double returned = static_cast<double>(returned_sweeps > 0 ? returned_sweeps : 0) / session.rate;
  if (!loss.late) {
    mexWarnMsgIdAndTxt("acq_fetch:dataLost",
                       "%lld sweeps (%.3f s) were lost: the driver overwrote them while this fetch of %s was "
                       "copying them, %.2f s after the previous fetch (its ring holds %.2f s). They are not "
                       "returned; the %d newer sweeps are. Fetch more often.",
                       static_cast<long long>(loss.overwritten), static_cast<double>(loss.overwritten) / session.rate,
                       describe(session).text, loss.elapsed, ring_seconds, returned_sweeps);
    return;
  }
  const double lost = loss.elapsed > returned ? loss.elapsed - returned : 0.0;
  mexWarnMsgIdAndTxt("acq_fetch:dataLost",
                     "About %.2f s of data were lost: %.2f s passed since the previous fetch of %s, more than its "
                     "ring holds (%d sweeps, %.2f s), and this fetch returns only the last %.2f s. Fetch at least "
                     "once every %.2f s.",
                     lost, loss.elapsed, describe(session).text, RING_SWEEPS, ring_seconds, returned, ring_seconds);
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  if (nrhs != INPUT_COUNT) host::fail_text("Six input arguments required.");
  for (int k = 0; k < INPUT_COUNT; ++k)
    if (host::numel(prhs[k]) != 1) host::fail_text("All inputs must be scalars.");
  if (nlhs != OUTPUT_COUNT) host::fail_text("Two output arguments required.");

  // The values are read by width: the session scalars must keep the classes
  // acq_start gave them.
  for (int k = IN_HANDLE; k <= IN_RING; ++k)
    host::require_uint64("acq_fetch", prhs[k], "Input %d must be the uint64 scalar that acq_start returned.", k + 1);
  for (int k = IN_CHANNELS; k <= IN_LAST; ++k)
    host::require_int32("acq_fetch", prhs[k], "Input %d must be an int32 scalar (from acq_start or acq_fetch).",
                        k + 1);

  void* const handle = reinterpret_cast<void*>(static_cast<uintptr_t>(host::first_of<uint64_t>(prhs[IN_HANDLE])));
  const ReadPointerFn read_pointer = from_address<ReadPointerFn>(host::first_of<uint64_t>(prhs[IN_READ_POINTER]));
  const unsigned char* const ring =
      reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(host::first_of<uint64_t>(prhs[IN_RING])));
  const int32_t channels = host::first_of<int32_t>(prhs[IN_CHANNELS]);
  const int32_t last = host::first_of<int32_t>(prhs[IN_LAST]);

  if (!read_pointer || !ring)
    host::fail_for("acq_fetch", "nullAddress", "The READ_POINTER and ring addresses must not be 0.");
  if (channels < 1 || channels > MAX_CHANNELS)
    host::fail_for("acq_fetch", "badChannelCount", "The channel count must be between 1 and %d (it is %d).",
                   MAX_CHANNELS, channels);
  // The session first: another int32 where the channel count goes (the
  // sampling rate) is named as such, not as a pointer that does not fit.
  SessionRecord session;
  const SessionMatch match = match_fetch(handle, read_pointer, ring, channels, session);
  if (match != SessionMatch::live) refuse(match, session, channels);
  const int32_t sweep_bytes = channels * 4;
  const int32_t ring_bytes = sweep_bytes * RING_SWEEPS;
  if (last < 0 || last > ring_bytes || last % sweep_bytes != 0)
    host::fail_for("acq_fetch", "badPointer",
                   "The last pointer %d is not a whole number of sweeps (%d bytes) between 0 and %d.", last,
                   sweep_bytes, ring_bytes);
  const int64_t now = session_clock_ns();

  uint32_t word = 0;
  int32_t p = last;
  if (read_session_pointer(ring, read_pointer, handle, &word) != 0) {
    if (word > static_cast<uint32_t>(ring_bytes))
      host::fail_for("acq_fetch", "driverPointerOutOfRange",
                     "The driver reported the buffer pointer %u, beyond the ring's %d bytes.", word, ring_bytes);
    p = static_cast<int32_t>(word);
  } else {
    mexWarnMsgIdAndTxt("BioSemi:ReadProblem", "Reading the updated buffer pointer gave an error.");
  }

  const FetchPlan plan = plan_fetch(p, last, sweep_bytes, ring_bytes);
  Loss loss;
  loss.elapsed = static_cast<double>(now - session.last_fetch_ns) / 1e9;
  loss.late = session.rate > 0 && loss.elapsed * session.rate >= RING_SWEEPS;
  mxArray* data = nullptr;
  if (plan.sweeps < 0) {
    data = host::int32_matrix(0, 0);
  } else {
    data = host::int32_matrix(static_cast<size_t>(channels), static_cast<size_t>(plan.sweeps));
    copy_sweeps(ring, plan, static_cast<unsigned char*>(mxGetData(data)));
    // The driver kept writing while the result was made and filled: ask
    // where it is now, and drop the oldest sweeps it may have reached.
    // (When that read fails, the clock alone says how far it may be.)
    uint32_t after = 0;
    const double copy_seconds = static_cast<double>(session_clock_ns() - now) / 1e9;
    const double clock_bytes = copy_seconds * session.rate * static_cast<double>(sweep_bytes);
    const int64_t now_at = read_session_pointer(ring, read_pointer, handle, &after) != 0
                               ? static_cast<int64_t>(after)
                               : p + static_cast<int64_t>(clock_bytes);
    const int64_t reached =
        overwritten_sweeps(plan.pointer, p, now_at, plan.sweeps, sweep_bytes, ring_bytes, clock_bytes);
    if (reached > 0) {
      loss.overwritten = reached;
      const int64_t kept = plan.sweeps - reached;
      data = host::keep_last_int32_columns(data, static_cast<size_t>(channels),
                                           kept > 0 ? static_cast<size_t>(kept) : 0);
    }
  }
  note_fetch(ring, now);
  plhs[OUT_DATA] = data;
  plhs[OUT_POINTER] = host::scalar_out<int32_t>(plan.pointer);
  warn_of_loss(session, loss, static_cast<int32_t>(mxGetN(data)));
}
