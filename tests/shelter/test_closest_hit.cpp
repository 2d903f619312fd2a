#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "shelter/bvh.h"
#include "shelter/wide_bvh.h"
#include "shelter_test_scenes.h"

using namespace wx;

// Closest hits that name their triangle (what a renderer shades): the distance is
// castRay's, the named triangle is hit at exactly that distance, and `source` leads back
// to the very soup triangle it was built from.
TEST(ClosestHit, NamesTheTriangleAtTheNearestDistanceInBothTraversals) {
    std::mt19937 rng(4242);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int size : {1, 4, 9, 33, 3000}) {
        std::vector<V3> soup = randomSoup(rng, size);
        ShelterBVH bvh;
        buildBVH(soup, bvh);
        ASSERT_EQ(bvh.source.size(), bvh.tris.size());
        int hits = 0;
        for (int r = 0; r < 2000; ++r) {
            setWideTraversalLimit(WideIsa(r % 3));
            V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
            V3 dir = normalize({unit(rng), unit(rng), unit(rng)});
            float maxDist = r % 3 == 0 ? 1e30f : 3.0f + 9.0f * std::fabs(unit(rng));
            const float reference = castRay(bvh.view(), origin, dir, maxDist);
            for (RayHit hit :
                 {castRayHit(bvh.view(), origin, dir, maxDist), castRayWideHit(*bvh.wide, origin, dir, maxDist)}) {
                ASSERT_EQ(hit.t, reference) << "size " << size << " ray " << r;
                if (reference == maxDist) {
                    ASSERT_EQ(hit.tri, -1);
                    continue;
                }
                ASSERT_GE(hit.tri, 0);
                ASSERT_EQ(intersectTri(bvh.tris[size_t(hit.tri)], origin, dir), reference);
                const size_t s = size_t(bvh.source[size_t(hit.tri)]);
                const BVHTri fromSoup{soup[3 * s], soup[3 * s + 1] - soup[3 * s], soup[3 * s + 2] - soup[3 * s]};
                ASSERT_EQ(intersectTri(fromSoup, origin, dir), reference);
                ++hits;
            }
        }
        if (size >= 33) {
            EXPECT_GT(hits, 100) << size;  // the check above ran on real hits
        }
    }
    setWideTraversalLimit(WideIsa::Avx512);
    ShelterBVH empty;
    buildBVH({}, empty);
    EXPECT_EQ(castRayHit(empty.view(), {0, 0, 0}, {0, 0, 1}, 5.0f).tri, -1);
    EXPECT_EQ(castRayWideHit(*empty.wide, {0, 0, 0}, {0, 0, 1}, 5.0f).t, 5.0f);
}
