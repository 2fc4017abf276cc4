#include "lowrank/dotpower.h"

#include <cmath>

#include "lowrank/samples.h"

namespace lowrank {

namespace {

struct DotpowerKernel {
  static constexpr uint64_t POOL_FROM = POOL_FROM_COMPUTED;

  PositionedSamples s;
  double offset, scale, e;
  const std::vector<double>& kdiag;

  DotpowerKernel(const double* X, size_t d, size_t n, double offset_, double scale_, int32_t degree,
                 const std::vector<double>& kdiag_)
      : s(X, d, n), offset(offset_), scale(scale_), e(static_cast<double>(degree)), kdiag(kdiag_) {}
  double diag(size_t v) const { return kdiag[v]; }
  // d products, and a pow of about eighty pairs' time.
  double column_cost() const { return 80.0 + static_cast<double>(s.d); }
  void swap(size_t p, size_t k) { s.swap(p, k); }
  void prepare(const int32_t* samples, const int32_t*, size_t C, Team&) { s.gather(samples, C); }
  void columns(Isa isa, size_t C, double* const* out, size_t r0, size_t r1, const int32_t*) const {
    inner_products(isa, s.xp.data(), s.n, s.d, s.xu.data(), C, out, r0, r1);
    for (size_t c = 0; c < C; ++c) {
      double* o = out[c];
      for (size_t i = r0; i < r1; ++i) o[i] = std::pow(o[i] * scale + offset, e);
    }
  }
};

}  // namespace

std::vector<double> dotpower_diagonal(const double* X, int32_t d, int32_t n, double offset, double scale,
                                      int32_t degree) {
  const double e = static_cast<double>(degree);
  const size_t dd = static_cast<size_t>(d);
  std::vector<double> kdiag(static_cast<size_t>(n));
  for (size_t v = 0; v < kdiag.size(); ++v) {
    const double* x = X + v * dd;
    if (d == 1) {
      kdiag[v] = std::pow((x[0] * scale) * x[0] + offset, e);
    } else {
      double q = 0.0;
      for (size_t t = 0; t < dd; ++t) q = q + x[t] * x[t];
      kdiag[v] = std::pow(q * scale + offset, e);
    }
  }
  return kdiag;
}

uint64_t dotpower_work_bytes(int64_t d, int64_t n, int64_t capacity) {
  const uint64_t N = static_cast<uint64_t>(n);
  const uint64_t cap = static_cast<uint64_t>(capped_capacity(n, capacity));
  return add_bytes(add_bytes(bytes_of(cap, 8 * N), bytes_of(static_cast<uint64_t>(d) + 1, 8 * N)), icf_state_bytes(N));
}

IcfResult icf_dotpower(const double* X, int32_t d, int32_t n, double offset, double scale, int32_t degree, double tol,
                       int32_t capacity, const IcfOptions& options, IcfStats* stats) {
  const std::vector<double> kdiag = dotpower_diagonal(X, d, n, offset, scale, degree);
  DotpowerKernel kernel(X, static_cast<size_t>(d), static_cast<size_t>(n), offset, scale, degree, kdiag);
  const uint64_t table_bytes = bytes_of(static_cast<uint64_t>(d) + 1, 8 * static_cast<uint64_t>(n));
  return pivoted_icf(n, kernel, tol, capacity, table_bytes, options, stats);
}

}  // namespace lowrank
