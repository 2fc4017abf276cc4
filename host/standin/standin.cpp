// Stand-in host: arrays, host memory, messages and the call of an
// extension's mexFunction, as the real host's array and extension libraries
// provide them.  Single-threaded, like the host's own API: an extension may
// call it only from the thread that entered mexFunction.
#include "standin.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "host/dynlib.h"

struct mxArray_tag {
  mxClassID cls = mxDOUBLE_CLASS;
  bool is_complex = false;
  bool is_sparse = false;
  std::vector<mwSize> dims{0, 0};
  void* re = nullptr;
  void* im = nullptr;
  mwIndex* ir = nullptr;
  mwIndex* jc = nullptr;
  mwSize nzmax = 0;
  std::vector<std::string> fields;  // struct field names
  std::vector<mxArray*> items;      // struct: numel × fields (element-major); cell: numel
};

namespace {

// The host error that ends a call.  Like the real host's, it is a standard
// exception, so an extension that wraps host calls in a catch of
// std::exception would intercept it; the call records that as a fault.
struct HostError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct CallState {
  bool active = false;
  std::string module;
  std::string path;  // of the module called
  std::string printed;
  std::vector<standin::Warning> warnings;
  int raise_count = 0;
  std::string error_id;
  std::string error_text;
};

CallState g_call;
std::unordered_set<mxArray*> g_created;           // arrays made during the call, not yet owned
std::unordered_map<void*, size_t> g_blocks;       // live host memory blocks
long g_fail_at = 0;                                // fail the n-th host allocation (0: never)
long g_alloc_count = 0;
bool g_fail_call = false;
mxArray* g_call_answer = nullptr;                  // what mexCallMATLAB hands back instead
bool g_warnings_raise = false;

size_t element_size(mxClassID cls) {
  switch (cls) {
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxINT16_CLASS: case mxUINT16_CLASS: case mxCHAR_CLASS: return 2;
    case mxINT8_CLASS: case mxUINT8_CLASS: case mxLOGICAL_CLASS: return 1;
    case mxSTRUCT_CLASS: case mxCELL_CLASS: return sizeof(mxArray*);
    default: return 0;
  }
}

size_t numel(const mxArray* a) {
  size_t n = 1;
  for (mwSize d : a->dims) n *= d;
  return n;
}

mxArray* track(mxArray* a) {
  if (g_call.active) g_created.insert(a);
  return a;
}

void* zeroed(size_t count, size_t size) {
  void* p = std::calloc(count ? count : 1, size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

mxArray* make_numeric(std::vector<mwSize> dims, mxClassID cls, mxComplexity flag) {
  auto* a = new mxArray;
  a->cls = cls;
  while (dims.size() < 2) dims.push_back(1);
  a->dims = dims;
  a->is_complex = flag == mxCOMPLEX;
  a->re = zeroed(numel(a), element_size(cls));
  if (a->is_complex) a->im = zeroed(numel(a), element_size(cls));
  return track(a);
}

[[noreturn]] void raise(const char* id, const std::string& text) {
  ++g_call.raise_count;
  g_call.error_id = id ? id : "";
  g_call.error_text = text;
  throw HostError(text);
}

std::string vformat(const char* fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(&s[0], s.size(), fmt, ap);
  s.resize(static_cast<size_t>(n));
  return s;
}

void* host_alloc(size_t n, bool zero) {
  ++g_alloc_count;
  if (g_fail_at > 0 && g_alloc_count == g_fail_at) return nullptr;
  void* p = zero ? std::calloc(n ? n : 1, 1) : std::malloc(n ? n : 1);
  if (p) g_blocks[p] = n;
  return p;
}

bool same_array(const mxArray* a, const mxArray* b) {
  if (!a || !b) return a == b;
  if (a->cls != b->cls || a->dims != b->dims || a->is_sparse != b->is_sparse ||
      a->is_complex != b->is_complex || a->fields != b->fields || a->items.size() != b->items.size())
    return false;
  for (size_t i = 0; i < a->items.size(); ++i)
    if (!same_array(a->items[i], b->items[i])) return false;
  size_t es = element_size(a->cls);
  if (a->is_sparse) {
    size_t cols = a->dims[1];
    if (std::memcmp(a->jc, b->jc, (cols + 1) * sizeof(mwIndex)) != 0) return false;
    size_t nnz = a->jc[cols];
    return std::memcmp(a->ir, b->ir, nnz * sizeof(mwIndex)) == 0 &&
           std::memcmp(a->re, b->re, nnz * es) == 0 &&
           (!a->is_complex || std::memcmp(a->im, b->im, nnz * es) == 0);
  }
  if (a->cls == mxSTRUCT_CLASS || a->cls == mxCELL_CLASS) return true;
  return std::memcmp(a->re, b->re, numel(a) * es) == 0 &&
         (!a->is_complex || std::memcmp(a->im, b->im, numel(a) * es) == 0);
}

mxArray* transpose(const mxArray* a) {
  size_t m = a->dims[0], n = numel(a) / (m ? m : 1);
  if (m == 0) n = a->dims.size() > 1 ? a->dims[1] : 0;
  if (a->is_sparse) {
    mxArray* t = mxCreateSparse(n, m, a->jc[n] ? a->jc[n] : 1, a->is_complex ? mxCOMPLEX : mxREAL);
    size_t nnz = a->jc[n];
    std::vector<size_t> count(m + 1, 0);
    for (size_t k = 0; k < nnz; ++k) ++count[a->ir[k] + 1];
    for (size_t i = 0; i < m; ++i) count[i + 1] += count[i];
    for (size_t i = 0; i <= m; ++i) t->jc[i] = count[i];
    const double* src = static_cast<const double*>(a->re);
    double* dst = static_cast<double*>(t->re);
    for (size_t j = 0; j < n; ++j)
      for (size_t k = a->jc[j]; k < a->jc[j + 1]; ++k) {
        size_t slot = count[a->ir[k]]++;
        t->ir[slot] = j;
        dst[slot] = src[k];
        if (a->is_complex) static_cast<double*>(t->im)[slot] = static_cast<const double*>(a->im)[k];
      }
    return t;
  }
  if (a->cls == mxSTRUCT_CLASS || a->cls == mxCELL_CLASS || a->dims.size() > 2)
    raise("standin:transpose", "transpose: unsupported argument");
  mxArray* t = make_numeric({n, m}, a->cls, a->is_complex ? mxCOMPLEX : mxREAL);
  size_t es = element_size(a->cls);
  for (size_t i = 0; i < m; ++i)
    for (size_t j = 0; j < n; ++j) {
      std::memcpy(static_cast<char*>(t->re) + (j + i * n) * es, static_cast<char*>(a->re) + (i + j * m) * es, es);
      if (a->is_complex)
        std::memcpy(static_cast<char*>(t->im) + (j + i * n) * es, static_cast<char*>(a->im) + (i + j * m) * es, es);
    }
  return t;
}

using MexFunction = void (*)(int, mxArray**, int, const mxArray**);

// Modules are built with the platform's shared-library suffix.
#if defined(_WIN32)
const char* const MODULE_SUFFIX = ".dll";
#else
const char* const MODULE_SUFFIX = ".so";
#endif

// Why the last load failed, where the platform says.
std::string load_error() {
#if defined(_WIN32)
  return "";
#else
  const char* e = dlerror();
  return e ? std::string(": ") + e : "";
#endif
}

struct Module {
  void* handle = nullptr;
  MexFunction fn = nullptr;
  void (*at_exit)() = nullptr;  // registered with mexAtExit
};

std::map<std::string, Module>& loaded_modules() {
  static std::map<std::string, Module> loaded;
  return loaded;
}

std::string module_path(const std::string& module) {
  const bool is_path = module.find_first_of("/\\") != std::string::npos;
  return is_path ? module : standin::module_dir() + "/" + module + MODULE_SUFFIX;
}

MexFunction load(const std::string& path) {
  auto it = loaded_modules().find(path);
  if (it != loaded_modules().end()) return it->second.fn;
  void* handle = acquisition::load_library(path.c_str());
  if (!handle) throw std::runtime_error(std::string("stand-in host: cannot load ") + path + load_error());
  auto fn = reinterpret_cast<MexFunction>(acquisition::find_export(handle, "mexFunction"));
  if (!fn) throw std::runtime_error("stand-in host: no exported mexFunction in " + path);
  loaded_modules()[path] = Module{handle, fn, nullptr};
  return fn;
}

}  // namespace

extern "C" {

mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag) {
  return make_numeric({m, n}, mxDOUBLE_CLASS, flag);
}

mxArray* mxCreateDoubleScalar(double value) {
  mxArray* a = make_numeric({1, 1}, mxDOUBLE_CLASS, mxREAL);
  *static_cast<double*>(a->re) = value;
  return a;
}

mxArray* mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag) {
  return make_numeric({m, n}, cls, flag);
}

// The data are left unset by contract; here they hold a recognizable junk
// pattern, so that a test sees any element the extension forgot to write.
mxArray* mxCreateUninitNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag) {
  mxArray* a = make_numeric({m, n}, cls, flag);
  std::memset(a->re, 0xA5, numel(a) * element_size(cls));
  if (a->is_complex) std::memset(a->im, 0xA5, numel(a) * element_size(cls));
  return a;
}

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID cls, mxComplexity flag) {
  return make_numeric(std::vector<mwSize>(dims, dims + ndim), cls, flag);
}

