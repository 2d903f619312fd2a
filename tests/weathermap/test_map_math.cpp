// The map's own elementary functions against the library: the remainder to the bit, the
// exponential and the sine within one unit in the last place over a dense sweep of their
// ranges, and their edges (held ranges, NaN, the library's part beyond 1e5).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "weathermap/map_math.h"

using namespace wx;

namespace {

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Floats in one monotonic integer order, so that a difference counts units in the last place.
int64_t ordered(float v) {
    const int32_t b = int32_t(bitsOf(v));
    return b < 0 ? int64_t(INT32_MIN) - int64_t(b) : int64_t(b);
}

int64_t ulpsApart(float a, float b) {
    return std::llabs(ordered(a) - ordered(b));
}

// Calls f on every stride-th float from lo up to hi (both of one sign, |lo| < |hi|).
template <class F>
void sweep(float lo, float hi, uint32_t stride, F&& f) {
    for (uint32_t b = bitsOf(lo); (bitsOf(hi) >= b); b += stride) {
        float x;
        std::memcpy(&x, &b, sizeof x);
        f(x);
    }
}

TEST(MapMath, RemainderIsFmodfToTheBit) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int k = 0; k < 400000; ++k) {
        // Periods from 0.01 to 2000 and values up to 2^30 of either sign; quotients past
        // 2^29 take the library's path.
        const float m = std::ldexp(std::fabs(unit(rng)) + 0.01f, int(rng() % 18) - 6);
        const float x = std::ldexp(unit(rng), int(rng() % 40) - 10);
        ASSERT_EQ(bitsOf(mapFmod(x, m)), bitsOf(std::fmod(x, m))) << x << " mod " << m;
    }
    for (float x : {0.0f, -0.0f, 60.0f, -60.0f, 120.0f, -180.0f, 59.999996f, -1e-30f, 3e9f})
        EXPECT_EQ(bitsOf(mapFmod(x, 60.0f)), bitsOf(std::fmod(x, 60.0f))) << x;
}

TEST(MapMath, ExpWithinOneUlp) {
    int64_t worst = 0;
    auto check = [&](float x) { worst = std::max(worst, ulpsApart(mapExp(x), float(std::exp(double(x))))); };
    sweep(-0.0f, -104.0f, 331, check);
    sweep(0.0f, 89.0f, 331, check);
    EXPECT_LE(worst, 1);
    EXPECT_EQ(mapExp(-200.0f), 0.0f);
    EXPECT_EQ(mapExp(200.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(mapExp(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_TRUE(std::isnan(mapExp(std::numeric_limits<float>::quiet_NaN())));
}

TEST(MapMath, SineWithinOneUlpAndTheLibraryBeyond) {
    int64_t worst = 0;
    auto check = [&](float x) {
        for (float v : {x, -x}) worst = std::max(worst, ulpsApart(mapSin(v), float(std::sin(double(v)))));
    };
    sweep(0.0f, 20.0f, 211, check);  // every ring's argument, densely
    sweep(20.0f, 1e5f, 1009, check);
    EXPECT_LE(worst, 1);
    for (float x : {1.5e5f, -3e7f, std::numeric_limits<float>::infinity()})
        EXPECT_EQ(bitsOf(mapSin(x)), bitsOf(std::sin(x))) << x;
    EXPECT_TRUE(std::isnan(mapSin(std::numeric_limits<float>::quiet_NaN())));
}

}  // namespace
