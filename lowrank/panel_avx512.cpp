// The factorization's inner loops for AVX-512 (eight doubles a vector), chosen at run time
// on processors that have it (panel_dispatch.cpp).  Only these functions are
// built for it, whatever the flags of the build.
#include "lowrank/panel_isa.h"

#if LOWRANK_PANEL_WIDE
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif

#define LOWRANK_PANEL_NS panel_avx512
#define LOWRANK_PANEL_VECTOR_BYTES 64
#include "lowrank/panel_loops.h"

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
