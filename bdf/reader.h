// Reading a BDF file, ours or not, including one cut by a crash, and
// repairing a cut one for strict readers.  Plain C++; no host header, no
// exceptions across this interface.
//
// Which records count.  The header's record count is taken when it is 0 or
// more and the file holds that many whole records; otherwise (-1 while
// unknown, or a count beyond the data, as a crash or a power loss leaves
// it) every whole record the file holds counts.  Bytes after the last record
// that counts (a record cut by the crash) are ignored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bdf/format.h"

namespace bdf {

struct Reader {
  Header header;
  std::string path;
  std::FILE* file = nullptr;
  int64_t file_bytes = 0;
  int64_t record_bytes = 0;
  int64_t records_present = 0;  // whole records in the file
  int64_t records = 0;          // the records that count (above)
  std::vector<int64_t> signal_offset;  // byte offset of each signal's samples in a record
  std::vector<unsigned char> buffer;   // the bytes of the records being read
  std::vector<const unsigned char*> rows;  // where each signal read starts in `buffer`

  Reader() = default;
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  ~Reader();
};

// Opens the file and reads its header.  False with a message naming the
// file on a file that cannot be read or is not BDF.
bool reader_open(Reader& r, const std::string& path, std::string& error);
void reader_close(Reader& r);

// Samples per second of a signal.
double signal_rate(const Reader& r, int32_t signal);
// Samples of a signal in the records that count.
int64_t signal_samples(const Reader& r, int32_t signal);
// The index of the signal with this label (trailing spaces ignored), or -1.
int32_t find_signal(const Reader& r, const std::string& label);

// Reads samples first .. first+count-1 of the given signals, which all have
// the same number of samples per record, into out column by column
// (out[t * signals.size() + c]).  Words: each sample in the upper three
// bytes of an int32, low byte 0.  Values: d * scale + offset for a digital
// sample d, where scale = (pmax - pmin) / (dmax - dmin) and offset = pmin -
// dmin * scale (exactly d when the physical range is the digital one).  The
// caller keeps first + count within signal_samples.  Allocates nothing once
// `buffer` holds a record and `rows` a pointer per signal.
bool read_words(Reader& r, const std::vector<int32_t>& signals, int64_t first, int64_t count, int32_t* out,
                std::string& error);
bool read_values(Reader& r, const std::vector<int32_t>& signals, int64_t first, int64_t count, double* out,
                 std::string& error);

// The physical value of a digital sample of a signal: d * scale + offset.
void signal_scaling(const SignalHeader& s, double& scale, double& offset);

struct Event {
  int64_t sample;  // 0-based: the file's first sample of the signal is 0
  uint32_t code;   // the trigger value, bits 0-15 of the status value
};

// The trigger onsets among samples first .. first+count-1 of a status
// signal: samples whose trigger value (bits 0 to 15) is not 0 and differs
// from the sample before.  The file's first sample is an onset when its
// trigger value is not 0.
bool read_events(Reader& r, int32_t signal, int64_t first, int64_t count, std::vector<Event>& events,
                 std::string& error);

struct RepairReport {
  int64_t declared = 0;       // the count the header held
  int64_t records = 0;        // the count it holds now
  int64_t dropped_bytes = 0;  // bytes cut from the end
};

// Makes a cut file whole for strict readers: drops the bytes after the last
// record that counts (a partial record) and writes that record count into
// the header.  A file that was whole is left as it was.
bool repair_file(const std::string& path, RepairReport& report, std::string& error);

}  // namespace bdf
