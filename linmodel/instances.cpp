#include "linmodel/instances.h"

#include "linmodel/scoring.h"

namespace linmodel {

NodeLists dense_nodes(const double* a, size_t rows, size_t cols, bool col_format, double bias) {
  const size_t extra = bias >= 0 ? 2 : 1;
  const size_t n = col_format ? cols : rows, d = col_format ? rows : cols;
  // Element (instance i, feature f) of the matrix.
  const size_t instance_step = col_format ? rows : 1, feature_step = col_format ? 1 : rows;
  NodeLists lists;
  lists.start.resize(n);
  size_t total = 0;
  for (size_t i = 0; i < n; ++i) {
    lists.start[i] = total;
    const double* x = a + i * instance_step;
    for (size_t f = 0; f < d; ++f) total += x[f * feature_step] != 0;
    total += extra;
  }
  lists.nodes.resize(total);
  const int bias_index = static_cast<int>(d) + 1;
  feature_node* node = lists.nodes.data();
  for (size_t i = 0; i < n; ++i) {
    const double* x = a + i * instance_step;
    for (size_t f = 0; f < d; ++f) {
      const double v = x[f * feature_step];
      if (v != 0) *node++ = feature_node{static_cast<int>(f) + 1, v};
    }
    if (bias >= 0) *node++ = feature_node{bias_index, bias};
    *node++ = feature_node{-1, 0.0};
  }
  return lists;
}

void predict_all(const model* m, const NodeLists& lists, const Predictions& out) {
  const size_t n = lists.count();
  const int nr_class = get_nr_class(m);
  const int columns = class_columns(nr_class, m->param.solver_type);
  std::vector<double> work(static_cast<size_t>(nr_class));
  for (size_t i = 0; i < n; ++i) {
    const feature_node* x = lists.instance(i);
    out.labels[i] = predict_values(m, x, work.data());
    if (out.values)
      for (int k = 0; k < columns; ++k) out.values[i + static_cast<size_t>(k) * n] = work[static_cast<size_t>(k)];
    if (out.probabilities) {
      predict_probability(m, x, work.data());
      for (int k = 0; k < nr_class; ++k) out.probabilities[i + static_cast<size_t>(k) * n] = work[static_cast<size_t>(k)];
    }
  }
}

}  // namespace linmodel
