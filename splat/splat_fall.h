// splatFall (one thread per particle) and splatDrips (one thread per run-off drop): the
// falling weather drawn as splats. splatFall evaluates the very particle field and tornado
// drift the viewport uses (fall/fall_field.h, fall/fall_drift.h), stops particles at the
// scene along their own unwrapped path, and throws splash droplets and rings where rain
// lands. Written once for the thread pool and the device; lamps come in as a pointer (the
// device passes its constant table).
#pragma once

#include <cmath>
#include <cstdint>

#include "common/hash.h"
#include "common/hostdev.h"
#include "fall/fall_drift.h"
#include "fall/fall_field.h"
#include "fall/tornado_drift.h"
#include "splat/splat_draw.h"

namespace wx {

constexpr float kSplashRingLife = 0.45f;      // seconds a splash ring is seen
constexpr float kSplashDropletTail = 0.012f;  // seconds of velocity behind a droplet
constexpr int kSplashDroplets = 5;
constexpr int kSplashRingSegments = 10;
constexpr float kEarthGravity = 9.81f;  // metres per second squared

// The field's snapshot and node matrix from the job's head, as the viewport takes them.
WX_HOSTDEV inline FallParams splatFieldParams(const SplatFieldHead& h) {
    FallParams p;
    p.type = h.type;
    p.seedKey = h.seed;
    p.count = h.count;
    p.width = h.width;
    p.length = h.length;
    p.height = h.height;
    p.speed = h.speed <= kFallMinSpeed ? kFallMinSpeed : h.speed;
    p.speedVar = h.speedVar;
    p.windCos = h.windDir[0];
    p.windSin = h.windDir[1];
    p.windSpeed = h.windSpeed;
    p.gust = h.gust;
    p.sway = h.turbulence;
    p.swayFreq = h.turbFreq;
    p.size = h.size;
    p.sizeVar = h.sizeVar;
    p.streak = h.rainStreak;
    p.dropWidth = h.dropWidth;
    return p;
}

WX_HOSTDEV inline FallMatrix splatBoxMatrix(const SplatFieldHead& h) {
    return FallMatrix{h.boxTM[0], h.boxTM[1], h.boxTM[2], h.boxTM[3]};
}

WX_HOSTDEV inline V3 applyRows(const FallMatrix& m, V3 p) {
    return m.r0 * p.x + m.r1 * p.y + m.r2 * p.z + m.t;
}

// Where particle `index` entered at the top of its current fall, box-local, without the
// wrap round the volume's sides: the wind and sway it has drifted since then taken back
// off its (wrapped) present position. `local` is its local state at t.
WX_HOSTDEV inline V3 fallUnwrappedStart(const FallParams& p, uint64_t index, float t, const FallParticle& local) {
    const float uX = fallUnit(p.seedKey, index, kFallChannelX);
    const float uY = fallUnit(p.seedKey, index, kFallChannelY);
    const float uSwayAmp = fallUnit(p.seedKey, index, kFallChannelSwayAmp);
    const float uSwayFreq = fallUnit(p.seedKey, index, kFallChannelSwayFreq);
    const float uSwayPhaseX = fallUnit(p.seedKey, index, kFallChannelSwayPhaseX);
    const float uSwayPhaseY = fallUnit(p.seedKey, index, kFallChannelSwayPhaseY);
    const float u = (uX - 0.5f) * p.width;
    const float r = (uY - 0.5f) * p.length;
    const float A = sinf(kFallTwoPi * (kFallGustWavePerSecond * t -
                                       (p.windSin * r + p.windCos * u) / maxf(1.0f, 8.0f * (p.length + p.width))));
    const float G = 1.0f + 0.5f * p.gust * A;
    const float V = (0.5f + 0.5f * uSwayAmp) * p.sway;
    const float L = (0.7f + 0.6f * uSwayFreq) * p.swayFreq;
    const float m = local.age;
    const float phiX = kFallTwoPi * uSwayPhaseX + kFallTwoPi * L * t;
    const float phiX0 = kFallTwoPi * uSwayPhaseX + kFallTwoPi * L * (t - m);
    const float phiY = kFallTwoPi * uSwayPhaseY + kFallTwoPi * kFallSwayYRatio * L * t;
    const float phiY0 = kFallTwoPi * uSwayPhaseY + kFallTwoPi * kFallSwayYRatio * L * (t - m);
    V3 start;
    start.x = local.pos.x - p.windSpeed * p.windCos * G * m - V * (sinf(phiX) - sinf(phiX0));
    start.y = local.pos.y - p.windSpeed * p.windSin * G * m - V * (cosf(phiY) - cosf(phiY0));
    start.z = p.height;
    return start;
}

// The in-plane basis around a surface normal, as the render mesh's drops use it.
WX_HOSTDEV inline void surfaceBasis(V3 n, V3& b1, V3& b2) {
    const V3 a = fabsf(n.z) < 0.9f ? V3{0.0f, 0.0f, 1.0f} : V3{1.0f, 0.0f, 0.0f};
    b1 = normalize(cross(n, a));
    b2 = cross(n, b1);
}

// Hands each stroke straight to drawSplat, adding into the accumulation buffer: the
// device's way, and the reference the thread pool's binned drawing is checked against.
struct AccumDraw {
    const SplatDev* s;
    const LampRaw* lamps;
    float* accum;
    WX_HOSTDEV void operator()(const SplatStroke& st) const { drawSplat(*s, st, lamps, accum); }
};

// The splash of rain particle `index` that hit at `impact` (world) with normal n (facing
// the incoming drop), `since` seconds ago. Draw receives each stroke.
template <class Draw>
WX_HOSTDEV void drawSplash(const SplatDev& s, uint32_t index, V3 impact, V3 n, float since, const Draw& draw) {
    const float g = s.gravity;
    const float s0 = sqrtf(2.0f * g * s.splashHeight);
    const float flight = 2.0f * s0 / g;
    V3 b1, b2;
    surfaceBasis(n, b1, b2);
    if (flight > since) {
        const float tau = since;
        for (int j = 0; j < kSplashDroplets; ++j) {
            const uint32_t key = uint32_t(j) * 104729u + index * 7919u;
            const float theta = 2.0f * 3.14159265f * (float(j) / float(kSplashDroplets) + unitFromHash(hash32(key)));
            const float speedFactor = 0.6f + 0.6f * unitFromHash(hash32(key ^ 0x9E3779B9u));
            const V3 dir = b1 * cosf(theta) + b2 * sinf(theta);
            const V3 v0 = n * s0 + dir * (s0 * speedFactor);
            const V3 start = impact + n * (0.02f * s.splashHeight);
            V3 head = start + v0 * tau;
            head.z -= 0.5f * g * tau * tau;
            V3 vel = v0;
            vel.z -= g * tau;
            SplatStroke st{head,
                           head - vel * kSplashDropletTail,
                           0.8f * s.head.dropWidth,
                           (1.0f - tau / flight) * s.opacity * s.splashAmount * 0.3f,
                           SplatShape::Droplet,
                           0.02f};
            draw(st);
        }
    }
    if (since < kSplashRingLife && n.z > 0.8f) {
        const float scale = g / kEarthGravity;  // metres to scene units
        const V3 centre = impact + n * (0.003f * scale);
        const float radius = (0.02f + 0.3f * since) * scale;
        const float fade = 1.0f - since / kSplashRingLife;
        const float strength = fade * fade * s.opacity * s.splashAmount * 0.16f;
        V3 prev = centre + b1 * radius;
        for (int k = 1; k <= kSplashRingSegments; ++k) {
            const float angle = 2.0f * 3.14159265f * float(k) / float(kSplashRingSegments);
            const V3 next = centre + (b1 * cosf(angle) + b2 * sinf(angle)) * radius;
            SplatStroke st{prev, next, 2.0f * 0.00125f * scale, strength, SplatShape::Droplet, 0.01f};
            draw(st);
            prev = next;
        }
    }
}

// Particle i's strokes, each handed to draw (a falling streak or flake, or the droplets
// and ring of its splash).
template <class Draw>
WX_HOSTDEV void splatFallWith(const SplatDev& s, long long count, long long i, const Draw& draw) {
    if (i >= count) return;
    const FallParams p = splatFieldParams(s.head);
    const FallMatrix m = splatBoxMatrix(s.head);
    const uint64_t index = uint64_t(i);
    const FallParticle w = fallWorldWithDrift(p, index, s.time, m, TornadoDriftWind{s.tornado});
    if (!(w.fade > 0.0f)) return;
    const bool rain = s.head.type == kSplatRain;

    if (s.bvhPresent && s.bvhNodeCount > 0) {
        const FallParticle local = fallLocal(p, index, s.time);
        const V3 start = applyRows(m, fallUnwrappedStart(p, index, s.time, local));
        const V3 seg = w.pos - start;
        const float segLen = length(seg);
        if (segLen >= 1e-4f) {
            const V3 dir = seg / segLen;
            const BVHView view{s.bvhNodes, s.bvhTris, s.bvhNodeCount, s.bvhTriCount};
            const RayHit hit = castRayHit(view, start, dir, segLen);
            if (hit.tri >= 0) {
                if (!rain || !(s.splashAmount > 0.0f)) return;
                const float since = (segLen - hit.t) / maxf(0.001f, length(w.vel));
                const BVHTri& tri = s.bvhTris[hit.tri];
                V3 n = normalize(cross(tri.e1, tri.e2));
                if (dot(n, dir) > 0.0f) n = -n;
                drawSplash(s, uint32_t(index), start + dir * hit.t, n, since, draw);
                return;
            }
        }
    }

    const float streak = rain ? s.head.rainStreak : s.shutter;
    SplatStroke st{w.pos,
                   w.pos - w.vel * streak,
                   rain ? s.head.dropWidth : w.size,
                   w.fade * s.opacity,
                   rain ? SplatShape::Streak : SplatShape::Soft,
                   0.01f};
    draw(st);
}

WX_HOSTDEV inline void splatFall(const SplatDev& s, long long count, float* accum, const LampRaw* lamps, long long i) {
    splatFallWith(s, count, i, AccumDraw{&s, lamps, accum});
}

// Drip i of dripCount: a drop falling straight down from a point on a run-off edge picked
// by the edges' running weight, on its own cycle; drawn like a rain streak until it
// reaches the surface below, where it has landed and is no longer drawn.
template <class Draw>
WX_HOSTDEV void splatDripsWith(const SplatDev& s, const float* edges, const float* cumLength, int edgeCount,
                               long long dripCount, float rate, long long i, const Draw& draw) {
    if (i >= dripCount || edgeCount < 1) return;
    const uint32_t key = uint32_t(i) * 0x9E3779B1u + 977u;
    const float total = cumLength[edgeCount - 1];
    const float u = unitFromHash(hash32(key ^ 0x9E3779B9u)) * total;
    int lo = 0, hi = edgeCount - 1;  // first edge whose running sum is not below u
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (cumLength[mid] < u)
            lo = mid + 1;
        else
            hi = mid;
    }
    const float* e = edges + 6 * lo;
    const V3 a{e[0], e[1], e[2]}, b{e[3], e[4], e[5]};
    const V3 from = a + (b - a) * unitFromHash(hash32(3u * key + 1u));
    const float period = (0.6f + 1.8f * unitFromHash(hash32(5u * key + 7u))) / maxf(0.05f, rate);
    float age = fmodf(s.time + unitFromHash(hash32(11u * key + 3u)) * period + 1000.0f * period, period);
    if (age < 0.0f) age += period;
    const float fall = 0.5f * s.gravity * age * age;
    if (!(fall > 0.0f)) return;
    if (s.bvhPresent && s.bvhNodeCount > 0) {
        const BVHView view{s.bvhNodes, s.bvhTris, s.bvhNodeCount, s.bvhTriCount};
        if (castRayHit(view, from, V3{0.0f, 0.0f, -1.0f}, fall).tri >= 0) return;  // landed
    }
    const V3 head{from.x, from.y, from.z - fall};
    const V3 vel{0.0f, 0.0f, -s.gravity * age};
    SplatStroke st{head, head - vel * s.head.rainStreak, s.head.dropWidth, s.opacity, SplatShape::Streak, 0.01f};
    draw(st);
}

WX_HOSTDEV inline void splatDrips(const SplatDev& s, const float* edges, const float* cumLength, int edgeCount,
                                  long long dripCount, float rate, float* accum, const LampRaw* lamps, long long i) {
    splatDripsWith(s, edges, cumLength, edgeCount, dripCount, rate, i, AccumDraw{&s, lamps, accum});
}

}  // namespace wx
