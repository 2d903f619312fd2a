// Whole-image invariants over seeded random jobs, thread-count agreement, and the jobs both
// backends refuse before allocating, leaving the caller's image as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "common/parallel_for.h"
#include "fall/drip_edges.h"
#include "splat/splat_fall.h"
#include "splat/splat_finish.h"
#include "splat_test_jobs.h"

namespace wx {
namespace {

using splat_test::addQuad;
using splat_test::makeCamera;
using splat_test::render;
using splat_test::soupOf;
using splat_test::standardJob;

// A floor, a floating roof and a block, for collisions, splashes and drips.
struct Town {
    std::vector<float> tris;
    ShelterBVH bvh;
    DripEdgeList drips;
    TornadoFrame frame{};

    Town() {
        addQuad(tris, {-900, -900, 40}, {900, -900, 40}, {900, 900, 40}, {-900, 900, 40});
        addQuad(tris, {-150, -150, 260}, {150, -150, 260}, {150, 150, 260}, {-150, 150, 260});
        addQuad(tris, {200, -300, 40}, {200, -100, 40}, {200, -100, 400}, {200, -300, 400});
        buildBVH(soupOf(tris), bvh);
        drips = makeDripEdgeList(findDripEdges(bvh, 100.0f));
        frame.cloudBase = 800.0f;
        frame.leanPower = 1.0f;
        frame.peakSpeed = 40.0f;
        frame.coreRadius = 60.0f;
        frame.profileInner = 1.0f;
        frame.profileOuter = 1.0f;
        frame.inflow = 5.0f;
        frame.inflowDepth = 50.0f;
        frame.updraft = 10.0f;
        frame.updraftWidth = 1.5f;
        frame.parentSpeed = 5.0f;
        frame.parentRadius = 500.0f;
    }
};

FallRenderJob randomJob(unsigned seed, const Town& town) {
    std::mt19937 rng(seed);
    auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    FallRenderJob job = standardJob(int(seed % 3), int64_t(uni(500, 6000)), 80, 60);
    job.seed = int(seed);
    job.time = uni(-20, 80);
    job.speed = job.type == kSplatRain ? uni(300, 1200) : uni(20, 200);
    const float wind = uni(0, 6.2831853f);
    job.windDir[0] = std::cos(wind);
    job.windDir[1] = std::sin(wind);
    job.windSpeed = uni(0, 300);
    job.turbulence = uni(0, 60);
    job.size = uni(0.5f, 40.0f);
    job.dropWidth = uni(0.05f, 3.0f);
    job.shutter = uni(0, 0.1f);
    job.color = {uni(0.2f, 1), uni(0.2f, 1), uni(0.2f, 1)};
    job.brightness = uni(0.5f, 2.0f);
    job.opacity = uni(0.2f, 1.0f);
    const float turn = uni(-0.5f, 0.5f);
    job.boxTM[0] = {std::cos(turn), std::sin(turn), 0};
    job.boxTM[1] = {-std::sin(turn), std::cos(turn), 0};
    job.boxTM[3] = {uni(-100, 100), uni(-100, 100), uni(-50, 50)};
    const int view = int(seed % 4);
    const V3 eye = view == 0   ? V3{uni(-400, 400), uni(-400, 400), uni(20, 480)}    // inside the box
                   : view == 1 ? V3{uni(-200, 200), uni(-2000, -1200), uni(0, 400)}  // outside
                               : V3{uni(-300, 300), uni(-300, 300), uni(-200, 10)};  // under it, looking up
    const V3 look =
        view >= 2 ? V3{uni(-0.3f, 0.3f), uni(-0.3f, 0.3f), 1.0f} : V3{uni(-0.5f, 0.5f), 1.0f, uni(-0.3f, 0.3f)};
    job.cam = makeCamera(eye, look, view >= 2 ? V3{0, 1, 0} : V3{0, 0, 1}, uni(20, 100), 80, 60);
    if (seed % 2 == 0) {
        job.collide = true;
        job.sceneBvh = &town.bvh;
        job.sceneTris = town.tris.data();
        job.sceneTriCount = int64_t(town.tris.size() / 9);
        for (const DripEdge& e : town.drips.edges)
            job.dripEdges.insert(job.dripEdges.end(), {e.p0.x, e.p0.y, e.p0.z, e.p1.x, e.p1.y, e.p1.z});
        job.dripCumLength = town.drips.cumWeight;
        job.dripCount = 3000;
    }
    if (seed % 5 == 1) {
        job.tornado.frames = &town.frame;
        job.tornado.frameCount = 1;
    }
    return job;
}

TEST(SplatInvariants, RandomJobsGiveFiniteImagesOfTheParticleColour) {
    const Town town;
    int drawnJobs = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        const FallRenderJob job = randomJob(seed, town);
        const std::vector<float> image = render(job);
        double alphaSum = 0;
        for (size_t k = 0; k < image.size(); k += 4) {
            const float a = image[k + 3];
            ASSERT_TRUE(std::isfinite(a)) << "seed " << seed;
            ASSERT_GE(a, 0.0f) << "seed " << seed;
            ASSERT_LE(a, 1.0f) << "seed " << seed;
            const float colour[3] = {job.color.x, job.color.y, job.color.z};
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(image[k + c], a * colour[c] * job.brightness, 1e-5f) << "seed " << seed << " float " << k;
            alphaSum += a;
        }
        drawnJobs += alphaSum > 0.01;
    }
    EXPECT_GE(drawnJobs, 18);
}

TEST(SplatInvariants, OneThreadRepeatsItsBitsAndTwoAgreeWithIt) {
    const Town town;
    for (unsigned seed : {2u, 3u, 4u, 7u}) {
        FallRenderJob job = randomJob(seed, town);
        job.count = 30000;
        job.cam = makeCamera({0, -1500, 170}, {0, 1, 0}, {0, 0, 1}, 45.0f, 80, 60);
        setParallelThreadLimit(1);
        const std::vector<float> first = render(job), again = render(job);
        setParallelThreadLimit(2);
        const std::vector<float> two = render(job);
        setParallelThreadLimit(0);
        ASSERT_EQ(first, again) << "seed " << seed;
        for (size_t k = 0; k < first.size(); ++k)
            ASSERT_NEAR(two[k], first[k], 1e-5f * std::fabs(first[k]) + 1e-7f) << "seed " << seed << " float " << k;
    }
}

// The thread pool sorts strokes by tile and sums per-worker buffers; drawing every
// particle and drip straight into one buffer, in index order, must give the same image
// up to the order of the additions.
TEST(SplatInvariants, BinnedDrawingMatchesDrawingEachItemInTurn) {
    const Town town;
    for (unsigned seed : {2u, 4u, 6u}) {
        FallRenderJob job = randomJob(seed, town);
        job.type = kSplatRain;
        job.count = 20000;
        job.cam = makeCamera({0, -1500, 170}, {0, 1, 0}, {0, 0, 1}, 45.0f, 80, 60);
        job.sceneTris = nullptr;
        job.sceneTriCount = 0;
        const std::vector<float> binned = render(job);

        SplatDev s = makeSplatDev(job);
        const BVHView view = town.bvh.view();
        s.bvhNodes = view.nodes;
        s.bvhTris = view.tris;
        s.bvhNodeCount = view.nodeCount;
        s.bvhTriCount = view.triCount;
        s.bvhPresent = 1;
        std::vector<float> accum(size_t(80) * 60 * 4), direct(accum.size());
        for (long long i = 0; i < job.count; ++i) splatFall(s, job.count, accum.data(), nullptr, i);
        for (long long i = 0; i < job.dripCount; ++i)
            splatDrips(s, job.dripEdges.data(), job.dripCumLength.data(), int(job.dripEdges.size() / 6), job.dripCount,
                       job.dripRate, accum.data(), nullptr, i);
        for (long long i = 0; i < 80 * 60; ++i)
            finish(accum.data(), nullptr, nullptr, 80 * 60, job.brightness, 0.0f, {}, job.fogFar, direct.data(),
                   job.cam, 0, 0.0f, nullptr, i);
        double drawn = 0;
        for (size_t k = 0; k < direct.size(); ++k) {
            ASSERT_NEAR(binned[k], direct[k], 1e-5f * std::fabs(direct[k]) + 1e-7f)
                << "seed " << seed << " float " << k;
            drawn += direct[k];
        }
        EXPECT_GT(drawn, 1.0) << "seed " << seed;
    }
}

TEST(SplatInvariants, TransformsFarOutOfRangeDrawNothingAndStayFinite) {
    FallRenderJob job = standardJob(kSplatSnow, 2000);
    job.boxTM[0] = {3e38f, 0, 0};
    job.boxTM[2] = {0, 0, 3e38f};
    for (float v : render(job)) ASSERT_TRUE(std::isfinite(v));
    job.boxTM[0] = {1, 0, 0};
    job.boxTM[2] = {0, 0, 1};
    job.size = std::numeric_limits<float>::quiet_NaN();
    for (float v : render(job)) ASSERT_EQ(v, 0.0f);
}

TEST(SplatInvariants, BadJobsAreRefusedAndTheImageIsLeftAlone) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        void (*spoil)(FallRenderJob&, float, float);
    };
    const Case cases[] = {
        {"NaN camera position", [](FallRenderJob& j, float n, float) { j.cam.pos.x = n; }},
        {"infinite forward", [](FallRenderJob& j, float, float i) { j.cam.forward.y = i; }},
        {"zero forward", [](FallRenderJob& j, float, float) { j.cam.forward = {}; }},
        {"zero right", [](FallRenderJob& j, float, float) { j.cam.right = {}; }},
        {"tanHalfX 0", [](FallRenderJob& j, float, float) { j.cam.tanHalfX = 0.0f; }},
        {"tanHalfX negative", [](FallRenderJob& j, float, float) { j.cam.tanHalfX = -1.0f; }},
        {"tanHalfX NaN", [](FallRenderJob& j, float n, float) { j.cam.tanHalfX = n; }},
        {"side over 32768",
         [](FallRenderJob& j, float, float) { j.imageWidth = j.cam.width = 40000, j.imageHeight = j.cam.height = 2; }},
        {"over 2^27 pixels",
         [](FallRenderJob& j, float, float) { j.imageWidth = j.cam.width = j.imageHeight = j.cam.height = 16384; }},
        {"empty image", [](FallRenderJob& j, float, float) { j.imageWidth = j.cam.width = 0; }},
        {"camera size differs", [](FallRenderJob& j, float, float) { j.cam.width += 1; }},
        {"drip lists differ", [](FallRenderJob& j, float, float) { j.dripEdges.resize(6); }},
        {"negative count", [](FallRenderJob& j, float, float) { j.count = -1; }},
    };
    for (const Case& c : cases) {
        FallRenderJob job = standardJob(kSplatRain, 100);
        c.spoil(job, nan, inf);
        std::vector<float> image = {1.0f, 2.0f, 3.0f};
        double seconds = -1.0;
        std::string error;
        EXPECT_FALSE(renderFallOnCpu(job, image, seconds, error)) << c.what;
        EXPECT_NE(error.find("CPU render refused: "), std::string::npos) << c.what << ": " << error;
        EXPECT_GT(error.size(), 30u) << c.what;
        EXPECT_EQ(image, (std::vector<float>{1.0f, 2.0f, 3.0f})) << c.what;
        EXPECT_GE(seconds, 0.0) << c.what;
    }
}

// Without a device (CI), the GPU entry says so and leaves the image alone; with one, its
// image agrees with the thread pool's.
TEST(SplatInvariants, TheGpuEntryWithoutADeviceSaysSoAndLeavesTheImage) {
    const FallRenderJob job = standardJob(kSplatSnow, 2000);
    std::vector<float> image = {7.0f};
    double seconds = -1.0;
    std::string error;
    if (renderFallOnGpu(job, image, seconds, error)) {
        const std::vector<float> cpu = render(job);
        ASSERT_EQ(image.size(), cpu.size());
        double diff = 0;
        for (size_t k = 0; k < cpu.size(); ++k) diff += std::fabs(image[k] - cpu[k]);
        EXPECT_LE(diff / double(cpu.size()), 1e-4);
        return;
    }
    EXPECT_EQ(error, kNoCudaGpuText);
    EXPECT_EQ(image, std::vector<float>{7.0f});
    EXPECT_GE(seconds, 0.0);
}

}  // namespace
}  // namespace wx
