// The per-point snow amount: slope weight thinned by wind exposure, broken into patches,
// thinned at street level, painted and shaped by region gizmos; then softened over the
// surface. 0 means bare, 1 full depth.
#include <algorithm>
#include <cmath>

#include "common/angles.h"
#include "common/check.h"
#include "common/noise.h"
#include "common/parallel_for.h"
#include "snow/snow_work.h"

namespace wx::snow {
namespace {

float smooth01(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Noise threshold ramp: 0 below lo, 1 above hi; a zero-width ramp becomes 1e-6 wide.
float ramp(float v, float lo, float width) {
    if (width == 0.0f) width = 1e-6f;
    return smooth01((v - lo) / width);
}

int32_t wrapSeed(int32_t seed, uint32_t factor, uint32_t offset) {
    return int32_t(uint32_t(seed) * factor + offset);
}

}  // namespace

float regionWeight(const SnowRegion& region, V3 p, float soft) {
    const V3* rows = region.objectFromWorld;
    const V3 local = rows[0] * p.x + rows[1] * p.y + rows[2] * p.z + rows[3];
    const V3 d = {(local.x - region.centre.x) / std::max(region.halfExtent.x, 1e-6f),
                  (local.y - region.centre.y) / std::max(region.halfExtent.y, 1e-6f),
                  (local.z - region.centre.z) / std::max(region.halfExtent.z, 1e-6f)};
    const float r = region.isSphere ? length(d) : std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)});
    if (!(r < 1.0f)) return 0.0f;
    if (soft <= 1e-4f || r <= 1.0f - soft) return 1.0f;
    const float a = (1.0f - r) / soft;
    return a * a * (3.0f - 2.0f * a);
}

std::vector<float> computeAmounts(const Surface& surface, std::span<const SkyResult> sky, const SnowSettings& s) {
    const size_t n = surface.pointCount();
    WX_DCHECK(sky.empty() || sky.size() == n);
    std::vector<float> amount(n, 0.0f);
    float zMin = INFINITY;
    for (V3 p : surface.position) zMin = std::min(zMin, p.z);

    const float windRadians = radiansFromDegrees(s.windAngle);
    const float windX = std::cos(windRadians), windY = std::sin(windRadians);
    const float coverage = std::clamp(s.coverage, 0.0f, 1.0f);
    const float patchScale = std::max(s.patchScale, 1e-6f);
    const float groundScale = std::max(2.0f * s.patchScale, 1e-6f);
    const float patchLevel = 1.1f - 2.2f * coverage;
    const float groundLevel = 1.1f - 2.2f * std::max(s.groundCover, 0.0f);
    const int32_t patchSeed = wrapSeed(s.seed, 7u, 3u), groundSeed = wrapSeed(s.seed, 29u, 7u);
    const bool usePaint = !surface.paint.empty();
    const float soft = std::clamp(s.regionFalloff, 0.0f, 1.0f);
    const float g = s.regionStrength;

    parallelFor(n, [&](size_t i) {
        const V3 p = surface.position[i], nrm = surface.normal[i];
        const float slope = surface.slopeWeight[i];
        float a = slope;
        if (!sky.empty()) {
            // Open sky scales by the shelter strength; lee piles up to 1.5 x drift extra.
            a = (1.0f - (1.0f - sky[i].open) * s.occlusion) * a * (s.drift * 1.5f * sky[i].lee + 1.0f);
        }
        if (s.drift > 0.0f) {
            // Faces turned into the wind lose snow, faces turned away gain.
            const float c = -(windX * nrm.x + windY * nrm.y);
            a *= std::max(0.0f, 1.0f - 2.0f * s.drift * std::max(c, 0.0f) + s.drift * std::max(-c, 0.0f));
        }
        if (coverage < 1.0f) {
            const float v = fbmNoise(p / patchScale, 4, patchSeed);
            a *= ramp(v, patchLevel - 0.12f, (patchLevel + 0.12f) - (patchLevel - 0.12f));
        }
        if (s.groundCover < 1.0f && p.z < zMin + s.groundBand) {
            const float v = fbmNoise(p / groundScale, 4, groundSeed);
            a *= ramp(v, groundLevel - 0.1f, 0.2f);
        }
        if (usePaint) a *= surface.paint[i];
        if (!s.regions.empty()) {
            float m = 0.0f;
            for (const SnowRegion& region : s.regions) m = std::max(m, regionWeight(region, p, soft));
            if (s.regionMode == kRegionNoSnow)
                a *= 1.0f - std::min(1.0f, g * m);
            else if (s.regionMode == kRegionSnowOnlyHere)
                a *= (1.0f - std::min(1.0f, g)) + g * m;
            else
                a += std::min(1.0f, g * m) * (slope - a);
        }
        amount[i] = a;
    });
    return amount;
}

void softenAmounts(std::vector<float>& amount, const Adjacency& adjacency, int passes) {
    std::vector<float> next(amount.size());
    for (int pass = 0; pass < passes; ++pass) {
        for (size_t i = 0; i < amount.size(); ++i) {
            const uint32_t begin = adjacency.offsets[i], end = adjacency.offsets[i + 1];
            if (begin == end) {
                next[i] = amount[i];
                continue;
            }
            float sum = 0.0f;
            for (uint32_t k = begin; k < end; ++k) sum += amount[size_t(adjacency.neighbours[k])];
            next[i] = 0.5f * amount[i] + 0.5f * (sum / float(end - begin));
        }
        amount.swap(next);
    }
}

}  // namespace wx::snow
