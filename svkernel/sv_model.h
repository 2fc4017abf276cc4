// Entry side of the support-vector kernel entries, shared by gram_square and
// gram_pair: the per-call allocation registry (all working memory of a call
// comes from the host allocator through it), the model struct conversion
// (restoreModel) and the row converter (mexToDoc).
//
// Errors: the fixed messages go through mexErrMsgTxt; input the conversion
// cannot read safely gets an identifier "<deliverable>:<condition>".  Every
// error first releases the registry, so a failed call leaves nothing for the
// host to reclaim.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/mexhost.h"
#include "svkernel/kernel.h"

namespace svkernel {

constexpr uint32_t REGISTRY_BUCKETS = 2053;
constexpr size_t ALLOC_SLACK = 128;

struct RegistryNode {
  void* block;
  RegistryNode* next;
};

struct RegistryBucket {
  RegistryNode* chain;
  int32_t count;
};

struct Registry {
  RegistryBucket buckets[REGISTRY_BUCKETS];
  int32_t total;
};

// The registry of the call in progress, and the deliverable's name for
// error identifiers.  Each call overwrites both.
inline Registry* g_registry = nullptr;
inline const char* g_deliverable = "svkernel";

inline uint32_t bucketOf(const void* block) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)) % REGISTRY_BUCKETS;
}

// Unlinks the block's node; false when the block is not registered.
inline bool unregisterBlock(Registry* r, void* block) {
  RegistryBucket& bucket = r->buckets[bucketOf(block)];
  for (RegistryNode** link = &bucket.chain; *link != nullptr; link = &(*link)->next) {
    RegistryNode* node = *link;
    if (node->block != block) continue;
    *link = node->next;
    mxFree(node);
    --bucket.count;
    --r->total;
    return true;
  }
  return false;
}

// Frees every registered block, bucket by bucket, then the registry.
inline void releaseAll() {
  Registry* r = g_registry;
  if (r == nullptr) return;
  for (uint32_t b = 0; b < REGISTRY_BUCKETS; ++b) {
    while (r->buckets[b].chain != nullptr) {
      void* block = r->buckets[b].chain->block;
      unregisterBlock(r, block);
      mxFree(block);
    }
  }
  mxFree(r);
  g_registry = nullptr;
}

// Raises a fixed message after releasing the registry.  The text is copied
// first: it may be formatted in a buffer of the caller's.
[[noreturn]] inline void raiseText(const char* text) {
  char message[512];
  std::snprintf(message, sizeof message, "%s", text);
  releaseAll();
  host::fail_text(message);
}

// Raises "<deliverable>:<condition>" after releasing the registry.
template <class... Args>
[[noreturn]] void raiseId(const char* condition, const char* fmt, Args... args) {
  char message[512];
  std::snprintf(message, sizeof message, fmt, args...);
  releaseAll();
  host::fail_for(g_deliverable, condition, "%s", message);
}

inline const char* const OUT_OF_MEMORY = "ERR-007 - Malloc failed, out of memory";

// Starts the call's registry: all buckets empty.
inline void createRegistry(const char* deliverable) {
  g_deliverable = deliverable;
  g_registry = nullptr;
  Registry* r = static_cast<Registry*>(mxMalloc(sizeof(Registry)));
  if (r == nullptr) raiseText(OUT_OF_MEMORY);
  for (uint32_t b = 0; b < REGISTRY_BUCKETS; ++b) r->buckets[b] = RegistryBucket{nullptr, 0};
  r->total = 0;
  g_registry = r;
}

// A host block of size + ALLOC_SLACK bytes, registered at the end of its
// bucket's chain.
inline void* trackedAlloc(size_t size) {
  Registry* r = g_registry;
  void* block = mxMalloc(size + ALLOC_SLACK);
  if (block == nullptr) raiseText(OUT_OF_MEMORY);
  RegistryNode* node = static_cast<RegistryNode*>(mxMalloc(sizeof(RegistryNode)));
  if (node == nullptr) {
    mxFree(block);
    raiseText(OUT_OF_MEMORY);
  }
  node->block = block;
  node->next = nullptr;
  RegistryBucket& bucket = r->buckets[bucketOf(block)];
  RegistryNode** link = &bucket.chain;
  while (*link != nullptr) link = &(*link)->next;
  *link = node;
  ++bucket.count;
  ++r->total;
  return block;
}

// Frees a registered block; none and unregistered blocks are left alone.
inline void trackedFree(void* block) {
  if (block == nullptr || g_registry == nullptr) return;
  if (unregisterBlock(g_registry, block)) mxFree(block);
}

