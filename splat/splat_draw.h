// Drawing one splat: a soft disc or a streaked capsule between a projected head and tail,
// added into the accumulation buffer (premultiplied colour and weight per pixel) with
// atomic float adds. Shared by the falling particles, splash droplets, splash rings and
// drips. Written once for the thread pool and the device.
#pragma once

#include <cmath>

#include "common/atomics.h"
#include "common/float_bits.h"
#include "common/hostdev.h"
#include "splat/splat_raster.h"
#include "splat/splat_records.h"

namespace wx {

constexpr float kSplatMaxRadius = 48.0f;   // pixels
constexpr int kSplatMaxBoxPixels = 20000;  // larger splats are skipped
constexpr float kSplatDepthTolerance = 1.0005f;
constexpr float kSplatMinCoverage = 0.002f;

// How a splat is shaded. A streak is a falling raindrop or drip (strength falls with its
// length on screen, coverage fades towards the tail); a droplet is a splash droplet or a
// ring segment (hard edge, no tail fade); a soft splat is a snowflake or sand grain
// (Gaussian, fades out when it comes close and large).
enum class SplatShape { Streak, Droplet, Soft };

struct SplatStroke {
    V3 head, tail;  // world
    float size;     // world diameter
    float strength;
    SplatShape shape;
    float smallFloor;  // strength factor floor for sub-pixel splats (0.01, droplets 0.02)
};

// The colour of a splat whose head is at `head` (world), `depth` along forward: fog
// towards 1.3 x fogColor, plus the lamps' glint on rain.
WX_HOSTDEV inline V3 splatColour(const SplatDev& s, V3 head, float depth, const LampRaw* lamps) {
    const float f = s.fogDensity > 0.0f ? expf(-depth * s.fogDensity) : 1.0f;
    V3 c = s.color * f + s.fogColor * (1.3f * (1.0f - f));
    if (s.lampCount > 0 && s.rainGlint > 0.0f) {
        V3 glint{};
        for (int k = 0; k < s.lampCount; ++k) {
            const V3 d = head - lamps[k].position;
            const float R2 = lamps[k].radius * lamps[k].radius;
            const float q = R2 / (R2 + dot(d, d));
            glint += lamps[k].colour * (q * q);
        }
        c += glint * (f * s.rainGlint);
    }
    return c;
}

// Adds a weighted colour into a pixel's four accumulation floats: atomically where other
// threads may add into the same pixel (the device, shared CPU buffers), plainly into a
// buffer that only the calling thread writes.
struct AtomicPixelAdd {
    float* accum;
    WX_HOSTDEV void operator()(size_t pixel, V3 colour, float w) const {
        float* out = accum + 4 * pixel;
        atomicAddFloat(out + 0, colour.x * w);
        atomicAddFloat(out + 1, colour.y * w);
        atomicAddFloat(out + 2, colour.z * w);
        atomicAddFloat(out + 3, w);
    }
};

struct PlainPixelAdd {
    float* accum;
    WX_HOSTDEV void operator()(size_t pixel, V3 colour, float w) const {
        float* out = accum + 4 * pixel;
        out[0] += colour.x * w;
        out[1] += colour.y * w;
        out[2] += colour.z * w;
        out[3] += w;
    }
};

template <class Add>
WX_HOSTDEV void drawSplatWith(const SplatDev& s, const SplatStroke& st, const LampRaw* lamps, const Add& add) {
    const CamDev& cam = s.cam;
    const ScreenPoint a = projectToScreen(cam, st.head);
    if (!(a.z >= kSplatNearPoint)) return;
    ScreenPoint b = projectToScreen(cam, st.tail);
    if (!(b.z >= kSplatNearPoint)) b = a;  // the streak collapses to its head

    float strength = st.strength;
    float r = (st.size * 0.5f) / (2.0f * a.z * cam.tanHalfX / float(cam.width));
    if (r < 0.5f) {
        strength *= maxf(st.smallFloor, r / 0.5f);
        r = 0.5f;
    }
    if (st.shape == SplatShape::Soft && r > 6.0f) {
        strength *= maxf(0.0f, 1.0f - (r - 6.0f) / 6.0f);
        if (!(strength > 0.0f)) return;
    }
    r = minf(r, kSplatMaxRadius);
    const float ex = b.x - a.x, ey = b.y - a.y;
    const float len2 = ex * ex + ey * ey;
    if (st.shape == SplatShape::Streak) strength *= minf(1.0f, 6.0f / maxf(1.0f, sqrtf(len2))) * 1.5f;
    // A NaN or infinite end or radius would reach the integer casts below.
    if (!isFiniteBits(a.x) || !isFiniteBits(a.y) || !isFiniteBits(b.x) || !isFiniteBits(b.y) || !isFiniteBits(r) ||
        !isFiniteBits(len2))
        return;

    const V3 colour = splatColour(s, st.head, a.z, lamps);
    const float m = st.shape == SplatShape::Soft ? 2.0f * r : r;
    const float lastX = float(cam.width - 1), lastY = float(cam.height - 1);
    const float bx0 = floorf(minf(a.x, b.x) - m - 1.0f), bx1 = ceilf(maxf(a.x, b.x) + m + 1.0f);
    const float by0 = floorf(minf(a.y, b.y) - m - 1.0f), by1 = ceilf(maxf(a.y, b.y) + m + 1.0f);
    if (bx1 < 0.0f || by1 < 0.0f || bx0 > lastX || by0 > lastY) return;
    const int x0 = int(maxf(0.0f, bx0)), x1 = int(minf(lastX, bx1));
    const int y0 = int(maxf(0.0f, by0)), y1 = int(minf(lastY, by1));
    if (int64_t(x1 - x0 + 1) * int64_t(y1 - y0 + 1) > kSplatMaxBoxPixels) return;

    const float invLen2 = len2 > 1e-6f ? 1.0f / len2 : 0.0f;
    const float softScale = 1.0f / (0.72f * r * r);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float px = float(x) - a.x, py = float(y) - a.y;
            float t = (px * ex + py * ey) * invLen2;
            t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
            const float dx = px - t * ex, dy = py - t * ey;
            const float d2 = dx * dx + dy * dy;
            float coverage;
            if (st.shape == SplatShape::Soft) {
                // e^-6.3 is below the 0.002 cut: farther pixels need no exponential.
                if (d2 * softScale > 6.3f) continue;
                coverage = expf(-d2 * softScale);
            } else {
                const float c = r + 0.5f - sqrtf(d2);
                coverage = c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
                if (st.shape == SplatShape::Streak) coverage *= 1.0f - 0.6f * t;
            }
            if (coverage <= kSplatMinCoverage) continue;
            const size_t pixel = size_t(y) * size_t(cam.width) + size_t(x);
            if (s.depth) {
                const float z = a.z + t * (b.z - a.z);
                if (z > s.depth[pixel] * kSplatDepthTolerance) continue;
            }
            add(pixel, colour, strength * coverage);
        }
    }
}

WX_HOSTDEV inline void drawSplat(const SplatDev& s, const SplatStroke& st, const LampRaw* lamps, float* accum) {
    drawSplatWith(s, st, lamps, AtomicPixelAdd{accum});
}

}  // namespace wx
