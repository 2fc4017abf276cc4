#include "bdf/format.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bdf {

namespace {

// Widths of the per-signal fields, in the order they follow each other.
enum SignalField { LABEL, TRANSDUCER, UNIT, PHYS_MIN, PHYS_MAX, DIG_MIN, DIG_MAX, PREFILTER, SAMPLES, RESERVED, FIELDS };
constexpr int SIGNAL_FIELD_WIDTH[FIELDS] = {16, 80, 8, 8, 8, 8, 8, 80, 8, 32};
const char* const SIGNAL_FIELD_NAME[FIELDS] = {"label",       "transducer",  "unit",      "physical minimum",
                                               "physical maximum", "digital minimum", "digital maximum",
                                               "prefilter",   "samples per record", "reserved"};

// Offsets of the main header's fields.
constexpr int VERSION_AT = 0, PATIENT_AT = 8, RECORDING_AT = 88, DATE_AT = 168, TIME_AT = 176, HEADER_BYTES_AT = 184,
              RESERVED_AT = 192, RECORDS_AT = 236, DURATION_AT = 244, SIGNALS_AT = 252;

// The field's text without trailing spaces (and without trailing zeros,
// which some writers leave instead of spaces).
std::string field(const unsigned char* bytes, int width) {
  int n = width;
  while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == '\0')) --n;
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
}

// The field read as a whole number, leading and trailing spaces allowed.
bool field_integer(const unsigned char* bytes, int width, int64_t& value) {
  char text[96];
  std::memcpy(text, bytes, static_cast<size_t>(width));
  text[width] = '\0';
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return false;
  while (*end == ' ') ++end;
  if (*end != '\0') return false;
  value = v;
  return true;
}

// The field read as a finite number.
bool field_number(const unsigned char* bytes, int width, double& value) {
  char text[96];
  std::memcpy(text, bytes, static_cast<size_t>(width));
  text[width] = '\0';
  // A decimal comma (some writers use the locale's) reads as a point.
  for (char* c = text; *c; ++c)
    if (*c == ',') *c = '.';
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || !std::isfinite(v)) return false;
  while (*end == ' ') ++end;
  if (*end != '\0') return false;
  value = v;
  return true;
}

// Writes text into a field of `width` bytes, padded with spaces and cut at
// the width; characters outside printable ASCII become '_'.
void put(unsigned char* at, int width, const std::string& text) {
  std::memset(at, ' ', static_cast<size_t>(width));
  const size_t n = text.size() < static_cast<size_t>(width) ? text.size() : static_cast<size_t>(width);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    at[i] = (c >= 32 && c < 127) ? c : '_';
  }
}

}  // namespace

int64_t record_bytes(const Header& h) {
  int64_t samples = 0;
  for (const SignalHeader& s : h.signals) samples += s.samples;
  return samples * SAMPLE_BYTES;
}

bool parse_main_header(const unsigned char* b, Header& h, std::string& error) {
  h = Header();
  if (b[VERSION_AT] != 0xFF || std::memcmp(b + VERSION_AT + 1, "BIOSEMI", 7) != 0) {
    error = "is not a BDF file (it does not start with byte 0xFF and \"BIOSEMI\")";
    return false;
  }
  h.patient = field(b + PATIENT_AT, 80);
  h.recording = field(b + RECORDING_AT, 80);
  h.start_date = field(b + DATE_AT, 8);
  h.start_time = field(b + TIME_AT, 8);
  h.reserved = field(b + RESERVED_AT, 44);
  int64_t signals = 0;
  if (!field_integer(b + SIGNALS_AT, 4, signals) || signals < 1 || signals > MAX_SIGNALS) {
    error = "has a bad header: the signal count \"" + field(b + SIGNALS_AT, 4) + "\" is not a number from 1 to 9999";
    return false;
  }
  if (!field_integer(b + HEADER_BYTES_AT, 8, h.header_bytes) ||
      h.header_bytes != MAIN_HEADER_BYTES + signals * SIGNAL_HEADER_BYTES) {
    error = "has a bad header: its size \"" + field(b + HEADER_BYTES_AT, 8) + "\" is not 256 bytes per signal plus 256";
    return false;
  }
  if (!field_integer(b + RECORDS_AT, 8, h.records) || h.records < -1) {
    error = "has a bad header: the data-record count \"" + field(b + RECORDS_AT, 8) + "\" is not a number";
    return false;
  }
  if (!field_number(b + DURATION_AT, 8, h.record_seconds) || !(h.record_seconds > 0)) {
    error = "has a bad header: the record duration \"" + field(b + DURATION_AT, 8) + "\" is not a positive number";
    return false;
  }
  h.signals.resize(static_cast<size_t>(signals));
  return true;
}

