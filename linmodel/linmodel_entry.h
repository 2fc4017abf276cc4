// Entry side of the linear-model functions: the model conversion (fields of
// a host model struct, element 1, by position, to the liblinear record and
// back), the data matrix as the cores see it, and the checks the entries
// share.
#pragma once

#include <cstring>

#include "host/mexhost.h"
#include "linmodel/instances.h"
#include "linmodel/scoring.h"

namespace linmodel {

// Builds `m` (zeroed, from calloc) from the host struct `s`.  Returns null or
// an error text held in `error`.
inline const char* model_from_struct(model* m, const mxArray* s, char* error, size_t error_size,
                                     ModelRules rules = ModelRules()) {
  ModelFields fields;
  const int count = mxGetNumberOfFields(s);
  fields.field_count = count;
  if (host::numel(s) == 0) {
    std::snprintf(error, error_size, "the model struct array is empty");
    return error;
  }
  for (int p = 0; p < MODEL_FIELD_COUNT && p < count; ++p) {
    const mxArray* f = mxGetFieldByNumber(s, 0, p);
    if (f && host::is_real_double(f)) {
      fields.field[p].is_double = true;
      fields.field[p].count = host::numel(f);
      fields.field[p].data = fields.field[p].count ? mxGetPr(f) : nullptr;
    }
  }
  return model_from_fields(m, fields, error, error_size, rules);
}

// The model struct of a liblinear record, as linmodel_read builds it from a
// model file: Parameters (the solver code), nr_class, nr_feature and bias as
// double scalars, Label nr_class-by-1 (0-by-1 for a regression model, which
// has none) and w class_columns-by-(nr_feature + b).
inline mxArray* model_to_struct(const model* m) {
  mxArray* s = mxCreateStructMatrix(1, 1, MODEL_FIELD_COUNT, const_cast<const char**>(MODEL_FIELD_NAMES));
  mxSetFieldByNumber(s, 0, FIELD_PARAMETERS, host::scalar_out(static_cast<double>(m->param.solver_type)));
  mxSetFieldByNumber(s, 0, FIELD_NR_CLASS, host::scalar_out(static_cast<double>(m->nr_class)));
  mxSetFieldByNumber(s, 0, FIELD_NR_FEATURE, host::scalar_out(static_cast<double>(m->nr_feature)));
  mxSetFieldByNumber(s, 0, FIELD_BIAS, host::scalar_out(m->bias));
  const size_t labels = m->label ? static_cast<size_t>(m->nr_class) : 0;
  mxArray* label = mxCreateDoubleMatrix(static_cast<mwSize>(labels), 1, mxREAL);
  for (size_t k = 0; k < labels; ++k) mxGetPr(label)[k] = m->label[k];
  mxSetFieldByNumber(s, 0, FIELD_LABEL, label);
  const size_t columns = static_cast<size_t>(class_columns(m->nr_class, m->param.solver_type));
  const size_t features = static_cast<size_t>(m->nr_feature) + (m->bias >= 0 ? 1 : 0);
  mxArray* w = mxCreateDoubleMatrix(static_cast<mwSize>(columns), static_cast<mwSize>(features), mxREAL);
  if (columns * features > 0) std::memcpy(mxGetPr(w), m->w, columns * features * sizeof(double));
  mxSetFieldByNumber(s, 0, FIELD_W, w);
  return s;
}

// Real double data, full or sparse.  A complex array is refused before any
// of its data is looked at: asking a host for the real part of complex
// sparse storage may rebuild that storage under the index arrays.
inline bool is_real_double_data(const mxArray* a) { return mxIsDouble(a) && !mxIsComplex(a); }

// The data matrix X as the cores read it; instances are its rows, or its
// columns with col_format.
inline DataMatrix<mwIndex> data_matrix(const mxArray* X, bool col_format) {
  DataMatrix<mwIndex> d;
  d.rows = host::rows(X);
  d.cols = host::cols(X);
  d.pr = mxGetPr(X);
  if (mxIsSparse(X)) {
    d.jc = mxGetJc(X);
    d.ir = mxGetIr(X);
  }
  d.col_format = col_format;
  return d;
}

// X must be real double data, full or sparse (":notDouble").
inline void check_data(const char* deliverable, const mxArray* X, int position) {
  if (!is_real_double_data(X))
    host::fail_for(deliverable, "notDouble", "X (input %d) must be a real double matrix, full or sparse.", position + 1);
  host::require_max_dim(deliverable, X, "X has more rows or columns than %zu.", host::MAX_DIM);
}

// The optional last input: exactly 'col' (instances are the columns of X),
// or ":badFormat".
inline bool read_col_flag(const char* deliverable, const mxArray* a, int position) {
  char text[4] = "";
  if (host::is_char_row(a) && host::cols(a) == 3) mxGetString(a, text, sizeof text);
  if (std::strcmp(text, "col") != 0)
    host::fail_for(deliverable, "badFormat",
                   "Input %d must be 'col' (the instances are the columns of X); leave it out for rows.", position + 1);
  return true;
}

}  // namespace linmodel