mxArray* mxCreateLogicalMatrix(mwSize m, mwSize n) { return make_numeric({m, n}, mxLOGICAL_CLASS, mxREAL); }

mxArray* mxCreateLogicalScalar(bool value) {
  mxArray* a = make_numeric({1, 1}, mxLOGICAL_CLASS, mxREAL);
  *static_cast<mxLogical*>(mxGetData(a)) = value;
  return a;
}

mxArray* mxCreateCharArray(mwSize ndim, const mwSize* dims) {
  return make_numeric(std::vector<mwSize>(dims, dims + ndim), mxCHAR_CLASS, mxREAL);
}

mxArray* mxCreateString(const char* text) {
  size_t len = text ? std::strlen(text) : 0;
  mxArray* a = make_numeric({len ? 1u : 0u, len}, mxCHAR_CLASS, mxREAL);
  for (size_t i = 0; i < len; ++i) static_cast<mxChar*>(a->re)[i] = static_cast<unsigned char>(text[i]);
  return a;
}

mxArray* mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char** names) {
  auto* a = new mxArray;
  a->cls = mxSTRUCT_CLASS;
  a->dims = {m, n};
  for (int f = 0; f < nfields; ++f) a->fields.emplace_back(names[f]);
  a->items.assign(m * n * static_cast<size_t>(nfields), nullptr);
  return track(a);
}

