// The bump's perturbation on the CPU, compiled twice: for AVX2, where the drop loops run
// eight floats or four doubles at once, and for the baseline. Both copies inline the same
// formulas, with no fused multiply-add (contraction is off and FMA is not enabled), so
// they give the same bits. The widest the CPU has runs, up to the wide traversal's
// process-wide limit, which tests lower to check the baseline copy.
#include "shelter/wide_bvh.h"
#include "weathermap/map_cpu.h"
#include "weathermap/map_eval.h"

namespace wx {
namespace {

#if defined(__x86_64__)
// Clang ignores GCC's target pragma and needs the attribute on every function instead.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
// flatten: with GCC every formula inlines here, and so compiles for AVX2 too. Clang keeps
// them as calls into the baseline code: slower, the same bits.
__attribute__((flatten)) V3 perturbAvx2(const MapState& m, const MapSample& sample) {
    return mapPerturbWorld(m, sample);
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

}  // namespace

V3 mapPerturbCpu(const MapState& m, const MapSample& sample) {
#if defined(__x86_64__)
    if (wideTraversalIsa() >= WideIsa::Avx2) return perturbAvx2(m, sample);
#endif
    return mapPerturbWorld(m, sample);
}

}  // namespace wx
