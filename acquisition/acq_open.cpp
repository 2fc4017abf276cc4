// s = acq_open(driver_path, name, value, ...)
// Starts a session as acq_start does, then a reader thread that drains the
// driver's ring into a history (and, with 'record', a BDF file) whatever the
// script does, and returns the session as a struct with named fields.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "acquisition/engine.h"
#include "acquisition/session_entry.h"
#include "acquisition/sessions.h"
#include "acquisition/start.h"
#include "acquisition/start_entry.h"
#include "acquisition/status.h"
#include "host/mexhost.h"
#include "host/physical_memory.h"

namespace {

using namespace acquisition;

enum { IN_PATH, IN_OPTIONS };
enum { OUT_SESSION };

// The largest sweep of any layout.
constexpr int MAX_WORDS = 610;
// The history holds this long by default, unless that takes more memory
// than DEFAULT_HISTORY_BYTES.
constexpr double DEFAULT_HISTORY_SECONDS = 60.0;
constexpr double DEFAULT_HISTORY_BYTES = 1073741824.0;
constexpr size_t OPTION_CHARS = 32;

struct Options {
  bool quiet = false;
  double history = 0;                   // seconds; 0: the default
  const mxArray* channels = nullptr;    // labels or indices; null: every channel
  char record[PATH_BUFFER_BYTES] = {0};  // empty: no recording
  bool overwrite = false;
};

bool is_flag(const mxArray* v) {
  return (mxIsLogical(v) || mxIsNumeric(v)) && !mxIsComplex(v) && !mxIsSparse(v) && host::numel(v) == 1;
}

bool flag_value(const mxArray* v) {
  return mxIsLogical(v) ? mxGetLogicals(v)[0] != 0 : mxGetScalar(v) != 0;
}

// Option names and channel labels compare without regard to case.
bool same_text(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

bool is_text(const mxArray* v) { return mxIsChar(v) && (host::rows(v) == 1 || host::numel(v) == 0); }

void read_options(int nrhs, const mxArray* prhs[], Options& o) {
  if ((nrhs - IN_OPTIONS) % 2 != 0)
    host::fail_for("acq_open", "badOption",
                   "Options come in name-value pairs: acq_open(path, 'history', 60, 'channels', {'A1', 'A2'}, "
                   "'record', 'file.bdf', 'overwrite', false, 'quiet', true).");
  for (int k = IN_OPTIONS; k < nrhs; k += 2) {
    const mxArray* n = prhs[k];
    const mxArray* v = prhs[k + 1];
    char name[OPTION_CHARS] = {0};
    if (!is_text(n) || host::numel(n) >= OPTION_CHARS || mxGetString(n, name, OPTION_CHARS) != 0) name[0] = '\0';
    if (same_text(name, "quiet") || same_text(name, "overwrite")) {
      if (!is_flag(v)) host::fail_for("acq_open", "badOption", "The value of '%s' must be true or false.", name);
      (same_text(name, "quiet") ? o.quiet : o.overwrite) = flag_value(v);
    } else if (same_text(name, "history")) {
      if (!host::is_real_double(v) || host::numel(v) != 1 || !(mxGetScalar(v) > 0) || !std::isfinite(mxGetScalar(v)))
        host::fail_for("acq_open", "badOption", "The value of 'history' must be a positive number of seconds.");
      o.history = mxGetScalar(v);
    } else if (same_text(name, "channels")) {
      const bool labels = mxIsCell(v) || is_text(v);
      const bool indices = host::is_real_double(v) && host::numel(v) > 0;
      if (!labels && !indices)
        host::fail_for("acq_open", "badOption",
                       "The value of 'channels' must be labels (a cellstr or one char label, as in s.labels) or "
                       "1-based channel numbers (rows of acq_fetch's data).");
      o.channels = v;
    } else if (same_text(name, "record")) {
      if (!is_text(v) || host::numel(v) == 0 || host::numel(v) >= PATH_BUFFER_BYTES)
        host::fail_for("acq_open", "badOption", "The value of 'record' must be the name of the BDF file to write.");
      mxGetString(v, o.record, PATH_BUFFER_BYTES);
    } else {
      host::fail_for("acq_open", "badOption",
                     "Unknown option (the options are 'history', 'channels', 'record', 'overwrite' and 'quiet').");
    }
  }
}

// Which words of the sweep the session keeps: the sync and status words,
// then the chosen channels in the layout's order.  Fills `keep` and returns
// its length, or 0 with `why` set when a choice names no channel.
int choose_words(const Options& o, const ChannelLayout& layout, int32_t (&keep)[MAX_WORDS], char (&why)[256]) {
  const int total = static_cast<int>(layout.total);
  bool chosen[MAX_WORDS] = {false};
  chosen[0] = chosen[1] = true;
  if (!o.channels) {
    for (int w = 0; w < total; ++w) chosen[w] = true;
  } else if (mxIsDouble(o.channels)) {
    const double* v = mxGetPr(o.channels);
    for (size_t k = 0; k < host::numel(o.channels); ++k) {
      if (!(v[k] >= 1 && v[k] <= total && v[k] == std::floor(v[k]))) {
        std::snprintf(why, sizeof why, "Channel number %g is not one of 1 to %d, the rows of this layout's sweeps.",
                      v[k], total);
        return 0;
      }
      chosen[static_cast<int>(v[k]) - 1] = true;
    }
  } else {
    const size_t count = mxIsCell(o.channels) ? host::numel(o.channels) : 1;
    for (size_t k = 0; k < count; ++k) {
      const mxArray* item = mxIsCell(o.channels) ? mxGetCell(o.channels, static_cast<mwIndex>(k)) : o.channels;
      char wanted[LABEL_BYTES + 1] = {0};
      int found = -1;
      if (item && is_text(item) && host::numel(item) <= static_cast<size_t>(LABEL_BYTES) &&
          mxGetString(item, wanted, sizeof wanted) == 0) {
        for (int w = 0; w < total && found < 0; ++w) {
          char label[LABEL_BYTES];
          channel_label(layout, static_cast<uint32_t>(w), label);
          if (same_text(label, wanted)) found = w;
        }
      }
      if (found < 0) {
        char first[LABEL_BYTES], last[LABEL_BYTES];
        channel_label(layout, 2, first);
        channel_label(layout, layout.total - 1, last);
        std::snprintf(why, sizeof why,
                      "Item %zu of 'channels' names no channel of this layout (%u channels: Sync, Status, %s to %s; "
                      "see s.labels of a session opened without 'channels').",
                      k + 1, layout.total, first, last);
        return 0;
      }
      chosen[found] = true;
    }
  }
  int n = 0;
  for (int w = 0; w < total; ++w)
    if (chosen[w]) keep[n++] = w;
  return n;
}

// acq_open's words when the library is already in use (a script stopped
// by Ctrl-C or an error leaves its session running).
[[noreturn]] void refuse_already_open(const SessionRecord& live) {
  const double age = static_cast<double>(session_clock_ns() - live.started_ns) / 1e9;
  if (live.engine) {
    host::fail_for("acq_open", "alreadyOpen",
                   "%s is still acquiring: session %d, opened %.0f s ago with acq_open, %lld sweeps received. A script "
                   "stopped by Ctrl-C or an error before acq_close leaves its session running. End it with "
                   "acq_stop_all(). So that it does not happen again, close the session however the script ends: "
                   "s = acq_open(...); cleanup = onCleanup(@() acq_close(s));",
                   live.path, live.id, age, static_cast<long long>(engine_received(live.engine)));
  }
  host::fail_for("acq_open", "alreadyOpen",
                 "%s is still acquiring: session %d, started %.0f s ago with acq_start. End it with acq_stop_all() "
                 "(or acq_stop with its scalars).",
                 live.path, live.id, age);
}

// What opening the engine came to, with nothing on the heap but the engine.
struct Opened {
  Engine* engine = nullptr;
  EngineRefused refused;
  int64_t history_sweeps = 0;
};

// The engine for the running start: the kept words, their labels, the
// history's size and the recording.
Opened open_engine(const StartHeld& held, const AmplifierStatus& status, const int32_t* keep, int kept,
                   const Options& o, const char* driver_path) {
  Opened result;
  const double rate = status.sampling_rate;
  const double sweep_bytes = 4.0 * kept;
  const double seconds =
      o.history > 0 ? o.history : std::fmin(DEFAULT_HISTORY_SECONDS, DEFAULT_HISTORY_BYTES / (sweep_bytes * rate));
  const double sweeps = std::ceil(seconds * rate);
  const uint64_t physical = host::physical_memory_bytes();
  if (sweeps * sweep_bytes > 9.0e18 || (physical > 0 && sweeps * sweep_bytes > static_cast<double>(physical))) {
    result.refused.refusal = EngineRefusal::out_of_memory;
    std::snprintf(result.refused.message, sizeof result.refused.message,
                  "A history of %.6g s (%.3g GiB for %d channels at %g Hz) does not fit in this machine's memory "
                  "(%.3g GiB). Ask for a shorter 'history' or fewer 'channels'.",
                  seconds, sweeps * sweep_bytes / 1073741824.0, kept, rate, static_cast<double>(physical) / 1073741824.0);
    return result;
  }
  result.history_sweeps = static_cast<int64_t>(sweeps);
  try {
    EngineConfig c;
    c.driver = held.driver;
    c.handle = held.handle;
    c.ring = held.ring;
    c.ring_bytes = held.ring_bytes;
    c.channels = static_cast<int32_t>(status.layout.total);
    c.rate = static_cast<int32_t>(status.sampling_rate);
    c.first_pointer = held.first_pointer;
    c.keep.assign(keep, keep + kept);
    for (int k = 0; k < kept; ++k) {
      char label[LABEL_BYTES];
      channel_label(status.layout, static_cast<uint32_t>(keep[k]), label);
      c.labels.emplace_back(label);
    }
    c.history_sweeps = result.history_sweeps;
    c.record_path = o.record;
    c.overwrite = o.overwrite;
    const char* name = driver_path;
    for (const char* c2 = driver_path; *c2; ++c2)
      if (*c2 == '/' || *c2 == '\\') name = c2 + 1;
    c.recording_text = std::string("eegmex ") + std::to_string(status.sampling_rate) + " Hz " + name;
    result.engine = engine_create(c, result.refused);
  } catch (const std::exception&) {
    result.refused.refusal = EngineRefusal::out_of_memory;
    std::snprintf(result.refused.message, sizeof result.refused.message, "Out of memory for the session.");
  }
  return result;
}

const char* refusal_condition(EngineRefusal r) {
  switch (r) {
    case EngineRefusal::file_exists:
      return "fileExists";
    case EngineRefusal::file_failed:
      return "recordFailed";
    default:
      return "outOfMemory";
  }
}

mxArray* uint64_out(const void* p) { return host::scalar_out<uint64_t>(address_value(p)); }

mxArray* session_struct(const StartHeld& held, const AmplifierStatus& status, const SessionRecord& session,
                        const int32_t* keep, int kept, double history_seconds, const char* path, const char* record) {
  static const char* const FIELDS[] = {"library", "driver",   "open_driver", "usb_write", "read_sweeps", "read_pointer",
                                       "close_driver", "ring", "channels",    "rate",      "nsync",       "ntrig",
                                       "neeg",    "nexg",     "nextra",      "pointer",   "path",        "id",
                                       "labels",  "keep",     "history",     "record"};
  mxArray* s = mxCreateStructMatrix(1, 1, static_cast<int>(sizeof FIELDS / sizeof FIELDS[0]), const_cast<const char**>(FIELDS));
  const ChannelLayout& l = status.layout;
  mxSetField(s, 0, "library", uint64_out(held.library));
  mxSetField(s, 0, "driver", uint64_out(held.handle));
  mxSetField(s, 0, "open_driver", host::scalar_out<uint64_t>(address_of(held.driver.open)));
  mxSetField(s, 0, "usb_write", host::scalar_out<uint64_t>(address_of(held.driver.usb_write)));
  mxSetField(s, 0, "read_sweeps", host::scalar_out<uint64_t>(address_of(held.driver.read_multiple_sweeps)));
  mxSetField(s, 0, "read_pointer", host::scalar_out<uint64_t>(address_of(held.driver.read_pointer)));
  mxSetField(s, 0, "close_driver", host::scalar_out<uint64_t>(address_of(held.driver.close)));
  mxSetField(s, 0, "ring", uint64_out(held.ring));
  mxSetField(s, 0, "channels", host::scalar_out<int32_t>(static_cast<int32_t>(l.total)));
  mxSetField(s, 0, "rate", host::scalar_out<int32_t>(static_cast<int32_t>(status.sampling_rate)));
  mxSetField(s, 0, "nsync", host::scalar_out<int32_t>(static_cast<int32_t>(l.sync)));
  mxSetField(s, 0, "ntrig", host::scalar_out<int32_t>(static_cast<int32_t>(l.trigger)));
  mxSetField(s, 0, "neeg", host::scalar_out<int32_t>(static_cast<int32_t>(l.eeg)));
  mxSetField(s, 0, "nexg", host::scalar_out<int32_t>(static_cast<int32_t>(l.exg)));
  mxSetField(s, 0, "nextra", host::scalar_out<int32_t>(static_cast<int32_t>(l.extra)));
  mxSetField(s, 0, "pointer", host::scalar_out<int32_t>(0));
  mxSetField(s, 0, "path", mxCreateString(path));
  mxSetField(s, 0, "id", host::scalar_out<int32_t>(session.id));
  mxArray* labels = mxCreateCellMatrix(static_cast<mwSize>(kept), 1);
  mxArray* words = mxCreateNumericMatrix(static_cast<mwSize>(kept), 1, mxINT32_CLASS, mxREAL);
  for (int k = 0; k < kept; ++k) {
    char label[LABEL_BYTES];
    channel_label(l, static_cast<uint32_t>(keep[k]), label);
    mxSetCell(labels, static_cast<mwIndex>(k), mxCreateString(label));
    static_cast<int32_t*>(mxGetData(words))[k] = keep[k] + 1;
  }
  mxSetField(s, 0, "labels", labels);
  mxSetField(s, 0, "keep", words);
  mxSetField(s, 0, "history", mxCreateDoubleScalar(history_seconds));
  mxSetField(s, 0, "record", mxCreateString(record));
  return s;
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  attach_to_host();
  host::require_nargout("acq_open", nlhs, 1, "s = acq_open(driver_path, ...)");
  if (nrhs < 1 || !is_text(prhs[IN_PATH]) || host::numel(prhs[IN_PATH]) < 1)
    host::fail_for("acq_open", "badPath",
                   "The first input must be the path of the driver library (a char row), ampsim_path() for the "
                   "simulated amplifier.");
  DriverPath path;
  read_driver_path("acq_open", prhs[IN_PATH], path);
  Options options;
  read_options(nrhs, prhs, options);

  StartHeld held;
  AmplifierStatus status;
  StartVoice voice;
  voice.print = options.quiet ? print_nothing : print_to_host;
  voice.already_open = refuse_already_open;
  voice.explain_refusal = true;
  start_or_fail(path.text, voice, held, status);

  int32_t keep[MAX_WORDS];
  char why[256] = {0};
  const int kept = choose_words(options, status.layout, keep, why);
  if (kept == 0) {
    release_start(held);
    host::fail_for("acq_open", "unknownChannel", "%s", why);
  }
  const Opened opened = open_engine(held, status, keep, kept, options, path.text);
  if (!opened.engine) {
    release_start(held);
    host::fail_for("acq_open", refusal_condition(opened.refused.refusal), "%s", opened.refused.message);
  }
  // Recorded before the outputs are made: should making them fail, the
  // session is still known, and acq_stop_all or the exit hook stop it.
  SessionRecord session = session_of(held, status, path.text);
  session.engine = opened.engine;
  if (!add_session(session)) {
    engine_destroy(opened.engine);
    release_start(held);
    host::fail_for("acq_open", "tooManySessions", "%d acquisition sessions are live already; stop one first.",
                   MAX_SESSIONS);
  }
  engine_start(opened.engine);
  const double history_seconds = static_cast<double>(opened.history_sweeps) / status.sampling_rate;
  voice.print("Setting up MATLAB return variables...\n");
  if (!options.quiet) {
    mexPrintf("Session %d reads %d of %u channels in the background, history %.1f s.\n", session.id, kept,
              status.layout.total, history_seconds);
    if (options.record[0]) mexPrintf("Recording to %s.\n", options.record);
  }
  plhs[OUT_SESSION] = session_struct(held, status, session, keep, kept, history_seconds, path.text, options.record);
}
