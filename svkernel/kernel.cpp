// Kernel values: the merge dot product, the five kernel functions, and the
// blocked, threaded square Gram matrix that reproduces them bit for bit.
#include "svkernel/kernel.h"

// The vector helpers are all inlined into their callers, so their vector
// arguments and results never cross a call: the compiler's note that such
// calls changed convention between its versions does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "svkernel/lanes.h"

#include "host/huge_pages.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>


namespace svkernel {

// Every double strictly between these two truncates into the int32 range.
constexpr double INT32_TRUNC_ABOVE = -2147483649.0;
constexpr double INT32_TRUNC_BELOW = 2147483648.0;

int32_t truncToInt32(double v) {
  if (!(v > INT32_TRUNC_ABOVE && v < INT32_TRUNC_BELOW)) return INT32_MIN;
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
// then times gamma; on doubles or, lane by lane, on vectors of them.
template <class A, class D, class B>
SVKERNEL_LANES_INLINE auto rbfExponent(A sq_a, D S, B sq_b, double gamma) {
  auto t = sq_a - S * 2.0;
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

using lanes::f32x4;
using lanes::f64x4;
// Eight single-precision lanes: 256 bits, a native register for every
// build with AVX2 (wider generic vectors would go through memory there).
typedef float f32x8 __attribute__((vector_size(32)));

static_assert(GRAM_BLOCK == 16, "a block's rows are the lanes of two f32x8");

// Rows of one dot-product tile: 4 rows times 16 columns are 4 accumulators of
// 16 lanes (8 AVX2 registers), enough independent sums to keep both adders
// busy while leaving registers for the operands.
constexpr int32_t TILE_ROWS = 4;
// Blocks of rows in one unit of work (64 rows): a panel's packed rows stay in
// the second-level cache while every column block passes by, and each of
// its stores into a column of K is 512 contiguous bytes.
constexpr int32_t PANEL_BLOCKS = 4;

// Dot products of TILE_ROWS rows (lanes first.. of block a) with the
// GRAM_BLOCK rows of block b, N features each.  Lanes never mix: each sums
// its own single-precision products in feature order from 0, exactly as the
// merge does.
SVKERNEL_LANES_INLINE void dotTile(const float* a, int32_t first, const float* b, int32_t N,
                                   float out[TILE_ROWS][GRAM_BLOCK]) {
  f32x8 lo0 = {}, lo1 = {}, lo2 = {}, lo3 = {}, hi0 = {}, hi1 = {}, hi2 = {}, hi3 = {};
  for (int32_t k = 0; k < N; ++k) {
    f32x8 blo, bhi;
    std::memcpy(&blo, b + static_cast<size_t>(k) * GRAM_BLOCK, sizeof blo);
    std::memcpy(&bhi, b + static_cast<size_t>(k) * GRAM_BLOCK + 8, sizeof bhi);
    const float* ak = a + static_cast<size_t>(k) * GRAM_BLOCK + first;
    const float a0 = ak[0], a1 = ak[1], a2 = ak[2], a3 = ak[3];
    lo0 = lo0 + blo * a0;
    hi0 = hi0 + bhi * a0;
    lo1 = lo1 + blo * a1;
    hi1 = hi1 + bhi * a1;
    lo2 = lo2 + blo * a2;
    hi2 = hi2 + bhi * a2;
    lo3 = lo3 + blo * a3;
    hi3 = hi3 + bhi * a3;
  }
  std::memcpy(out[0], &lo0, sizeof lo0);
  std::memcpy(out[0] + 8, &hi0, sizeof hi0);
  std::memcpy(out[1], &lo1, sizeof lo1);
  std::memcpy(out[1] + 8, &hi1, sizeof hi1);
  std::memcpy(out[2], &lo2, sizeof lo2);
  std::memcpy(out[2] + 8, &hi2, sizeof hi2);
  std::memcpy(out[3], &lo3, sizeof lo3);
  std::memcpy(out[3] + 8, &hi3, sizeof hi3);
}

struct GramJob {
  const kernel_parm* p;
  const float* packed;
  const double* sq;
  int32_t M, N;
  double* K;
};

// The four doubles of lanes 4q.. of a row of S.
SVKERNEL_LANES_INLINE f64x4 quarter(const float* s, int q) {
  f32x4 part;
  std::memcpy(&part, s + 4 * q, sizeof part);
  return __builtin_convertvector(part, f64x4);
}

// K(i, j) for i of row block ab (first vector) and j of column block bb
// (second vector) and, when ab < bb, K(j, i) as well.
//
// The float dot product of rows i and j is the same number whichever comes
// first: each product commutes and the sum runs in feature order either way.
// (Only the payload of a NaN result could tell the orders apart, and IEEE
// arithmetic leaves that open; compilers swap the operands of a product.)
// So the linear, polynomial and sigmoid values, which depend on S alone, are
// computed once per pair; the radial value also reads the two norms in
// order and is computed twice where the two exponents differ.  On a
// diagonal block pair every (i, j) is computed and stored once.
SVKERNEL_LANES_INLINE void blockPair(const GramJob& job, int32_t ab, int32_t bb) {
  const kernel_parm& p = *job.p;
  const int32_t M = job.M, N = job.N;
  const size_t block_floats = static_cast<size_t>(N) * GRAM_BLOCK;
  const float* A = job.packed + ab * block_floats;
  const float* B = job.packed + bb * block_floats;
  const int32_t i0 = ab * GRAM_BLOCK, j0 = bb * GRAM_BLOCK;
  const int32_t rows = std::min(GRAM_BLOCK, M - i0), cols = std::min(GRAM_BLOCK, M - j0);
  const bool diagonal = ab == bb;

  alignas(32) float S[GRAM_BLOCK][GRAM_BLOCK];
  for (int32_t t = 0; t < GRAM_BLOCK; t += TILE_ROWS) dotTile(A, t, B, N, S + t);

  // Norms of the block's rows, 0 past M.
  double sq_i[GRAM_BLOCK] = {}, sq_j[GRAM_BLOCK] = {};
  for (int32_t r = 0; r < rows; ++r) sq_i[r] = job.sq[i0 + r];
  for (int32_t c = 0; c < cols; ++c) sq_j[c] = job.sq[j0 + c];

  // V[r][c] = K(i0 + r, j0 + c); W[r][c] = K(j0 + c, i0 + r) where that
  // differs (radial only).
  // Lanes whose vector value may not be the runtime's are marked in `doubt`;
  // they are rare (about 1 in 65000), so a block pair with any of them is
  // simply evaluated again value by value.
  float V[GRAM_BLOCK][GRAM_BLOCK], W[GRAM_BLOCK][GRAM_BLOCK];
  const bool radial = p.kernel_type == KERNEL_RBF;
  const bool pow_lanes = p.poly_degree > 0 && p.poly_degree <= lanes::POW_LANES_MAX_DEGREE;
  lanes::i64x4 doubt = {};
  // The radial exponent with the norms swapped is almost always the same
  // double (both sums of three floats widened to double are usually exact);
  // only where it differs is the value for K(j, i) computed on its own.
  lanes::i64x4 swapped_differs = {};
  for (int32_t r = 0; r < GRAM_BLOCK; ++r) {
    if (p.kernel_type == KERNEL_LINEAR) {
      std::memcpy(V[r], &S[r], sizeof V[r]);
      continue;
    }
    for (int q = 0; q < GRAM_BLOCK / 4; ++q) {
      const f64x4 s = quarter(S[r], q);
      f32x4 v;
      lanes::i64x4 redo = {};
      switch (p.kernel_type) {
        case KERNEL_POLY:
          if (p.poly_degree == 0) {
            // pow(x, 0) is 1 for every x, NaN included.
            v = f32x4{1.0f, 1.0f, 1.0f, 1.0f};
          } else if (pow_lanes) {
            v = lanes::powToFloatLanes(s * p.coef_lin + p.coef_const, p.poly_degree, redo);
          } else {
            for (int l = 0; l < 4; ++l) v[l] = applyKernel(p, S[r][4 * q + l], 0.0, 0.0);
          }
          break;
        case KERNEL_RBF: {
          f64x4 sqb;
          std::memcpy(&sqb, sq_j + 4 * q, sizeof sqb);
          const f64x4 t = rbfExponent(sq_i[r], s, sqb, p.rbf_gamma);
          v = lanes::expToFloatLanes(-t, redo);
          if (!diagonal) swapped_differs |= t != rbfExponent(sqb, s, sq_i[r], p.rbf_gamma);
          break;
        }
        default:  // KERNEL_SIGMOID; the custom kernel never gets here
          for (int l = 0; l < 4; ++l) v[l] = applyKernel(p, S[r][4 * q + l], 0.0, 0.0);
      }
      std::memcpy(&V[r][4 * q], &v, sizeof v);
      doubt |= redo;
    }
  }
  const bool mirror_own = radial && lanes::anySet(swapped_differs);
  if (mirror_own)
    for (int32_t r = 0; r < GRAM_BLOCK; ++r)
      for (int q = 0; q < GRAM_BLOCK / 4; ++q) {
        f64x4 sqb;
        std::memcpy(&sqb, sq_j + 4 * q, sizeof sqb);
        const f64x4 u = rbfExponent(sqb, quarter(S[r], q), sq_i[r], p.rbf_gamma);
        lanes::i64x4 redo;
        const f32x4 w = lanes::expToFloatLanes(-u, redo);
        std::memcpy(&W[r][4 * q], &w, sizeof w);
        doubt |= redo;
      }
  if (lanes::anySet(doubt))
    for (int32_t r = 0; r < rows; ++r)
      for (int32_t c = 0; c < cols; ++c) {
        V[r][c] = applyKernel(p, S[r][c], sq_i[r], sq_j[c]);
        if (mirror_own) W[r][c] = applyKernel(p, S[r][c], sq_j[c], sq_i[r]);
      }

  double* K = job.K;
  const size_t Ms = static_cast<size_t>(M);
  for (int32_t c = 0; c < cols; ++c) {
    double* col = K + Ms * static_cast<size_t>(j0 + c) + i0;
    for (int32_t r = 0; r < rows; ++r) col[r] = V[r][c];
  }
  if (diagonal) return;
  const float(*mirror)[GRAM_BLOCK] = mirror_own ? W : V;
  for (int32_t r = 0; r < rows; ++r) {
    double* col = K + Ms * static_cast<size_t>(i0 + r) + j0;
    for (int32_t c = 0; c < cols; ++c) col[c] = mirror[r][c];
  }
}

// Built for processors with AVX-512, with AVX2 and without either, and picked
// at load time; every build computes the same IEEE operations on each lane.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
#define SVKERNEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define SVKERNEL_CLONES
#endif

// Rows of panel `panel` against every row at or after the panel's first:
// column block by column block, so that each column block's packed rows are
// read from memory once per panel.
SVKERNEL_CLONES void gramPanel(const GramJob& job, int32_t panel) {
  const int32_t blocks = (job.M + GRAM_BLOCK - 1) / GRAM_BLOCK;
  const int32_t first = panel * PANEL_BLOCKS, end = std::min(first + PANEL_BLOCKS, blocks);
  for (int32_t bb = first; bb < blocks; ++bb)
    for (int32_t ab = first; ab < end && ab <= bb; ++ab) blockPair(job, ab, bb);
}

SVKERNEL_CLONES void expToFloatAll(const double* x, float* out, size_t n) {
  for (size_t at = 0; at < n; at += 4) {
    const size_t count = std::min<size_t>(4, n - at);
    f64x4 v = {};
    if (count == 4) std::memcpy(&v, x + at, sizeof v);
    else std::memcpy(&v, x + at, count * sizeof(double));
    const f32x4 f = lanes::expToFloatLanes(v);
    if (count == 4) std::memcpy(out + at, &f, sizeof f);
    else std::memcpy(out + at, &f, count * sizeof(float));
  }
}

SVKERNEL_CLONES void powToFloatAll(const double* x, int32_t degree, float* out, size_t n) {
  for (size_t at = 0; at < n; at += 4) {
    const size_t count = std::min<size_t>(4, n - at);
    f64x4 v = {};
    if (count == 4) std::memcpy(&v, x + at, sizeof v);
    else std::memcpy(&v, x + at, count * sizeof(double));
    const f32x4 f = lanes::powToFloatLanes(v, degree);
    if (count == 4) std::memcpy(out + at, &f, sizeof f);
    else std::memcpy(out + at, &f, count * sizeof(float));
  }
}

}  // namespace

void expToFloat(const double* x, float* out, size_t n) { expToFloatAll(x, out, n); }

void powToFloat(const double* x, int32_t degree, float* out, size_t n) {
  if (degree >= 1 && degree <= lanes::POW_LANES_MAX_DEGREE) {
    powToFloatAll(x, degree, out, n);
    return;
  }
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(std::pow(x[i], static_cast<double>(degree)));
}

// Below this many multiply-adds (M^2 (N + GRAM_THREAD_COST_PER_VALUE)) a
// Gram matrix takes well under a millisecond, less than starting a thread
// and waiting for it costs.
constexpr double GRAM_THREAD_MIN_WORK = 4e6;
// The kernel function and the store of a value cost about as much as this
// many multiply-adds of the dot product.
constexpr double GRAM_THREAD_COST_PER_VALUE = 8.0;
// Threads beyond this are not started, whatever the machine reports.
constexpr unsigned GRAM_MAX_THREADS = 64;

int gramThreads(int32_t M, int32_t N) {
  // In double throughout: N + 8 would overflow int32 for the widest inputs.
  const double work = static_cast<double>(M) * M * (static_cast<double>(N) + GRAM_THREAD_COST_PER_VALUE);
  if (work < GRAM_THREAD_MIN_WORK) return 1;
  const unsigned hw = std::thread::hardware_concurrency();
  return static_cast<int>(std::min(hw == 0 ? 1u : hw, GRAM_MAX_THREADS));
}

void gramDense(const kernel_parm& p, const float* packed, const double* sq, int32_t M, int32_t N, double* K,
               int threads) {
  if (M <= 0) return;
  pages::advise_huge(K, static_cast<uint64_t>(M) * static_cast<uint64_t>(M) * sizeof(double));
  if (p.kernel_type == KERNEL_CUSTOM) {
    // A constant: no dot product is taken.
    std::fill_n(K, static_cast<size_t>(M) * static_cast<size_t>(M), 1.0);
    return;
  }
  const GramJob job{&p, packed, sq, M, N, K};
  const int32_t blocks = (M + GRAM_BLOCK - 1) / GRAM_BLOCK;
  const int32_t panels = (blocks + PANEL_BLOCKS - 1) / PANEL_BLOCKS;
  // Panels are handed out in order: the first ones carry the most pairs, so
  // the last to be taken are the cheapest.
  std::atomic<int32_t> next{0};
  auto work = [&job, &next, panels] {
    for (int32_t g = next.fetch_add(1); g < panels; g = next.fetch_add(1)) gramPanel(job, g);
  };
  std::vector<std::thread> helpers;
  const int wanted = std::max(1, std::min<int>(threads, panels)) - 1;
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