mxArray* mxCreateCellMatrix(mwSize m, mwSize n) {
  auto* a = new mxArray;
  a->cls = mxCELL_CLASS;
  a->dims = {m, n};
  a->items.assign(m * n, nullptr);
  return track(a);
}

mxArray* mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag) {
  auto* a = new mxArray;
  a->cls = mxDOUBLE_CLASS;
  a->is_sparse = true;
  a->is_complex = flag == mxCOMPLEX;
  a->dims = {m, n};
  a->nzmax = nzmax ? nzmax : 1;
  a->re = zeroed(a->nzmax, sizeof(double));
  if (a->is_complex) a->im = zeroed(a->nzmax, sizeof(double));
  a->ir = static_cast<mwIndex*>(zeroed(a->nzmax, sizeof(mwIndex)));
  a->jc = static_cast<mwIndex*>(zeroed(n + 1, sizeof(mwIndex)));
  return track(a);
}

mxArray* mxDuplicateArray(const mxArray* src) {
  if (!src) return nullptr;
  auto* a = new mxArray(*src);
  size_t es = element_size(src->cls);
  size_t count = src->is_sparse ? src->nzmax : numel(src);
  a->re = a->im = nullptr;
  a->ir = a->jc = nullptr;
  if (src->re) {
    a->re = zeroed(count, es);
    std::memcpy(a->re, src->re, count * es);
  }
  if (src->im) {
    a->im = zeroed(count, es);
    std::memcpy(a->im, src->im, count * es);
  }
  if (src->is_sparse) {
    a->ir = static_cast<mwIndex*>(zeroed(src->nzmax, sizeof(mwIndex)));
    std::memcpy(a->ir, src->ir, src->nzmax * sizeof(mwIndex));
    a->jc = static_cast<mwIndex*>(zeroed(src->dims[1] + 1, sizeof(mwIndex)));
    std::memcpy(a->jc, src->jc, (src->dims[1] + 1) * sizeof(mwIndex));
  }
  bool was_active = g_call.active;
  g_call.active = false;  // children belong to the copy
  for (auto& item : a->items) item = mxDuplicateArray(item);
  g_call.active = was_active;
  return track(a);
}

