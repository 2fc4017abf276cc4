// Plain C++ side of training and prediction: the instances of a data matrix
// (its rows, or its columns) as liblinear's feature-node lists, and the
// prediction loop over them.  Knows nothing of the host.
#pragma once

#include <linear.h>

#include <cstddef>
#include <vector>

namespace linmodel {

// One list per instance, as liblinear-train reads a line of its data file:
// the instance's features in ascending order with 1-based indices (of a
// dense matrix its nonzero entries, of a sparse one its stored entries),
// then the bias node (features + 1, bias) when bias >= 0, then the
// terminator (index -1).  Instance i's list starts at nodes[start[i]].
struct NodeLists {
  std::vector<feature_node> nodes;
  std::vector<size_t> start;
  size_t count() const { return start.size(); }
  const feature_node* instance(size_t i) const { return nodes.data() + start[i]; }
};

// A data matrix of `rows` x `cols` doubles: dense column-major values, or
// compressed sparse columns (jc: cols + 1 offsets, ir: row indices, pr: the
// stored values).  Its instances are the rows, or the columns when
// col_format; the other dimension counts the features, which must stay
// below the largest int (the bias node's index is one more).
template <class Index>
struct DataMatrix {
  size_t rows = 0, cols = 0;
  const double* pr = nullptr;
  const Index* jc = nullptr;  // null: dense
  const Index* ir = nullptr;
  bool col_format = false;

  size_t instances() const { return col_format ? cols : rows; }
  size_t features() const { return col_format ? rows : cols; }
  size_t stored() const { return jc ? static_cast<size_t>(jc[cols]) : rows * cols; }
};

NodeLists dense_nodes(const double* a, size_t rows, size_t cols, bool col_format, double bias);

// Sparse: in row format the stored entries are sorted into rows, column by
// column, so that every list is in ascending feature order.
template <class Index>
NodeLists sparse_nodes(const Index* jc, const Index* ir, const double* pr, size_t rows, size_t cols, bool col_format,
                       double bias) {
  const size_t extra = bias >= 0 ? 2 : 1;  // bias node and terminator
  const size_t n = col_format ? cols : rows;
  NodeLists lists;
  lists.start.resize(n);
  std::vector<size_t> fill(n, 0);  // stored entries of each instance
  if (col_format) {
    for (size_t j = 0; j < cols; ++j) fill[j] = static_cast<size_t>(jc[j + 1] - jc[j]);
  } else {
    for (size_t e = 0, end = static_cast<size_t>(jc[cols]); e < end; ++e) ++fill[static_cast<size_t>(ir[e])];
  }
  size_t total = 0;
  for (size_t i = 0; i < n; ++i) {
    lists.start[i] = total;
    total += fill[i] + extra;
    fill[i] = lists.start[i];  // now the next free node of instance i
  }
  lists.nodes.resize(total);
  for (size_t j = 0; j < cols; ++j)
    for (size_t e = static_cast<size_t>(jc[j]), end = static_cast<size_t>(jc[j + 1]); e < end; ++e) {
      const size_t r = static_cast<size_t>(ir[e]);
      const size_t i = col_format ? j : r;
      feature_node& node = lists.nodes[fill[i]++];
      node.index = static_cast<int>(col_format ? r : j) + 1;
      node.value = pr[e];
    }
  const int bias_index = static_cast<int>(col_format ? rows : cols) + 1;
  for (size_t i = 0; i < n; ++i) {
    if (bias >= 0) lists.nodes[fill[i]++] = feature_node{bias_index, bias};
    lists.nodes[fill[i]] = feature_node{-1, 0.0};
  }
  return lists;
}

template <class Index>
NodeLists node_lists(const DataMatrix<Index>& x, double bias) {
  if (x.jc) return sparse_nodes(x.jc, x.ir, x.pr, x.rows, x.cols, x.col_format, bias);
  return dense_nodes(x.pr, x.rows, x.cols, x.col_format, bias);
}

// Where the predictions go: n labels; the decision values (n x
// class_columns, column-major) unless null; the probability estimates
// (n x nr_class) unless null, which only a logistic-regression model gives.
struct Predictions {
  double* labels = nullptr;
  double* values = nullptr;
  double* probabilities = nullptr;
};

// Predicts every instance in order.  The labels and decision values are
// those of liblinear's predict and predict_values, the probabilities those
// of predict_probability.
void predict_all(const model* m, const NodeLists& lists, const Predictions& out);

}  // namespace linmodel
