// The host array interface as the entries use it: the host's own mex.h
// (GNU Octave's, MATLAB's or our stand-in's, chosen by the include path),
// plus the few checks and the one way of raising an error that every entry
// shares.  Only entry files include this header; the subsystem cores never
// see the host.
#pragma once

#include <mex.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#if defined(_WIN32)
#define EEGMEX_EXPORT __declspec(dllexport)
#else
#define EEGMEX_EXPORT __attribute__((visibility("default")))
#endif

// Octave's mex.h defines HAVE_OCTAVE, so every way of building for Octave
// (CMake, mkoctfile --mex, Octave's own mex) gets this without a flag.
#if defined(HAVE_OCTAVE)
// Octave has no mxGetNChars: copy the characters with mxGetString, which
// stops at buflen - 1 characters and terminates the text.
inline void mxGetNChars(const mxArray* a, char* buf, mwSize buflen) { mxGetString(a, buf, buflen); }
#endif

#if defined(__MINGW32__)
// MinGW's C++ runtime formats with its own C99 printf (%zu included), not
// with the system's: check the formats against that one.
#define EEGMEX_PRINTF(fmt_pos, args_pos) __attribute__((format(gnu_printf, fmt_pos, args_pos)))
#elif defined(__GNUC__) || defined(__clang__)
#define EEGMEX_PRINTF(fmt_pos, args_pos) __attribute__((format(printf, fmt_pos, args_pos)))
#else
#define EEGMEX_PRINTF(fmt_pos, args_pos)
#endif

namespace host {

// Raises a host error with an identifier "<deliverable>:<condition>".  The
// call ends here; the caller must not own memory the host will not reclaim.
[[noreturn]] inline void vfail(const char* id, const char* fmt, va_list ap) {
  char text[1024];
  std::vsnprintf(text, sizeof text, fmt, ap);
  mexErrMsgIdAndTxt(id, "%s", text);
  std::abort();  // not reached: the host does not return from an error
}

[[noreturn]] inline void fail(const char* id, const char* fmt, ...) EEGMEX_PRINTF(2, 3);
[[noreturn]] inline void fail(const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfail(id, fmt, ap);
}

// Raises a host error with the identifier "<deliverable>:<condition>".
[[noreturn]] inline void fail_for(const char* deliverable, const char* condition, const char* fmt, ...)
    EEGMEX_PRINTF(3, 4);
[[noreturn]] inline void fail_for(const char* deliverable, const char* condition, const char* fmt, ...) {
  char id[128];
  std::snprintf(id, sizeof id, "%s:%s", deliverable, condition);
  va_list ap;
  va_start(ap, fmt);
  vfail(id, fmt, ap);
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
constexpr size_t MAX_DIM = 2147483647u;

// ---------------------------------------------------------------------------
// The argument vocabulary of the entries.  Each check raises
// "<deliverable>:<condition>" with the caller's message when the input does
// not pass, and returns otherwise.

[[noreturn]] inline void vfail_for(const char* deliverable, const char* condition, const char* fmt, va_list ap) {
  char id[128];
  std::snprintf(id, sizeof id, "%s:%s", deliverable, condition);
  vfail(id, fmt, ap);
}

// ":notDouble" unless a is a real, full double array.
inline void require_real_double(const char* deliverable, const mxArray* a, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void require_real_double(const char* deliverable, const mxArray* a, const char* fmt, ...) {
  if (is_real_double(a)) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "notDouble", fmt, ap);
}

// ":notSingle" unless a is a real, full single array.
inline void require_real_single(const char* deliverable, const mxArray* a, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void require_real_single(const char* deliverable, const mxArray* a, const char* fmt, ...) {
  if (is_real_single(a)) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "notSingle", fmt, ap);
}

// ":notInt32" unless a is a real int32 array.
inline void require_int32(const char* deliverable, const mxArray* a, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void require_int32(const char* deliverable, const mxArray* a, const char* fmt, ...) {
  if (is_real_int32(a)) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "notInt32", fmt, ap);
}

// ":notUint64" unless a is a real uint64 array.
inline void require_uint64(const char* deliverable, const mxArray* a, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void require_uint64(const char* deliverable, const mxArray* a, const char* fmt, ...) {
  if (is_real_uint64(a)) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "notUint64", fmt, ap);
}

// ":tooLarge" when a has more rows or columns than the cores can count.
inline void require_max_dim(const char* deliverable, const mxArray* a, const char* fmt, ...) EEGMEX_PRINTF(3, 4);
inline void require_max_dim(const char* deliverable, const mxArray* a, const char* fmt, ...) {
  if (rows(a) <= MAX_DIM && cols(a) <= MAX_DIM) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "tooLarge", fmt, ap);
}

// ":nargin" when fewer than `least` inputs were given.
inline void require_nargin(const char* deliverable, int nrhs, int least, const char* fmt, ...) EEGMEX_PRINTF(4, 5);
inline void require_nargin(const char* deliverable, int nrhs, int least, const char* fmt, ...) {
  if (nrhs >= least) return;
  va_list ap;
  va_start(ap, fmt);
  vfail_for(deliverable, "nargin", fmt, ap);
}

// ":nargout" when more than `most` outputs were requested; `usage` is the
// calling syntax.
inline void require_nargout(const char* deliverable, int nlhs, int most, const char* usage) {
  if (nlhs > most)
    fail_for(deliverable, "nargout", "At most %d output%s: %s.", most, most == 1 ? "" : "s", usage);
}

// The first element of a numeric array, read by the width of T: the caller
// has checked the class.
template <class T>
T first_of(const mxArray* a) {
  return *static_cast<const T*>(mxGetData(a));
}

template <class T>
struct class_of;
template <>
struct class_of<double> {
  static constexpr mxClassID id = mxDOUBLE_CLASS;
};
template <>
struct class_of<float> {
  static constexpr mxClassID id = mxSINGLE_CLASS;
};
template <>
struct class_of<int32_t> {
  static constexpr mxClassID id = mxINT32_CLASS;
};
template <>
struct class_of<uint64_t> {
  static constexpr mxClassID id = mxUINT64_CLASS;
};

// A new 1 x 1 array of T's class holding the value.
template <class T>
mxArray* scalar_out(T value) {
  mxArray* a = mxCreateNumericMatrix(1, 1, class_of<T>::id, mxREAL);
  *static_cast<T*>(mxGetData(a)) = value;
  return a;
}

// A new rows x n int32 matrix of zeros.
inline mxArray* int32_matrix(size_t rows, size_t n) {
  const mwSize dims[2] = {static_cast<mwSize>(rows), static_cast<mwSize>(n)};
  return mxCreateNumericArray(2, dims, mxINT32_CLASS, mxREAL);
}

// Replaces a rows x n int32 matrix by its last `keep` columns (0 x 0 when
// none is kept): a new matrix is made, then `data` is destroyed.
inline mxArray* keep_last_int32_columns(mxArray* data, size_t rows, size_t keep) {
  const size_t n = cols(data);
  if (keep > n) keep = n;
  mxArray* newer = int32_matrix(keep > 0 ? rows : 0, keep);
  if (keep > 0)
    std::memcpy(mxGetData(newer), static_cast<const int32_t*>(mxGetData(data)) + (n - keep) * rows,
                keep * rows * sizeof(int32_t));
  mxDestroyArray(data);
  return newer;
}

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
