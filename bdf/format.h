// The BDF header: 24-bit EDF.  Plain C++; no host header.
//
// A file is a main header of 256 bytes, 256 bytes per signal, then data
// records.  Every header field is ASCII, left-justified and padded with
// spaces:
//   main header  version 8 (byte 0 is 0xFF, then "BIOSEMI"), patient 80,
//                recording 80, start date 8 ("dd.mm.yy"), start time 8
//                ("hh.mm.ss"), header bytes 8, reserved 44 ("24BIT"), data
//                records 8 (-1 while unknown), record duration 8 (seconds),
//                signal count 4
//   per signal   field by field for all signals in turn: label 16,
//                transducer 80, unit 8, physical min 8, physical max 8,
//                digital min 8, digital max 8, prefilter 80, samples per
//                record 8, reserved 32
// A data record holds, signal after signal, that signal's samples of the
// record's span: 3 bytes each, little-endian two's complement.  The physical
// value of a digital sample d is pmin + (d - dmin) * (pmax - pmin) /
// (dmax - dmin).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bdf {

constexpr int64_t MAIN_HEADER_BYTES = 256;
constexpr int64_t SIGNAL_HEADER_BYTES = 256;
constexpr int64_t SAMPLE_BYTES = 3;
// Byte offset of the data-record count in the main header, and its width.
constexpr int64_t RECORD_COUNT_OFFSET = 236;
constexpr int RECORD_COUNT_BYTES = 8;
// Byte offset of the record duration in the main header (8 characters).
constexpr int64_t RECORD_DURATION_OFFSET = 244;
// The signal count has 4 characters.
constexpr int32_t MAX_SIGNALS = 9999;

struct SignalHeader {
  std::string label, transducer, unit, prefilter, reserved;  // trailing spaces removed
  double physical_min = 0, physical_max = 0;
  int32_t digital_min = 0, digital_max = 0;
  int32_t samples = 0;  // per data record
};

struct Header {
  std::string patient, recording, start_date, start_time, reserved;  // trailing spaces removed
  int64_t header_bytes = 0;
  int64_t records = -1;          // the count the header declares (-1: unknown)
  double record_seconds = 0;     // duration of a data record
  std::vector<SignalHeader> signals;
};

// Bytes of one data record.
int64_t record_bytes(const Header& h);

// Parses the 256 bytes of the main header: the version, the numbers, and
// the signal count.  False with a message on anything that is not a BDF
// main header.
bool parse_main_header(const unsigned char* bytes, Header& h, std::string& error);

// Parses the signal headers (256 bytes per signal, h.signals.size() signals
// as parse_main_header sized them).  False with a message naming the signal
// and the field on a value that no reader could use.
bool parse_signal_headers(const unsigned char* bytes, Header& h, std::string& error);

// The whole header (main and signals) as bytes.  Fields longer than their
// width are cut; the caller checks the lengths first.
std::vector<unsigned char> format_header(const Header& h);

// The text of a data-record count in its 8 characters.
void format_record_count(int64_t records, char (&text)[RECORD_COUNT_BYTES]);

// A number in at most `width` characters: integers as they are, other
// values with as many significant digits as fit.
std::string format_number(double value, int width);

// The decimal text of numerator / denominator (both > 0) when it is exact in
// at most `width` characters ("1", "0.25"), else empty.
std::string exact_ratio_text(int64_t numerator, int64_t denominator, int width);

// The date and time fields of a start.
std::string format_date(int year, int month, int day);
std::string format_time(int hour, int minute, int second);

// The start of a header's date and time fields as {year, month, day, hour,
// minute, second}; the years 85 to 99 are 1985 to 1999, the rest 2000 on.
// False when the fields do not read as a date and time.
bool parse_start(const Header& h, int (&start)[6]);

}  // namespace bdf
