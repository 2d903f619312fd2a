#include "snow/snow_builder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "gpu/sky_gpu.h"
#include "shelter/bvh.h"
#include "shelter/sky_cpu.h"
#include "shelter/sky_visibility.h"
#include "snow/snow_work.h"

namespace wx {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count()) / 1e6;
}

// Soften passes: the whole part of the setting, held to the parameter's 0..50 so that a
// stray huge or non-finite value cannot stall the build.
int softenPasses(float smoothing) {
    if (!(smoothing > 0.0f)) return 0;
    return int(std::min(smoothing, 50.0f));
}

// Step 7: open sky and lee for every refined point, or nothing when no shelter is to be
// measured. With useGPU the GPU is tried first; when it declines or fails the CPU
// threads give the same answers.
std::vector<SkyResult> measureShelter(const ShelterBVH* shelter, const snow::Surface& surface,
                                      const SnowSettings& s, float fine, double diag, bool& usedGPU) {
    if (!shelter || shelter->tris.empty()) return {};
    if (!(s.occlusion > 0.0f || (s.drift > 0.0f && s.leeDist > 0.0f))) return {};
    SkyInputs in;
    in.occRays = s.occRays;
    in.spreadDegrees = s.spread;
    in.occDist = s.occDist;
    in.windAngleDegrees = s.windAngle;
    in.drift = s.drift;
    in.leeDist = s.leeDist;
    in.fineEdge = fine;
    in.depth = s.depth;
    in.diag = float(diag);
    in.seed = s.seed;
    const SkyParams params = makeSkyParams(in);
    std::vector<SkyResult> sky;
    if (s.useGPU && skyVisibilityGpu(*shelter, surface.position, surface.normal, params, sky)) {
        usedGPU = true;
        return sky;
    }
    sky.assign(surface.pointCount(), SkyResult{});
    measureSkyCpu(*shelter, surface.position, surface.normal, params, sky);
    return sky;
}

}  // namespace

bool buildSnow(std::span<const V3> positions, std::span<const int32_t> faceIndices,
               std::span<const uint8_t> faceMask, const ShelterBVH* shelter, const SnowSettings& settings,
               SnowShell& shell, SnowStats& stats) {
    const Clock::time_point start = Clock::now();
    shell.clear();
    stats = SnowStats{};
    stats.facesIn = int32_t(std::min<size_t>(faceIndices.size() / 3, INT32_MAX));
    stats.sceneTriangles = shelter ? int32_t(std::min<size_t>(shelter->tris.size(), INT32_MAX)) : 0;
    auto finish = [&] {
        stats.buildMs = millisecondsSince(start);
        return true;
    };
    if (stats.facesIn == 0 || positions.empty() || !(settings.depth > 0.0f)) return finish();

    snow::Surface surface;
    double diag = 0.0;
    snow::selectUpFacing(positions, faceIndices, faceMask, settings, surface, diag, stats.upFacing);
    if (stats.upFacing == 0) return finish();

    const Clock::time_point refineStart = Clock::now();
    snow::DetailLengths lengths = snow::deriveLengths(settings, diag);
    {
        const std::vector<uint64_t> boundary = snow::boundaryEdges(surface.triangles);
        snow::chooseDetail(surface, boundary, settings.maxTris, lengths);
        stats.detail = lengths.fine;
        snow::markNearEdgeAndRefine(surface, boundary, lengths, settings.maxTris);
    }
    stats.refineMs = millisecondsSince(refineStart);

    // Only softening reads the adjacency, so it is not built when there is nothing to soften.
    const int passes = softenPasses(settings.smoothing);
    const snow::Adjacency adjacency =
        passes > 0 ? snow::buildAdjacency(surface.triangles, surface.pointCount()) : snow::Adjacency{};

    const Clock::time_point shelterStart = Clock::now();
    const std::vector<SkyResult> sky = measureShelter(shelter, surface, settings, lengths.fine, diag, stats.usedGPU);
    stats.shelterMs = millisecondsSince(shelterStart);

    std::vector<float> amount = snow::computeAmounts(surface, sky, settings);
    const double points = double(std::max<size_t>(surface.pointCount(), 1));
    double amountSum = 0.0, openSum = 0.0;
    for (float a : amount) amountSum += a;
    if (sky.empty()) {
        openSum = double(surface.pointCount());  // unmeasured points count as open sky
    } else {
        for (const SkyResult& r : sky) openSum += r.open;
    }
    stats.openSky = float(openSum / points);
    stats.meanAmount = float(amountSum / points);

    snow::softenAmounts(amount, adjacency, passes);
    snow::buildShell(surface, amount, settings, lengths, shell, stats);
    return finish();
}

}  // namespace wx
