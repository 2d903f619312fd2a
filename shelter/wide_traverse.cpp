// The wide tree's queries, compiled three times: for AVX-512 (fans test two rays' boxes
// and four rays' triangles at once), AVX2 (eight box tests at once) and SSE, and chosen
// per call by what the CPU has, up to a process-wide limit.
#include <immintrin.h>

#include <algorithm>
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

std::atomic<int> gWidestAllowed{int(WideIsa::Avx512)};

#if defined(__x86_64__)
// Clang ignores GCC's target pragma and needs the attribute on every function instead.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512vl,avx512dq,avx512bw"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512vl,avx512dq,avx512bw")
// GCC 12 takes the undefined upper lanes inside its own broadcast, insert and min/max
// intrinsics for uninitialized reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
namespace avx512 {
#define WX_WIDE_BOX_LANES 16
#include "shelter/wide_traverse_lanes.inc"
#undef WX_WIDE_BOX_LANES
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC diagnostic pop
#pragma GCC pop_options
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

WideIsa widestCpuIsa() {
#if defined(__x86_64__)
    static const WideIsa widest = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                                          __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")
                                      ? WideIsa::Avx512
                                  : __builtin_cpu_supports("avx2") ? WideIsa::Avx2
                                                                   : WideIsa::Sse;
    return widest;
#else
    return WideIsa::Sse;
#endif
}

}  // namespace

WideIsa wideTraversalIsa() {
    return WideIsa(std::min(int(widestCpuIsa()), gWidestAllowed.load(std::memory_order_relaxed)));
}

void setWideTraversalLimit(WideIsa widest) {
    gWidestAllowed.store(int(widest), std::memory_order_relaxed);
}

// Runs the query compiled for the instruction set in use.
#if defined(__x86_64__)
#define WX_WIDE_DISPATCH(call)    \
    switch (wideTraversalIsa()) { \
        case WideIsa::Avx512:     \
            return avx512::call;  \
        case WideIsa::Avx2:       \
            return avx2::call;    \
        case WideIsa::Sse:        \
            break;                \
    }                             \
    return sse::call
#else
#define WX_WIDE_DISPATCH(call) return sse::call
#endif

bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return false;
    WX_WIDE_DISPATCH(occluded(wide, origin, dir, maxDist));
}

float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return maxDist;
    WX_WIDE_DISPATCH(cast(wide, origin, dir, maxDist));
}

RayHit castRayWideHit(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return {maxDist, -1};
    WX_WIDE_DISPATCH(castHit(wide, origin, dir, maxDist));
}

uint32_t occludedFanWide(const WideBVH& wide, V3 origin, std::span<const V3> dirs, float maxDist) {
    WX_CHECK(dirs.size() <= kFanRays);
    if (wide.empty() || dirs.empty()) return 0;
    const int n = static_cast<int>(dirs.size());
    WX_WIDE_DISPATCH(occludedFan(wide, origin, dirs.data(), n, maxDist));
}

void castFanWide(const WideBVH& wide, V3 origin, std::span<const V3> dirs, float maxDist, std::span<float> nearest) {
    WX_CHECK(dirs.size() <= kFanRays);
    WX_CHECK(nearest.size() == dirs.size());
    if (wide.empty() || dirs.empty()) {
        for (float& t : nearest) t = maxDist;
        return;
    }
    const int n = static_cast<int>(dirs.size());
    WX_WIDE_DISPATCH(castFan(wide, origin, dirs.data(), n, maxDist, nearest.data()));
}

#undef WX_WIDE_DISPATCH

}  // namespace wx
