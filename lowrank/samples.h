// The samples of the Gaussian and the polynomial kernel as their kernel
// columns read them: coordinate t of the sample at position i at
// xp[t·n + i], following the row swaps, so that the values of a block of
// rows are read as vectors; and the coordinates of the candidates of one
// fill, candidate by candidate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "lowrank/pivoted_icf.h"

namespace lowrank {

struct PositionedSamples {
  const double* X;  // d × n, one sample per column, in sample order
  size_t d, n;
  Doubles xp;
  std::vector<double> xu;

  PositionedSamples(const double* X_, size_t d_, size_t n_) : X(X_), d(d_), n(n_), xp(d_ * n_) {
    for (size_t i = 0; i < n; ++i)
      for (size_t t = 0; t < d; ++t) xp[t * n + i] = X[i * d + t];
  }
  // Positions p and k trade samples.
  void swap(size_t p, size_t k) {
    for (size_t t = 0; t < d; ++t) std::swap(xp[t * n + p], xp[t * n + k]);
  }
  // The coordinates of the C candidate samples into xu.
  void gather(const int32_t* samples, size_t C) {
    xu.resize(C * d);
    for (size_t c = 0; c < C; ++c)
      for (size_t t = 0; t < d; ++t) xu[c * d + t] = X[static_cast<size_t>(samples[c]) * d + t];
  }
};

}  // namespace lowrank
