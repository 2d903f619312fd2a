// The particle field in bulk on the CPU: sixteen particles per step with its own sine,
// cosine and exact remainders, chosen at run time among AVX-512, AVX2 and portable code.
// Every level and every thread count give the same bits; against the reference
// (fall/fall_field.h) only the sine and cosine differ, by a few units in the last place,
// so positions agree to about 1e-4 units. Pure functions: safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fall/fall_field.h"

namespace wx {

enum class FallSimd { Portable, Avx2, Avx512 };

// Whether this CPU runs the level; Portable always does.
bool fallSimdSupported(FallSimd level);

// The widest level this CPU runs.
FallSimd fallSimdBest();

// Local states of particles first .. first + count - 1 at time t into out[0 .. count).
// A level the CPU lacks falls back to the next narrower one.
void fallLocalBatch(const FallParams& p, uint64_t first, size_t count, float t, FallParticle* out,
                    FallSimd level = fallSimdBest());

// World states, as fallWorld, of the same range.
void fallWorldBatch(const FallParams& p, uint64_t first, size_t count, float t, const FallMatrix& m, FallParticle* out,
                    FallSimd level = fallSimdBest());

// World states of particles 0 .. count - 1 on the thread pool (common/parallel_for.h), in
// groups of kFallGroup particles; out holds count records.
constexpr size_t kFallGroup = 16;
void fallWorldParallel(const FallParams& p, size_t count, float t, const FallMatrix& m, FallParticle* out,
                       FallSimd level = fallSimdBest());

}  // namespace wx
