// The depth buffer: triangles clipped at the near plane give the plane's exact depth, a
// wall hides splats more than 0.05 % behind it and none in front, and a depth handed in
// from another render hides the same and meets the rasterised scene by minimum.
#include <gtest/gtest.h>

#include <cmath>

#include "fall/fall_field.h"
#include "splat/splat_fall.h"
#include "splat/splat_raster.h"
#include "splat_test_jobs.h"

namespace wx {
namespace {

using splat_test::addQuad;
using splat_test::makeCamera;
using splat_test::render;
using splat_test::standardJob;

constexpr int kW = 64, kH = 48;

std::vector<float> rasterise(const std::vector<float>& tris, const CamDev& cam) {
    std::vector<float> depth(size_t(cam.width) * cam.height);
    for (size_t i = 0; i < depth.size(); ++i) clearDepth(depth.data(), (long long)depth.size(), (long long)i);
    const long long count = (long long)(tris.size() / 9);
    for (long long i = 0; i < count; ++i) sceneRaster(tris.data(), count, cam, depth.data(), i);
    return depth;
}

TEST(SplatSceneRaster, TrianglesBehindTheNearPlaneWriteNothing) {
    const CamDev cam = makeCamera({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 60.0f, kW, kH);
    const std::vector<float> behind = {-50, -5, -50, 50, -5, -50, 0, -5, 50};
    const std::vector<float> withinNear = {-1, 0.005f, -1, 1, 0.005f, -1, 0, 0.009f, 1};
    for (const auto* tris : {&behind, &withinNear})
        for (float d : rasterise(*tris, cam)) ASSERT_EQ(d, kSplatFarDepth);
}

// Floor triangles 1 unit below the camera, with one or two corners behind it: clipped to
// four or three corners, every pixel written holds the floor's depth along the view.
TEST(SplatSceneRaster, ClippedTrianglesGiveThePlanesDepthAtPixelCentres) {
    const CamDev cam = makeCamera({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 60.0f, kW, kH);
    const std::vector<float> oneBehind = {0, -10, -1, -100, 100, -1, 100, 100, -1};
    const std::vector<float> twoBehind = {-100, -10, -1, 100, -10, -1, 0, 100, -1};
    for (const auto* tris : {&oneBehind, &twoBehind}) {
        const std::vector<float> depth = rasterise(*tris, cam);
        int written = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const float d = depth[size_t(y) * kW + x];
                if (d == kSplatFarDepth) continue;
                ++written;
                const double v = (1.0 - 2.0 * (y + 0.5) / kH) * cam.tanHalfY;  // up per unit of depth
                ASSERT_LT(v, 0.0) << "floor written above the horizon at row " << y;
                EXPECT_NEAR(d, -1.0 / v, 1e-4 * (-1.0 / v)) << x << ", " << y;
            }
        }
        EXPECT_GT(written, kW * 4);
        EXPECT_NE(depth[size_t(kH - 1) * kW + kW / 2], kSplatFarDepth);  // the floor just ahead
    }
}

// A snow job with one large unstreaked flake, and the camera looking straight at it.
struct LoneFlake {
    FallRenderJob job = standardJob(kSplatSnow, 1, kW, kH);
    float depth = 0.0f;

    LoneFlake() {
        job.size = 20.0f;
        job.sizeVar = 0.0f;
        job.shutter = 0.0f;
        const SplatDev dev = makeSplatDev(job);
        const FallParams p = splatFieldParams(dev.head);
        while (fallLocal(p, 0, job.time).fade < 0.9f) job.time += 0.25f;
        const V3 world = fallWorld(p, 0, job.time, splatBoxMatrix(dev.head)).pos;
        job.cam = makeCamera(world - V3{30.0f, 600.0f, -40.0f}, {0.05f, 1.0f, -0.066f}, {0, 0, 1}, 45.0f, kW, kH);
        depth = projectToScreen(job.cam, world).z;
    }

    // A wall facing the camera at this depth along its view, covering the whole image.
    std::vector<float> wallAt(float d) const {
        const CamDev& c = job.cam;
        const V3 centre = c.pos + c.forward * d;
        const V3 r = c.right * (3.0f * d), u = c.up * (3.0f * d);
        std::vector<float> tris;
        addQuad(tris, centre - r - u, centre + r - u, centre + r + u, centre - r + u);
        return tris;
    }
};

double alphaSum(const std::vector<float>& image) {
    double sum = 0;
    for (size_t k = 3; k < image.size(); k += 4) sum += image[k];
    return sum;
}

TEST(SplatSceneDepth, WallsAndOutsideDepthsHideOnlyWhatIsBehindThem) {
    LoneFlake flake;
    const std::vector<float> open = render(flake.job);
    ASSERT_GT(alphaSum(open), 1.0);
    struct Case {
        float wallDepth;
        bool hidden;
    };
    for (Case c :
         {Case{flake.depth / 1.0003f, false}, Case{flake.depth / 1.0008f, true}, Case{flake.depth * 1.01f, false}}) {
        FallRenderJob walled = flake.job;
        const std::vector<float> tris = flake.wallAt(c.wallDepth);
        walled.sceneTris = tris.data();
        walled.sceneTriCount = (long long)(tris.size() / 9);
        FallRenderJob outside = flake.job;
        const std::vector<float> depth(size_t(kW) * kH, c.wallDepth);
        outside.depth = depth.data();
        for (const FallRenderJob* job : {&walled, &outside}) {
            const std::vector<float> image = render(*job);
            if (c.hidden)
                EXPECT_EQ(alphaSum(image), 0.0) << "wall at " << c.wallDepth << ", flake at " << flake.depth;
            else
                EXPECT_EQ(image, open) << "wall at " << c.wallDepth << ", flake at " << flake.depth;
        }
    }
}

// With fog and nothing else, a pixel's alpha is 1 - e^(-depth x density): it reads back
// the depth buffer that the outside depth and the raster left.
TEST(SplatSceneDepth, OutsideDepthMeetsTheRasterByMinimum) {
    FallRenderJob job = standardJob(kSplatSnow, 0, kW, kH);
    job.cam = makeCamera({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 60.0f, kW, kH);
    job.fogDensity = 0.001f;
    job.fogFar = 1e6f;
    std::vector<float> outside(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) outside[size_t(y) * kW + x] = x < kW / 2 ? 500.0f : 2000.0f;
    job.depth = outside.data();
    std::vector<float> tris;
    addQuad(tris, {-5000, 1000, -5000}, {5000, 1000, -5000}, {5000, 1000, 5000}, {-5000, 1000, 5000});
    job.sceneTris = tris.data();
    job.sceneTriCount = 2;
    const std::vector<float> image = render(job);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const double seen = -std::log(1.0 - double(splat_test::alphaAt(image, job, x, y))) / job.fogDensity;
            ASSERT_NEAR(seen, x < kW / 2 ? 500.0 : 1000.0, 0.5) << x << ", " << y;
        }
    }
}

}  // namespace
}  // namespace wx