template <class T>
T* trackedArray(size_t count) {
  return static_cast<T*>(trackedAlloc(count * sizeof(T)));
}

// A data input: a real, full double matrix whose sizes fit the signed
// 32-bit counters of the conversion.  Checked before anything is held.
inline void checkDataMatrix(const char* deliverable, const mxArray* a, const char* name, int position) {
  if (!host::is_real_double(a))
    host::fail_for(deliverable, "notDouble", "Input %d (%s) must be a real, full double matrix, not %s%s%s.",
                   position, name, mxIsSparse(a) ? "sparse " : "", mxIsComplex(a) ? "complex " : "",
                   mxGetClassName(a));
  if (host::rows(a) > host::kMaxDim || host::cols(a) > host::kMaxDim)
    host::fail_for(deliverable, "tooLarge", "Input %d (%s) has more than 2147483647 rows or columns.", position,
                   name);
}

// ---------------------------------------------------------------------------
// Reading the model struct.

// Field of element 0; none when absent or when the struct array is empty.
inline const mxArray* fieldOf(const mxArray* s, const char* name) {
  if (s == nullptr || !mxIsStruct(s) || mxGetNumberOfElements(s) == 0) return nullptr;
  return mxGetField(s, 0, name);
}

// Holds values that can be read as doubles: a full double array.  Anything
// else would be read past its end, or wrongly.
inline void requireDoubleField(const mxArray* field, const char* name) {
  if (!mxIsDouble(field) || mxIsSparse(field))
    raiseId("fieldNotDouble", "Model field '%s' must be a full double array, not %s%s.", name,
            mxIsSparse(field) ? "sparse " : "", mxGetClassName(field));
}

// Double data of element 1 of the named field; none when the field is
// absent or empty.  A struct that is none is taken as one without fields.
inline const double* restoreArray(const mxArray* s, const char* name) {
  if (s != nullptr && !mxIsStruct(s)) {
    char text[256];
    std::snprintf(text, sizeof text, "mxStruct is not a struct, it is a %s\n", mxGetClassName(s));
    raiseText(text);
  }
  const mxArray* field = fieldOf(s, name);
  if (field == nullptr || mxGetNumberOfElements(field) == 0) return nullptr;
  requireDoubleField(field, name);
  return mxGetPr(field);
}

inline double restoreValue(const mxArray* s, const char* name) {
  const double* data = restoreArray(s, name);
  if (data == nullptr) raiseText("Error: restoreArray returned NULL array to restoreValue");
  return data[0];
}

inline int32_t restoreInt(const mxArray* s, const char* name) { return truncToInt32(restoreValue(s, name)); }

// One int32 per row of the named field (its first column), or none.
inline int32_t* restoreLongArray(const mxArray* s, const char* name) {
  const mxArray* field = fieldOf(s, name);
  if (field == nullptr) {
    mexPrintf("Warning: could not retrieve %s from the given struct.\n", name);
    return nullptr;
  }
  const size_t rows = host::rows(field);
  int32_t* longs = trackedArray<int32_t>(rows);
  if (mxGetNumberOfElements(field) == 0) raiseText("Error allocating lArray or dArray");
  requireDoubleField(field, name);
  const double* doubles = mxGetPr(field);
  for (size_t k = 0; k < rows; ++k) longs[k] = truncToInt32(doubles[k]);
  return longs;
}

// ---------------------------------------------------------------------------
// Rows to feature lists.

// Row i of an M × N double matrix as features 1..N (zeros included),
// values rounded to single, and the terminator.
inline void mexRowToEntries(int64_t i, const mxArray* matrix, feature_entry* entries) {
  const int64_t M = static_cast<int64_t>(host::rows(matrix)), N = static_cast<int64_t>(host::cols(matrix));
  const double* data = N > 0 ? mxGetPr(matrix) : nullptr;
  for (int64_t k = 0; k < N; ++k) {
    const int64_t p = i + k * M;
    if (p >= M * N) raiseText("Error: index exceeds array length");
    entries[k].feature = static_cast<int32_t>(k + 1);
    entries[k].value = static_cast<float>(data[p]);
  }
  entries[N].feature = 0;
  entries[N].value = 0.0f;
}

inline sparse_vector* makeSparseVector(const feature_entry* list, const char* text, double factor) {
  size_t n = 0;
  while (list[n].feature != 0) ++n;
  ++n;  // the terminator
  sparse_vector* v = static_cast<sparse_vector*>(trackedAlloc(sizeof(sparse_vector)));
  v->entries = trackedArray<feature_entry>(n);
  std::memcpy(v->entries, list, n * sizeof(feature_entry));
  v->sq_norm = static_cast<double>(sparseDot(v->entries, v->entries));
  const size_t length = std::strlen(text) + 1;
  v->text = static_cast<char*>(trackedAlloc(length));
  std::memcpy(v->text, text, length);
  v->factor = factor;
  v->id = 0;
  v->next = nullptr;
  return v;
}

