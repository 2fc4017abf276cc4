// The numeric inner loops of the factorization, declared once for each
// instruction set they are built for (panel_loops.h, compiled into its own
// namespace by panel.cpp, panel_avx2.cpp and panel_avx512.cpp).  Only
// declarations here and only the fixed-width integer headers: the files
// built with wider instructions than the rest must not emit inline code that
// the linker could hand to other files.
//
// Every routine works on rows r0 … r1-1 of column-major buffers with leading
// dimension ld and computes each entry by the same operations, in the same
// order, whatever the instruction set: the vectors run across independent
// rows, never across the terms of one sum.
#pragma once

#include <cstddef>
#include <cstdint>

// The wider sets are built where the compiler can target them function by
// function (GCC and Clang on x86-64).  Not on Windows: there the compilers
// do not keep the stack aligned for the wide registers they spill.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && !defined(_WIN32)
#define LOWRANK_PANEL_WIDE 1
#else
#define LOWRANK_PANEL_WIDE 0
#endif

#define LOWRANK_PANEL_DECLARATIONS                                                                                     \
  /* P[c][i] = P[c][i] - G[i + j*ld] * Bt[j*C + c] for j = 0 … k-1 in increasing order. */                           \
  void eliminate(const double* G, size_t ld, size_t k, const double* Bt, size_t C, double* const* P, size_t r0,        \
                 size_t r1);                                                                                           \
  /* For i = r0 … r1-1: g = src[i] / gkk; col[i] = g; resid[i] = resid[i] - g*g; then, in increasing i,     \
     *trace += resid[i] and, when resid[i] > *best, *best = resid[i] and *at = i. */                           \
  void finish(const double* src, double gkk, double* col, double* resid, size_t r0, size_t r1, double* trace,   \
              double* best, size_t* at);                                                                        \
  /* out[c][i] = sum over t of (xu[c*d + t] - xp[t*ld + i])^2, from 0.0 in increasing t. */                            \
  void sq_distances(const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out, size_t r0,  \
                    size_t r1);                                                                                        \
  /* out[c][i] = sum over t of xp[t*ld + i] * xu[c*d + t], from 0.0 in increasing t; for d = 1 the one                 \
     product itself. */                                                                                                \
  void inner_products(const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out,           \
                      size_t r0, size_t r1);                                                                           \
  /* out[c][i] = sum over q of (hu[c][q*hs] * T[q*ld + i]) / N[min(q, last)], from 0.0 in increasing q. */         \
  void ortho_sums(const double* T, size_t ld, size_t w, const double* N, size_t last, const double* const* hu,        \
                  size_t hs, size_t C, double* const* out, size_t r0, size_t r1);

namespace lowrank {
namespace panel_base {
LOWRANK_PANEL_DECLARATIONS
}
namespace panel_avx2 {
LOWRANK_PANEL_DECLARATIONS
}
namespace panel_avx512 {
LOWRANK_PANEL_DECLARATIONS
}
}  // namespace lowrank
