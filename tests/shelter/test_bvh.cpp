#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "shelter/bvh.h"
#include "shelter/wide_bvh.h"
#include "shelter_test_scenes.h"

using namespace wx;

namespace {

// Every triangle, in soup order, with the same intersection as the hierarchy.
float bruteForce(const std::vector<V3>& soup, V3 origin, V3 dir, float maxDist) {
    float best = maxDist;
    for (size_t i = 0; i + 2 < soup.size(); i += 3) {
        V3 p0 = soup[i];
        if (!(length(cross(soup[i + 1] - p0, soup[i + 2] - p0)) > 1e-12f)) continue;
        float t = intersectTri(BVHTri{p0, soup[i + 1] - p0, soup[i + 2] - p0}, origin, dir);
        if (t > 0.0f && t < best) best = t;
    }
    return best;
}

// Triangles centred on x = 0, 2, 4, ... so their centroids differ along X only.
std::vector<V3> rowOfTriangles(int n, float spacing = 2.0f) {
    std::vector<V3> soup;
    for (int i = 0; i < n; ++i) {
        float x = spacing * float(i);
        soup.push_back({x - 0.5f, -0.5f, 0.0f});
        soup.push_back({x + 0.5f, -0.5f, 0.0f});
        soup.push_back({x, 0.5f, 0.0f});
    }
    return soup;
}

}  // namespace

TEST(BVH, FiveTrianglesSplitAtTheMedianOrStayOneLeaf) {
    ShelterBVH bvh;
    buildBVH(rowOfTriangles(5), bvh);
    ASSERT_EQ(bvh.nodes.size(), 3u);
    EXPECT_EQ(bvh.nodes[0].count, 0);
    EXPECT_EQ(bvh.nodes[0].leftOrFirst, 1);
    EXPECT_EQ(bvh.nodes[1].count, 2);  // mid = 5 / 2
    EXPECT_EQ(bvh.nodes[2].count, 3);
    EXPECT_EQ(bvh.nodes[2].leftOrFirst, 2);
    // The left leaf holds the two lowest centroids.
    for (int i = 0; i < 2; ++i) EXPECT_LT(bvh.tris[i].p0.x, 3.0f);
    EXPECT_EQ(bvh.nodes[0].bmin.x, -0.5f);
    EXPECT_EQ(bvh.nodes[0].bmax.x, 8.5f);

    buildBVH(rowOfTriangles(5, 0.0f), bvh);  // five triangles with one centroid
    ASSERT_EQ(bvh.nodes.size(), 1u);
    EXPECT_EQ(bvh.nodes[0].count, 5);
}

TEST(BVH, DropsDegenerateAndNonFiniteTrianglesAndEmptiesOnRebuild) {
    std::vector<V3> soup = rowOfTriangles(3);
    soup.insert(soup.end(), {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});                 // collinear
    soup.insert(soup.end(), {{0, 0, 0}, {1e-7f, 0, 0}, {0, 1e-7f, 0}});         // area below 1e-12
    soup.insert(soup.end(), {{0, 0, 0}, {INFINITY, 0, 0}, {0, 1, 0}});         // infinite corner
    soup.insert(soup.end(), {{NAN, 0, 0}, {1, 0, 0}, {0, 1, 0}});              // NaN corner
    soup.push_back({5, 5, 5});                                                 // a trailing partial triangle
    ShelterBVH bvh;
    buildBVH(soup, bvh);
    EXPECT_EQ(bvh.tris.size(), 3u);
    for (const BVHNode& n : bvh.nodes) {
        EXPECT_TRUE(std::isfinite(n.bmin.x + n.bmin.y + n.bmin.z + n.bmax.x + n.bmax.y + n.bmax.z));
    }
    EXPECT_EQ(castRay(bvh.view(), {2, 0, 5}, {0, 0, -1}, 100.0f), 5.0f);

    buildBVH({}, bvh);
    EXPECT_TRUE(bvh.nodes.empty());
    EXPECT_TRUE(bvh.tris.empty());
    EXPECT_EQ(castRay(bvh.view(), {0, 0, 1}, {0, 0, -1}, 7.0f), 7.0f);  // empty: every ray misses
}

