// Sky visibility of one surface point: the fraction of a cone of sky rays (tilted into
// the wind by drift) that escape the occluders, and a lee measure from three nearly
// horizontal upwind rays. Written once for the CPU thread pool and the GPU kernel; the
// parameters travel to the device as the 48 bytes of SkyParams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/hash.h"
#include "common/hostdev.h"
#include "common/v3.h"
#include "shelter/bvh.h"

namespace wx {

struct SkyParams {
    int32_t rays;     // cone rays per point, 1..256
    float spread;     // cone half-angle, radians, at least 0.02
    float maxDist;    // rays stop here; 1e30 for unlimited
    V3 skyDir;        // cone axis: up, tilted against the wind by drift
    V3 windDir;       // horizontal, the way the wind blows
    float leeReach;   // length of the lee rays; 0 casts none
    float rayOffset;  // lift off the surface, scene units
    int32_t seed;
};
static_assert(sizeof(SkyParams) == 48);
static_assert(offsetof(SkyParams, skyDir) == 12 && offsetof(SkyParams, windDir) == 24 &&
              offsetof(SkyParams, leeReach) == 36 && offsetof(SkyParams, rayOffset) == 40 &&
              offsetof(SkyParams, seed) == 44);

struct SkyResult {
    float open;  // 0..1, fraction of cast cone rays that escaped
    float lee;   // 0..1, how close upwind obstacles stand
};
static_assert(sizeof(SkyResult) == 8);

// The snow settings that shape the measurement. Angles in degrees; lengths in scene units.
struct SkyInputs {
    int32_t occRays = 24;
    float spreadDegrees = 60.0f;
    float occDist = 0.0f;  // 0 means unlimited
    float windAngleDegrees = 0.0f;
    float drift = 0.0f;
    float leeDist = 0.0f;
    float fineEdge = 0.0f;  // fine edge length after the budget scaling
    float depth = 0.0f;
    float diag = 0.0f;  // input bounding-box diagonal
    int32_t seed = 0;
};

SkyParams makeSkyParams(const SkyInputs& in);

constexpr float kGoldenAngle = 2.3999631f;  // radians: spirals the cone rays evenly over its cap
constexpr float kLeeTurn = 0.35f;   // radians: the outer lee rays turn this far either side of upwind
constexpr float kLeeLift = 0.18f;  // the lee rays' upward component before normalising

// The frame around the cone axis s: t1, t2 and s are orthonormal.
WX_HOSTDEV inline void coneFrame(V3 s, V3& t1, V3& t2) {
    V3 h = fabsf(s.x) >= 0.9f ? V3{0.0f, 1.0f, 0.0f} : V3{1.0f, 0.0f, 0.0f};
    t1 = normalize(cross(h, s));
    t2 = cross(s, t1);
}

// The per-point rotation of the spiral, an angle in [0, 2 pi) from the point's index.
WX_HOSTDEV inline float pointRotation(int32_t seed, uint32_t index) {
    uint32_t x = static_cast<uint32_t>(seed) ^ (index * 0x9E3779B1u);
    x = hash32(x);
    return static_cast<float>(x >> 8) * (1.0f / 16777216.0f) * 6.2831855f;
}

// Direction of cone ray j (of rays), or false when it points into a roof-like surface.
WX_HOSTDEV inline bool coneRay(const SkyParams& params, V3 t1, V3 t2, float rot, float cosSpread, V3 normal,
                               int32_t j, V3& dir) {
    float cosTheta = 1.0f - (static_cast<float>(j) + 0.5f) * (1.0f - cosSpread) / static_cast<float>(params.rays);
    float sinTheta = sqrtf(maxf(0.0f, 1.0f - cosTheta * cosTheta));
    float phi = static_cast<float>(j) * kGoldenAngle + rot;
    dir = normalize(cosf(phi) * sinTheta * t1 + sinf(phi) * sinTheta * t2 + cosTheta * params.skyDir);
    return !(dot(dir, normal) <= 0.0f && normal.z > 0.2f);
}

WX_HOSTDEV inline V3 skyRayOrigin(const SkyParams& params, V3 position, V3 normal) {
    return position + params.rayOffset * normal + params.rayOffset * V3{0.0f, 0.0f, 1.0f};
}

// Direction of lee ray a (0, 1, 2): upwind, turned by -kLeeTurn, 0 or +kLeeTurn about
// Z, slightly up.
WX_HOSTDEV inline V3 leeRay(const SkyParams& params, int a) {
    const float angle = a == 0 ? -kLeeTurn : (a == 1 ? 0.0f : kLeeTurn);
    float c = cosf(angle), s = sinf(angle);
    V3 r{params.windDir.x * c - params.windDir.y * s, params.windDir.x * s + params.windDir.y * c, 0.0f};
    return normalize(V3{-r.x, -r.y, kLeeLift});
}

// The lee measure from the ray origin: 0 without drift, else the mean closeness of the
// three lee rays' hits (1 at the origin, 0 at leeReach or beyond).
template <class Tracer>
WX_HOSTDEV inline float leeMeasure(const Tracer& tracer, V3 origin, const SkyParams& params) {
    if (!(params.leeReach > 0.0f)) return 0.0f;
    float total = 0.0f;
    for (int a = 0; a < 3; ++a) {
        float r = tracer.cast(origin, leeRay(params, a), params.leeReach);
        if (r < params.leeReach) total += 1.0f - r / params.leeReach;
    }
    return total / 3.0f;
}

// The measurement itself over any ray tracer with occluded(origin, dir, maxDist) (is
// anything hit closer?) and cast(origin, dir, maxDist) (the nearest hit, or maxDist).
template <class Tracer>
WX_HOSTDEV inline SkyResult skyVisibilityWith(const Tracer& tracer, V3 position, V3 normal, uint32_t index,
                                              const SkyParams& params) {
    V3 t1, t2;
    coneFrame(params.skyDir, t1, t2);
    const float rot = pointRotation(params.seed, index);
    const V3 origin = skyRayOrigin(params, position, normal);
    const float cosSpread = cosf(params.spread);

    int32_t open = 0, cast = 0;
    for (int32_t j = 0; j < params.rays; ++j) {
        V3 dir;
        if (!coneRay(params, t1, t2, rot, cosSpread, normal, j, dir)) continue;
        ++cast;
        if (!tracer.occluded(origin, dir, params.maxDist)) ++open;
    }
    return {cast > 0 ? static_cast<float>(open) / static_cast<float>(cast) : 0.0f,
            leeMeasure(tracer, origin, params)};
}

// The reference tracer: closest-hit castRay on the binary tree, as the GPU runs it. A
// ray is open when castRay returns maxDist, that is when nothing is hit closer.
struct BinaryTracer {
    BVHView view;
    WX_HOSTDEV bool occluded(V3 origin, V3 dir, float maxDist) const {
        return castRay(view, origin, dir, maxDist) < maxDist;
    }
    WX_HOSTDEV float cast(V3 origin, V3 dir, float maxDist) const { return castRay(view, origin, dir, maxDist); }
};

WX_HOSTDEV inline SkyResult skyVisibility(const BVHView& view, V3 position, V3 normal, uint32_t index,
                                          const SkyParams& params) {
    return skyVisibilityWith(BinaryTracer{view}, position, normal, index, params);
}

}  // namespace wx