void mxDestroyArray(mxArray* a) {
  if (!a) return;
  for (mxArray* item : a->items) mxDestroyArray(item);
  std::free(a->re);
  std::free(a->im);
  std::free(a->ir);
  std::free(a->jc);
  g_created.erase(a);
  delete a;
}

double* mxGetPr(const mxArray* a) { return static_cast<double*>(a->re); }
double* mxGetPi(const mxArray* a) { return static_cast<double*>(a->im); }
void* mxGetData(const mxArray* a) { return a->re; }
void* mxGetImagData(const mxArray* a) { return a->im; }
mxChar* mxGetChars(const mxArray* a) { return a->cls == mxCHAR_CLASS ? static_cast<mxChar*>(a->re) : nullptr; }
mxLogical* mxGetLogicals(const mxArray* a) {
  return a->cls == mxLOGICAL_CLASS ? static_cast<mxLogical*>(a->re) : nullptr;
}
size_t mxGetM(const mxArray* a) { return a->dims[0]; }
size_t mxGetN(const mxArray* a) {
  size_t n = 1;
  for (size_t k = 1; k < a->dims.size(); ++k) n *= a->dims[k];
  return n;
}
size_t mxGetNumberOfElements(const mxArray* a) { return numel(a); }
mwSize mxGetNumberOfDimensions(const mxArray* a) { return a->dims.size(); }
const mwSize* mxGetDimensions(const mxArray* a) { return a->dims.data(); }
size_t mxGetElementSize(const mxArray* a) { return element_size(a->cls); }

double mxGetScalar(const mxArray* a) {
  if (!a->re || (a->is_sparse ? a->jc[a->dims[1]] == 0 : numel(a) == 0)) return 0.0;
  switch (a->cls) {
    case mxDOUBLE_CLASS: return *static_cast<double*>(a->re);
    case mxSINGLE_CLASS: return *static_cast<float*>(a->re);
    case mxINT8_CLASS: return *static_cast<int8_t*>(a->re);
    case mxUINT8_CLASS: return *static_cast<uint8_t*>(a->re);
    case mxINT16_CLASS: return *static_cast<int16_t*>(a->re);
    case mxUINT16_CLASS: case mxCHAR_CLASS: return *static_cast<uint16_t*>(a->re);
    case mxINT32_CLASS: return *static_cast<int32_t*>(a->re);
    case mxUINT32_CLASS: return *static_cast<uint32_t*>(a->re);
    case mxINT64_CLASS: return static_cast<double>(*static_cast<int64_t*>(a->re));
    case mxUINT64_CLASS: return static_cast<double>(*static_cast<uint64_t*>(a->re));
    case mxLOGICAL_CLASS: return *static_cast<bool*>(a->re) ? 1.0 : 0.0;
    default: return 0.0;
  }
}

mxClassID mxGetClassID(const mxArray* a) { return a->cls; }

