// The factorization's inner loops, included once per instruction set by
// panel.cpp (plain loops), panel_avx2.cpp and panel_avx512.cpp, which name
// the namespace (LOWRANK_PANEL_NS) and the vector width in bytes
// (LOWRANK_PANEL_VECTOR_BYTES: 0 for plain loops that the compiler
// vectorizes as it can, else 32 or 64).  No include guard on purpose.
//
// Vectors always run across rows, whose entries are independent; every entry
// sees exactly the operations of the plain procedure in its order, so all
// sets give the same bits.  Rows that do not fill a vector tile are done by
// the plain loops, which are the same operations.
//
// Memory order: rows are taken in blocks that stay in the first-level cache,
// and within a block the terms (factor columns, coordinates, orders) in
// groups: each group streams a few columns of the block from memory while the
// block's partial sums stay in registers or in cache, so that the hardware
// sees a few sequential streams rather than one cache line per column.
//
// Nothing here may be emitted as shared inline code (see panel_isa.h), so no
// standard header is included beyond the fixed-width types, and the helpers
// stay in an unnamed namespace.  The tiles' small loops are unrolled
// whatever the optimization level, so that their partial sums live in
// registers.
#include "lowrank/panel_isa.h"

#if !defined(LOWRANK_PANEL_NS) || !defined(LOWRANK_PANEL_VECTOR_BYTES)
#error "panel_loops.h is included by panel.cpp, panel_avx2.cpp and panel_avx512.cpp only"
#endif

#if defined(__GNUC__) || defined(__clang__)
#define LOWRANK_UNROLL _Pragma("GCC unroll 8")
#else
#define LOWRANK_UNROLL
#endif

