// The falling-weather particle field: every particle's state is a closed-form function of
// the parameter snapshot, its index and the time, so any frame is evaluated on its own and
// the viewport shows a prefix of the very set that is rendered. This is the reference
// form, written once for the CPU and the GPU (plain structs, WX_HOSTDEV), in single
// precision with sinf/cosf/fmodf and each formula's order of operations kept as it is.
// Pure functions of their arguments: safe from any number of threads.
#pragma once

#include <cmath>
#include <cstdint>

#include "common/hash.h"
#include "common/hostdev.h"
#include "common/v3.h"

namespace wx {

// Channel constants of the particle hash: one unit value per random quantity.
constexpr uint32_t kFallChannelSpeed = 0x0ACAB8D4u;       // fall speed factor
constexpr uint32_t kFallChannelPhase = 0x48180A9Fu;       // starting phase of the fall
constexpr uint32_t kFallChannelX = 0xC2B2AE35u;           // X offset
constexpr uint32_t kFallChannelY = 0x85655C6Au;           // Y offset
constexpr uint32_t kFallChannelSwayAmp = 0xCD7D6709u;     // sway amplitude
constexpr uint32_t kFallChannelSwayFreq = 0x159571A8u;    // sway frequency
constexpr uint32_t kFallChannelSwayPhaseX = 0x9030153Eu;  // X sway phase
constexpr uint32_t kFallChannelSwayPhaseY = 0xD8481FDDu;  // Y sway phase
constexpr uint32_t kFallChannelSize = 0x52E2C373u;        // size

constexpr uint32_t kFallSeedMul = 0x9E3779B9u;   // seed key to S
constexpr uint32_t kFallIndexMul = 0x85EBCA6Bu;  // particle index to X

constexpr float kFallTwoPi = 6.2831853f;
constexpr float kFallDegToRad = 0.017453292f;
constexpr float kFallMinSpeed = 0.001f;  // units per second: nothing hangs still or rises
constexpr float kFallGustWavePerSecond = 0.07f;
constexpr float kFallSwayYRatio = 0.83f;  // the Y sway runs a little slower than the X sway
constexpr float kFallFadeIn = 0.03f;      // fraction of the fall spent fading in at the top
constexpr float kFallFadeOutStart = 0.97f;

enum FallType : int { kFallSnow = 0, kFallRain = 1, kFallSand = 2 };

// The parameter values as the object holds them, before the snapshot derives its own.
// Defaults are those of a new object.
struct FallInputs {
    int type = kFallSnow;
    int64_t count = 20000;
    int seed = 1;
    float width = 1000.0f, length = 1000.0f, height = 500.0f;  // world units
    float vpPercent = 20.0f;
    int64_t vpMax = 100000;
    float speed = 100.0f;  // units per second
    float speedVar = 0.3f;
    float windAngle = 0.0f;  // degrees; 0 blows toward +X
    float windSpeed = 0.0f;  // units per second
    float gust = 0.3f;
    float turbulence = 20.0f;  // sway, world units
    float turbFreq = 0.5f;     // sway frequency, Hz
    float size = 0.6f, sizeVar = 0.5f;
    float streak = 0.03f;  // seconds of motion
    float dropWidth = 0.06f;
};

// The snapshot every particle of one evaluation reads. 80 bytes of plain data, passed to
// the GPU by value.
struct FallParams {
    int32_t type;
    int32_t seedKey;  // seed + 1
    int64_t count;
    float width, length, height;
    float speed;  // at least kFallMinSpeed
    float speedVar;
    float windCos, windSin;
    float windSpeed, gust, sway, swayFreq;
    float size, sizeVar, streak, dropWidth;
};
static_assert(sizeof(FallParams) == 80);

// One particle in the object's local space (X across the width, Y across the length, Z
// up, pivot at the centre of the base) or, after fallWorld, in world space. 36 bytes.
struct FallParticle {
    V3 pos;
    V3 vel;      // units per second
    float size;  // the particle's own size, world units
    float fade;  // 0..1: 0 at the very top and the very base of the fall
    float age;   // seconds since it last entered at the top
};
static_assert(sizeof(FallParticle) == 36);

// Object-to-world transform: rows R0, R1, R2 and translation T. The default is identity.
struct FallMatrix {
    V3 r0{1.0f, 0.0f, 0.0f}, r1{0.0f, 1.0f, 0.0f}, r2{0.0f, 0.0f, 1.0f}, t{};
};

enum class FallCountMode { Render, Viewport };

// The render count is `count`; the viewport's is min(vpMax, round(vpPercent x count / 100)),
// rounded half away from zero. Negative values count as none.
int64_t fallParticleCount(const FallInputs& in, FallCountMode mode);

// The snapshot: seedKey, the wind's direction, the speed floor, and the count of the mode.
FallParams makeFallParams(const FallInputs& in, FallCountMode mode);

// The unit value of one channel of particle `index`, in [0, 1): a 32-bit finaliser over
// S xor (X + K), top 24 bits scaled by 2^-24.
WX_HOSTDEV inline float fallUnit(int32_t seedKey, uint64_t index, uint32_t channel) {
    const uint32_t s = uint32_t(seedKey) * kFallSeedMul;
    const uint32_t x = uint32_t(index) * kFallIndexMul;
    return unitFromHash(hash32(s ^ (x + channel)));
}

// fmodf(a, w), plus w when negative. A remainder a hair below zero rounds up to w itself
// when w is added; that one value is taken as 0, the same place across the seam, so the
// result stays in [0, w).
WX_HOSTDEV inline float fallWrap(float a, float w) {
    float r = fmodf(a, w);
    if (r < 0.0f) r += w;
    if (r >= w) r = 0.0f;
    return r;
}

WX_HOSTDEV inline float fallClamp01(float a) {
    return a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
}
WX_HOSTDEV inline float fallSmoothstep(float a) {
    return a * a * (3.0f - 2.0f * a);
}

// Local state of particle `index` at time t (seconds; any value, negative included).
WX_HOSTDEV inline FallParticle fallLocal(const FallParams& p, uint64_t index, float t) {
    const float uSpeed = fallUnit(p.seedKey, index, kFallChannelSpeed);
    const float uPhase = fallUnit(p.seedKey, index, kFallChannelPhase);
    const float uX = fallUnit(p.seedKey, index, kFallChannelX);
    const float uY = fallUnit(p.seedKey, index, kFallChannelY);
    const float uSwayAmp = fallUnit(p.seedKey, index, kFallChannelSwayAmp);
    const float uSwayFreq = fallUnit(p.seedKey, index, kFallChannelSwayFreq);
    const float uSwayPhaseX = fallUnit(p.seedKey, index, kFallChannelSwayPhaseX);
    const float uSwayPhaseY = fallUnit(p.seedKey, index, kFallChannelSwayPhaseY);
    const float uSize = fallUnit(p.seedKey, index, kFallChannelSize);

    const float g = maxf(kFallMinSpeed, (1.0f - uSpeed * p.speedVar) * p.speed);
    const float l = p.height / g;  // seconds per fall
    const float m = fallWrap(uPhase * l + t, l);

    const float u = (uX - 0.5f) * p.width;
    const float r = (uY - 0.5f) * p.length;

    // A slow wave (period about 14 s) travelling across the volume with the wind.
    const float A = sinf(kFallTwoPi * (kFallGustWavePerSecond * t -
                                       (p.windSin * r + p.windCos * u) / maxf(1.0f, 8.0f * (p.length + p.width))));
    const float G = 1.0f + 0.5f * p.gust * A;

    const float V = (0.5f + 0.5f * uSwayAmp) * p.sway;
    const float L = (0.7f + 0.6f * uSwayFreq) * p.swayFreq;
    const float phiX = kFallTwoPi * uSwayPhaseX + kFallTwoPi * L * t;
    const float phiY = kFallTwoPi * uSwayPhaseY + kFallTwoPi * kFallSwayYRatio * L * t;
    const float sinX = sinf(phiX), cosX = cosf(phiX);
    const float sinY = sinf(phiY), cosY = cosf(phiY);

    FallParticle s;
    s.pos.x = fallWrap(p.windSpeed * p.windCos * G * m + u + V * sinX + p.width / 2.0f, p.width) - p.width / 2.0f;
    s.pos.y = fallWrap(V * cosY + p.windSpeed * p.windSin * G * m + r + p.length / 2.0f, p.length) - p.length / 2.0f;
    s.pos.z = p.height - m * g;
    s.vel.x = cosX * V * kFallTwoPi * L + p.windSpeed * p.windCos * G;
    s.vel.y = -sinY * V * kFallTwoPi * L * kFallSwayYRatio + p.windSpeed * p.windSin * G;
    s.vel.z = -g;

    const float f = m / l;
    s.fade = fallSmoothstep(fallClamp01(f / kFallFadeIn)) *
             fallSmoothstep(fallClamp01((f - 1.0f) / (kFallFadeOutStart - 1.0f)));
    s.size = (1.0f - uSize * p.sizeVar) * p.size;
    s.age = m;
    return s;
}

// Local state to world space; size, fade and age are unchanged.
WX_HOSTDEV inline FallParticle fallToWorld(const FallParticle& local, const FallMatrix& m) {
    FallParticle w = local;
    const V3 p = local.pos, v = local.vel;
    w.pos.x = p.x * m.r0.x + p.y * m.r1.x + p.z * m.r2.x + m.t.x;
    w.pos.y = p.x * m.r0.y + p.y * m.r1.y + p.z * m.r2.y + m.t.y;
    w.pos.z = p.x * m.r0.z + p.y * m.r1.z + p.z * m.r2.z + m.t.z;
    w.vel.x = v.x * m.r0.x + v.y * m.r1.x + v.z * m.r2.x;
    w.vel.y = v.x * m.r0.y + v.y * m.r1.y + v.z * m.r2.y;
    w.vel.z = v.x * m.r0.z + v.y * m.r1.z + v.z * m.r2.z;
    return w;
}

// World state of particle `index` at time t under the node's object-to-world matrix.
WX_HOSTDEV inline FallParticle fallWorld(const FallParams& p, uint64_t index, float t, const FallMatrix& m) {
    return fallToWorld(fallLocal(p, index, t), m);
}

}  // namespace wx
