// Test side of the stand-in host: load a deliverable built against the
// stand-in (build/standin/<name>.so), call its mexFunction as a real host
// does, and hand back the outputs, the error, the printed text and the
// warnings.  Also builds input arrays and sets the fault switches.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "mex.h"

namespace standin {

struct ArrayDeleter {
  void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

struct Warning {
  std::string id;
  std::string text;
};

struct Result {
  bool ok = true;                 // false when the call ended in a host error
  std::string error_id;           // identifier of the host error ("" for mexErrMsgTxt)
  std::string error_text;         // its message
  std::string printed;            // everything mexPrintf wrote during the call
  std::vector<Warning> warnings;  // in the order raised
  std::vector<Array> outputs;     // the max(nlhs, 1) slots; empty where none was stored
  // Faults of the extension itself, which no test should ever see:
  bool exception_escaped = false;  // a C++ exception left mexFunction
  bool error_swallowed = false;    // a host error was caught and the call went on
  bool wrote_past_slots = false;   // an output was stored beyond the slots provided
  bool inputs_modified = false;    // the data of an input changed
  long host_blocks_reclaimed = 0;  // mxMalloc blocks still live at the end of the call
  long arrays_reclaimed = 0;       // arrays created in the call and not returned

  const mxArray* out(size_t i) const { return i < outputs.size() ? outputs[i].get() : nullptr; }
  // True when the call ended cleanly as far as the host can tell.
  bool clean() const { return !exception_escaped && !error_swallowed && !wrote_past_slots && !inputs_modified; }
};

// Calls a deliverable.  `module` is a deliverable name (looked up in the
// stand-in module folder) or a path to a shared module.
Result call(const std::string& module, int nlhs, const std::vector<const mxArray*>& inputs);
Result call(const std::string& module, int nlhs, const std::vector<Array>& inputs);
Result call(const std::string& module, int nlhs, std::initializer_list<Array> inputs);

// Unloads every module loaded so far, as the host's "clear all" does:
// first each module's exit function (mexAtExit), then the module itself.
// The next call loads the module afresh.
void clear_modules();

// Folder of the stand-in modules (EEGMEX_STANDIN_DIR at build time, or the
// environment variable of that name).
std::string module_dir();

// Fault switches, in force until reset_faults().
void fail_nth_malloc(long n);       // the n-th host allocation (1-based) from now on returns NULL
void fail_call_host(bool on);       // mexCallMATLAB returns 1 without outputs
void call_host_answer(const mxArray* a);  // mexCallMATLAB succeeds with a copy of a (null: as usual)
void warnings_as_errors(bool on);   // a warning ends the call as an error with its identifier
void reset_faults();
long live_host_blocks();            // mxMalloc blocks currently live
long host_allocations();            // host allocations made since reset_faults()

// Array builders for tests (column-major values).
Array real(size_t m, size_t n, const std::vector<double>& values = {});
Array scalar(double value);
Array single(size_t m, size_t n, const std::vector<float>& values = {});
Array int32(size_t m, size_t n, const std::vector<int32_t>& values = {});
Array uint64(size_t m, size_t n, const std::vector<uint64_t>& values = {});
Array text(const std::string& s);
Array complex(size_t m, size_t n);
Array sparse(size_t m, size_t n, const std::vector<size_t>& rows, const std::vector<size_t>& cols,
             const std::vector<double>& values);  // triplets, sorted by column then row
Array empty_struct_array(const std::vector<std::string>& fields);  // 1x1 struct, fields empty
void set_field(mxArray* s, const std::string& name, Array value);

// Reading outputs back.
std::vector<double> doubles(const mxArray* a);
std::vector<float> singles(const mxArray* a);
std::vector<int32_t> int32s(const mxArray* a);
std::vector<uint64_t> uint64s(const mxArray* a);

}  // namespace standin
