// Where splats land: a lone particle's splat is centred on the projection of its field
// position, the image depends only on where the camera is relative to the box, and nothing
// at or behind the near distance is drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "fall/fall_field.h"
#include "splat/splat_fall.h"
#include "splat_test_jobs.h"

namespace wx {
namespace {

using splat_test::makeCamera;
using splat_test::render;
using splat_test::standardJob;

// A snow job with one large, unstreaked flake, its box turned and moved, at a time when
// the flake is well inside its fall (fade above 0.9).
FallRenderJob loneFlakeJob(V3& worldPos) {
    FallRenderJob job = standardJob(kSplatSnow, 1, 96, 64);
    job.size = 30.0f;
    job.sizeVar = 0.0f;
    job.shutter = 0.0f;
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    job.boxTM[0] = {c, s, 0};
    job.boxTM[1] = {-s, c, 0};
    job.boxTM[3] = {120.0f, -40.0f, 15.0f};
    const SplatDev dev = makeSplatDev(job);
    const FallParams p = splatFieldParams(dev.head);
    for (float t = 0.0f; t < 60.0f; t += 0.37f) {
        if (fallLocal(p, 0, t).fade > 0.9f) {
            job.time = t;
            break;
        }
    }
    worldPos = fallWorld(p, 0, job.time, splatBoxMatrix(dev.head)).pos;
    return job;
}

TEST(SplatProjection, LoneFlakeCentroidIsItsProjectedFieldPosition) {
    V3 world;
    FallRenderJob job = loneFlakeJob(world);
    // Seen from a little aside and above, aimed slightly off the flake so that it falls
    // between pixel centres.
    const V3 eye = world + V3{-300.0f, -800.0f, 100.0f};
    job.cam = makeCamera(eye, world + V3{13.3f, 0.0f, -7.1f} - eye, {0, 0, 1}, 45.0f, 96, 64);
    const std::vector<float> image = render(job);
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            const double weight = -std::log(1.0 - double(splat_test::alphaAt(image, job, x, y)));
            sum += weight;
            sx += weight * x;
            sy += weight * y;
        }
    }
    ASSERT_GT(sum, 1.0);
    const ScreenPoint expected = projectToScreen(job.cam, world);
    EXPECT_NEAR(sx / sum, expected.x, 0.05);
    EXPECT_NEAR(sy / sum, expected.y, 0.05);
    EXPECT_GT(std::fabs(expected.x - 48.0f), 1.0f);  // really off the image's centre
}

TEST(SplatProjection, MovingCameraAndBoxTogetherChangesNothing) {
    for (int type : {kSplatSnow, kSplatRain, kSplatSand}) {
        FallRenderJob job = standardJob(type, 3000);
        job.windSpeed = 40.0f;
        const std::vector<float> before = render(job);
        const V3 shift{256.0f, -128.0f, 64.0f};
        job.boxTM[3] = job.boxTM[3] + shift;
        job.cam.pos = job.cam.pos + shift;
        const std::vector<float> after = render(job);
        double drawn = 0;
        for (size_t k = 0; k < before.size(); ++k) {
            ASSERT_NEAR(before[k], after[k], 1e-5) << "type " << type << " float " << k;
            drawn += before[k];
        }
        EXPECT_GT(drawn, 1.0) << "type " << type;
    }
}

TEST(SplatProjection, NothingAtOrBehindTheNearDistanceIsDrawn) {
    V3 world;
    FallRenderJob job = loneFlakeJob(world);
    auto alphaSum = [&](float distance) {
        job.cam = makeCamera(world - V3{0.0f, distance, 0.0f}, {0, 1, 0}, {0, 0, 1}, 45.0f, 96, 64);
        const std::vector<float> image = render(job);
        double sum = 0;
        for (size_t k = 3; k < image.size(); k += 4) sum += image[k];
        return sum;
    };
    EXPECT_GT(alphaSum(200.0f), 1.0);
    EXPECT_EQ(alphaSum(0.0005f), 0.0);
    EXPECT_EQ(alphaSum(-5.0f), 0.0);

    // The whole box behind the camera.
    FallRenderJob away = standardJob(kSplatRain, 5000);
    away.cam = makeCamera({0, -1500, 170}, {0, -1, 0}, {0, 0, 1}, 45.0f, away.imageWidth, away.imageHeight);
    for (float v : render(away)) ASSERT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace wx
