#include "lowrank/rbf.h"

#include <cmath>
#include <vector>

#include "lowrank/samples.h"

namespace lowrank {

namespace {

struct RbfKernel {
  static constexpr uint64_t POOL_FROM = POOL_FROM_COMPUTED;

  PositionedSamples s;
  double f;

  RbfKernel(const double* X, size_t d, size_t n, double sigma) : s(X, d, n), f((-0.5 / sigma) / sigma) {}
  double diag(size_t) const { return 1.0; }
  // d differences and squares, and an exp of about forty pairs' time.
  double column_cost() const { return 40.0 + static_cast<double>(s.d); }
  void swap(size_t p, size_t k) { s.swap(p, k); }
  void prepare(const int32_t* samples, const int32_t*, size_t C, Team&) { s.gather(samples, C); }
  void columns(Isa isa, size_t C, double* const* out, size_t r0, size_t r1, const int32_t*) const {
    sq_distances(isa, s.xp.data(), s.n, s.d, s.xu.data(), C, out, r0, r1);
    for (size_t c = 0; c < C; ++c) {
      double* o = out[c];
      for (size_t i = r0; i < r1; ++i) o[i] = std::exp(o[i] * f);
    }
  }
};

}  // namespace

uint64_t rbf_work_bytes(int64_t d, int64_t n, int64_t capacity) {
  const uint64_t N = static_cast<uint64_t>(n);
  const uint64_t cap = static_cast<uint64_t>(capped_capacity(n, capacity));
  return add_bytes(add_bytes(bytes_of(cap, 8 * N), bytes_of(static_cast<uint64_t>(d), 8 * N)), icf_state_bytes(N));
}

IcfResult icf_rbf(const double* X, int32_t d, int32_t n, double sigma, double tol, int32_t capacity,
                  const IcfOptions& options, IcfStats* stats) {
  RbfKernel kernel(X, static_cast<size_t>(d), static_cast<size_t>(n), sigma);
  const uint64_t table_bytes = bytes_of(static_cast<uint64_t>(d), 8 * static_cast<uint64_t>(n));
  return pivoted_icf(n, kernel, tol, capacity, table_bytes, options, stats);
}

}  // namespace lowrank