const char* mxGetClassName(const mxArray* a) {
  switch (a->cls) {
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxLOGICAL_CLASS: return "logical";
    case mxCHAR_CLASS: return "char";
    case mxDOUBLE_CLASS: return "double";
    case mxSINGLE_CLASS: return "single";
    case mxINT8_CLASS: return "int8";
    case mxUINT8_CLASS: return "uint8";
    case mxINT16_CLASS: return "int16";
    case mxUINT16_CLASS: return "uint16";
    case mxINT32_CLASS: return "int32";
    case mxUINT32_CLASS: return "uint32";
    case mxINT64_CLASS: return "int64";
    case mxUINT64_CLASS: return "uint64";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
  }
}

mwIndex* mxGetIr(const mxArray* a) { return a->ir; }
mwIndex* mxGetJc(const mxArray* a) { return a->jc; }
mwSize mxGetNzmax(const mxArray* a) { return a->nzmax; }

bool mxIsChar(const mxArray* a) { return a->cls == mxCHAR_CLASS; }
bool mxIsStruct(const mxArray* a) { return a->cls == mxSTRUCT_CLASS; }
bool mxIsCell(const mxArray* a) { return a->cls == mxCELL_CLASS; }
bool mxIsDouble(const mxArray* a) { return a->cls == mxDOUBLE_CLASS; }
bool mxIsSingle(const mxArray* a) { return a->cls == mxSINGLE_CLASS; }
bool mxIsInt32(const mxArray* a) { return a->cls == mxINT32_CLASS; }
bool mxIsUint64(const mxArray* a) { return a->cls == mxUINT64_CLASS; }
bool mxIsLogical(const mxArray* a) { return a->cls == mxLOGICAL_CLASS; }
bool mxIsNumeric(const mxArray* a) { return a->cls >= mxDOUBLE_CLASS && a->cls <= mxUINT64_CLASS; }
bool mxIsSparse(const mxArray* a) { return a->is_sparse; }
bool mxIsComplex(const mxArray* a) { return a->is_complex; }
bool mxIsEmpty(const mxArray* a) { return numel(a) == 0; }

int mxGetString(const mxArray* a, char* buf, mwSize buflen) {
  if (a->cls != mxCHAR_CLASS || buflen == 0) return 1;
  size_t n = numel(a), copied = n < buflen - 1 ? n : buflen - 1;
  for (size_t i = 0; i < copied; ++i) buf[i] = static_cast<char>(static_cast<mxChar*>(a->re)[i]);
  buf[copied] = '\0';
  return copied == n ? 0 : 1;
}

void mxGetNChars(const mxArray* a, char* buf, mwSize buflen) { mxGetString(a, buf, buflen); }

char* mxArrayToString(const mxArray* a) {
  if (a->cls != mxCHAR_CLASS) return nullptr;
  size_t n = numel(a);
  char* s = static_cast<char*>(mxCalloc(n + 1, 1));
  if (s) mxGetString(a, s, n + 1);
  return s;
}

mxArray* mxGetFieldByNumber(const mxArray* a, mwIndex index, int field) {
  if (a->cls != mxSTRUCT_CLASS || field < 0 || static_cast<size_t>(field) >= a->fields.size() || index >= numel(a))
    return nullptr;
  return a->items[index * a->fields.size() + static_cast<size_t>(field)];
}

int mxGetFieldNumber(const mxArray* a, const char* name) {
  if (a->cls != mxSTRUCT_CLASS) return -1;
  for (size_t f = 0; f < a->fields.size(); ++f)
    if (a->fields[f] == name) return static_cast<int>(f);
  return -1;
}

mxArray* mxGetField(const mxArray* a, mwIndex index, const char* name) {
  int f = mxGetFieldNumber(a, name);
  return f < 0 ? nullptr : mxGetFieldByNumber(a, index, f);
}

int mxGetNumberOfFields(const mxArray* a) { return static_cast<int>(a->fields.size()); }

const char* mxGetFieldNameByNumber(const mxArray* a, int field) {
  if (field < 0 || static_cast<size_t>(field) >= a->fields.size()) return nullptr;
  return a->fields[static_cast<size_t>(field)].c_str();
}

