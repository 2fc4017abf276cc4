// The literal Gram procedure, written out independently of the library: every
// row becomes a feature list (features 1..N, values rounded to single, a
// terminating 0), and every one of the M*M pairs is evaluated from scratch by
// a merge over the two lists, row i first and row j second.  Used by the
// tests as the reference and by the benchmark as the straightforward
// baseline.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace svkernel_ref {

struct Entry {
  int32_t feature;
  float value;
};

struct Kernel {
  int32_t type;
  int32_t degree;
  double gamma, coef_lin, coef_const;
};

inline std::vector<Entry> row_list(const double* X, int64_t M, int64_t N, int64_t i) {
  std::vector<Entry> list;
  for (int64_t k = 0; k < N; ++k) list.push_back({static_cast<int32_t>(k + 1), static_cast<float>(X[i + k * M])});
  list.push_back({0, 0.0f});
  return list;
}

inline float merge_dot(const Entry* a, const Entry* b) {
  float sum = 0.0f;
  while (a->feature && b->feature) {
    if (a->feature > b->feature) {
      ++b;
    } else if (a->feature < b->feature) {
      ++a;
    } else {
      sum += b->value * a->value;
      ++a;
      ++b;
    }
  }
  return sum;
}

inline float kernel(const Kernel& k, const Entry* a, const Entry* b) {
  if (k.type == 4) return 1.0f;
  const float s = merge_dot(a, b);
  const double S = s;
  switch (k.type) {
    case 0: return s;
    case 1: return static_cast<float>(std::pow(S * k.coef_lin + k.coef_const, static_cast<double>(k.degree)));
    case 2: {
      double t = static_cast<double>(merge_dot(a, a)) - S * 2.0;
      t = t + static_cast<double>(merge_dot(b, b));
      t = t * k.gamma;
      return static_cast<float>(std::exp(-t));
    }
    default: return static_cast<float>(std::tanh(S * k.coef_lin + k.coef_const));
  }
}

// The M × M Gram matrix, column-major.  Squared norms are taken once per
// row, as the sparse vectors carry them.
inline std::vector<double> gram(const Kernel& k, const double* X, int64_t M, int64_t N) {
  std::vector<std::vector<Entry>> lists;
  std::vector<double> sq;
  for (int64_t i = 0; i < M; ++i) {
    lists.push_back(row_list(X, M, N, i));
    sq.push_back(merge_dot(lists.back().data(), lists.back().data()));
  }
  std::vector<double> K(static_cast<size_t>(M * M));
  for (int64_t i = 0; i < M; ++i)
    for (int64_t j = 0; j < M; ++j) {
      const Entry* a = lists[i].data();
      const Entry* b = lists[j].data();
      float v;
      if (k.type == 2) {
        const double S = merge_dot(a, b);
        double t = sq[i] - S * 2.0;
        t = t + sq[j];
        t = t * k.gamma;
        v = static_cast<float>(std::exp(-t));
      } else {
        v = kernel(k, a, b);
      }
      K[i + j * M] = v;
    }
  return K;
}

}  // namespace svkernel_ref
