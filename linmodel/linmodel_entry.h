// Entry side of the model conversion: gathers the fields of a host model
// struct (element 1, fields by position) as plain buffers and builds the
// liblinear record from them.
#pragma once

#include "host/mexhost.h"
#include "linmodel/scoring.h"

namespace linmodel {

// Builds `m` (zeroed, from calloc) from the host struct `s`.  Returns null or
// an error text held in `error`.
inline const char* model_from_struct(model* m, const mxArray* s, char* error, size_t error_size) {
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
  return model_from_fields(m, fields, error, error_size);
}

}  // namespace linmodel
