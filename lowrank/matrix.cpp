#include "lowrank/matrix.h"

#include "host/huge_pages.h"

namespace lowrank {

namespace {

// Kernel values read from the matrix: the candidate's row, in the order of
// the positions.  The rows are first copied in sample order, a run of loads
// one column apart that can be fetched ahead, then taken in pivot order from
// the copy, which stays in cache.
struct MatrixKernel {
  // A column is read from the matrix, so cheaply that the pool pays from
  // the first step on.
  static constexpr uint64_t POOL_FROM = 0;

  const double* A;
  size_t n;
  std::vector<double> rows;  // the candidates' rows, by sample
  static constexpr size_t PARTS = 8;

  double diag(size_t v) const { return A[v * (n + 1)]; }
  // One load from a row copied in cache.
  double column_cost() const { return 1.0; }
  void swap(size_t, size_t) {}
  void prepare(const int32_t* samples, const int32_t*, size_t C, Team& team) {
    rows.resize(C * n);
    // Each load is a cache line of its own, and each column of A a few pages:
    // column by column, the candidates' entries of one column share its
    // pages; with several candidates the threads share the columns, to have
    // more loads in flight.
    const size_t parts = C == 1 ? 1 : PARTS;
    team.run(parts, [&](size_t part) {
      const size_t v0 = n * part / parts, v1 = n * (part + 1) / parts;
      for (size_t v = v0; v < v1; ++v) {
        const double* column = A + n * v;
        for (size_t c = 0; c < C; ++c) rows[c * n + v] = column[static_cast<size_t>(samples[c])];
      }
    });
  }
  void columns(Isa, size_t C, double* const* out, size_t r0, size_t r1, const int32_t* perm) const {
    for (size_t c = 0; c < C; ++c) {
      const double* copy = rows.data() + c * n;
      double* o = out[c];
      for (size_t i = r0; i < r1; ++i) o[i] = copy[static_cast<size_t>(perm[i])];
    }
  }
};

}  // namespace

double matrix_trace(const double* A, int32_t n) {
  const size_t N = static_cast<size_t>(n);
  double t = 0.0;
  for (size_t j = 0; j < N; ++j) t = t + A[j + N * j];
  return t;
}

uint64_t matrix_work_bytes(int64_t n, int64_t max_rank) {
  const uint64_t N = static_cast<uint64_t>(n);
  return add_bytes(bytes_of(static_cast<uint64_t>(max_rank), 8 * N), add_bytes(icf_state_bytes(N), bytes_of(N, 8)));
}

MatrixIcfResult icf_matrix(const double* A, int32_t n, double tol, int32_t max_rank, double* G,
                           const IcfOptions& options, IcfStats* stats) {
  const size_t N = static_cast<size_t>(n);
  // The factor is usually fresh memory the host has just mapped: huge pages
  // make its first touch several times cheaper.
  pages::advise_huge(G, bytes_of(N, 8 * static_cast<uint64_t>(max_rank)));
  MatrixKernel kernel{A, N, {}};
  Team team(icf_threads(N, options));
  IcfWork w;
  icf_begin(w, N, kernel, options, &team);
  w.G = G;

  MatrixIcfResult out;
  out.trace = matrix_trace(A, n);
  const double threshold = out.trace * tol;
  double remaining = out.trace;
  size_t k = 0, p = 0;
  // Past position n - 1 the remaining trace is an empty sum, 0.0, which only
  // a negative threshold exceeds; the bound k < n keeps the step inside the
  // matrix in that case.
  double before = out.trace;
  while (remaining > threshold && k < static_cast<size_t>(max_rank) && k < N) {
    w.horizon = std::min(static_cast<size_t>(max_rank) - k, icf_steps_left(before, remaining, threshold));
    before = remaining;
    remaining = icf_step(w, kernel, k, p, &p);
    ++k;
  }
  out.rank = static_cast<int32_t>(k);
  out.remaining = remaining;
  out.perm = std::move(w.perm);
  if (stats) *stats = w.stats;
  return out;
}

}  // namespace lowrank
