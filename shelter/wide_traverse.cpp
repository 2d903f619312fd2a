// The wide tree's queries, compiled twice: for AVX2 (eight box tests at once) and for
// SSE, and chosen per call by what the CPU has.
#include <immintrin.h>

#include <atomic>
#include <cstddef>
#include <new>

#include "common/check.h"
#include "shelter/wide_bvh.h"

namespace wx {
namespace {

// Each visit pops one node and pushes at most eight, so a tree of depth D needs 7 D + 1
// entries; the builders keep D far below 70.
constexpr int kWideStack = 512;

// Box tests run against the best distance so far stretched by this factor, so that a
// triangle whose Moller-Trumbore distance rounds just below the best is never culled by
// its box's entry distance rounding just above it. It only costs an occasional extra
// box; the answers come from the triangle tests alone.
constexpr float kLooseBest = 1.000001f;

std::atomic<bool> gAvx2Allowed{true};

#if defined(__x86_64__)
// Clang ignores GCC's target pragma and needs the attribute on every function instead.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
#define WX_WIDE_BOX_LANES 8
#include "shelter/wide_traverse_lanes.inc"
#undef WX_WIDE_BOX_LANES
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

namespace sse {
#define WX_WIDE_BOX_LANES 4
#include "shelter/wide_traverse_lanes.inc"
#undef WX_WIDE_BOX_LANES
}  // namespace sse

}  // namespace

bool wideTraversalUsesAvx2() {
#if defined(__x86_64__)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return hasAvx2 && gAvx2Allowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void setWideTraversalAvx2(bool allowed) {
    gAvx2Allowed.store(allowed, std::memory_order_relaxed);
}

bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return false;
#if defined(__x86_64__)
    if (wideTraversalUsesAvx2()) return avx2::occluded(wide, origin, dir, maxDist);
#endif
    return sse::occluded(wide, origin, dir, maxDist);
}

float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return maxDist;
#if defined(__x86_64__)
    if (wideTraversalUsesAvx2()) return avx2::cast(wide, origin, dir, maxDist);
#endif
    return sse::cast(wide, origin, dir, maxDist);
}

RayHit castRayWideHit(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return {maxDist, -1};
#if defined(__x86_64__)
    if (wideTraversalUsesAvx2()) return avx2::castHit(wide, origin, dir, maxDist);
#endif
    return sse::castHit(wide, origin, dir, maxDist);
}

uint32_t occludedFanWide(const WideBVH& wide, V3 origin, std::span<const V3> dirs, float maxDist) {
    WX_CHECK(dirs.size() <= kFanRays);
    if (wide.empty() || dirs.empty()) return 0;
    const int n = static_cast<int>(dirs.size());
#if defined(__x86_64__)
    if (wideTraversalUsesAvx2()) return avx2::occludedFan(wide, origin, dirs.data(), n, maxDist);
#endif
    return sse::occludedFan(wide, origin, dirs.data(), n, maxDist);
}

}  // namespace wx
