// [data, hdr, ev] = bdf_read(FILE, 'channels', C, 'seconds', [T0 T1], 'raw')
// Reads a BDF file (ours or not, whole or cut by a crash): the samples of
// the chosen channels and span, the header, and the trigger onsets.
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bdf/bdf_entry.h"
#include "bdf/reader.h"
#include "host/huge_pages.h"
#include "host/mexhost.h"

namespace {

enum { IN_FILE, IN_FIRST_OPTION };
enum { OUT_DATA, OUT_HEADER, OUT_EVENTS, OUTPUT_COUNT };
const char* const DELIVERABLE = "bdf_read";
const char* const USAGE = "[data, hdr, ev] = bdf_read(FILE, 'channels', C, 'seconds', [T0 T1], 'raw')";

using bdf_entry::Failure;
using bdf_entry::set_failure;

struct Options {
  std::string path;
  bool by_label = false;
  std::vector<std::string> labels;
  std::vector<double> indices;
  bool channels_given = false;
  bool seconds_given = false;
  double t0 = 0, t1 = 0;
  bool raw = false;
};

bool same_name(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

bool is_real_numeric(const mxArray* a) { return (mxIsNumeric(a) || mxIsLogical(a)) && !mxIsComplex(a) && !mxIsSparse(a); }

// The value of a real numeric array's element k as a double.
double element(const mxArray* a, size_t k) {
  const void* d = mxGetData(a);
  switch (mxGetClassID(a)) {
    case mxDOUBLE_CLASS: return static_cast<const double*>(d)[k];
    case mxSINGLE_CLASS: return static_cast<const float*>(d)[k];
    case mxINT8_CLASS: return static_cast<const int8_t*>(d)[k];
    case mxUINT8_CLASS: return static_cast<const uint8_t*>(d)[k];
    case mxINT16_CLASS: return static_cast<const int16_t*>(d)[k];
    case mxUINT16_CLASS: return static_cast<const uint16_t*>(d)[k];
    case mxINT32_CLASS: return static_cast<const int32_t*>(d)[k];
    case mxUINT32_CLASS: return static_cast<const uint32_t*>(d)[k];
    case mxINT64_CLASS: return static_cast<double>(static_cast<const int64_t*>(d)[k]);
    case mxUINT64_CLASS: return static_cast<double>(static_cast<const uint64_t*>(d)[k]);
    case mxLOGICAL_CLASS: return static_cast<const mxLogical*>(d)[k] ? 1 : 0;
    default: return NAN;
  }
}

// Reads the options into o; false with the failure set.
bool read_options(int nrhs, const mxArray* prhs[], Options& o, Failure& f) {
  o.path = bdf_entry::text_of(prhs[IN_FILE]);
  for (int k = IN_FIRST_OPTION; k < nrhs; ++k) {
    if (!host::is_char_row(prhs[k])) {
      set_failure(f, "badOption", "Option %d must be a name ('channels', 'seconds' or 'raw').", k - IN_FIRST_OPTION + 1);
      return false;
    }
    const std::string name = bdf_entry::text_of(prhs[k]);
    if (same_name(name, "raw")) {
      // 'raw' alone, or followed by a true or false scalar.
      if (k + 1 < nrhs && is_real_numeric(prhs[k + 1])) {
        if (host::numel(prhs[k + 1]) != 1) {
          set_failure(f, "badOption", "'raw' takes no value, or a true or false scalar.");
          return false;
        }
        o.raw = element(prhs[k + 1], 0) != 0;
        ++k;
      } else {
        o.raw = true;
      }
      continue;
    }
    const bool channels = same_name(name, "channels"), seconds = same_name(name, "seconds");
    if (!channels && !seconds) {
      set_failure(f, "badOption", "Unknown option '%.64s' (options: 'channels', 'seconds', 'raw').", name.c_str());
      return false;
    }
    if (k + 1 >= nrhs) {
      set_failure(f, "badOption", "The option '%s' needs a value.", channels ? "channels" : "seconds");
      return false;
    }
    const mxArray* v = prhs[++k];
    if (seconds) {
      if (!host::is_real_double(v) || host::numel(v) != 2) {
        set_failure(f, "badSeconds", "'seconds' takes [T0 T1], a real double pair.");
        return false;
      }
      o.t0 = element(v, 0);
      o.t1 = element(v, 1);
      if (!(o.t0 >= 0 && o.t1 >= o.t0) || std::isinf(o.t0)) {
        set_failure(f, "badSeconds", "'seconds' takes [T0 T1] with 0 <= T0 <= T1 (T1 may be Inf); got [%g %g].", o.t0,
                    o.t1);
        return false;
      }
      o.seconds_given = true;
      continue;
    }
    o.channels_given = true;
    o.labels.clear();
    o.indices.clear();
    if (host::is_char_row(v)) {
      o.by_label = true;
      o.labels.push_back(bdf_entry::text_of(v));
    } else if (mxIsCell(v)) {
      o.by_label = true;
      for (size_t c = 0; c < host::numel(v); ++c) {
        const mxArray* cell = mxGetCell(v, static_cast<mwIndex>(c));
        if (!cell || !host::is_char_row(cell)) {
          set_failure(f, "badChannels", "'channels' as a cell array holds labels (char rows); element %zu does not.",
                      c + 1);
          return false;
        }
        o.labels.push_back(bdf_entry::text_of(cell));
      }
    } else if (is_real_numeric(v)) {
      o.by_label = false;
      for (size_t c = 0; c < host::numel(v); ++c) o.indices.push_back(element(v, c));
    } else {
      set_failure(f, "badChannels", "'channels' takes labels (a char row or a cell array of them) or indices.");
      return false;
    }
  }
  return true;
}

// What to read: the signals, the span and the status signal.
struct Plan {
  bdf::Reader reader;
  std::vector<int32_t> signals;
  int32_t status = -1;
  double rate = 0;
  int64_t total = 0;  // samples of the chosen signals in the file
  int64_t first = 0, count = 0;
  int64_t status_first = 0, status_count = 0;
};

// The span [T0, T1) in samples at `rate`: the samples k with T0 <= k/rate < T1.
void span(const Options& o, double rate, int64_t total, int64_t& first, int64_t& count) {
  if (!o.seconds_given) {
    first = 0;
    count = total;
    return;
  }
  const double a = std::ceil(o.t0 * rate), b = std::ceil(o.t1 * rate);
  first = a < static_cast<double>(total) ? static_cast<int64_t>(a) : total;
  const int64_t end = b < static_cast<double>(total) ? static_cast<int64_t>(b) : total;
  count = end > first ? end - first : 0;
}

bool make_plan(const Options& o, Plan& p, Failure& f) {
  std::string error;
  if (!bdf::reader_open(p.reader, o.path, error)) {
    set_failure(f, "cannotRead", "%s", error.c_str());
    return false;
  }
  const int32_t ns = static_cast<int32_t>(p.reader.header.signals.size());
  if (!o.channels_given) {
    for (int32_t s = 0; s < ns; ++s) p.signals.push_back(s);
  } else if (o.by_label) {
    for (const std::string& label : o.labels) {
      const int32_t s = bdf::find_signal(p.reader, label);
      if (s < 0) {
        set_failure(f, "unknownChannel", "%s has no channel labelled '%.64s'.", o.path.c_str(), label.c_str());
        return false;
      }
      p.signals.push_back(s);
    }
  } else {
    for (double v : o.indices) {
      if (!(v >= 1 && v <= ns && v == std::floor(v))) {
        set_failure(f, "badChannels", "Channel index %g is not a whole number from 1 to %d (the file's channels).", v, ns);
        return false;
      }
      p.signals.push_back(static_cast<int32_t>(v) - 1);
    }
  }
  for (int32_t s : p.signals) {
    if (p.reader.header.signals[s].samples != p.reader.header.signals[p.signals[0]].samples) {
      set_failure(f, "mixedRates",
                  "Channels %d (%s) and %d (%s) of %s differ in rate; choose channels of one rate with 'channels'.",
                  p.signals[0] + 1, p.reader.header.signals[p.signals[0]].label.c_str(), s + 1,
                  p.reader.header.signals[s].label.c_str(), o.path.c_str());
      return false;
    }
  }
  const int32_t rate_signal = p.signals.empty() ? 0 : p.signals[0];
  p.rate = bdf::signal_rate(p.reader, rate_signal);
  p.total = bdf::signal_samples(p.reader, rate_signal);
  span(o, p.rate, p.total, p.first, p.count);
  if (static_cast<size_t>(p.count) > host::MAX_DIM) {
    set_failure(f, "tooLarge", "The span holds %lld sweeps, more than %zu; read it in parts with 'seconds'.",
                static_cast<long long>(p.count), host::MAX_DIM);
    return false;
  }
  p.status = bdf::find_signal(p.reader, "Status");
  if (p.status >= 0)
    span(o, bdf::signal_rate(p.reader, p.status), bdf::signal_samples(p.reader, p.status), p.status_first,
         p.status_count);
  return true;
}

mxArray* double_row(size_t n) { return mxCreateDoubleMatrix(1, static_cast<mwSize>(n), mxREAL); }

// The header of the file and of the chosen signals.  Host calls only (no
// allocation of ours between them).
mxArray* make_header(const Plan& p, const char* path) {
  const bdf::Reader& r = p.reader;
  const char* const fields[] = {"file",           "patient",      "recording",    "start",        "rate",
                                "sweeps",         "seconds",      "first_sweep",  "record_seconds", "records",
                                "header_records", "tail_bytes",   "channels",     "labels",       "units",
                                "transducers",    "prefilters",   "physical_min", "physical_max", "digital_min",
                                "digital_max",    "scale",        "offset"};
  mxArray* h = mxCreateStructMatrix(1, 1, sizeof fields / sizeof fields[0], const_cast<const char**>(fields));
  mxSetField(h, 0, "file", mxCreateString(path));
  mxSetField(h, 0, "patient", mxCreateString(r.header.patient.c_str()));
  mxSetField(h, 0, "recording", mxCreateString(r.header.recording.c_str()));
  int start[6];
  mxArray* when = double_row(bdf::parse_start(r.header, start) ? 6 : 0);
  for (size_t k = 0; k < mxGetNumberOfElements(when); ++k) mxGetPr(when)[k] = start[k];
  mxSetField(h, 0, "start", when);
  mxSetField(h, 0, "rate", mxCreateDoubleScalar(p.rate));
  mxSetField(h, 0, "sweeps", mxCreateDoubleScalar(static_cast<double>(p.total)));
  mxSetField(h, 0, "seconds", mxCreateDoubleScalar(static_cast<double>(p.total) / p.rate));
  mxSetField(h, 0, "first_sweep", mxCreateDoubleScalar(static_cast<double>(p.first + 1)));
  mxSetField(h, 0, "record_seconds", mxCreateDoubleScalar(r.header.record_seconds));
  mxSetField(h, 0, "records", mxCreateDoubleScalar(static_cast<double>(r.records)));
  mxSetField(h, 0, "header_records", mxCreateDoubleScalar(static_cast<double>(r.header.records)));
  mxSetField(h, 0, "tail_bytes",
             mxCreateDoubleScalar(static_cast<double>(r.file_bytes - r.header.header_bytes - r.records * r.record_bytes)));
  const size_t n = p.signals.size();
  const mwSize cols = static_cast<mwSize>(n);
  mxArray* channels = double_row(n);
  mxArray* texts[4] = {mxCreateCellMatrix(1, cols), mxCreateCellMatrix(1, cols), mxCreateCellMatrix(1, cols),
                       mxCreateCellMatrix(1, cols)};
  mxArray* numbers[6] = {double_row(n), double_row(n), double_row(n), double_row(n), double_row(n), double_row(n)};
  for (size_t c = 0; c < n; ++c) {
    const bdf::SignalHeader& sig = r.header.signals[p.signals[c]];
    const mwIndex k = static_cast<mwIndex>(c);
    mxGetPr(channels)[c] = p.signals[c] + 1;
    mxSetCell(texts[0], k, mxCreateString(sig.label.c_str()));
    mxSetCell(texts[1], k, mxCreateString(sig.unit.c_str()));
    mxSetCell(texts[2], k, mxCreateString(sig.transducer.c_str()));
    mxSetCell(texts[3], k, mxCreateString(sig.prefilter.c_str()));
    double scale = 1, offset = 0;
    bdf::signal_scaling(sig, scale, offset);
    const double values[6] = {sig.physical_min, sig.physical_max, static_cast<double>(sig.digital_min),
                              static_cast<double>(sig.digital_max), scale, offset};
    for (int v = 0; v < 6; ++v) mxGetPr(numbers[v])[c] = values[v];
  }
  mxSetField(h, 0, "channels", channels);
  const char* const text_fields[4] = {"labels", "units", "transducers", "prefilters"};
  for (int t = 0; t < 4; ++t) mxSetField(h, 0, text_fields[t], texts[t]);
  const char* const number_fields[6] = {"physical_min", "physical_max", "digital_min", "digital_max", "scale", "offset"};
  for (int v = 0; v < 6; ++v) mxSetField(h, 0, number_fields[v], numbers[v]);
  return h;
}

mxArray* make_events(const std::vector<bdf::Event>& events, double rate) {
  const char* const fields[] = {"sweep", "code", "seconds"};
  mxArray* e = mxCreateStructMatrix(1, 1, 3, const_cast<const char**>(fields));
  const mwSize n = static_cast<mwSize>(events.size());
  mxArray* sweep = mxCreateDoubleMatrix(n, 1, mxREAL);
  mxArray* code = mxCreateDoubleMatrix(n, 1, mxREAL);
  mxArray* seconds = mxCreateDoubleMatrix(n, 1, mxREAL);
  for (size_t k = 0; k < events.size(); ++k) {
    mxGetPr(sweep)[k] = static_cast<double>(events[k].sample + 1);
    mxGetPr(code)[k] = events[k].code;
    mxGetPr(seconds)[k] = static_cast<double>(events[k].sample) / rate;
  }
  mxSetField(e, 0, "sweep", sweep);
  mxSetField(e, 0, "code", code);
  mxSetField(e, 0, "seconds", seconds);
  return e;
}

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, IN_FIRST_OPTION, "At least one input required: %s.", USAGE);
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, USAGE);
  bdf_entry::require_file_name(DELIVERABLE, prhs[IN_FILE]);

  Failure f;
  {
    Options o;
    Plan p;
    bool planned = false;
    // Reading the options makes only host calls that never raise; an
    // allocation of ours that fails there is the one exception to catch.
    try {
      planned = read_options(nrhs, prhs, o, f);
    } catch (const std::bad_alloc&) {
      set_failure(f, "outOfMemory", "out of memory");
    }
    if (planned) bdf_entry::take_core_failure(f, host::run_core([&] { planned = make_plan(o, p, f); }));
    if (planned && !f.condition) {
      const mwSize rows = static_cast<mwSize>(p.signals.size()), cols = static_cast<mwSize>(p.count);
      mxArray* data = mxCreateUninitNumericMatrix(rows, cols, o.raw ? mxINT32_CLASS : mxDOUBLE_CLASS, mxREAL);
      pages::advise_huge(mxGetData(data), static_cast<uint64_t>(rows) * cols * (o.raw ? 4 : 8));
      std::vector<bdf::Event> events;
      bool ok = false;
      std::string error;
      bdf_entry::take_core_failure(f, host::run_core([&] {
        ok = o.raw ? bdf::read_words(p.reader, p.signals, p.first, p.count, static_cast<int32_t*>(mxGetData(data)), error)
                   : bdf::read_values(p.reader, p.signals, p.first, p.count, mxGetPr(data), error);
        if (ok && nlhs > OUT_EVENTS && p.status >= 0)
          ok = bdf::read_events(p.reader, p.status, p.status_first, p.status_count, events, error);
      }));
      if (!f.condition && !ok) set_failure(f, "cannotRead", "%s", error.c_str());
      if (f.condition) {
        mxDestroyArray(data);
      } else {
        plhs[OUT_DATA] = data;
        if (nlhs > OUT_HEADER) plhs[OUT_HEADER] = make_header(p, o.path.c_str());
        if (nlhs > OUT_EVENTS)
          plhs[OUT_EVENTS] = make_events(events, p.status >= 0 ? bdf::signal_rate(p.reader, p.status) : p.rate);
      }
    }
  }
  bdf_entry::raise(DELIVERABLE, f);
}
