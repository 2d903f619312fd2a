// finish (one thread per pixel): the accumulated splats, taken as an optical depth,
// composited over the background after distance fog and the glow of lamps seen through
// the air, into premultiplied RGBA. Written once for the thread pool and the device;
// lamps come in as a pointer (the device passes its constant table).
#pragma once

#include <cmath>

#include "common/hostdev.h"
#include "common/v3.h"
#include "splat/splat_records.h"

namespace wx {

constexpr float kSplatNoSceneDepth = 1e37f;  // depths at or above this saw no geometry

// The glow of one lamp (position P, radius R) along the ray pos + s dir, s in [0, L]: the
// closed form of the integral of (R^2 / (R^2 + distance^2))^2 over s.
WX_HOSTDEV inline float lampGlowAlongRay(V3 pos, V3 dir, float L, V3 P, float R, float* t0Out) {
    const V3 toLamp = P - pos;
    const float t0 = dot(dir, toLamp);
    const V3 off = toLamp - dir * t0;
    const float h2 = R * R + dot(off, off);
    const float h = sqrtf(h2);
    const float s1 = L - t0, s0 = -t0;
    const float F1 = s1 / (2.0f * h2 * (s1 * s1 + h2)) + atanf(s1 / h) / (2.0f * h2 * h);
    const float F0 = s0 / (2.0f * h2 * (s0 * s0 + h2)) + atanf(s0 / h) / (2.0f * h2 * h);
    *t0Out = t0;
    const float R2 = R * R;
    return R2 * R2 * (F1 - F0);
}

WX_HOSTDEV inline void finish(const float* accum, const float* background, const float* depth, int pixelCount,
                              float brightness, float fogDensity, V3 fogColor, float fogFar, float* out,
                              const CamDev& cam, int lampCount, float lampGlow, const LampRaw* lamps, long long i) {
    if (i >= pixelCount) return;
    const float* acc = accum + 4 * i;
    const float a = acc[3];
    const float T = expf(-a);
    const float coverage = 1.0f - T;
    V3 c{};
    if (a > 1e-6f) c = V3{acc[0], acc[1], acc[2]} * (coverage / a * brightness);

    V3 b{};
    float ba = 0.0f;
    if (background) {
        b = V3{background[4 * i], background[4 * i + 1], background[4 * i + 2]};
        ba = background[4 * i + 3];
    }

    if (fogDensity > 0.0f) {
        const float d = depth ? depth[i] : fogFar;
        float f;
        if ((!depth || d > kSplatNoSceneDepth) && ba > 0.99f)
            f = 1.0f;  // an opaque background where no scene was hit is sky: no fog
        else
            f = expf(-minf(d, fogFar) * fogDensity);
        b = b * f + fogColor * (1.0f - f);
        ba = ba + (1.0f - ba) * (1.0f - f);
    }

    if (lampGlow > 0.0f && lampCount >= 1) {
        const int x = int(i % cam.width), y = int(i / cam.width);
        const float D = depth ? minf(depth[i], fogFar) : fogFar;
        const float u = ((float(x) + 0.5f) / float(cam.width)) * 2.0f - 1.0f;
        const float v = 1.0f - 2.0f * (float(y) + 0.5f) / float(cam.height);
        const V3 ray = cam.right * (cam.tanHalfX * u) + cam.up * (cam.tanHalfY * v) + cam.forward;
        const V3 dir = normalize(ray);
        const float L = D / maxf(1e-4f, dot(cam.forward, dir));
        V3 G{};
        for (int k = 0; k < lampCount; ++k) {
            float t0;
            float g = lampGlowAlongRay(cam.pos, dir, L, lamps[k].position, lamps[k].radius, &t0);
            if (fogDensity > 0.0f) g *= expf(-fogDensity * minf(maxf(t0, 0.0f), L));
            G += lamps[k].colour * g;
        }
        b += G * lampGlow;
        ba = minf(1.0f, ba + (G.x + G.y + G.z) * lampGlow * 0.333f);
    }

    float* o = out + 4 * i;
    o[0] = T * b.x + c.x;
    o[1] = T * b.y + c.y;
    o[2] = T * b.z + c.z;
    o[3] = T * ba + coverage;
}

}  // namespace wx
