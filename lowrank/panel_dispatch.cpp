#include "lowrank/panel.h"
#include "lowrank/panel_isa.h"

namespace lowrank {

namespace {

// Wider sets exist only where the compiler can target them (see
// panel_isa.h); elsewhere every call runs the plain loops.
#if LOWRANK_PANEL_WIDE
bool cpu_has(Isa isa) {
  __builtin_cpu_init();
  switch (isa) {
    case Isa::avx512:
      return __builtin_cpu_supports("avx512f");
    case Isa::avx2:
      return __builtin_cpu_supports("avx2");
    case Isa::base:
      return true;
  }
  return false;
}
#else
bool cpu_has(Isa isa) { return isa == Isa::base; }
#endif

}  // namespace

bool isa_available(Isa isa) { return cpu_has(isa); }

Isa best_isa() {
  static const Isa best = cpu_has(Isa::avx512) ? Isa::avx512 : cpu_has(Isa::avx2) ? Isa::avx2 : Isa::base;
  return best;
}

const char* isa_name(Isa isa) {
  switch (isa) {
    case Isa::avx512:
      return "avx512";
    case Isa::avx2:
      return "avx2";
    case Isa::base:
      return "base";
  }
  return "?";
}

#if LOWRANK_PANEL_WIDE
#define LOWRANK_DISPATCH(call) \
  switch (isa) {               \
    case Isa::avx512:          \
      panel_avx512::call;      \
      return;                  \
    case Isa::avx2:            \
      panel_avx2::call;        \
      return;                  \
    case Isa::base:            \
      break;                   \
  }                            \
  panel_base::call
#else
#define LOWRANK_DISPATCH(call) \
  (void)isa;                   \
  panel_base::call
#endif

void eliminate(Isa isa, const double* G, size_t ld, size_t k, const double* Bt, size_t C, double* const* P, size_t r0,
               size_t r1) {
  LOWRANK_DISPATCH(eliminate(G, ld, k, Bt, C, P, r0, r1));
}

void finish(Isa isa, const double* src, double gkk, double* col, double* resid, size_t r0, size_t r1, double* trace,
            double* best, size_t* at) {
  LOWRANK_DISPATCH(finish(src, gkk, col, resid, r0, r1, trace, best, at));
}

void sq_distances(Isa isa, const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out,
                  size_t r0, size_t r1) {
  LOWRANK_DISPATCH(sq_distances(xp, ld, d, xu, C, out, r0, r1));
}

void inner_products(Isa isa, const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out,
                    size_t r0, size_t r1) {
  LOWRANK_DISPATCH(inner_products(xp, ld, d, xu, C, out, r0, r1));
}

void ortho_sums(Isa isa, const double* T, size_t ld, size_t w, const double* N, size_t last, const double* const* hu,
                size_t hs, size_t C, double* const* out, size_t r0, size_t r1) {
  LOWRANK_DISPATCH(ortho_sums(T, ld, w, N, last, hu, hs, C, out, r0, r1));
}

}  // namespace lowrank
