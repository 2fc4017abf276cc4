// The model struct and the data rows of the Gram entries, read into the
// records of svkernel/kernel.h: restoreModel reads a support-vector model
// struct field by field, mexToDoc turns every row of a double matrix into a
// feature list.  All records are placed in blocks of the call's registry.
//
// This subsystem's routines (here, in registry.h and in kernel.h) are named
// in lower camel case, unlike the rest of the project, because some of their
// names are part of the messages users see and search for ("Error:
// restoreArray returned NULL array to restoreValue", "WARNING: mexToDoc :
// mxData is NULL"): a routine and the messages that name it read alike.
//
// Fixed messages are raised without identifier; input the conversion could
// not read safely (a field of another class than double, sizes past the
// signed 32-bit counters) gets "<deliverable>:<condition>", checked before
// anything is allocated for it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/mexhost.h"
#include "svkernel/kernel.h"
#include "svkernel/registry.h"

namespace svkernel {

// A data input: a real, full double matrix whose sizes fit the signed
// 32-bit counters of the conversion.  Checked before the call holds anything.
inline void checkDataMatrix(const char* deliverable, const mxArray* a, const char* name, int position) {
  host::require_real_double(deliverable, a, "Input %d (%s) must be a real, full double matrix, not %s%s%s.", position,
                            name, mxIsSparse(a) ? "sparse " : "", mxIsComplex(a) ? "complex " : "",
                            mxGetClassName(a));
  host::require_max_dim(deliverable, a, "Input %d (%s) has more than 2147483647 rows or columns.", position, name);
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
inline void requireDoubleField(CallScope& call, const mxArray* field, const char* name) {
  if (!mxIsDouble(field) || mxIsSparse(field))
    raiseId(call, "fieldNotDouble", "Model field '%s' must be a full double array, not %s%s.", name,
            mxIsSparse(field) ? "sparse " : "", mxGetClassName(field));
}

// A field that is sized by its rows (and columns): values to read must be
// doubles, and the sizes must fit the signed 32-bit counters.  Checked
// before anything is allocated for the field.
inline void requireSizableField(CallScope& call, const mxArray* field, const char* name) {
  if (mxGetNumberOfElements(field) > 0) requireDoubleField(call, field, name);
  if (host::rows(field) > host::MAX_DIM || host::cols(field) > host::MAX_DIM)
    raiseId(call, "fieldTooLarge", "Model field '%s' has more than 2147483647 rows or columns.", name);
}

// Double data of element 1 of the named field; none when the field is
// absent or empty.  A struct that is none is taken as one without fields.
inline const double* restoreArray(CallScope& call, const mxArray* s, const char* name) {
  if (s != nullptr && !mxIsStruct(s)) {
    char text[256];
    std::snprintf(text, sizeof text, "mxStruct is not a struct, it is a %s\n", mxGetClassName(s));
    raiseText(call, text);
  }
  const mxArray* field = fieldOf(s, name);
  if (field == nullptr || mxGetNumberOfElements(field) == 0) return nullptr;
  requireDoubleField(call, field, name);
  return mxGetPr(field);
}

inline double restoreValue(CallScope& call, const mxArray* s, const char* name) {
  const double* data = restoreArray(call, s, name);
  if (data == nullptr) raiseText(call, "Error: restoreArray returned NULL array to restoreValue");
  return data[0];
}

inline int32_t restoreInt(CallScope& call, const mxArray* s, const char* name) {
  return truncToInt32(restoreValue(call, s, name));
}

// One int32 per row of the named field (its first column), or none.
inline int32_t* restoreLongArray(CallScope& call, const mxArray* s, const char* name) {
  const mxArray* field = fieldOf(s, name);
  if (field == nullptr) {
    mexPrintf("Warning: could not retrieve %s from the given struct.\n", name);
    return nullptr;
  }
  requireSizableField(call, field, name);
  const size_t rows = host::rows(field);
  int32_t* longs = trackedArray<int32_t>(call, rows);
  if (mxGetNumberOfElements(field) == 0) raiseText(call, "Error allocating lArray or dArray");
  const double* doubles = mxGetPr(field);
  for (size_t k = 0; k < rows; ++k) longs[k] = truncToInt32(doubles[k]);
  return longs;
}

// ---------------------------------------------------------------------------
// Rows to feature lists.

// Row i of an M × N double matrix as features 1..N (zeros included),
// values rounded to single, and the terminator.
inline void mexRowToEntries(CallScope& call, int64_t i, const mxArray* matrix, feature_entry* entries) {
  const int64_t M = static_cast<int64_t>(host::rows(matrix)), N = static_cast<int64_t>(host::cols(matrix));
  const double* data = N > 0 ? mxGetPr(matrix) : nullptr;
  for (int64_t k = 0; k < N; ++k) {
    const int64_t p = i + k * M;
    if (p >= M * N) raiseText(call, "Error: index exceeds array length");
    entries[k].feature = static_cast<int32_t>(k + 1);
    entries[k].value = static_cast<float>(data[p]);
  }
  entries[N].feature = 0;
  entries[N].value = 0.0f;
}

inline sparse_vector* makeSparseVector(CallScope& call, const feature_entry* list, const char* text, double factor) {
  size_t n = 0;
  while (list[n].feature != 0) ++n;
  ++n;  // the terminator
  sparse_vector* v = static_cast<sparse_vector*>(trackedAlloc(call, sizeof(sparse_vector)));
  v->entries = trackedArray<feature_entry>(call, n);
  std::memcpy(v->entries, list, n * sizeof(feature_entry));
  v->sq_norm = static_cast<double>(sparseDot(v->entries, v->entries));
  const size_t length = std::strlen(text) + 1;
  v->text = static_cast<char*>(trackedAlloc(call, length));
  std::memcpy(v->text, text, length);
  v->factor = factor;
  v->id = 0;
  v->next = nullptr;
  return v;
}

inline example* makeExample(CallScope& call, int32_t row, int32_t group, int32_t slack, double cost,
                            sparse_vector* vec) {
  example* e = static_cast<example*>(trackedAlloc(call, sizeof(example)));
  e->row = row;
  e->group = group;
  e->slack = slack;
  e->cost = cost;
  e->vec = vec;
  return e;
}

// Every row of the matrix, in order, into `rows` (already holding one slot
// per row).  One entry buffer serves all rows.
inline void rowsToExamples(CallScope& call, const mxArray* matrix, example** rows) {
  const size_t M = host::rows(matrix), N = host::cols(matrix);
  feature_entry* buffer = trackedArray<feature_entry>(call, N + 1);
  for (size_t i = 0; i < M; ++i) {
    mexRowToEntries(call, static_cast<int64_t>(i), matrix, buffer);
    sparse_vector* v = makeSparseVector(call, buffer, "", 1.0);
    rows[i] = makeExample(call, static_cast<int32_t>(i), 0, 0, 1.0, v);
  }
}

// One example per row of a double matrix; none (with a printed warning)
// when there is no matrix.
inline example** mexToDoc(CallScope& call, const mxArray* matrix) {
  if (matrix == nullptr) {
    mexPrintf("%s", "WARNING: mexToDoc : mxData is NULL");
    return nullptr;
  }
  example** rows = trackedArray<example*>(call, host::rows(matrix));
  rowsToExamples(call, matrix, rows);
  return rows;
}

// The custom text of the kernel, which plays no part in any kernel value.
// Missing, it is an error like the other kernel fields; not text, it is
// taken as empty; longer than the record holds, it is cut.
inline void restoreCustom(CallScope& call, const mxArray* k, char (&custom)[CUSTOM_CAPACITY]) {
  const mxArray* field = fieldOf(k, "custom");
  if (field == nullptr) raiseText(call, "Error: restoreArray returned NULL array to restoreValue");
  custom[0] = '\0';
  if (!mxIsChar(field)) return;
  const size_t length = 2 * host::numel(field) + 2;
  char* text = static_cast<char*>(trackedAlloc(call, length));
  text[0] = '\0';
  mxGetString(field, text, static_cast<mwSize>(length));
  std::snprintf(custom, CUSTOM_CAPACITY, "%s", text);
  trackedFree(call, text);
}

// The model record from the host struct, every field read in this order;
// the first failure ends the call.
inline sv_model* restoreModel(CallScope& call, const mxArray* s) {
  sv_model* m = static_cast<sv_model*>(trackedAlloc(call, sizeof(sv_model)));
  std::memset(m, 0, sizeof(sv_model));
  m->sv_num = restoreInt(call, s, "sv_num");
  m->upper_bound = restoreInt(call, s, "upper_bound");
  m->b = restoreValue(call, s, "b");
  m->totwords = restoreInt(call, s, "totwords");
  m->totdoc = restoreInt(call, s, "totdoc");
  m->loo_error = restoreValue(call, s, "loo_error");
  m->loo_recall = restoreValue(call, s, "loo_recall");
  m->xa_error = restoreValue(call, s, "xa_error");
  m->xa_recall = restoreValue(call, s, "xa_recall");
  m->xa_precision = restoreValue(call, s, "xa_precision");
  m->maxdiff = restoreValue(call, s, "maxdiff");
  m->r_delta_sq = restoreValue(call, s, "r_delta_sq");
  m->r_delta_avg = restoreValue(call, s, "r_delta_avg");
  m->model_length = restoreValue(call, s, "model_length");
  m->loss = restoreValue(call, s, "loss");
  m->vcdim = restoreValue(call, s, "vcdim");
  m->alpha = restoreArray(call, s, "alpha");
  m->lin_weights = restoreArray(call, s, "lin_weights");
  m->index = restoreLongArray(call, s, "index");

  const mxArray* k = fieldOf(s, "kernel_parm");
  m->kernel.kernel_type = restoreInt(call, k, "kernel_type");
  m->kernel.poly_degree = restoreInt(call, k, "poly_degree");
  m->kernel.rbf_gamma = restoreValue(call, k, "rbf_gamma");
  m->kernel.coef_lin = restoreValue(call, k, "coef_lin");
  m->kernel.coef_const = restoreValue(call, k, "coef_const");
  restoreCustom(call, k, m->kernel.custom);

  const mxArray* supvec = fieldOf(s, "supvec");
  if (supvec == nullptr) {
    mexPrintf("%s", "Warning: supvec field was not found.");
    return m;
  }
  requireSizableField(call, supvec, "supvec");
  m->supvec = trackedArray<example*>(call, host::rows(supvec));
  rowsToExamples(call, supvec, m->supvec);
  return m;
}

}  // namespace svkernel
