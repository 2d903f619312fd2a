#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/atomics.h"
#include "common/hash.h"
#include "common/v3.h"

using namespace wx;

TEST(V3, NormaliseGivesUnitLengthAndUpForNullVectors) {
    V3 n = normalize({3.0f, 0.0f, 4.0f});
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    for (V3 tiny : {V3{0, 0, 0}, V3{1e-31f, 0, 0}, V3{0, -1e-31f, 0}}) {
        V3 up = normalize(tiny);
        EXPECT_EQ(up.x, 0.0f);
        EXPECT_EQ(up.y, 0.0f);
        EXPECT_EQ(up.z, 1.0f);
    }
    // Squares of single-precision lengths below about 1e-22 underflow, so tiny vectors
    // that still have a direction in float are ones around 1e-10.
    EXPECT_FLOAT_EQ(normalize({0, 2e-10f, 0}).y, 1.0f);
}

TEST(V3, CrossFollowsTheRightHandRule) {
    V3 z = cross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(z.z, 1.0f);
    EXPECT_EQ(dot(cross({1, 2, 3}, {4, 5, 6}), V3{1, 2, 3}), 0.0f);
}

TEST(Hash, Fnv1aMatchesPublishedVectors) {
    EXPECT_EQ(fnv1a64("", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a64("a", 1), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a64("foobar", 6), 0x85944171f73967e8ull);
    // Chaining over pieces equals hashing the whole.
    EXPECT_EQ(fnv1a64("bar", 3, fnv1a64("foo", 3)), fnv1a64("foobar", 6));
}

TEST(Hash, MixKeyIsOrderSensitiveAndSeparatesFloatSigns) {
    uint64_t ab = mixKey(mixKey(kFnvOffsetBasis, uint64_t{1}), uint64_t{2});
    uint64_t ba = mixKey(mixKey(kFnvOffsetBasis, uint64_t{2}), uint64_t{1});
    EXPECT_NE(ab, ba);
    EXPECT_NE(mixKey(kFnvOffsetBasis, 0.0f), mixKey(kFnvOffsetBasis, -0.0f));
    // The step itself: (x ^ v) * golden, then x ^= x >> 29.
    uint64_t x = (uint64_t{7} ^ uint64_t{5}) * 0x9e3779b97f4a7c15ull;
    EXPECT_EQ(mixKey(7, uint64_t{5}), x ^ (x >> 29));
}

TEST(Hash, Hash32SpreadsNeighbouringInputs) {
    EXPECT_EQ(hash32(0), 0u);  // the finaliser keeps zero: callers mix a seed in first
    // Neighbouring inputs must differ in about half their bits.
    int flipped = 0;
    for (uint32_t i = 1; i < 1001; ++i) flipped += __builtin_popcount(hash32(i) ^ hash32(i + 1));
    EXPECT_NEAR(flipped / 1000.0, 16.0, 1.0);
    float u = unitFromHash(0xFFFFFFFFu);
    EXPECT_LT(u, 1.0f);
    EXPECT_EQ(unitFromHash(0xFFu), 0.0f);
}

TEST(Atomics, ConcurrentAddsAndMinimaLoseNothing) {
    float sum = 0.0f;
    float depth = 1e30f;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10000; ++i) {
                atomicAddFloat(&sum, 1.0f);  // integers below 2^24 add exactly in any order
                atomicMinFloatBits(&depth, float(t * 10000 + i + 1) * 0.5f);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(sum, 40000.0f);
    EXPECT_EQ(depth, 0.5f);

    float d = 2.0f;
    atomicMinFloatBits(&d, 3.0f);
    EXPECT_EQ(d, 2.0f);
    atomicMinFloatBits(&d, 0.0f);
    EXPECT_EQ(d, 0.0f);
}