bool parse_signal_headers(const unsigned char* b, Header& h, std::string& error) {
  const size_t ns = h.signals.size();
  const unsigned char* at = b;
  for (int f = 0; f < FIELDS; ++f) {
    const int width = SIGNAL_FIELD_WIDTH[f];
    for (size_t s = 0; s < ns; ++s, at += width) {
      SignalHeader& sig = h.signals[s];
      bool ok = true;
      int64_t whole = 0;
      switch (f) {
        case LABEL: sig.label = field(at, width); break;
        case TRANSDUCER: sig.transducer = field(at, width); break;
        case UNIT: sig.unit = field(at, width); break;
        case PREFILTER: sig.prefilter = field(at, width); break;
        case RESERVED: sig.reserved = field(at, width); break;
        case PHYS_MIN: ok = field_number(at, width, sig.physical_min); break;
        case PHYS_MAX: ok = field_number(at, width, sig.physical_max); break;
        case DIG_MIN:
        case DIG_MAX:
          ok = field_integer(at, width, whole) && whole >= -8388608 && whole <= 8388607;
          (f == DIG_MIN ? sig.digital_min : sig.digital_max) = static_cast<int32_t>(whole);
          break;
        case SAMPLES:
          ok = field_integer(at, width, whole) && whole >= 1;
          sig.samples = static_cast<int32_t>(whole);
          break;
        default: break;
      }
      if (!ok) {
        char text[200];
        std::snprintf(text, sizeof text, "has a bad header: signal %zu's %s \"%s\" is not usable", s + 1,
                      SIGNAL_FIELD_NAME[f], field(at, width).c_str());
        error = text;
        return false;
      }
    }
  }
  return true;
}

std::vector<unsigned char> format_header(const Header& h) {
  const size_t ns = h.signals.size();
  std::vector<unsigned char> b(static_cast<size_t>(MAIN_HEADER_BYTES + SIGNAL_HEADER_BYTES * static_cast<int64_t>(ns)));
  b[0] = 0xFF;
  std::memcpy(&b[1], "BIOSEMI", 7);
  put(&b[PATIENT_AT], 80, h.patient);
  put(&b[RECORDING_AT], 80, h.recording);
  put(&b[DATE_AT], 8, h.start_date);
  put(&b[TIME_AT], 8, h.start_time);
  put(&b[HEADER_BYTES_AT], 8, std::to_string(b.size()));
  put(&b[RESERVED_AT], 44, h.reserved);
  char count[RECORD_COUNT_BYTES];
  format_record_count(h.records, count);
  std::memcpy(&b[RECORDS_AT], count, RECORD_COUNT_BYTES);
  put(&b[DURATION_AT], 8, format_number(h.record_seconds, 8));
  put(&b[SIGNALS_AT], 4, std::to_string(ns));
  unsigned char* at = &b[MAIN_HEADER_BYTES];
  for (int f = 0; f < FIELDS; ++f) {
    const int width = SIGNAL_FIELD_WIDTH[f];
    for (size_t s = 0; s < ns; ++s, at += width) {
      const SignalHeader& sig = h.signals[s];
      switch (f) {
        case LABEL: put(at, width, sig.label); break;
        case TRANSDUCER: put(at, width, sig.transducer); break;
        case UNIT: put(at, width, sig.unit); break;
        case PHYS_MIN: put(at, width, format_number(sig.physical_min, width)); break;
        case PHYS_MAX: put(at, width, format_number(sig.physical_max, width)); break;
        case DIG_MIN: put(at, width, std::to_string(sig.digital_min)); break;
        case DIG_MAX: put(at, width, std::to_string(sig.digital_max)); break;
        case PREFILTER: put(at, width, sig.prefilter); break;
        case SAMPLES: put(at, width, std::to_string(sig.samples)); break;
        case RESERVED: put(at, width, sig.reserved); break;
        default: break;
      }
    }
  }
  return b;
}

void format_record_count(int64_t records, char (&text)[RECORD_COUNT_BYTES]) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(records));
  std::memset(text, ' ', RECORD_COUNT_BYTES);
  const size_t n = std::strlen(digits);
  std::memcpy(text, digits, n < RECORD_COUNT_BYTES ? n : RECORD_COUNT_BYTES);
}

std::string format_number(double value, int width) {
  char text[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", value);
    if (static_cast<int>(std::strlen(text)) <= width) return text;
  }
  for (int digits = width; digits >= 1; --digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (static_cast<int>(std::strlen(text)) <= width) return text;
  }
  return std::string(static_cast<size_t>(width), '9');
}

std::string exact_ratio_text(int64_t numerator, int64_t denominator, int width) {
  if (numerator <= 0 || denominator <= 0) return std::string();
  std::string text = std::to_string(numerator / denominator);
  int64_t rest = numerator % denominator;
  if (rest != 0) text += '.';
  while (rest != 0 && static_cast<int>(text.size()) < width) {
    rest *= 10;
    text += static_cast<char>('0' + rest / denominator);
    rest %= denominator;
  }
  if (rest != 0 || static_cast<int>(text.size()) > width) return std::string();
  return text;
}

std::string format_date(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d", day % 100, month % 100, year % 100);
  return text;
}

std::string format_time(int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d", hour % 100, minute % 100, second % 100);
  return text;
}

bool parse_start(const Header& h, int (&start)[6]) {
  int d = 0, mo = 0, y = 0, hh = 0, mi = 0, ss = 0;
  char tail = 0;
  if (std::sscanf(h.start_date.c_str(), "%2d.%2d.%2d%c", &d, &mo, &y, &tail) != 3) return false;
  if (std::sscanf(h.start_time.c_str(), "%2d.%2d.%2d%c", &hh, &mi, &ss, &tail) != 3) return false;
  start[0] = y >= 85 ? 1900 + y : 2000 + y;
  start[1] = mo;
  start[2] = d;
  start[3] = hh;
  start[4] = mi;
  start[5] = ss;
  return true;
}

}  // namespace bdf
