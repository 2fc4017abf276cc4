// Kernel values: the merge dot product, the five kernel functions, and the
// blocked, threaded square Gram matrix that reproduces them bit for bit.
#include "svkernel/kernel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace svkernel {

int32_t truncToInt32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(v);
}

float sparseDot(const feature_entry* a, const feature_entry* b) {
  float sum = 0.0f;
  while (a->feature != 0 && b->feature != 0) {
    if (a->feature > b->feature) {
      ++b;
    } else if (a->feature < b->feature) {
      ++a;
    } else {
      const float product = b->value * a->value;
      sum = sum + product;
      ++a;
      ++b;
    }
  }
  return sum;
}

bool kernelKnown(int32_t kernel_type) { return kernel_type >= KERNEL_LINEAR && kernel_type <= KERNEL_CUSTOM; }

namespace {

// Exponent of the radial kernel, in this order: sq_a - 2S, then + sq_b,
// then times gamma.
inline double rbfExponent(double sq_a, double S, double sq_b, double gamma) {
  double t = sq_a - S * 2.0;
  t = t + sq_b;
  t = t * gamma;
  return t;
}

}  // namespace

float applyKernel(const kernel_parm& p, float s, double sq_a, double sq_b) {
  const double S = static_cast<double>(s);
  switch (p.kernel_type) {
    case KERNEL_LINEAR:
      return s;
    case KERNEL_POLY:
      return static_cast<float>(std::pow(S * p.coef_lin + p.coef_const, static_cast<double>(p.poly_degree)));
    case KERNEL_RBF:
      return static_cast<float>(std::exp(-rbfExponent(sq_a, S, sq_b, p.rbf_gamma)));
    case KERNEL_SIGMOID:
      return static_cast<float>(std::tanh(S * p.coef_lin + p.coef_const));
    default:  // KERNEL_CUSTOM
      return 1.0f;
  }
}

float evalKernel(const kernel_parm& p, const sparse_vector& a, const sparse_vector& b) {
  if (p.kernel_type == KERNEL_CUSTOM) return 1.0f;
  return applyKernel(p, sparseDot(a.entries, b.entries), a.sq_norm, b.sq_norm);
}

int64_t checkedIndex(int64_t rows, int64_t cols, int64_t i, int64_t j) {
  const int64_t position = i + rows * j;
  return position < rows * cols ? position : -1;
}

size_t gramPackedFloats(int32_t M, int32_t N) {
  const size_t blocks = (static_cast<size_t>(M) + GRAM_BLOCK - 1) / GRAM_BLOCK;
  return blocks * static_cast<size_t>(N) * GRAM_BLOCK;
}

// The rows come from the row converter, so row i's list is features 1..N in
// order and its k-th entry is feature k+1.
void packRows(const example* const* rows, int32_t M, int32_t N, float* packed, double* sq) {
  const size_t floats = gramPackedFloats(M, N);
  if (floats > 0) std::memset(packed, 0, floats * sizeof(float));
  for (int32_t i = 0; i < M; ++i) {
    const feature_entry* e = rows[i]->vec->entries;
    float* dst = packed + static_cast<size_t>(i / GRAM_BLOCK) * N * GRAM_BLOCK + i % GRAM_BLOCK;
    for (int32_t k = 0; k < N; ++k) dst[static_cast<size_t>(k) * GRAM_BLOCK] = e[k].value;
    sq[i] = rows[i]->vec->sq_norm;
  }
}

