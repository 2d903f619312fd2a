// The tornado's wind: a closed-form vortex per frame (tornadoVortex, metres and metres per
// second) and its sampling in time and space for the particle field (sampleTornadoWind,
// scene units and scene units per second). Written once for the CPU and the GPU: plain
// data, single precision, no allocation. Every formula keeps its order of operations, so
// the CPU path is the reference a device run is compared against.
#pragma once

#include <cmath>
#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "fall/tornado_frame.h"

namespace wx {

// The wind one evaluation sees. `frames` is owned by the object's wind cache and stays
// valid until its next fetch; the defaults are the values of "nothing loaded".
struct TornadoWind {
    const TornadoFrame* frames = nullptr;
    int32_t frameCount = 0;
    int32_t firstFrame = 0;
    float framesPerSecond = 24.0f;
    float unitsPerMetre = 100.0f;
    float influence = 1.0f;
    float carriedFor = 3.0f;  // seconds of a particle's fall that the wind carries it
    float reach = 30000.0f;   // scene units from the funnel where the wind has died away
};

namespace tornadodetail {

inline constexpr float kPi = 3.14159265f;
inline constexpr float kTwoPi = 6.28318531f;

// Limits to [0, 1]; NaN becomes 0.
WX_HOSTDEV inline float clamp01(float a) {
    return a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
}
WX_HOSTDEV inline float smoothstep(float a) {
    return a * a * (3.0f - 2.0f * a);
}
// x - x is 0 for every finite x and NaN for infinities and NaN (no fast maths here).
WX_HOSTDEV inline bool finite3(V3 v) {
    return v.x - v.x == 0.0f && v.y - v.y == 0.0f && v.z - v.z == 0.0f;
}

}  // namespace tornadodetail

// The wind of frame F at (x, y, z) in metres, in metres per second: a funnel that leans
// and wobbles with height, a tangential profile around a core that grows with height, a
// low inflow layer feeding an updraft ring with a central downdraft, up to eight satellite
// vortices orbiting the core, and the storm's drift near the core.
WX_HOSTDEV inline V3 tornadoVortex(const TornadoFrame& F, float x, float y, float z) {
    using namespace tornadodetail;
    // The funnel's axis at this height.
    float dz = z - F.groundZ;
    float Hc = maxf(F.cloudBase, 1.0f);
    float h = clamp01(dz / Hc);
    float q = powf(h, F.leanPower);
    float cx = F.centreX + q * F.leanX;
    float cy = F.centreY + q * F.leanY;
    if (F.wobble > 0.0f) {
        float s = sinf(kPi * h);
        float phi = kTwoPi * (F.time * F.wobbleFreq - 1.3f * h);
        cx += cosf(phi) * s * F.wobble;
        cy += sinf(1.13f * phi + 0.7f) * s * F.wobble;
    }
    float ex = x - cx;
    float ey = y - cy;
    float r = sqrtf(ex * ex + ey * ey) + 0.0001f;
    float rc = F.coreRadius * (1.0f + F.coreGrowth * powf(h, 1.5f));
    float rho = maxf(r / maxf(rc, 0.001f), 1e-6f);

    // Tangential: the profile around the core, dying off above the cloud base, plus the
    // parent circulation that ramps in with height.
    float above = -maxf(dz - Hc, 0.0f);
    float decay = expf(above / (0.25f * Hc));
    float P = maxf(F.parentRadius, 1.0f);
    float ramp = smoothstep(clamp01((h - 0.15f) / 0.75f));
    float a = F.profileInner;
    float b = F.profileOuter;
    float vt = F.peakSpeed * (1.0f - 0.35f * h) * powf(rho, a) * expf((1.0f - powf(rho, b)) * a / b) * decay +
               F.parentSpeed * (r / P) * expf(1.0f - r / P) * ramp;

    // Radial: inflow in the layer near the ground, outflow under the cloud base.
    float g = expf(-(dz * dz) / (F.inflowDepth * F.inflowDepth + 0.001f));
    float k = 2.0f * (r / rc) / ((r / rc) * (r / rc) + 1.0f);
    float baseT = (dz - Hc) / (0.18f * Hc);
    float base = expf(-(baseT * baseT));
    float outer = r < F.parentRadius ? 1.0f : F.parentRadius / r;
    float vr = -g * F.inflow * k + base * 0.3f * F.inflow * k * outer;

    // Vertical: the updraft ring above the inflow layer, the downdraft in the centre.
    float n = expf(-maxf(dz, 0.0f) / (0.5f * F.inflowDepth + 1.0f));
    float top = expf(above / (0.1f * Hc));
    float wR = rc * F.updraftWidth;
    float w = expf(-(r * r) / (wR * wR));
    float cR = 0.45f * rc;
    float c = expf(-(r * r) / (cR * cR));
    float d = smoothstep(clamp01((h - 0.05f) / 0.45f));
    float vz = w * F.updraft * (1.0f - n) * top - c * F.updraft * F.downdraft * d * top;

    float sigma = F.spin < 0 ? -1.0f : 1.0f;
    float vx = (ex / r) * vr - (ey / r) * sigma * vt;
    float vy = (ex / r) * sigma * vt + (ey / r) * vr;

    // Satellites: spaced around the orbit as for all of them even when only 8 are used.
    int32_t used = F.satellites < 8 ? F.satellites : 8;
    for (int32_t i = 0; i < used; ++i) {
        float R = rc * F.satelliteOrbit;
        float rs = maxf(rc * F.satelliteCore, 0.5f);
        float theta = kTwoPi * static_cast<float>(i) / static_cast<float>(F.satellites) +
                      sigma * F.peakSpeed / maxf(R, 1.0f) * 0.5f * F.time;
        float dx = x - (cx + R * cosf(theta));
        float dy = y - (cy + R * sinf(theta));
        float ds = sqrtf(dx * dx + dy * dy) + 0.0001f;
        float profile = ds < rs ? F.satelliteSpeed * ds / rs : F.satelliteSpeed * rs / ds;
        float s = expf(-ds / (1.5f * R + 1.0f)) * (1.0f - 0.5f * h) * top * profile * sigma;
        vx -= s * dy / ds;
        vy += s * dx / ds;
        vz += expf(-(ds * ds) / (rs * rs)) * 0.6f * F.updraft * (1.0f - h);
    }

    float rp = r / P;
    float m = expf(-(rp * rp));
    vx += m * F.driftX;
    vy += m * F.driftY;
    return {vx, vy, vz};
}

// The wind at world point p (scene units) at frame time T (seconds × framesPerSecond), in
// scene units per second: the two frames around T mixed linearly, faded out between 60 %
// of the reach and the reach from the funnel. Times outside the file use its first or last
// frame. A wind with no frames, or a sample that extreme frame values make infinite or
// NaN, gives no wind. Precondition: frames holds frameCount entries.
WX_HOSTDEV inline V3 sampleTornadoWind(const TornadoWind& wind, float T, V3 p) {
    using namespace tornadodetail;
    if (!wind.frames || wind.frameCount <= 0) return {};
    int32_t last = wind.frameCount - 1;
    float f = T - static_cast<float>(wind.firstFrame);
    f = f > 0.0f ? f : 0.0f;  // NaN too: the index stays inside the array
    float lastF = static_cast<float>(last);
    f = f < lastF ? f : lastF;
    int32_t i0 = static_cast<int32_t>(f);
    if (i0 > last) i0 = last;  // a count above 2^24 rounds lastF up
    int32_t i1 = i0 + 1 < wind.frameCount ? i0 + 1 : i0;
    float w = f - static_cast<float>(i0);
    const TornadoFrame& F0 = wind.frames[i0];
    const TornadoFrame& F1 = wind.frames[i1];

    float upm = wind.unitsPerMetre;
    V3 v0 = tornadoVortex(F0, p.x / upm, p.y / upm, p.z / upm);
    V3 v1 = tornadoVortex(F1, p.x / upm, p.y / upm, p.z / upm);
    V3 v = v0 * (1.0f - w) + v1 * w;

    float centreX = (F0.centreX * (1.0f - w) + F1.centreX * w) * upm;
    float centreY = (F0.centreY * (1.0f - w) + F1.centreY * w) * upm;
    float ox = p.x - centreX;
    float oy = p.y - centreY;
    float dist = sqrtf(ox * ox + oy * oy);
    float inner = 0.6f * wind.reach;
    float span = wind.reach - inner;
    if (span == 0.0f) span = 1e-6f;
    float fade = 1.0f - smoothstep(clamp01((dist - inner) / span));

    V3 out = v * fade * wind.influence * upm;
    return finite3(out) ? out : V3{};
}

}  // namespace wx
