// Particles against the scene: a floor stops them (rain splashes in a band at it), a
// particle stops at a wall only when its own unwrapped path crosses it, and run-off drips
// fall only from a floating roof's rims.
#include <gtest/gtest.h>

#include <cmath>

#include "fall/drip_edges.h"
#include "fall/fall_field.h"
#include "splat/splat_fall.h"
#include "splat_test_jobs.h"

namespace wx {
namespace {

using splat_test::addQuad;
using splat_test::makeCamera;
using splat_test::render;
using splat_test::soupOf;
using splat_test::standardJob;

constexpr int kW = 96, kH = 54;
constexpr float kFloorZ = 150.0f;

struct EdgeOnFloor {
    ShelterBVH bvh;
    FallRenderJob job = standardJob(kSplatRain, 20000, kW, kH);

    EdgeOnFloor() {
        std::vector<float> tris;
        addQuad(tris, {-5000, -5000, kFloorZ}, {5000, -5000, kFloorZ}, {5000, 5000, kFloorZ}, {-5000, 5000, kFloorZ});
        buildBVH(soupOf(tris), bvh);
        job.cam = makeCamera({0, -1500, kFloorZ}, {0, 1, 0}, {0, 0, 1}, 45.0f, kW, kH);
        job.collide = true;
        job.sceneBvh = &bvh;
        job.splashAmount = 0.0f;
    }
};

// The floor is seen edge-on along the middle of the image (row 26.5).
double alphaBelowRow(const std::vector<float>& image, int firstRow) {
    double sum = 0;
    for (int y = firstRow; y < kH; ++y)
        for (int x = 0; x < kW; ++x) sum += image[(size_t(y) * kW + x) * 4 + 3];
    return sum;
}

TEST(SplatCollide, NothingIsDrawnBelowAFloorTheParticlesStopAt) {
    for (int type : {kSplatRain, kSplatSnow}) {
        EdgeOnFloor scene;
        scene.job.type = type;
        scene.job.size = 3.0f;
        EXPECT_EQ(alphaBelowRow(render(scene.job), 28), 0.0) << "type " << type;
        scene.job.collide = false;
        EXPECT_GT(alphaBelowRow(render(scene.job), 28), 0.1) << "type " << type;
    }
}

TEST(SplatCollide, SplashesChangeOnlyABandAtTheFloor) {
    const splat_test::OneThread oneThread;
    EdgeOnFloor scene;
    const std::vector<float> dry = render(scene.job);
    scene.job.splashAmount = 1.0f;
    const std::vector<float> wet = render(scene.job);
    int changed = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const size_t k = (size_t(y) * kW + x) * 4 + 3;
            if (wet[k] == dry[k]) continue;
            ++changed;
            EXPECT_GE(y, 24) << "column " << x;
            EXPECT_LE(y, 29) << "column " << x;
        }
    }
    EXPECT_GT(changed, 10);
}

// Unwrapped X at the start of particle i's current fall, found by walking its path back
// in small steps and undoing every jump across the volume's sides.
float walkedStartX(const FallParams& p, uint64_t i, float t) {
    const FallParticle now = fallLocal(p, i, t);
    constexpr int kSteps = 400;
    float prev = now.pos.x;
    double travelled = 0;
    for (int k = 1; k <= kSteps; ++k) {
        const float tau = k == kSteps ? t - now.age + 1e-3f : t - now.age * float(k) / kSteps;
        const float x = fallLocal(p, i, tau).pos.x;
        double step = double(prev) - x;
        if (step > p.width / 2) step -= p.width;
        if (step < -p.width / 2) step += p.width;
        travelled += step;
        prev = x;
    }
    return float(now.pos.x - travelled);
}

