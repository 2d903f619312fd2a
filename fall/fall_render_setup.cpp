#include "fall/fall_render_setup.h"

#include <algorithm>
#include <cmath>

namespace wx {
namespace {

constexpr float kGravityMetres = 9.81f;         // m/s^2
constexpr float kDripsPerMetre = 80.0f;         // drops a metre of weight, at a million particles
constexpr float kCountForRateOne = 1000000.0f;  // particles

// Rain that stops at the scene falls from a column half as tall again, reaching below the
// volume by half its height; the count grows with it so the density stays. The origin
// moves along the node's unnormalised Z row, so under a scaled node the top stays put.
void lengthenRainColumn(FallRenderSetup& s, float h, int64_t count) {
    const float lengthened = 1.5f * h;
    const float grown = std::trunc(lengthened * float(count) / std::max(h, 1e-6f));
    s.count = grown >= 9.2e18f ? INT64_MAX : int64_t(std::max(grown, 0.0f));
    s.height = lengthened;
    const float down = -0.5f * h;
    s.objectToWorld.t = s.objectToWorld.t + s.objectToWorld.r2 * down;
}

std::wstring runoffText(size_t edges, int64_t drops) {
    return L" | run-off: " + std::to_wstring(edges) + L" edges, " + std::to_wstring(drops) + L" drops";
}

}  // namespace

float dripRateFor(int64_t count) {
    return std::clamp(float(count) / kCountForRateOne, 0.2f, 3.0f);
}

int64_t dripDropCount(float totalWeight, float unitsPerMetre, float dripAmount, float rate) {
    const float drops = totalWeight / unitsPerMetre * kDripsPerMetre * dripAmount * rate;
    if (!(drops > 0.0f)) return 0;  // none, or a weight that is not a number
    if (!(drops < float(kMaxDripDrops))) return kMaxDripDrops;
    return int64_t(drops);
}

FallRenderSetup makeFallRenderSetup(const FallRenderInputs& in) {
    FallRenderSetup s;
    s.count = in.count;
    s.height = in.height;
    s.objectToWorld = in.objectToWorld;
    s.splashHeight = in.splashHeight;
    s.splashAmount = in.splashAmount;
    s.gravity = kGravityMetres * in.unitsPerMetre;
    if (!in.collide) return s;
    s.scene = in.scene;
    if (in.type != kFallRain) return s;
    lengthenRainColumn(s, in.height, in.count);
    if (!s.scene || !(in.dripAmount > 0.0f)) return s;
    s.drips = cachedDripEdges(s.scene, in.unitsPerMetre);
    s.runoff = true;
    s.dripRate = dripRateFor(s.count);
    s.dripDrops = dripDropCount(s.drips->totalWeight, in.unitsPerMetre, in.dripAmount, s.dripRate);
    s.runoffStatus = runoffText(s.drips->edges.size(), s.dripDrops);
    return s;
}

}  // namespace wx