inline example* makeExample(int32_t row, int32_t group, int32_t slack, double cost, sparse_vector* vec) {
  example* e = static_cast<example*>(trackedAlloc(sizeof(example)));
  e->row = row;
  e->group = group;
  e->slack = slack;
  e->cost = cost;
  e->vec = vec;
  return e;
}

// Every row of the matrix, in order, into `rows` (already holding one slot
// per row).
inline void rowsToExamples(const mxArray* matrix, example** rows) {
  const size_t M = host::rows(matrix), N = host::cols(matrix);
  feature_entry* buffer = trackedArray<feature_entry>(N + 1);
  for (size_t i = 0; i < M; ++i) {
    mexRowToEntries(static_cast<int64_t>(i), matrix, buffer);
    sparse_vector* v = makeSparseVector(buffer, "", 1.0);
    rows[i] = makeExample(static_cast<int32_t>(i), 0, 0, 1.0, v);
  }
}

// One example per row of a double matrix; none (with a printed warning)
// when there is no matrix.
inline example** mexToDoc(const mxArray* matrix) {
  if (matrix == nullptr) {
    mexPrintf("%s", "WARNING: mexToDoc : mxData is NULL");
    return nullptr;
  }
  example** rows = trackedArray<example*>(host::rows(matrix));
  rowsToExamples(matrix, rows);
  return rows;
}

// The model record from the host struct, every field read in this order;
// the first failure ends the call.
inline sv_model* restoreModel(const mxArray* s) {
  sv_model* m = static_cast<sv_model*>(trackedAlloc(sizeof(sv_model)));
  std::memset(m, 0, sizeof(sv_model));
  m->sv_num = restoreInt(s, "sv_num");
  m->upper_bound = restoreInt(s, "upper_bound");
  m->b = restoreValue(s, "b");
  m->totwords = restoreInt(s, "totwords");
  m->totdoc = restoreInt(s, "totdoc");
  m->loo_error = restoreValue(s, "loo_error");
  m->loo_recall = restoreValue(s, "loo_recall");
  m->xa_error = restoreValue(s, "xa_error");
  m->xa_recall = restoreValue(s, "xa_recall");
  m->xa_precision = restoreValue(s, "xa_precision");
  m->maxdiff = restoreValue(s, "maxdiff");
  m->r_delta_sq = restoreValue(s, "r_delta_sq");
  m->r_delta_avg = restoreValue(s, "r_delta_avg");
  m->model_length = restoreValue(s, "model_length");
  m->loss = restoreValue(s, "loss");
  m->vcdim = restoreValue(s, "vcdim");
  m->alpha = restoreArray(s, "alpha");
  m->lin_weights = restoreArray(s, "lin_weights");
  m->index = restoreLongArray(s, "index");

  const mxArray* k = fieldOf(s, "kernel_parm");
  m->kernel.kernel_type = restoreInt(k, "kernel_type");
  m->kernel.poly_degree = restoreInt(k, "poly_degree");
  m->kernel.rbf_gamma = restoreValue(k, "rbf_gamma");
  m->kernel.coef_lin = restoreValue(k, "coef_lin");
  m->kernel.coef_const = restoreValue(k, "coef_const");

  // The custom text plays no part in any kernel value.  Missing, it is an
  // error like the other kernel fields; not text, it is taken as empty;
  // longer than the record holds, it is cut.
  const mxArray* custom = fieldOf(k, "custom");
  if (custom == nullptr) raiseText("Error: restoreArray returned NULL array to restoreValue");
  m->kernel.custom[0] = '\0';
  if (mxIsChar(custom)) {
    const size_t length = 2 * host::numel(custom) + 2;
    char* text = static_cast<char*>(trackedAlloc(length));
    text[0] = '\0';
    mxGetString(custom, text, static_cast<mwSize>(length));
    std::snprintf(m->kernel.custom, sizeof m->kernel.custom, "%s", text);
    trackedFree(text);
  }

  const mxArray* supvec = fieldOf(s, "supvec");
  if (supvec == nullptr) {
    mexPrintf("%s", "Warning: supvec field was not found.");
    return m;
  }
  if (mxGetNumberOfElements(supvec) > 0) requireDoubleField(supvec, "supvec");
  m->supvec = trackedArray<example*>(host::rows(supvec));
  rowsToExamples(supvec, m->supvec);
  return m;
}

}  // namespace svkernel
