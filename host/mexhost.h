// The host array interface as the entries use it: the host's own mex.h
// (GNU Octave's, MATLAB's or our stand-in's, chosen by the include path),
// plus the few checks and the one way of raising an error that every entry
// shares.  Only entry files include this header; the subsystem cores never
// see the host.
#pragma once

#include <mex.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#if defined(_WIN32)
#define EEGMEX_EXPORT __declspec(dllexport)
#else
#define EEGMEX_EXPORT __attribute__((visibility("default")))
#endif

#if defined(EEGMEX_HOST_OCTAVE)
// Octave has no mxGetNChars: copy the characters with mxGetString, which
// stops at buflen - 1 characters and terminates the text.
inline void mxGetNChars(const mxArray* a, char* buf, mwSize buflen) { mxGetString(a, buf, buflen); }
#endif

namespace host {

// Raises a host error with an identifier "<deliverable>:<condition>".  The
// call ends here; the caller must not own memory the host will not reclaim.
[[noreturn]] inline void fail(const char* id, const char* fmt, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  mexErrMsgIdAndTxt(id, "%s", text);
  std::abort();  // not reached: the host does not return from an error
}

// Raises a host error with the identifier "<deliverable>:<condition>".
template <class... Args>
[[noreturn]] void fail_for(const char* deliverable, const char* condition, const char* fmt, Args... args) {
  char id[128];
  std::snprintf(id, sizeof id, "%s:%s", deliverable, condition);
  fail(id, fmt, args...);
}

// Raises a host error with a fixed message and no identifier.
[[noreturn]] inline void fail_text(const char* text) {
  mexErrMsgTxt(text);
  std::abort();
}

inline bool is_real_double(const mxArray* a) { return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a); }
inline bool is_real_single(const mxArray* a) { return mxIsSingle(a) && !mxIsComplex(a) && !mxIsSparse(a); }
inline bool is_real_int32(const mxArray* a) { return mxGetClassID(a) == mxINT32_CLASS && !mxIsComplex(a); }
inline bool is_real_uint64(const mxArray* a) { return mxGetClassID(a) == mxUINT64_CLASS && !mxIsComplex(a); }
inline bool is_char_row(const mxArray* a) { return mxIsChar(a) && mxGetM(a) == 1; }
inline size_t rows(const mxArray* a) { return static_cast<size_t>(mxGetM(a)); }
inline size_t cols(const mxArray* a) { return static_cast<size_t>(mxGetN(a)); }
inline size_t numel(const mxArray* a) { return static_cast<size_t>(mxGetNumberOfElements(a)); }

// Largest size the cores handle: their dimensions and loop counters are
// signed 32-bit.
constexpr size_t kMaxDim = 2147483647u;

// What a core call left behind when it threw: a fixed buffer, so that the
// entry can raise the error after every local that owns memory is gone.
struct CoreFailure {
  bool failed = false;
  bool out_of_memory = false;
  char text[512] = {0};
};

// Runs plain C++ (never host calls) and turns any exception it throws into a
// CoreFailure, so that no exception leaves mexFunction.  Host calls stay
// outside: the host's own error is an exception too and must reach the host.
template <class Body>
CoreFailure run_core(Body&& body) noexcept {
  CoreFailure f;
  try {
    body();
  } catch (const std::bad_alloc&) {
    f.failed = true;
    f.out_of_memory = true;
    std::snprintf(f.text, sizeof f.text, "out of memory");
  } catch (const std::exception& e) {
    f.failed = true;
    std::snprintf(f.text, sizeof f.text, "%s", e.what());
  } catch (...) {
    f.failed = true;
    std::snprintf(f.text, sizeof f.text, "internal error");
  }
  return f;
}

}  // namespace host
