// What the BDF entries share: the file name argument, and a failure kept in
// a fixed buffer so that the entry raises it only after every local that
// owns memory (a reader, option lists) is gone.  Entry files only.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "host/mexhost.h"

namespace bdf_entry {

struct Failure {
  const char* condition = nullptr;  // the identifier's second part; null while none
  char text[1024] = {0};
};

inline void set_failure(Failure& f, const char* condition, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void set_failure(Failure& f, const char* condition, const char* fmt, ...) {
  f.condition = condition;
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(f.text, sizeof f.text, fmt, ap);
  va_end(ap);
}

// An exception a core call threw, as a failure.
inline void take_core_failure(Failure& f, const host::CoreFailure& core) {
  if (core.failed) set_failure(f, core.out_of_memory ? "outOfMemory" : "internal", "%s", core.text);
}

// Raises the failure, if any.
inline void raise(const char* deliverable, const Failure& f) {
  if (f.condition) host::fail_for(deliverable, f.condition, "%s", f.text);
}

// The text of a char row (checked by the caller).
inline std::string text_of(const mxArray* a) {
  const size_t n = host::numel(a);
  std::string s(n + 1, '\0');
  mxGetString(a, &s[0], static_cast<mwSize>(n + 1));
  s.resize(std::char_traits<char>::length(s.c_str()));
  return s;
}

// Checks the file name argument: ":notText" unless a char row.
inline void require_file_name(const char* deliverable, const mxArray* a) {
  if (!host::is_char_row(a) || host::numel(a) == 0)
    host::fail_for(deliverable, "notText", "FILE must be the file's name as a char row.");
}

}  // namespace bdf_entry
