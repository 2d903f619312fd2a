#include "shelter/sky_visibility.h"

#include <algorithm>
#include <cmath>

#include "common/angles.h"

namespace wx {

SkyParams makeSkyParams(const SkyInputs& in) {
    const float wind = radiansFromDegrees(in.windAngleDegrees);
    SkyParams p{};
    p.rays = std::clamp(in.occRays, 1, 256);
    p.spread = std::max(radiansFromDegrees(in.spreadDegrees), 0.02f);
    p.maxDist = in.occDist > 0.0f ? in.occDist : 1e30f;
    p.skyDir = normalize({-cosf(wind) * in.drift * 1.2f, -sinf(wind) * in.drift * 1.2f, 1.0f});
    p.windDir = {cosf(wind), sinf(wind), 0.0f};
    p.leeReach = in.drift > 0.0f ? in.leeDist : 0.0f;
    p.rayOffset = std::max(std::min(in.fineEdge * 0.05f, in.depth * 0.02f), in.diag * 2e-5f);
    p.seed = in.seed;
    return p;
}

}  // namespace wx