namespace lowrank {
namespace LOWRANK_PANEL_NS {

namespace {

// Rows per block and terms per group.  A block's partial sums (up to eight
// candidates × 4096 rows, 256 KiB) stay in the second-level cache; a group
// reads eight columns of 32 KiB each, long enough runs for the hardware's
// prefetching.
constexpr size_t BLOCK_ROWS = 4096;
constexpr size_t GROUP = 8;

inline size_t lesser(size_t a, size_t b) { return a < b ? a : b; }

// The plain loops over rows r0 … r1-1 and terms t0 … t1-1; the first group
// (t0 = 0) starts each sum.

void eliminate_rows(const double* G, size_t ld, size_t j0, size_t j1, const double* Bt, size_t stride, size_t C,
                    double* const* P, size_t r0, size_t r1) {
  for (size_t c = 0; c < C; ++c) {
    double* out = P[c];
    for (size_t j = j0; j < j1; ++j) {
      const double b = Bt[j * stride + c];
      const double* g = G + j * ld;
      for (size_t i = r0; i < r1; ++i) out[i] = out[i] - g[i] * b;
    }
  }
}

void sq_distances_rows(const double* xp, size_t ld, size_t t0, size_t t1, const double* xu, size_t d, size_t C,
                       double* const* out, size_t r0, size_t r1) {
  for (size_t c = 0; c < C; ++c) {
    double* o = out[c];
    if (t0 == 0)
      for (size_t i = r0; i < r1; ++i) o[i] = 0.0;
    for (size_t t = t0; t < t1; ++t) {
      const double a = xu[c * d + t];
      const double* x = xp + t * ld;
      for (size_t i = r0; i < r1; ++i) {
        const double diff = a - x[i];
        o[i] = o[i] + diff * diff;
      }
    }
  }
}

void inner_products_rows(const double* xp, size_t ld, size_t t0, size_t t1, const double* xu, size_t d, size_t C,
                         double* const* out, size_t r0, size_t r1) {
  for (size_t c = 0; c < C; ++c) {
    double* o = out[c];
    if (d == 1) {
      // The single product itself: 0.0 + p would turn a -0.0 into +0.0.
      for (size_t i = r0; i < r1; ++i) o[i] = xp[i] * xu[c];
      continue;
    }
    if (t0 == 0)
      for (size_t i = r0; i < r1; ++i) o[i] = 0.0;
    for (size_t t = t0; t < t1; ++t) {
      const double a = xu[c * d + t];
      const double* x = xp + t * ld;
      for (size_t i = r0; i < r1; ++i) o[i] = o[i] + x[i] * a;
    }
  }
}

void ortho_sums_rows(const double* T, size_t ld, size_t q0, size_t q1, const double* N, size_t last, const double* const* hu,
                     size_t hs, size_t C, double* const* out, size_t r0, size_t r1) {
  for (size_t c = 0; c < C; ++c) {
    double* o = out[c];
    if (q0 == 0)
      for (size_t i = r0; i < r1; ++i) o[i] = 0.0;
    for (size_t q = q0; q < q1; ++q) {
      const double a = hu[c][q * hs];
      const double nq = N[q < last ? q : last];
      const double* h = T + q * ld;
      for (size_t i = r0; i < r1; ++i) o[i] = o[i] + (a * h[i]) / nq;
    }
  }
}

// The scaled column and the new residuals, then the remaining trace and the
// largest residual: the running sum and the comparisons one position after
// the other.
void finish_rows(const double* src, double gkk, double* col, double* resid, size_t r0, size_t r1, double* trace,
                 double* best, size_t* at) {
  for (size_t i = r0; i < r1; ++i) {
    const double g = src[i] / gkk;
    col[i] = g;
    resid[i] = resid[i] - g * g;
  }
  double sum = *trace, top = *best;
  size_t where = *at;
  for (size_t i = r0; i < r1; ++i) {
    const double value = resid[i];
    if (value > top) {
      top = value;
      where = i;
    }
    sum += value;
  }
  *trace = sum;
  *best = top;
  *at = where;
}

template <size_t C>
struct Count {
  static constexpr size_t value = C;
};

#if LOWRANK_PANEL_VECTOR_BYTES > 0

typedef double V __attribute__((vector_size(LOWRANK_PANEL_VECTOR_BYTES)));
typedef double VU __attribute__((vector_size(LOWRANK_PANEL_VECTOR_BYTES), aligned(8), may_alias));
constexpr size_t L = LOWRANK_PANEL_VECTOR_BYTES / sizeof(double);
// Candidates per tile, and the tile height in vectors for C candidates: R·C
// accumulators and R loaded vectors in the registers.
constexpr size_t MAX_C = L == 8 ? 8 : 6;
constexpr size_t REGISTERS = L == 8 ? 32 : 16;
constexpr size_t rows_for(size_t C) {
  const size_t R = (REGISTERS - 2) / (C + 1);
  return R > 4 ? 4 : R < 1 ? 1 : R;
}

inline V load(const double* p) { return *reinterpret_cast<const VU*>(p); }
inline void store(double* p, V v) { *reinterpret_cast<VU*>(p) = v; }

// A tile's partial sums: R vectors of rows i … of each of C columns.
template <size_t R, size_t C>
inline void load_sums(V (&acc)[R][C], double* const* out, size_t i) {
  LOWRANK_UNROLL
  for (size_t c = 0; c < C; ++c)
    LOWRANK_UNROLL
    for (size_t r = 0; r < R; ++r) acc[r][c] = load(out[c] + i + r * L);
}
// Zero for the first group of terms, else what the groups before summed.
template <size_t R, size_t C>
inline void start_sums(V (&acc)[R][C], double* const* out, size_t i, bool first) {
  LOWRANK_UNROLL
  for (size_t c = 0; c < C; ++c)
    LOWRANK_UNROLL
    for (size_t r = 0; r < R; ++r) acc[r][c] = first ? V{} : load(out[c] + i + r * L);
}
template <size_t R, size_t C>
inline void store_sums(double* const* out, size_t i, const V (&acc)[R][C]) {
  LOWRANK_UNROLL
  for (size_t c = 0; c < C; ++c)
    LOWRANK_UNROLL
    for (size_t r = 0; r < R; ++r) store(out[c] + i + r * L, acc[r][c]);
}

// Calls f with the candidate count c (1 … MAX_C) as a compile-time constant.
template <class F>
void with_count(size_t c, F&& f) {
  switch (c) {
    case 1:
      f(Count<1>());
      break;
    case 2:
      f(Count<2>());
      break;
    case 3:
      f(Count<3>());
      break;
    case 4:
      f(Count<4>());
      break;
    case 5:
      f(Count<5>());
      break;
    case 6:
      f(Count<6>());
      break;
#if LOWRANK_PANEL_VECTOR_BYTES >= 64
    case 7:
      f(Count<7>());
      break;
    case 8:
      f(Count<8>());
      break;
#endif
    default:
      break;
  }
}

// One group of terms t0 … t1-1 over rows b0 … b1-1: tiles of R vectors of
// rows, then single vectors, then the plain loops for the rest.
// tile(Count<R>(), i, t0, t1) and rows(i0, i1, t0, t1) do the group.
template <size_t R, class Tile, class Rows>
void by_tiles(size_t b0, size_t b1, size_t t0, size_t t1, Tile&& tile, Rows&& rows) {
  size_t i = b0;
  for (; i + R * L <= b1; i += R * L) tile(Count<R>(), i, t0, t1);
  for (; i + L <= b1; i += L) tile(Count<1>(), i, t0, t1);
  if (i < b1) rows(i, b1, t0, t1);
}

// The C candidates of one group of terms over rows b0 … b1-1, in chunks of
// at most MAX_C: the group's columns are read from memory once, and from
// the cache for the chunks after the first.
template <class Chunk>
void by_groups(size_t terms, size_t C, size_t r0, size_t r1, Chunk&& chunk) {
  for (size_t b0 = r0; b0 < r1; b0 += BLOCK_ROWS) {
    const size_t b1 = lesser(r1, b0 + BLOCK_ROWS);
    for (size_t t0 = 0; t0 < terms; t0 += GROUP) {
      const size_t t1 = lesser(terms, t0 + GROUP);
      for (size_t c0 = 0; c0 < C; c0 += MAX_C) {
        const size_t cn = lesser(C - c0, MAX_C);
        with_count(cn, [&](auto count) { chunk(count, c0, b0, b1, t0, t1); });
      }
    }
  }
}

template <size_t C>
void eliminate_chunk(const double* G, size_t ld, size_t j0, size_t j1, const double* Bt, size_t stride,
                     double* const* P, size_t b0, size_t b1) {
  auto tile = [&](auto count, size_t i, size_t j0, size_t j1) {
    constexpr size_t R = decltype(count)::value;
    V acc[R][C];
    load_sums(acc, P, i);
    for (size_t j = j0; j < j1; ++j) {
      const double* g = G + j * ld + i;
      const double* b = Bt + j * stride;
      V x[R];
      LOWRANK_UNROLL
      for (size_t r = 0; r < R; ++r) x[r] = load(g + r * L);
      LOWRANK_UNROLL
      for (size_t c = 0; c < C; ++c) {
        const double bc = b[c];
        LOWRANK_UNROLL
        for (size_t r = 0; r < R; ++r) acc[r][c] = acc[r][c] - x[r] * bc;
      }
    }
    store_sums(P, i, acc);
  };
  auto rows = [&](size_t i0, size_t i1, size_t j0, size_t j1) {
    eliminate_rows(G, ld, j0, j1, Bt, stride, C, P, i0, i1);
  };
  by_tiles<rows_for(C)>(b0, b1, j0, j1, tile, rows);
}

template <size_t C>
void sq_distances_chunk(const double* xp, size_t ld, size_t d, const double* xu, double* const* out, size_t b0,
                        size_t b1, size_t t0, size_t t1) {
  auto tile = [&](auto count, size_t i, size_t t0, size_t t1) {
    constexpr size_t R = decltype(count)::value;
    V acc[R][C];
    start_sums(acc, out, i, t0 == 0);
    for (size_t t = t0; t < t1; ++t) {
      V x[R];
      LOWRANK_UNROLL
      for (size_t r = 0; r < R; ++r) x[r] = load(xp + t * ld + i + r * L);
      LOWRANK_UNROLL
      for (size_t c = 0; c < C; ++c) {
        const double a = xu[c * d + t];
        LOWRANK_UNROLL
        for (size_t r = 0; r < R; ++r) {
          const V diff = a - x[r];
          acc[r][c] = acc[r][c] + diff * diff;
        }
      }
    }
    store_sums(out, i, acc);
  };
  auto rows = [&](size_t i0, size_t i1, size_t t0, size_t t1) {
    sq_distances_rows(xp, ld, t0, t1, xu, d, C, out, i0, i1);
  };
  by_tiles<rows_for(C)>(b0, b1, t0, t1, tile, rows);
}

template <size_t C>
void inner_products_chunk(const double* xp, size_t ld, size_t d, const double* xu, double* const* out, size_t b0,
                          size_t b1, size_t t0, size_t t1) {
  auto tile = [&](auto count, size_t i, size_t t0, size_t t1) {
    constexpr size_t R = decltype(count)::value;
    V acc[R][C];
    size_t t = t0;
    if (t0 == 0) {
      // The first product starts the sum: by itself for one coordinate, else
      // added to 0.0 as every later one is.
      V x[R];
      LOWRANK_UNROLL
      for (size_t r = 0; r < R; ++r) x[r] = load(xp + i + r * L);
      LOWRANK_UNROLL
      for (size_t c = 0; c < C; ++c)
        LOWRANK_UNROLL
        for (size_t r = 0; r < R; ++r) acc[r][c] = d == 1 ? x[r] * xu[c * d] : 0.0 + x[r] * xu[c * d];
      t = 1;
    } else {
      load_sums(acc, out, i);
    }
    for (; t < t1; ++t) {
      V x[R];
      LOWRANK_UNROLL
      for (size_t r = 0; r < R; ++r) x[r] = load(xp + t * ld + i + r * L);
      LOWRANK_UNROLL
      for (size_t c = 0; c < C; ++c) {
        const double a = xu[c * d + t];
        LOWRANK_UNROLL
        for (size_t r = 0; r < R; ++r) acc[r][c] = acc[r][c] + x[r] * a;
      }
    }
    store_sums(out, i, acc);
  };
  auto rows = [&](size_t i0, size_t i1, size_t t0, size_t t1) {
    inner_products_rows(xp, ld, t0, t1, xu, d, C, out, i0, i1);
  };
  by_tiles<rows_for(C)>(b0, b1, t0, t1, tile, rows);
}

template <size_t C>
void ortho_sums_chunk(const double* T, size_t ld, const double* N, size_t last, const double* const* hu, size_t hs,
                      double* const* out, size_t b0, size_t b1, size_t q0, size_t q1) {
  auto tile = [&](auto count, size_t i, size_t q0, size_t q1) {
    constexpr size_t R = decltype(count)::value;
    V acc[R][C];
    start_sums(acc, out, i, q0 == 0);
    for (size_t q = q0; q < q1; ++q) {
      V h[R];
      LOWRANK_UNROLL
      for (size_t r = 0; r < R; ++r) h[r] = load(T + q * ld + i + r * L);
      const double nq = N[q < last ? q : last];
      LOWRANK_UNROLL
      for (size_t c = 0; c < C; ++c) {
        const double a = hu[c][q * hs];
        LOWRANK_UNROLL
        for (size_t r = 0; r < R; ++r) acc[r][c] = acc[r][c] + (a * h[r]) / nq;
      }
    }
    store_sums(out, i, acc);
  };
  auto rows = [&](size_t i0, size_t i1, size_t q0, size_t q1) {
    ortho_sums_rows(T, ld, q0, q1, N, last, hu, hs, C, out, i0, i1);
  };
  by_tiles<rows_for(C)>(b0, b1, q0, q1, tile, rows);
}

#endif  // LOWRANK_PANEL_VECTOR_BYTES > 0

}  // namespace

void eliminate(const double* G, size_t ld, size_t k, const double* Bt, size_t C, double* const* P, size_t r0,
               size_t r1) {
#if LOWRANK_PANEL_VECTOR_BYTES > 0
  by_groups(k, C, r0, r1, [&](auto count, size_t c0, size_t b0, size_t b1, size_t j0, size_t j1) {
    eliminate_chunk<decltype(count)::value>(G, ld, j0, j1, Bt + c0, C, P + c0, b0, b1);
  });
#else
  for (size_t b0 = r0; b0 < r1; b0 += BLOCK_ROWS)
    eliminate_rows(G, ld, 0, k, Bt, C, C, P, b0, lesser(r1, b0 + BLOCK_ROWS));
#endif
}

void finish(const double* src, double gkk, double* col, double* resid, size_t r0, size_t r1, double* trace,
            double* best, size_t* at) {
  // Blocks that stay in the first-level cache between the two loops.
  for (size_t b0 = r0; b0 < r1; b0 += 512) finish_rows(src, gkk, col, resid, b0, lesser(r1, b0 + 512), trace, best, at);
}

void sq_distances(const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out, size_t r0,
                  size_t r1) {
#if LOWRANK_PANEL_VECTOR_BYTES > 0
  by_groups(d, C, r0, r1, [&](auto count, size_t c0, size_t b0, size_t b1, size_t t0, size_t t1) {
    sq_distances_chunk<decltype(count)::value>(xp, ld, d, xu + c0 * d, out + c0, b0, b1, t0, t1);
  });
#else
  for (size_t b0 = r0; b0 < r1; b0 += BLOCK_ROWS)
    sq_distances_rows(xp, ld, 0, d, xu, d, C, out, b0, lesser(r1, b0 + BLOCK_ROWS));
#endif
}

void inner_products(const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out, size_t r0,
                    size_t r1) {
#if LOWRANK_PANEL_VECTOR_BYTES > 0
  by_groups(d, C, r0, r1, [&](auto count, size_t c0, size_t b0, size_t b1, size_t t0, size_t t1) {
    inner_products_chunk<decltype(count)::value>(xp, ld, d, xu + c0 * d, out + c0, b0, b1, t0, t1);
  });
#else
  for (size_t b0 = r0; b0 < r1; b0 += BLOCK_ROWS)
    inner_products_rows(xp, ld, 0, d, xu, d, C, out, b0, lesser(r1, b0 + BLOCK_ROWS));
#endif
}

void ortho_sums(const double* T, size_t ld, size_t w, const double* N, size_t last, const double* const* hu, size_t hs,
                size_t C,
                double* const* out, size_t r0, size_t r1) {
#if LOWRANK_PANEL_VECTOR_BYTES > 0
  by_groups(w, C, r0, r1, [&](auto count, size_t c0, size_t b0, size_t b1, size_t q0, size_t q1) {
    ortho_sums_chunk<decltype(count)::value>(T, ld, N, last, hu + c0, hs, out + c0, b0, b1, q0, q1);
  });
#else
  for (size_t b0 = r0; b0 < r1; b0 += BLOCK_ROWS)
    ortho_sums_rows(T, ld, 0, w, N, last, hu, hs, C, out, b0, lesser(r1, b0 + BLOCK_ROWS));
#endif
}

}  // namespace LOWRANK_PANEL_NS
}  // namespace lowrank

#undef LOWRANK_UNROLL