TEST(BVH, RayEdgeCases) {
    ShelterBVH bvh;
    buildBVH(rowOfTriangles(40), bvh);
    const BVHView view = bvh.view();
    // Axis-parallel rays: zero components become a huge inverse, still correct.
    EXPECT_EQ(castRay(view, {4, 0, 3}, {0, 0, -1}, 100.0f), 3.0f);
    EXPECT_EQ(castRay(view, {4, 0, -3}, {0, 0, 1}, 100.0f), 3.0f);
    EXPECT_EQ(castRay(view, {4, 0, 3}, {0, 0, 1}, 100.0f), 100.0f);
    // A hit exactly at maxDist does not count; just beyond it does.
    EXPECT_EQ(castRay(view, {4, 0, 3}, {0, 0, -1}, 3.0f), 3.0f);
    EXPECT_EQ(castRay(view, {4, 0, 3}, {0, 0, -1}, 2.5f), 2.5f);
    EXPECT_EQ(castRay(view, {4, 0, 3}, {0, 0, -1}, 3.0001f), 3.0f);
    // A ray starting on a triangle does not hit it (t must be above 0).
    EXPECT_EQ(castRay(view, {4, 0, 0}, {0, 0, -1}, 10.0f), 10.0f);
    // A ray running along the row in its plane's gap never hits.
    EXPECT_EQ(castRay(view, {-5, 0.9f, 0}, {1, 0, 0}, 1000.0f), 1000.0f);
}

TEST(BVH, ClosestHitEqualsBruteForceOnRandomSoups) {
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int soupIndex = 0; soupIndex < 6; ++soupIndex) {
        std::vector<V3> soup = randomSoup(rng, 300 + 700 * soupIndex);
        ShelterBVH bvh;
        buildBVH(soup, bvh);
        for (int r = 0; r < 1500; ++r) {
            V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
            V3 dir = normalize({unit(rng), unit(rng), unit(rng)});
            if (r % 5 == 0) dir = V3{0, 0, r % 2 ? 1.0f : -1.0f};  // axis-parallel
            float maxDist = r % 3 == 0 ? 1e30f : 4.0f + 10.0f * std::fabs(unit(rng));
            ASSERT_EQ(castRay(bvh.view(), origin, dir, maxDist), bruteForce(soup, origin, dir, maxDist))
                << "soup " << soupIndex << " ray " << r;
        }
    }
}

TEST(BVH, WideTraversalGivesTheBinaryTraversalsAnswers) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int soupIndex = 0; soupIndex < 5; ++soupIndex) {
        // Sizes around the leaf and collapse boundaries as well as larger soups.
        const int sizes[] = {1, 3, 5, 9, 2500};
        std::vector<V3> soup = randomSoup(rng, sizes[soupIndex]);
        ShelterBVH bvh;
        buildBVH(soup, bvh);
        WideBVH wide;
        buildWideBVH(bvh, wide);
        for (int r = 0; r < 3000; ++r) {
            setWideTraversalLimit(WideIsa(r % 3));  // the AVX-512, AVX2 and SSE forms
            V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
            V3 dir = normalize({unit(rng), unit(rng), unit(rng)});
            if (r % 7 == 0) dir = V3{r % 2 ? 1.0f : -1.0f, 0, 0};
            float maxDist = r % 3 == 0 ? 1e30f : 3.0f + 9.0f * std::fabs(unit(rng));
            float reference = castRay(bvh.view(), origin, dir, maxDist);
            ASSERT_EQ(castRayWide(wide, origin, dir, maxDist), reference) << "soup " << soupIndex << " ray " << r;
            ASSERT_EQ(occludedWide(wide, origin, dir, maxDist), reference < maxDist) << "soup " << soupIndex << " ray " << r;
        }
    }
    setWideTraversalLimit(WideIsa::Avx512);
    WideBVH none;
    buildWideBVH(ShelterBVH{}, none);
    EXPECT_EQ(castRayWide(none, {0, 0, 0}, {0, 0, 1}, 5.0f), 5.0f);
    EXPECT_FALSE(occludedWide(none, {0, 0, 0}, {0, 0, 1}, 5.0f));
}