TEST(SplatCollide, AParticleStopsAtAWallOnlyWhenItsOwnUnwrappedPathCrossesIt) {
    ShelterBVH bvh;
    std::vector<float> tris;
    addQuad(tris, {0, -5000, -1000}, {0, 5000, -1000}, {0, 5000, 2000}, {0, -5000, 2000});
    buildBVH(soupOf(tris), bvh);
    FallRenderJob job = standardJob(kSplatSnow, 600, 160, 90);
    job.windSpeed = 300.0f;
    job.size = 30.0f;
    job.sizeVar = 0.0f;
    job.cam = makeCamera({0, -3000, 250}, {0, 1, 0}, {0, 0, 1}, 60.0f, 160, 90);
    job.collide = true;
    job.sceneBvh = &bvh;
    SplatDev s = makeSplatDev(job);
    const BVHView view = bvh.view();
    s.bvhNodes = view.nodes;
    s.bvhTris = view.tris;
    s.bvhNodeCount = view.nodeCount;
    s.bvhTriCount = view.triCount;
    s.bvhPresent = 1;
    const FallParams p = splatFieldParams(s.head);
    std::vector<float> accum(size_t(160) * 90 * 4);
    int checked = 0, stopped = 0, wrappedDiffers = 0;
    for (uint64_t i = 0; i < uint64_t(job.count); ++i) {
        const FallParticle now = fallLocal(p, i, job.time);
        const ScreenPoint at = projectToScreen(job.cam, now.pos);
        if (now.fade < 0.05f || at.x < 3 || at.x > 156 || at.y < 3 || at.y > 86) continue;
        const float startX = walkedStartX(p, i, job.time);
        if (std::fabs(startX) < 3.0f || std::fabs(now.pos.x) < 3.0f) continue;  // too close to call
        std::fill(accum.begin(), accum.end(), 0.0f);
        splatFall(s, job.count, accum.data(), nullptr, (long long)i);
        double drawn = 0;
        for (size_t k = 3; k < accum.size(); k += 4) drawn += accum[k];
        const bool crosses = (startX < 0.0f) != (now.pos.x < 0.0f);
        EXPECT_EQ(drawn == 0.0, crosses) << "particle " << i << " from x " << startX << " to " << now.pos.x;
        ++checked;
        stopped += crosses;
        const float wrappedStart = fallWrap(startX + p.width / 2, p.width) - p.width / 2;
        wrappedDiffers += ((wrappedStart < 0.0f) != (now.pos.x < 0.0f)) != crosses;
    }
    EXPECT_GT(checked, 100);
    EXPECT_GT(stopped, 20);
    EXPECT_GT(checked - stopped, 20);
    EXPECT_GT(wrappedDiffers, 10);  // the scene really tells the unwrapped path from the wrapped one
}

TEST(SplatCollide, DripsFallOnlyFromAFloatingRoofsRims) {
    std::vector<float> tris;
    addQuad(tris, {-2000, -2000, 0}, {2000, -2000, 0}, {2000, 2000, 0}, {-2000, 2000, 0});
    addQuad(tris, {-100, -100, 300}, {100, -100, 300}, {100, 100, 300}, {-100, 100, 300});
    ShelterBVH bvh;
    buildBVH(soupOf(tris), bvh);
    const DripEdgeList list = makeDripEdgeList(findDripEdges(bvh, 100.0f));
    ASSERT_EQ(list.edges.size(), 4u);
    FallRenderJob job = standardJob(kSplatRain, 0, 128, 72);
    job.cam = makeCamera({0, -1500, 150}, {0, 1, 0}, {0, 0, 1}, 45.0f, 128, 72);
    job.collide = true;
    job.sceneBvh = &bvh;
    for (const DripEdge& e : list.edges)
        job.dripEdges.insert(job.dripEdges.end(), {e.p0.x, e.p0.y, e.p0.z, e.p1.x, e.p1.y, e.p1.z});
    job.dripCumLength = list.cumWeight;
    job.dripCount = 4000;
    const std::vector<float> image = render(job);

    // The rims' extent on screen, grown by a splat's margin.
    float left = 1e9f, right = -1e9f, top = 1e9f;
    for (float x : {-101.0f, 101.0f}) {
        for (float y : {-101.0f, 101.0f}) {
            const ScreenPoint s = projectToScreen(job.cam, {x, y, 300.0f});
            left = std::min(left, s.x);
            right = std::max(right, s.x);
            top = std::min(top, s.y);
        }
    }
    int drawn = 0;
    for (int y = 0; y < 72; ++y) {
        for (int x = 0; x < 128; ++x) {
            if (image[(size_t(y) * 128 + x) * 4 + 3] == 0.0f) continue;
            ++drawn;
            EXPECT_GE(x, left - 2.0f) << "row " << y;
            EXPECT_LE(x, right + 2.0f) << "row " << y;
            EXPECT_GE(y, top - 2.0f) << "column " << x;
        }
    }
    EXPECT_GT(drawn, 20);
    // Without edges, or for snow, nothing drips.
    job.type = kSplatSnow;
    for (float v : render(job)) ASSERT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace wx
