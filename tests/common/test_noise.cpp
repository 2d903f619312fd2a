// Value noise: continuity across cells (also across zero, where a truncating floor would
// break), range, seeds and the fractal sum.
#include <gtest/gtest.h>

#include <cmath>

#include "common/noise.h"

using namespace wx;

namespace {

TEST(ValueNoise, ContinuousAcrossCellBordersAndZero) {
    for (float border : {-2.0f, -1.0f, 0.0f, 1.0f, 3.0f}) {
        for (int axis = 0; axis < 3; ++axis) {
            V3 lo{0.37f, -0.61f, 0.23f}, hi = lo;
            float* l = axis == 0 ? &lo.x : axis == 1 ? &lo.y : &lo.z;
            float* h = axis == 0 ? &hi.x : axis == 1 ? &hi.y : &hi.z;
            *l = border - 1e-4f;
            *h = border + 1e-4f;
            EXPECT_NEAR(valueNoise3(lo, 4), valueNoise3(hi, 4), 1e-3f) << "border " << border << " axis " << axis;
        }
    }
}

TEST(ValueNoise, RangeAndSeeds) {
    float lo = 1.0f, hi = -1.0f, seedDiff = 0.0f;
    for (int i = 0; i < 20000; ++i) {
        const V3 p = {float(i) * 0.137f - 900.0f, float(i % 97) * 0.71f, float(i % 13) * -1.3f};
        const float v = valueNoise3(p, 1);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        seedDiff += std::fabs(v - valueNoise3(p, 2));
    }
    EXPECT_GE(lo, -1.0f);
    EXPECT_LT(hi, 1.0f);
    EXPECT_LT(lo, -0.8f) << "the noise should use its range";
    EXPECT_GT(hi, 0.8f);
    EXPECT_GT(seedDiff / 20000.0f, 0.1f) << "another seed gives another field";
    // Far-away and non-finite points stay defined.
    EXPECT_TRUE(std::isfinite(valueNoise3({3e12f, -7e15f, 1e38f}, 3)));
    EXPECT_TRUE(std::isfinite(valueNoise3({NAN, INFINITY, 0.5f}, 3)));
}

TEST(FbmNoise, OctavesSumAndNormalise) {
    const V3 p{1.3f, -4.2f, 0.8f};
    EXPECT_EQ(fbmNoise(p, 0, 5), 0.0f);
    EXPECT_EQ(fbmNoise(p, -3, 5), 0.0f);
    EXPECT_FLOAT_EQ(fbmNoise(p, 1, 5), valueNoise3(p, 5));
    const float two = (0.5f * valueNoise3(p, 5) + 0.25f * valueNoise3(p * 2.03f, 106)) / 0.75f;
    EXPECT_FLOAT_EQ(fbmNoise(p, 2, 5), two);
    for (int i = 0; i < 1000; ++i) {
        const float v = fbmNoise({float(i) * 0.31f, float(i) * 0.07f, 2.0f}, 4, 10);
        ASSERT_GE(v, -1.0f);
        ASSERT_LT(v, 1.0f);
    }
}

}  // namespace
