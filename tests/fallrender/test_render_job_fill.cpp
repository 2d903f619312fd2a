// The job's host-free parts: the camera record, the lamps that glow, the environment's
// backend choice and the summary line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fall/fall_render_job_fill.h"

namespace wx {
namespace {

TEST(RenderJobFill, CameraRecordFollowsTheNodeRowsAndFieldOfView) {
    // A node scaled by 2 and turned so that its local -Z looks along world +Y.
    CamDev cam = cameraFromMatrix({2, 0, 0}, {0, 0, 2}, {0, -2, 0}, {5, 6, 7}, 1.5707964f);
    EXPECT_FLOAT_EQ(cam.right.x, 1.0f);
    EXPECT_FLOAT_EQ(cam.up.z, 1.0f);
    EXPECT_FLOAT_EQ(cam.forward.y, 1.0f);
    EXPECT_FLOAT_EQ(cam.pos.z, 7.0f);
    EXPECT_NEAR(cam.tanHalfX, 1.0f, 1e-6f);
    completeCamera(cam, 200, 100);
    EXPECT_NEAR(cam.tanHalfY, 0.5f, 1e-6f);
    EXPECT_EQ(cam.width, 200);
    EXPECT_TRUE(cameraIsFinite(cam));
    const float block[13] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, NAN, 0.5f};
    EXPECT_FALSE(cameraIsFinite(cameraFromBlock(block)));
    const float inf[13] = {INFINITY, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, -1, 0.5f};
    EXPECT_FALSE(cameraIsFinite(cameraFromBlock(inf)));
}

LampCandidate lamp(float x, float intensity, V3 colour = {1.0f, 0.5f, 0.25f}) {
    return {V3{x, 0.0f, 0.0f}, colour, intensity};
}

TEST(RenderJobFill, LampsSkipZeroKeepTheNearest64AndScaleByTheMedianMagnitude) {
    // Three lamps, intensities 1, 2 and 4 at distances 3, 1 and 2: nearest first, median 2.
    std::vector<LampRaw> got = pickGlowLamps({lamp(3, 1), lamp(1, 2), lamp(0, 0), lamp(2, 4)}, {}, 25.0f);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_FLOAT_EQ(got[0].position.x, 1.0f);
    EXPECT_FLOAT_EQ(got[1].position.x, 2.0f);
    EXPECT_FLOAT_EQ(got[2].position.x, 3.0f);
    EXPECT_FLOAT_EQ(got[0].colour.x, 1.0f);  // 2 / 2, colour already at its largest
    EXPECT_FLOAT_EQ(got[0].colour.z, 0.25f);
    EXPECT_FLOAT_EQ(got[1].colour.x, 2.0f);
    EXPECT_FLOAT_EQ(got[2].colour.y, 0.25f);  // 0.5 x (1 / 2)
    EXPECT_FLOAT_EQ(got[2].radius, 25.0f);

    // Colours are normalised by their largest component; the scale is capped at 8.
    got = pickGlowLamps({lamp(1, 1, {0.2f, 0.4f, 0.1f}), lamp(2, 1), lamp(3, 100)}, {}, 1.0f);
    EXPECT_FLOAT_EQ(got[0].colour.y, 1.0f);
    EXPECT_FLOAT_EQ(got[0].colour.x, 0.5f);
    EXPECT_FLOAT_EQ(got[2].colour.x, 8.0f);

    // A negative multiplier glows by its magnitude, and an all-negative set is not blown
    // up by a negative median.
    got = pickGlowLamps({lamp(1, -4), lamp(2, 1), lamp(3, 2)}, {}, 1.0f);
    EXPECT_FLOAT_EQ(got[0].colour.x, 2.0f);
    got = pickGlowLamps({lamp(1, -1), lamp(2, -1), lamp(3, -3)}, {}, 1.0f);
    for (const LampRaw& l : got) {
        EXPECT_GT(l.colour.x, 0.0f);
        EXPECT_LE(l.colour.x, 3.0f);
    }

    // Seventy lamps along x, given farthest first: the 64 nearest the camera at x = 100
    // survive, in order of distance.
    std::vector<LampCandidate> many;
    for (int i = 0; i < 70; ++i) many.push_back(lamp(100.0f - float(69 - i) * 3.0f, 1.0f));
    got = pickGlowLamps(many, {100.0f, 0.0f, 0.0f}, 1.0f);
    ASSERT_EQ(got.size(), 64u);
    for (int i = 0; i < 64; ++i) EXPECT_FLOAT_EQ(got[i].position.x, 100.0f - 3.0f * float(i));
    EXPECT_TRUE(pickGlowLamps({lamp(1, 0), lamp(2, -0.0f)}, {}, 1.0f).empty());
}

struct Env {
    explicit Env(const char* value) {
        if (value)
            setenv("WX_FALL_BACKEND", value, 1);
        else
            unsetenv("WX_FALL_BACKEND");
    }
    ~Env() { unsetenv("WX_FALL_BACKEND"); }
};

TEST(RenderJobFill, BackendComesFromTheEnvironment) {
    FallBackend b = FallBackend::Cpu;
    std::string error;
    {
        Env e(nullptr);
        ASSERT_TRUE(fallBackendFromEnvironment(b, error));
        EXPECT_EQ(b, FallBackend::Gpu);
    }
    {
        Env e("cpu");
        ASSERT_TRUE(fallBackendFromEnvironment(b, error));
        EXPECT_EQ(b, FallBackend::Cpu);
    }
    {
        Env e("AUTO");
        ASSERT_TRUE(fallBackendFromEnvironment(b, error));
        EXPECT_EQ(b, FallBackend::Auto);
    }
    {
        Env e("gpu");
        b = FallBackend::Cpu;
        ASSERT_TRUE(fallBackendFromEnvironment(b, error));
        EXPECT_EQ(b, FallBackend::Gpu);
    }
    {
        Env e("vulkan");
        EXPECT_FALSE(fallBackendFromEnvironment(b, error));
        EXPECT_EQ(error, "WX_FALL_BACKEND must be gpu, cpu or auto, not \"vulkan\"");
    }
}

TEST(RenderJobFill, SummaryNamesTheParticlesSizeSceneLampsAndBackend) {
    FallRenderJob job;
    job.type = kFallRain;
    job.count = 30000;
    job.imageWidth = 320;
    job.imageHeight = 240;
    job.sceneTriCount = 12;
    job.lamps.resize(3);
    EXPECT_EQ(fallRenderSummary(job, 0.25, true),
              L"30000 drops, 320x240, 12 scene triangles, 3 lamps: 0.250 s on the GPU");
    job.type = kFallSand;
    EXPECT_EQ(fallRenderSummary(job, 1.0, false),
              L"30000 grains, 320x240, 12 scene triangles, 3 lamps: 1.000 s on the CPU");
    job.type = kFallSnow;
    job.lamps.resize(70);
    EXPECT_EQ(fallRenderSummary(job, 0.0, false),
              L"30000 flakes, 320x240, 12 scene triangles, 64 lamps: 0.000 s on the CPU");
    EXPECT_EQ(clipStatus(std::wstring(500, L'x')).size(), 319u);
}

}  // namespace
}  // namespace wx
