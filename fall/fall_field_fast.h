// The particle field in bulk on the CPU: a register of particles per step (16, 8 or 4)
// with its own sine, cosine and remainders, chosen at run time among AVX-512, AVX2 and
// portable (SSE2) code. Every level and every thread count give the same bits. Against
// the reference (fall/fall_field.h) ages, sizes and fades are the same and sines and
// cosines are at most one unit in the last place off, so positions agree to about 1e-4
// units and most particles to the bit. Pure functions: safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/parallel_for.h"
#include "fall/fall_field.h"
#include "fall/tornado_wind.h"

namespace wx {

enum class FallSimd { Portable, Avx2, Avx512 };

// Whether this CPU runs the level; Portable always does.
bool fallSimdSupported(FallSimd level);

// The widest level this CPU runs.
FallSimd fallSimdBest();

// Local states of particles first .. first + count - 1 at time t into out[0 .. count).
// A level the CPU lacks falls back to the next narrower one. out may be null only when
// count is 0 (std::logic_error otherwise, common/check.h).
void fallLocalBatch(const FallParams& p, uint64_t first, size_t count, float t, FallParticle* out,
                    FallSimd level = fallSimdBest());

// World states, as fallWorld, of the same range.
void fallWorldBatch(const FallParams& p, uint64_t first, size_t count, float t, const FallMatrix& m, FallParticle* out,
                    FallSimd level = fallSimdBest());

// World states of particles 0 .. count - 1 on the thread pool (common/parallel_for.h), in
// runs of kFallSteadyRun particles (whole groups of kFallGroup); out holds count records.
constexpr size_t kFallGroup = 16;
constexpr size_t kFallSteadyRun = 256;
// Threads from 8,192 particles on (about 60 microseconds of work), one run at a time.
constexpr ParallelGrain kFallSteadyGrain{32, 1};
void fallWorldParallel(const FallParams& p, size_t count, float t, const FallMatrix& m, FallParticle* out,
                       FallSimd level = fallSimdBest());

// World states with a tornado's drift, as fallWorldWithDrift over TornadoDriftWind, of
// particles first .. first + count - 1 (Batch) or 0 .. count - 1 on the thread pool
// (Parallel); without an active wind, the plain world states. The vortex runs on its own
// exponential, logarithm, sine and cosine: each wind sample is within a few parts in 10^7
// of the reference's, and the same bits on every level and thread count.
// Particles per task of the drift on the thread pool: runs this long share the frames
// they load, and are short enough that a few thousand drifting particles still spread
// over the threads.
constexpr size_t kFallDriftRun = 64;
// The thread pool's grain for tasks of kFallDriftRun drifting particles (tens of
// microseconds each): threads from four tasks on, one task at a time.
constexpr ParallelGrain kFallDriftGrain{4, 1};
void fallWorldDriftBatch(const FallParams& p, uint64_t first, size_t count, float t, const FallMatrix& m,
                         const TornadoWind& wind, FallParticle* out, FallSimd level = fallSimdBest());
void fallWorldDriftParallel(const FallParams& p, size_t count, float t, const FallMatrix& m, const TornadoWind& wind,
                            FallParticle* out, FallSimd level = fallSimdBest());

}  // namespace wx
