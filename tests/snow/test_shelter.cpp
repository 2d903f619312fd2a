// Shelter in the amount: a roof over the ground keeps snow off what it covers, by the
// shelter strength; the statistics report the hierarchy and the open sky.
#include <gtest/gtest.h>

#include <cmath>

#include "shelter/bvh.h"
#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

// Ground 400 x 400 with a 160 x 160 roof floating 20 above its middle.
struct RoofScene {
    Mesh ground = flatSquare(400.0f);
    ShelterBVH bvh;
    RoofScene() {
        std::vector<V3> soup;
        const V3 a{120, 120, 20}, b{280, 120, 20}, c{280, 280, 20}, d{120, 280, 20};
        soup = {a, b, c, a, c, d};
        buildBVH(soup, bvh);
    }
};

SnowSettings shelterSettings() {
    SnowSettings s = plainSettings();
    s.resolution = 10.0f;
    s.noiseScale = 1e6f;
    s.occRays = 32;
    s.spread = 25.0f;
    s.occlusion = 1.0f;
    return s;
}

Built buildWith(const RoofScene& scene, const SnowSettings& s) {
    Built b;
    EXPECT_TRUE(buildSnow(scene.ground.positions, scene.ground.faces, {}, &scene.bvh, s, b.shell, b.stats));
    return b;
}

bool underRoofMiddle(V3 p) {
    return p.x > 160 && p.x < 240 && p.y > 160 && p.y < 240;
}

TEST(SnowShelter, RoofKeepsSnowOffTheGroundBelowIt) {
    const RoofScene scene;
    const SnowSettings s = shelterSettings();
    const Built b = buildWith(scene, s);
    EXPECT_EQ(b.stats.sceneTriangles, 2);
    EXPECT_FALSE(b.stats.usedGPU);
    EXPECT_LT(b.stats.openSky, 0.999f);  // points crowd the open rim band, so the mean stays high
    EXPECT_GT(b.stats.openSky, 0.5f);
    size_t open = 0;
    for (int32_t v : topVertices(b.shell)) {
        const V3 p = b.shell.vertices[size_t(v)];
        ASSERT_FALSE(underRoofMiddle(p)) << "snow under the roof at " << p.x << ", " << p.y;
        if (p.x < 60 || p.x > 340) {
            ++open;
            ASSERT_NEAR(p.z - 0.2f, s.depth, 1e-4f) << "open ground gets full snow";
        }
    }
    EXPECT_GT(open, 0u);
}

TEST(SnowShelter, StrengthScalesTheShelter) {
    const RoofScene scene;
    SnowSettings s = shelterSettings();
    s.occlusion = 0.5f;
    const Built half = buildWith(scene, s);
    size_t under = 0;
    for (int32_t v : topVertices(half.shell)) {
        const V3 p = half.shell.vertices[size_t(v)];
        if (underRoofMiddle(p)) {
            ++under;
            EXPECT_NEAR((p.z - 0.2f) / s.depth, 0.5f, 1e-4f);
        }
    }
    EXPECT_GT(under, 0u);

    // No strength and no drift: nothing is measured, every point is open sky.
    s.occlusion = 0.0f;
    const Built none = buildWith(scene, s);
    EXPECT_FLOAT_EQ(none.stats.openSky, 1.0f);
    EXPECT_EQ(none.stats.sceneTriangles, 2);
    EXPECT_EQ(none.stats.trianglesOut, build(scene.ground, s).stats.trianglesOut);
}

TEST(SnowShelter, EmptyHierarchyShelterNothing) {
    RoofScene scene;
    scene.bvh = ShelterBVH{};
    const Built b = buildWith(scene, shelterSettings());
    EXPECT_EQ(b.stats.sceneTriangles, 0);
    EXPECT_FLOAT_EQ(b.stats.openSky, 1.0f);
    EXPECT_FLOAT_EQ(b.stats.meanAmount, 1.0f);
}

}  // namespace