void mxSetFieldByNumber(mxArray* a, mwIndex index, int field, mxArray* value) {
  if (a->cls != mxSTRUCT_CLASS || field < 0 || static_cast<size_t>(field) >= a->fields.size() || index >= numel(a))
    return;
  g_created.erase(value);
  a->items[index * a->fields.size() + static_cast<size_t>(field)] = value;
}

void mxSetField(mxArray* a, mwIndex index, const char* name, mxArray* value) {
  mxSetFieldByNumber(a, index, mxGetFieldNumber(a, name), value);
}

int mxAddField(mxArray* a, const char* name) {
  if (a->cls != mxSTRUCT_CLASS) return -1;
  int existing = mxGetFieldNumber(a, name);
  if (existing >= 0) return existing;
  size_t old = a->fields.size(), count = numel(a);
  std::vector<mxArray*> items(count * (old + 1), nullptr);
  for (size_t e = 0; e < count; ++e)
    for (size_t f = 0; f < old; ++f) items[e * (old + 1) + f] = a->items[e * old + f];
  a->items.swap(items);
  a->fields.emplace_back(name);
  return static_cast<int>(old);
}

mxArray* mxGetCell(const mxArray* a, mwIndex index) {
  return a->cls == mxCELL_CLASS && index < a->items.size() ? a->items[index] : nullptr;
}

void mxSetCell(mxArray* a, mwIndex index, mxArray* value) {
  if (a->cls != mxCELL_CLASS || index >= a->items.size()) return;
  g_created.erase(value);
  a->items[index] = value;
}

void* mxMalloc(size_t n) { return host_alloc(n, false); }
void* mxCalloc(size_t n, size_t size) { return host_alloc(n * size, true); }

void* mxRealloc(void* p, size_t n) {
  if (!p) return host_alloc(n, false);
  ++g_alloc_count;
  if (g_fail_at > 0 && g_alloc_count == g_fail_at) return nullptr;
  auto it = g_blocks.find(p);
  if (it == g_blocks.end()) return nullptr;
  const size_t old = it->second;
  g_blocks.erase(it);
  void* q = std::realloc(p, n ? n : 1);
  if (!q) {
    g_blocks[p] = old;
    return nullptr;
  }
  g_blocks[q] = n;
  return q;
}

void mxFree(void* p) {
  if (!p) return;
  auto it = g_blocks.find(p);
  if (it == g_blocks.end()) {
    std::fprintf(stderr, "stand-in host: mxFree of a pointer the host did not allocate\n");
    std::abort();
  }
  g_blocks.erase(it);
  std::free(p);
}

void mexErrMsgTxt(const char* text) { raise(nullptr, text ? text : ""); }

void mexErrMsgIdAndTxt(const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = vformat(fmt, ap);
  va_end(ap);
  raise(id, text);
}

void mexWarnMsgTxt(const char* text) {
  if (g_warnings_raise) raise(nullptr, text ? text : "");
  g_call.warnings.push_back({"", text ? text : ""});
}

void mexWarnMsgIdAndTxt(const char* id, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = vformat(fmt, ap);
  va_end(ap);
  if (g_warnings_raise) raise(id, text);
  g_call.warnings.push_back({id ? id : "", text});
}

int mexPrintf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = vformat(fmt, ap);
  va_end(ap);
  g_call.printed += text;
  if (std::getenv("EEGMEX_STANDIN_ECHO")) std::fputs(text.c_str(), stdout);
  return static_cast<int>(text.size());
}

int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name) {
  if (g_fail_call) return 1;
  if (g_call_answer && nlhs >= 1) {
    plhs[0] = mxDuplicateArray(g_call_answer);
    return 0;
  }
  std::string fn = name ? name : "";
  if ((fn == "transpose" || fn == "ctranspose") && nrhs == 1 && nlhs <= 1) {
    plhs[0] = transpose(prhs[0]);
    return 0;
  }
  raise("standin:callHost", "stand-in host: function '" + fn + "' is not available");
}

const char* mexFunctionName(void) { return g_call.module.c_str(); }