namespace {

// Eight single-precision lanes, one per column of a tile.  Lanes never mix:
// each accumulates its own dot product in feature order, exactly like the
// scalar merge.
typedef float lanes8 __attribute__((vector_size(32)));

constexpr int32_t TILE_ROWS = 4;

// Dot products of TILE_ROWS rows (column `first` of block a, and the next
// three) with the GRAM_BLOCK rows of block b, N features each.
inline void dotTile(const float* a, int32_t first, const float* b, int32_t N, float out[TILE_ROWS][GRAM_BLOCK]) {
  lanes8 acc0 = {0, 0, 0, 0, 0, 0, 0, 0}, acc1 = acc0, acc2 = acc0, acc3 = acc0;
  for (int32_t k = 0; k < N; ++k) {
    lanes8 bk;
    std::memcpy(&bk, b + static_cast<size_t>(k) * GRAM_BLOCK, sizeof bk);
    const float* ak = a + static_cast<size_t>(k) * GRAM_BLOCK + first;
    const lanes8 p0 = bk * ak[0], p1 = bk * ak[1], p2 = bk * ak[2], p3 = bk * ak[3];
    acc0 = acc0 + p0;
    acc1 = acc1 + p1;
    acc2 = acc2 + p2;
    acc3 = acc3 + p3;
  }
  std::memcpy(out[0], &acc0, sizeof acc0);
  std::memcpy(out[1], &acc1, sizeof acc1);
  std::memcpy(out[2], &acc2, sizeof acc2);
  std::memcpy(out[3], &acc3, sizeof acc3);
}

struct GramJob {
  const kernel_parm* p;
  const float* packed;
  const double* sq;
  int32_t M, N;
  double* K;
};

// Stores K(i, j) and K(j, i) for j >= i.  The dot product is the same for
// both orders; only the radial kernel reads the norms in an order-dependent
// way, so it is the only one evaluated twice (unless both exponents agree).
inline void storePair(const GramJob& job, int32_t i, int32_t j, float s) {
  const int64_t M = job.M;
  const kernel_parm& p = *job.p;
  double* K = job.K;
  if (p.kernel_type == KERNEL_RBF) {
    const double S = static_cast<double>(s);
    const double t_ij = rbfExponent(job.sq[i], S, job.sq[j], p.rbf_gamma);
    const float v_ij = static_cast<float>(std::exp(-t_ij));
    K[i + M * j] = static_cast<double>(v_ij);
    if (j == i) return;
    const double t_ji = rbfExponent(job.sq[j], S, job.sq[i], p.rbf_gamma);
    const float v_ji = t_ji == t_ij ? v_ij : static_cast<float>(std::exp(-t_ji));
    K[j + M * i] = static_cast<double>(v_ji);
    return;
  }
  const double v = static_cast<double>(applyKernel(p, s, job.sq[i], job.sq[j]));
  K[i + M * j] = v;
  K[j + M * i] = v;
}

// Rows first .. first+TILE_ROWS-1 against every row j >= first.  Built
// twice, for processors with and without AVX2, and picked at load time; the
// lanes compute the same single-precision operations either way.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
__attribute__((target_clones("avx2", "default")))
#endif
void gramRowGroup(const GramJob& job, int32_t first) {
  const int32_t M = job.M, N = job.N;
  const size_t block_floats = static_cast<size_t>(N) * GRAM_BLOCK;
  const int32_t a_block = first / GRAM_BLOCK;
  const float* a = job.packed + a_block * block_floats;
  const int32_t blocks = (M + GRAM_BLOCK - 1) / GRAM_BLOCK;
  float s[TILE_ROWS][GRAM_BLOCK];
  for (int32_t bb = a_block; bb < blocks; ++bb) {
    dotTile(a, first % GRAM_BLOCK, job.packed + bb * block_floats, N, s);
    for (int32_t r = 0; r < TILE_ROWS; ++r) {
      const int32_t i = first + r;
      if (i >= M) break;
      for (int32_t c = 0; c < GRAM_BLOCK; ++c) {
        const int32_t j = bb * GRAM_BLOCK + c;
        if (j >= M) break;
        if (j >= i) storePair(job, i, j, s[r][c]);
      }
    }
  }
}

}  // namespace

int gramThreads(int32_t M, int32_t N) {
  // In double throughout: N + 8 would overflow int32 for the widest inputs.
  const double work = static_cast<double>(M) * M * (static_cast<double>(N) + 8.0);
  if (work < 4e6) return 1;
  const unsigned hw = std::thread::hardware_concurrency();
  return static_cast<int>(std::min(hw == 0 ? 1u : hw, 64u));
}

void gramDense(const kernel_parm& p, const float* packed, const double* sq, int32_t M, int32_t N, double* K,
               int threads) {
  if (M <= 0) return;
  const GramJob job{&p, packed, sq, M, N, K};
  const int32_t groups = (M + TILE_ROWS - 1) / TILE_ROWS;
  // Row groups are handed out in order: the first ones carry the most
  // pairs, so the last to be taken are the cheapest.
  std::atomic<int32_t> next{0};
  auto work = [&job, &next, groups] {
    for (int32_t g = next.fetch_add(1); g < groups; g = next.fetch_add(1)) gramRowGroup(job, g * TILE_ROWS);
  };
  std::vector<std::thread> helpers;
  const int wanted = std::max(1, std::min<int>(threads, groups)) - 1;
  try {
    helpers.reserve(static_cast<size_t>(wanted));
    for (int t = 0; t < wanted; ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones started and this one do the rest.
  }
  work();
  for (std::thread& h : helpers) h.join();
}

}  // namespace svkernel
