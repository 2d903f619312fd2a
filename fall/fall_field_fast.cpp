#include "fall/fall_field_fast.h"

#include <algorithm>
#include <cstdint>

#include "common/check.h"
#include "common/parallel_for.h"
#include "fall/fall_drift.h"
#include "fall/fall_render_mesh.h"
#include "fall/tornado_drift.h"

namespace wx {
namespace fallfast {

#if defined(__x86_64__)
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl,avx512bw")
namespace avx512 {
#define WX_FALL_LANES 16
#include "fall/fall_field_lanes.inc"
#include "fall/tornado_drift_lanes.inc"
#undef WX_FALL_LANES
}  // namespace avx512
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#define WX_FALL_LANES 8
#include "fall/fall_field_lanes.inc"
#include "fall/tornado_drift_lanes.inc"
#undef WX_FALL_LANES
}  // namespace avx2
#pragma GCC pop_options
#endif

namespace portable {
#define WX_FALL_LANES 4
#include "fall/fall_field_lanes.inc"
#include "fall/tornado_drift_lanes.inc"
#undef WX_FALL_LANES
}  // namespace portable

using BatchFn = void (*)(const FallParams&, uint64_t, size_t, float, const FallMatrix*, FallParticle*);
using DriftFn = void (*)(const FallParams&, uint64_t, size_t, float, const FallMatrix&, const TornadoWind&,
                         FallParticle*);

// The requested level, or the next narrower one this CPU runs.
BatchFn batchFor(FallSimd level) {
#if defined(__x86_64__)
    if (level == FallSimd::Avx512 && fallSimdSupported(FallSimd::Avx512)) return avx512::batch;
    if (level != FallSimd::Portable && fallSimdSupported(FallSimd::Avx2)) return avx2::batch;
#endif
    return portable::batch;
}

using ColumnsFn = void (*)(const FallParams&, uint64_t, size_t, bool, float, FallRotationColumns*);

ColumnsFn columnsFor(FallSimd level) {
#if defined(__x86_64__)
    if (level == FallSimd::Avx512 && fallSimdSupported(FallSimd::Avx512)) return avx512::flakeColumnsBatch;
    if (level != FallSimd::Portable && fallSimdSupported(FallSimd::Avx2)) return avx2::flakeColumnsBatch;
#endif
    return portable::flakeColumnsBatch;
}

using DropsFn = void (*)(const FallParticle*, size_t, const FallMatrix&, float, float, V3 (*)[5]);

DropsFn dropsFor(FallSimd level) {
#if defined(__x86_64__)
    if (level == FallSimd::Avx512 && fallSimdSupported(FallSimd::Avx512)) return avx512::dropVerticesBatch;
    if (level != FallSimd::Portable && fallSimdSupported(FallSimd::Avx2)) return avx2::dropVerticesBatch;
#endif
    return portable::dropVerticesBatch;
}

DriftFn driftFor(FallSimd level) {
#if defined(__x86_64__)
    if (level == FallSimd::Avx512 && fallSimdSupported(FallSimd::Avx512)) return avx512::driftBatch;
    if (level != FallSimd::Portable && fallSimdSupported(FallSimd::Avx2)) return avx2::driftBatch;
#endif
    return portable::driftBatch;
}

}  // namespace fallfast

bool fallSimdSupported(FallSimd level) {
#if defined(__x86_64__)
    switch (level) {
        case FallSimd::Portable:
            return true;
        case FallSimd::Avx2:
            return __builtin_cpu_supports("avx2");
        case FallSimd::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
    }
#endif
    return level == FallSimd::Portable;
}

FallSimd fallSimdBest() {
    static const FallSimd best = fallSimdSupported(FallSimd::Avx512) ? FallSimd::Avx512
                                 : fallSimdSupported(FallSimd::Avx2) ? FallSimd::Avx2
                                                                     : FallSimd::Portable;
    return best;
}

void fallLocalBatch(const FallParams& p, uint64_t first, size_t count, float t, FallParticle* out, FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    fallfast::batchFor(level)(p, first, count, t, nullptr, out);
}

void fallWorldBatch(const FallParams& p, uint64_t first, size_t count, float t, const FallMatrix& m, FallParticle* out,
                    FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    fallfast::batchFor(level)(p, first, count, t, &m, out);
}

void fallWorldParallel(const FallParams& p, size_t count, float t, const FallMatrix& m, FallParticle* out,
                       FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    // One task per run of kFallSteadyRun particles: long enough that calling it costs
    // nothing next to its work, short enough that a few thousand particles spread.
    const fallfast::BatchFn batch = fallfast::batchFor(level);
    const size_t runs = (count + kFallSteadyRun - 1) / kFallSteadyRun;
    parallelFor(
        runs,
        [&](size_t r) {
            const size_t first = r * kFallSteadyRun;
            batch(p, first, std::min(kFallSteadyRun, count - first), t, &m, out + first);
        },
        kFallSteadyGrain);
}

}  // namespace wx

namespace wx {

void fallFlakeColumnsBatch(const FallParams& p, uint64_t first, size_t count, bool tumble, float seconds,
                           FallRotationColumns* out, FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    fallfast::columnsFor(level)(p, first, count, tumble, seconds, out);
}

void fallDropVerticesBatch(const FallParticle* world, size_t count, const FallMatrix& objectFromWorld, float streak,
                           float dropWidth, V3 (*out)[5], FallSimd level) {
    WX_CHECK((world != nullptr && out != nullptr) || count == 0);
    fallfast::dropsFor(level)(world, count, objectFromWorld, streak, dropWidth, out);
}

void fallWorldDriftBatch(const FallParams& p, uint64_t first, size_t count, float t, const FallMatrix& m,
                         const TornadoWind& wind, FallParticle* out, FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    if (!TornadoDriftWind{wind}.active()) return fallWorldBatch(p, first, count, t, m, out, level);
    fallfast::driftFor(level)(p, first, count, t, m, wind, out);
}

void fallWorldDriftParallel(const FallParams& p, size_t count, float t, const FallMatrix& m, const TornadoWind& wind,
                            FallParticle* out, FallSimd level) {
    WX_CHECK(out != nullptr || count == 0);
    if (!TornadoDriftWind{wind}.active()) return fallWorldParallel(p, count, t, m, out, level);
    const fallfast::DriftFn drift = fallfast::driftFor(level);
    const size_t runs = (count + kFallDriftRun - 1) / kFallDriftRun;
    parallelFor(
        runs,
        [&](size_t g) {
            const size_t first = g * kFallDriftRun;
            drift(p, first, std::min(kFallDriftRun, count - first), t, m, wind, out + first);
        },
        kFallDriftGrain);
}

}  // namespace wx