int mexAtExit(void (*exit_fcn)(void)) {
  auto it = loaded_modules().find(g_call.path);
  if (g_call.active && it != loaded_modules().end()) it->second.at_exit = exit_fcn;
  return 0;
}

}  // extern "C"

namespace standin {

std::string module_dir() {
  if (const char* dir = std::getenv("EEGMEX_STANDIN_DIR")) return dir;
#ifdef EEGMEX_STANDIN_DIR
  return EEGMEX_STANDIN_DIR;
#else
  return ".";
#endif
}

void clear_modules() {
  for (auto& entry : loaded_modules()) {
    if (entry.second.at_exit) entry.second.at_exit();
    acquisition::unload_library(entry.second.handle);
  }
  loaded_modules().clear();
}

Result call(const std::string& module, int nlhs, const std::vector<const mxArray*>& inputs) {
  const std::string path = module_path(module);
  MexFunction fn = load(path);
  Result r;
  std::vector<Array> snapshots;
  for (const mxArray* in : inputs) snapshots.emplace_back(mxDuplicateArray(in));

  // Slots beyond those provided hold a marker, so that a store past them shows.
  static mxArray marker;
  size_t slots = nlhs > 0 ? static_cast<size_t>(nlhs) : 1;
  std::vector<mxArray*> plhs(slots + 4, nullptr);
  for (size_t k = slots; k < plhs.size(); ++k) plhs[k] = &marker;

  g_call = CallState();
  g_call.active = true;
  g_call.module = module;
  g_call.path = path;
  g_created.clear();
  bool ended_by_error = false;
  try {
    fn(nlhs, plhs.data(), static_cast<int>(inputs.size()), const_cast<const mxArray**>(inputs.data()));
  } catch (const HostError&) {
    ended_by_error = true;
  } catch (const std::exception& e) {
    r.exception_escaped = true;
    r.error_text = std::string("exception escaped mexFunction: ") + e.what();
  } catch (...) {
    r.exception_escaped = true;
    r.error_text = "exception escaped mexFunction";
  }
  g_call.active = false;

  for (size_t k = slots; k < plhs.size(); ++k)
    if (plhs[k] != &marker) {
      r.wrote_past_slots = true;
      if (g_created.count(plhs[k]) == 0) plhs[k] = nullptr;  // not ours to reclaim
    }
  if (g_call.raise_count > 0) {
    r.ok = false;
    r.error_id = g_call.error_id;
    r.error_text = g_call.error_text;
    r.error_swallowed = !ended_by_error || g_call.raise_count > 1;
  } else if (r.exception_escaped) {
    r.ok = false;
  } else {
    for (size_t k = 0; k < slots; ++k) {
      g_created.erase(plhs[k]);
      r.outputs.emplace_back(plhs[k]);
    }
  }
  r.printed = g_call.printed;
  r.warnings = g_call.warnings;

  // The host reclaims what the call left behind.
  r.arrays_reclaimed = static_cast<long>(g_created.size());
  std::vector<mxArray*> leftovers(g_created.begin(), g_created.end());
  for (mxArray* a : leftovers) mxDestroyArray(a);
  g_created.clear();
  r.host_blocks_reclaimed = static_cast<long>(g_blocks.size());
  for (auto& block : g_blocks) std::free(block.first);
  g_blocks.clear();

  for (size_t k = 0; k < inputs.size(); ++k)
    if (!same_array(inputs[k], snapshots[k].get())) r.inputs_modified = true;
  return r;
}

Result call(const std::string& module, int nlhs, const std::vector<Array>& inputs) {
  std::vector<const mxArray*> raw;
  for (const Array& a : inputs) raw.push_back(a.get());
  return call(module, nlhs, raw);
}

Result call(const std::string& module, int nlhs, std::initializer_list<Array> inputs) {
  std::vector<const mxArray*> raw;
  for (const Array& a : inputs) raw.push_back(a.get());
  return call(module, nlhs, raw);
}

void fail_nth_malloc(long n) {
  g_alloc_count = 0;
  g_fail_at = n;
}
void fail_call_host(bool on) { g_fail_call = on; }
void call_host_answer(const mxArray* a) {
  mxDestroyArray(g_call_answer);
  const bool was_active = g_call.active;
  g_call.active = false;  // the host's own, not one of the call's arrays
  g_call_answer = a ? mxDuplicateArray(a) : nullptr;
  g_call.active = was_active;
}
void warnings_as_errors(bool on) { g_warnings_raise = on; }
void reset_faults() {
  g_fail_at = 0;
  g_alloc_count = 0;
  g_fail_call = false;
  g_warnings_raise = false;
  call_host_answer(nullptr);
}
long live_host_blocks() { return static_cast<long>(g_blocks.size()); }
long host_allocations() { return g_alloc_count; }

namespace {
template <class T>
Array filled(size_t m, size_t n, mxClassID cls, const std::vector<T>& values) {
  Array a(mxCreateNumericMatrix(m, n, cls, mxREAL));
  if (!values.empty()) {
    if (values.size() != m * n) throw std::invalid_argument("standin: value count does not match the shape");
    std::memcpy(mxGetData(a.get()), values.data(), values.size() * sizeof(T));
  }
  return a;
}
template <class T>
std::vector<T> read(const mxArray* a, mxClassID cls) {
  if (!a || mxGetClassID(a) != cls || mxIsSparse(a)) throw std::invalid_argument("standin: unexpected output class");
  const T* p = static_cast<const T*>(mxGetData(a));
  return std::vector<T>(p, p + mxGetNumberOfElements(a));
}
}  // namespace

Array real(size_t m, size_t n, const std::vector<double>& values) { return filled(m, n, mxDOUBLE_CLASS, values); }
Array scalar(double value) { return Array(mxCreateDoubleScalar(value)); }
Array single(size_t m, size_t n, const std::vector<float>& values) { return filled(m, n, mxSINGLE_CLASS, values); }
Array int32(size_t m, size_t n, const std::vector<int32_t>& values) { return filled(m, n, mxINT32_CLASS, values); }
Array uint64(size_t m, size_t n, const std::vector<uint64_t>& values) { return filled(m, n, mxUINT64_CLASS, values); }
Array text(const std::string& s) { return Array(mxCreateString(s.c_str())); }
Array complex(size_t m, size_t n) { return Array(mxCreateDoubleMatrix(m, n, mxCOMPLEX)); }

Array sparse(size_t m, size_t n, const std::vector<size_t>& rows, const std::vector<size_t>& cols,
             const std::vector<double>& values) {
  Array a(mxCreateSparse(m, n, values.size(), mxREAL));
  mwIndex* ir = mxGetIr(a.get());
  mwIndex* jc = mxGetJc(a.get());
  double* pr = mxGetPr(a.get());
  for (size_t k = 0; k < values.size(); ++k) {
    ir[k] = rows[k];
    pr[k] = values[k];
    ++jc[cols[k] + 1];
  }
  for (size_t j = 0; j < n; ++j) jc[j + 1] += jc[j];
  return a;
}

Array empty_struct_array(const std::vector<std::string>& fields) {
  std::vector<const char*> names;
  for (const auto& f : fields) names.push_back(f.c_str());
  return Array(mxCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data()));
}

void set_field(mxArray* s, const std::string& name, Array value) {
  int f = mxGetFieldNumber(s, name.c_str());
  if (f < 0) f = mxAddField(s, name.c_str());
  mxDestroyArray(mxGetFieldByNumber(s, 0, f));
  mxSetFieldByNumber(s, 0, f, value.release());
}

std::vector<double> doubles(const mxArray* a) { return read<double>(a, mxDOUBLE_CLASS); }
std::vector<float> singles(const mxArray* a) { return read<float>(a, mxSINGLE_CLASS); }
std::vector<int32_t> int32s(const mxArray* a) { return read<int32_t>(a, mxINT32_CLASS); }
std::vector<uint64_t> uint64s(const mxArray* a) { return read<uint64_t>(a, mxUINT64_CLASS); }

}  // namespace standin
