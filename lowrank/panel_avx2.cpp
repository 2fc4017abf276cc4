// The factorization's inner loops for AVX2 (four doubles a vector), chosen at run time
// on processors that have it (panel_dispatch.cpp).  Only these functions are
// built for it, whatever the flags of the build.
#include "lowrank/panel_isa.h"

#if LOWRANK_PANEL_WIDE
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#define LOWRANK_PANEL_NS panel_avx2
#define LOWRANK_PANEL_VECTOR_BYTES 32
#include "lowrank/panel_loops.h"

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
