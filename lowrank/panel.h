// The factorization's inner loops (see panel_isa.h), each run with the
// instruction set chosen for the call.  All sets give the same bits; the
// choice only changes the speed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lowrank {

enum class Isa { base, avx2, avx512 };

// The widest set this processor and this build can run.
Isa best_isa();
// Whether `isa` can run here (base always can).
bool isa_available(Isa isa);
const char* isa_name(Isa isa);

void eliminate(Isa isa, const double* G, size_t ld, size_t k, const double* Bt, size_t C, double* const* P, size_t r0,
               size_t r1);
void finish(Isa isa, const double* src, double gkk, double* col, double* resid, size_t r0, size_t r1, double* trace,
            double* best, size_t* at);
void sq_distances(Isa isa, const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out,
                  size_t r0, size_t r1);
void inner_products(Isa isa, const double* xp, size_t ld, size_t d, const double* xu, size_t C, double* const* out,
                    size_t r0, size_t r1);
void ortho_sums(Isa isa, const double* T, size_t ld, size_t w, const double* N, size_t last, const double* const* hu,
                size_t hs, size_t C, double* const* out, size_t r0, size_t r1);

}  // namespace lowrank
