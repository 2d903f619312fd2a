// What a render is given: the rain column, the scene, splashes, gravity, and the run-off
// with its cache, drop count and status.
#include <gtest/gtest.h>

#include <cmath>

#include "fall/fall_render_setup.h"
#include "runoff_scenes.h"

namespace wx {
namespace {

using runoff_test::capture;
using runoff_test::Soup;

FallRenderInputs rain(std::shared_ptr<const ShelterBVH> scene) {
    FallRenderInputs in;
    in.type = kFallRain;
    in.scene = std::move(scene);
    in.unitsPerMetre = 1.0f;
    return in;
}

// Rain that stops at the scene falls from a column 1.5 times as tall reaching below the
// volume, with as many more drops; the origin moves down the node's own Z row, scale and
// rotation included, so the column's top stays where it was.
TEST(FallRenderSetup, RainThatCollidesFallsFromALongerColumn) {
    FallRenderInputs in = rain(capture(Soup().ground()));
    in.height = 500.0f;
    in.count = 20001;
    // Turned 90 degrees about X and scaled by 2: the object's Z is world -2 Y.
    in.objectToWorld = {{2, 0, 0}, {0, 0, 2}, {0, -2, 0}, {10, 20, 30}};
    const FallRenderSetup s = makeFallRenderSetup(in);
    EXPECT_FLOAT_EQ(s.height, 750.0f);
    EXPECT_EQ(s.count, 30001);  // trunc(750 x 20001 / 500) = trunc(30001.5)
    EXPECT_FLOAT_EQ(s.objectToWorld.t.x, 10.0f);
    EXPECT_FLOAT_EQ(s.objectToWorld.t.y, 20.0f + 500.0f);
    EXPECT_FLOAT_EQ(s.objectToWorld.t.z, 30.0f);
    EXPECT_FLOAT_EQ(s.objectToWorld.r2.y, -2.0f);
    // The top of the old column, local z = 500, is the top of the new one at local 750.
    const float oldTop = in.objectToWorld.t.y + 500.0f * in.objectToWorld.r2.y;
    const float newTop = s.objectToWorld.t.y + 750.0f * s.objectToWorld.r2.y;
    EXPECT_FLOAT_EQ(newTop, oldTop);
    EXPECT_EQ(s.scene, in.scene);
    EXPECT_TRUE(s.runoff);
}

// Snow and sand stop at the scene but keep their column and make no run-off; without
// collide there is no scene, no lengthening and no run-off either. Splashes pass as they
// are, gravity is 9.81 m/s^2 in scene units.
TEST(FallRenderSetup, OnlyRainThatCollidesGetsRunoff) {
    // In centimetres: a 20 m square a metre up.
    const auto scene = capture(Soup().ground(2000.0f).square(0, 0, 100, 2000));
    for (int type : {kFallSnow, kFallSand, kFallRain})
        for (bool collide : {true, false}) {
            SCOPED_TRACE(testing::Message() << "type " << type << " collide " << collide);
            FallRenderInputs in = rain(scene);
            in.type = type;
            in.collide = collide;
            in.splashHeight = 7.5f;
            in.splashAmount = 2.5f;
            in.unitsPerMetre = 100.0f;
            const FallRenderSetup s = makeFallRenderSetup(in);
            const bool runoff = collide && type == kFallRain;
            EXPECT_EQ(s.scene != nullptr, collide);
            EXPECT_EQ(s.height, runoff ? 750.0f : 500.0f);
            EXPECT_EQ(s.count, runoff ? 30000 : 20000);
            EXPECT_EQ(s.runoff, runoff);
            EXPECT_EQ(s.drips != nullptr, runoff);
            EXPECT_EQ(s.runoffStatus.empty(), !runoff);
            EXPECT_EQ(s.dripDrops > 0, runoff);
            EXPECT_FLOAT_EQ(s.gravity, 981.0f);
            EXPECT_EQ(s.splashHeight, 7.5f);
            EXPECT_EQ(s.splashAmount, 2.5f);
        }
    FallRenderInputs dry = rain(scene);
    dry.dripAmount = 0.0f;
    EXPECT_FALSE(makeFallRenderSetup(dry).runoff);
    EXPECT_TRUE(makeFallRenderSetup(dry).runoffStatus.empty());
    EXPECT_EQ(makeFallRenderSetup(dry).height, 750.0f) << "the column still reaches the ground";
    FallRenderInputs noScene = rain(nullptr);
    EXPECT_FALSE(makeFallRenderSetup(noScene).runoff);
}

// The drop count follows the edges' weight, not their length: 80 drops a metre of weight
// at a million particles, at least a fifth of that and at most three times, at most 800,000.
TEST(FallRenderSetup, DripDropsFollowTheWeightOfTheEdges) {
    EXPECT_EQ(dripDropCount(100.0f, 1.0f, 1.0f, dripRateFor(20000)), 1600);
    EXPECT_EQ(dripDropCount(10000.0f, 100.0f, 1.0f, dripRateFor(20000)), 1600);
    EXPECT_FLOAT_EQ(dripRateFor(1500000), 1.5f);
    EXPECT_FLOAT_EQ(dripRateFor(9000000), 3.0f);
    EXPECT_EQ(dripDropCount(1e6f, 1.0f, 20.0f, 3.0f), kMaxDripDrops);
    EXPECT_EQ(dripDropCount(0.0f, 1.0f, 1.0f, 1.0f), 0);

    // A lone 2 m square: 8 m of rim but 0.32 m of weight.
    FallRenderInputs in = rain(capture(Soup().ground().square(0, 0, 1, 2)));
    in.count = 1000000;  // 1.5 million once lengthened
    const FallRenderSetup s = makeFallRenderSetup(in);
    ASSERT_EQ(s.drips->edges.size(), 4u);
    EXPECT_NEAR(s.drips->totalWeight, 0.32f, 1e-6f);
    EXPECT_FLOAT_EQ(s.dripRate, 1.5f);
    EXPECT_EQ(s.dripDrops, 38);  // trunc(0.32 x 80 x 1.5)
    EXPECT_EQ(s.runoffStatus, L" | run-off: 4 edges, 38 drops");
    // The renderer samples the running sums, kept in float; the total is the last.
    float sum = 0.0f;
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(s.drips->cumWeight[i], sum += s.drips->edges[i].weight);
    EXPECT_EQ(s.drips->totalWeight, sum);
}

// The cache finds the edges again for every new capture, even one rebuilt into the same
// storage with as many triangles, and for nothing else.
TEST(FallRenderSetup, OnlyANewCaptureRebuildsTheDripEdges) {
    auto scene = std::make_shared<ShelterBVH>();
    buildBVH(Soup().ground().square(0, 0, 1, 2).points, *scene);
    FallRenderInputs in = rain(scene);
    const uint64_t before = dripEdgeSearches();
    const FallRenderSetup first = makeFallRenderSetup(in);
    EXPECT_EQ(dripEdgeSearches(), before + 1);
    in.count = 5000000;
    in.dripAmount = 3.0f;
    in.height = 20.0f;
    in.objectToWorld.t = {5, 5, 5};
    const FallRenderSetup again = makeFallRenderSetup(in);
    EXPECT_EQ(dripEdgeSearches(), before + 1);
    EXPECT_EQ(again.drips, first.drips);

    // The same object, the same arrays' storage and count: the square moved up 4 m.
    const BVHTri* storage = scene->tris.data();
    buildBVH(Soup().ground().square(0, 0, 5, 2).points, *scene);
    ASSERT_EQ(scene->tris.data(), storage);
    const FallRenderSetup moved = makeFallRenderSetup(in);
    EXPECT_EQ(dripEdgeSearches(), before + 2);
    ASSERT_EQ(moved.drips->edges.size(), 4u);
    EXPECT_FLOAT_EQ(moved.drips->edges[0].p0.z, 5.0f);
}

}  // namespace
}  // namespace wx
