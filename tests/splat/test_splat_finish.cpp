// The final pass: fog over an empty image, the sky rule for opaque backgrounds, lamp glow
// against a numerical integral, and the 64-lamp table.
#include <gtest/gtest.h>

#include <cmath>

#include "splat/splat_raster.h"
#include "splat_test_jobs.h"

namespace wx {
namespace {

using splat_test::makeCamera;
using splat_test::render;
using splat_test::standardJob;

constexpr int kW = 48, kH = 32;

FallRenderJob emptyJob() {
    FallRenderJob job = standardJob(kSplatSnow, 0, kW, kH);
    job.cam = makeCamera({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 60.0f, kW, kH);
    return job;
}

TEST(SplatFinish, FogOnAnEmptyImageIsTheFogColourAtTheFarDistance) {
    FallRenderJob job = emptyJob();
    job.fogDensity = 0.002f;
    job.fogFar = 800.0f;
    job.fogColor = {0.5f, 0.6f, 0.7f};
    const std::vector<float> image = render(job);
    const float haze = 1.0f - std::exp(-1.6f);
    for (size_t k = 0; k < image.size(); k += 4) {
        ASSERT_NEAR(image[k + 0], 0.5f * haze, 1e-6f);
        ASSERT_NEAR(image[k + 1], 0.6f * haze, 1e-6f);
        ASSERT_NEAR(image[k + 2], 0.7f * haze, 1e-6f);
        ASSERT_NEAR(image[k + 3], haze, 1e-6f);
    }
}

// Left half an opaque sky (alpha 1), right half a half-transparent one. Fog leaves the
// opaque sky alone unless a depth says geometry is there.
TEST(SplatFinish, OpaqueBackgroundWithNoSceneHitGetsNoFog) {
    FallRenderJob job = emptyJob();
    job.fogDensity = 0.001f;
    job.fogFar = 1000.0f;
    job.fogColor = {1.0f, 1.0f, 1.0f};
    std::vector<float> background(size_t(kW) * kH * 4);
    for (int i = 0; i < kW * kH; ++i) {
        const bool opaque = i % kW < kW / 2;
        const float rgba[4] = {0.2f, 0.3f, 0.4f, opaque ? 1.0f : 0.5f};
        for (int c = 0; c < 4; ++c) background[size_t(i) * 4 + c] = rgba[c];
    }
    job.background = background.data();
    const std::vector<float> noHit(size_t(kW) * kH, 1e38f), near(size_t(kW) * kH, 300.0f);
    struct Case {
        const float* depth;
        float opaqueFogDistance;  // 0: no fog on the opaque half
        float otherFogDistance;
    };
    for (Case c :
         {Case{nullptr, 0.0f, 1000.0f}, Case{noHit.data(), 0.0f, 1000.0f}, Case{near.data(), 300.0f, 300.0f}}) {
        job.depth = c.depth;
        const std::vector<float> image = render(job);
        for (int i = 0; i < kW * kH; ++i) {
            const bool opaque = i % kW < kW / 2;
            const float distance = opaque ? c.opaqueFogDistance : c.otherFogDistance;
            const float f = std::exp(-distance * job.fogDensity);
            const float* b = &background[size_t(i) * 4];
            const float* o = &image[size_t(i) * 4];
            for (int ch = 0; ch < 3; ++ch) ASSERT_NEAR(o[ch], b[ch] * f + (1.0f - f), 1e-6f) << i;
            ASSERT_NEAR(o[3], b[3] + (1.0f - b[3]) * (1.0f - f), 1e-6f) << i;
        }
    }
}

// (R^2 / (R^2 + d^2))^2 along the ray through a pixel centre, by composite Simpson.
double glowIntegral(const CamDev& cam, int x, int y, double far, V3 lamp, double radius) {
    const double u = (x + 0.5) / cam.width * 2 - 1, v = 1 - 2 * (y + 0.5) / cam.height;
    double dir[3] = {cam.right.x * cam.tanHalfX * u + cam.up.x * cam.tanHalfY * v + cam.forward.x,
                     cam.right.y * cam.tanHalfX * u + cam.up.y * cam.tanHalfY * v + cam.forward.y,
                     cam.right.z * cam.tanHalfX * u + cam.up.z * cam.tanHalfY * v + cam.forward.z};
    const double len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    for (double& c : dir) c /= len;
    const double along = dir[0] * cam.forward.x + dir[1] * cam.forward.y + dir[2] * cam.forward.z;
    const double L = far / along;
    auto f = [&](double s) {
        const double px = cam.pos.x + s * dir[0] - lamp.x, py = cam.pos.y + s * dir[1] - lamp.y,
                     pz = cam.pos.z + s * dir[2] - lamp.z;
        const double q = radius * radius / (radius * radius + px * px + py * py + pz * pz);
        return q * q;
    };
    const int n = 200000;
    const double h = L / n;
    double sum = f(0) + f(L);
    for (int k = 1; k < n; ++k) sum += f(k * h) * (k % 2 ? 4 : 2);
    return sum * h / 3;
}

TEST(SplatFinish, LampGlowIsTheIntegralOfTheLampsFalloffAlongTheRay) {
    FallRenderJob job = emptyJob();
    job.fogFar = 2000.0f;
    job.lampGlow = 0.01f;
    const V3 lampAt{30.0f, 500.0f, 20.0f};
    job.lamps = {LampRaw{lampAt, {1.0f, 0.5f, 0.25f}, 15.0f}};
    const std::vector<float> image = render(job);
    const ScreenPoint centre = projectToScreen(job.cam, lampAt);
    for (int dy : {0, 3, -7}) {
        for (int dx : {0, 2, 9, -15}) {
            const int x = int(centre.x) + dx, y = int(centre.y) + dy;
            const double expected = glowIntegral(job.cam, x, y, job.fogFar, lampAt, 15.0);
            const float* o = &image[(size_t(y) * kW + x) * 4];
            EXPECT_NEAR(o[0] / job.lampGlow, expected, 1e-3 * expected) << dx << ", " << dy;
            EXPECT_NEAR(o[1] / job.lampGlow, 0.5 * expected, 1e-3 * expected) << dx << ", " << dy;
        }
    }
}

TEST(SplatFinish, OnlyTheFirst64LampsGlowAndGlint) {
    const splat_test::OneThread oneThread;
    FallRenderJob job = standardJob(kSplatRain, 4000, kW, kH);
    job.lampGlow = 0.02f;
    job.rainGlint = 2.0f;
    job.fogFar = 3000.0f;
    for (int k = 0; k < 65; ++k) {
        const float x = float(k % 13) * 60.0f - 360.0f, z = float(k / 13) * 60.0f + 20.0f;
        job.lamps.push_back(LampRaw{{x, 0.0f, z}, {0.1f, 0.1f, 0.1f}, 10.0f});
    }
    job.lamps[64] = LampRaw{{0.0f, -200.0f, 170.0f}, {50.0f, 40.0f, 30.0f}, 80.0f};  // bright, ahead
    job.lamps[63].colour = {5.0f, 0.0f, 0.0f};
    const std::vector<float> with65 = render(job);
    job.lamps.pop_back();
    EXPECT_EQ(render(job), with65);
    job.lamps.pop_back();
    EXPECT_NE(render(job), with65);  // the 64th does count
}

}  // namespace
}  // namespace wx
