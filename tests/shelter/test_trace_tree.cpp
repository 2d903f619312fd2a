#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "shelter/bvh.h"
#include "shelter/sky_cpu.h"
#include "shelter/sky_visibility.h"
#include "shelter/trace_tree.h"
#include "shelter/wide_bvh.h"
#include "shelter_test_scenes.h"

using namespace wx;

namespace {

// The nearest hit over every kept triangle, with the hierarchy's own triangle test.
float bruteForce(const ShelterBVH& bvh, V3 origin, V3 dir, float maxDist) {
    float best = maxDist;
    for (const BVHTri& tri : bvh.tris) {
        const float t = intersectTri(tri, origin, dir);
        if (t > 0.0f && t < best) best = t;
    }
    return best;
}

// A random soup with the awkward cases added: exact duplicates, triangles sharing an
// edge and a vertex, and an axis-aligned floor that rays start on.
std::vector<V3> awkwardSoup(std::mt19937& rng, int triangles) {
    std::vector<V3> soup = randomSoup(rng, triangles);
    const size_t firstCount = soup.size();
    for (size_t i = 0; i + 2 < firstCount && i < 60; i += 3)
        soup.insert(soup.end(), {soup[i], soup[i + 1], soup[i + 2]});
    for (size_t i = 3; i + 2 < firstCount && i < 90; i += 6) {
        soup.insert(soup.end(), {soup[i], soup[i + 2], soup[i] + V3{0.0f, 0.0f, 2.0f}});
    }
    addQuad(soup, -12, -12, 12, 12, -3.0f);
    addWallX(soup, 4.0f, -6, 6, -3, 5);
    return soup;
}

// Rays of every awkward kind: random ones, axis-parallel ones, ones starting on a
// triangle, and ones grazing along a triangle's edge or through its corner.
struct RayCase {
    V3 origin, dir;
    float maxDist;
};

RayCase makeRay(std::mt19937& rng, const ShelterBVH& bvh, int r) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
    V3 dir = normalize({unit(rng), unit(rng), unit(rng)});
    const BVHTri& tri = bvh.tris[size_t(rng() % bvh.tris.size())];
    switch (r % 6) {
        case 1:
            dir = r % 4 == 1 ? V3{0, 0, -1.0f} : V3{1.0f, 0, 0};
            break;
        case 2: {  // starting on the triangle
            const float u = std::fabs(unit(rng)) * 0.5f, v = std::fabs(unit(rng)) * 0.5f;
            origin = tri.p0 + tri.e1 * u + tri.e2 * v;
            break;
        }
        case 3: {  // along the edge p0-p1, from behind p0
            origin = tri.p0 - tri.e1 * 0.5f;
            dir = normalize(tri.e1);
            break;
        }
        case 4: {  // through a corner
            dir = normalize(tri.p0 + tri.e2 - origin);
            break;
        }
        default:
            break;
    }
    const float maxDist = r % 3 == 0 ? 1e30f : 2.0f + 12.0f * std::fabs(unit(rng));
    return {origin, dir, maxDist};
}

// A hit whose point lies well outside its own triangle's box: a ray (nearly) in the
// triangle's plane, where the determinant is rounding noise and so are u, v and t. No
// tree whose boxes hold its triangles reports such a hit reliably.
bool noiseHit(const BVHTri& tri, V3 origin, V3 dir, float t) {
    const V3 p1 = tri.p0 + tri.e1, p2 = tri.p0 + tri.e2;
    const V3 lo = vmin(vmin(tri.p0, p1), p2), hi = vmax(vmax(tri.p0, p1), p2);
    const float margin = 0.01f * length(hi - lo) + 1e-6f;
    const V3 p = origin + dir * t;
    return p.x < lo.x - margin || p.y < lo.y - margin || p.z < lo.z - margin || p.x > hi.x + margin ||
           p.y > hi.y + margin || p.z > hi.z + margin;
}

// A hit on an edge of its triangle's box (within rounding on two axes or more), where an
// unwidened box test may round the ray out of the box: a ray through a corner.
bool boxEdgeHit(const BVHTri& tri, V3 origin, V3 dir, float t) {
    const V3 p1 = tri.p0 + tri.e1, p2 = tri.p0 + tri.e2;
    const V3 lo = vmin(vmin(tri.p0, p1), p2), hi = vmax(vmax(tri.p0, p1), p2);
    const V3 p = origin + dir * t;
    const float near = 1e-4f * (length(hi - lo) + length(p));
    int onFace = 0;
    for (int a = 0; a < 3; ++a) {
        const float c = a == 0 ? p.x : (a == 1 ? p.y : p.z);
        const float l = a == 0 ? lo.x : (a == 1 ? lo.y : lo.z), h = a == 0 ? hi.x : (a == 1 ? hi.y : hi.z);
        onFace += std::fabs(c - l) <= near || std::fabs(c - h) <= near ? 1 : 0;
    }
    return onFace >= 2;
}

// Whether a nearest distance `got` that differs from brute force is explained: every
// triangle hit closer than it is a noise hit, or (allowing for unwidened boxes) a hit on
// its box's edge.
bool onlyOddHitsCloser(const ShelterBVH& bvh, V3 origin, V3 dir, float got, bool boxEdgesToo) {
    for (const BVHTri& tri : bvh.tris) {
        const float t = intersectTri(tri, origin, dir);
        if (t > 0.0f && t < got && !noiseHit(tri, origin, dir, t) && !(boxEdgesToo && boxEdgeHit(tri, origin, dir, t)))
            return false;
    }
    return true;
}

}  // namespace

// The tracing tree finds every hit the triangles give: the nearest distance of brute
// force and of the binary tree, the same any-hit answer, and a named triangle that is
// really hit there; with the AVX2 and with the SSE box tests. Where brute force finds a
// closer hit, it is a noise hit of a ray in a triangle's plane. The binary tree's exact
// boxes may also round a ray through a box corner out of the box and miss a hit there;
// such rays are counted and must stay rare.
TEST(TraceTree, HitsEqualBruteForceAndTheBinaryTreeOnAwkwardSoups) {
    std::mt19937 rng(20261208);
    int hits = 0, noiseRays = 0, referenceMisses = 0, rays = 0;
    for (int size : {1, 3, 5, 17, 400, 6000}) {
        ShelterBVH bvh;
        buildBVH(awkwardSoup(rng, size), bvh);
        WideBVH tree;
        buildTraceTree(bvh, tree);
        for (int r = 0; r < 3000; ++r, ++rays) {
            setWideTraversalLimit(WideIsa(r % 3));
            const RayCase ray = makeRay(rng, bvh, r);
            const float brute = bruteForce(bvh, ray.origin, ray.dir, ray.maxDist);
            const float got = castRayWide(tree, ray.origin, ray.dir, ray.maxDist);
            const float reference = castRay(bvh.view(), ray.origin, ray.dir, ray.maxDist);
            ASSERT_GE(got, brute) << size << " ray " << r;
            if (got != brute) {
                ASSERT_TRUE(onlyOddHitsCloser(bvh, ray.origin, ray.dir, got, false)) << size << " ray " << r;
                ++noiseRays;
            }
            if (reference != got) {
                ASSERT_TRUE(onlyOddHitsCloser(bvh, ray.origin, ray.dir, std::max(got, reference), true))
                    << size << " ray " << r;
                ++referenceMisses;
            }
            ASSERT_EQ(occludedWide(tree, ray.origin, ray.dir, ray.maxDist), got < ray.maxDist) << size << " ray " << r;
            const RayHit hit = castRayWideHit(tree, ray.origin, ray.dir, ray.maxDist);
            ASSERT_EQ(hit.t, got) << size << " ray " << r;
            if (got < ray.maxDist) {
                ASSERT_GE(hit.tri, 0);
                ASSERT_EQ(intersectTri(bvh.tris[size_t(hit.tri)], ray.origin, ray.dir), got);
                ++hits;
            } else {
                ASSERT_EQ(hit.tri, -1);
            }
        }
    }
    setWideTraversalLimit(WideIsa::Avx512);
    RecordProperty("noiseRays", noiseRays);
    RecordProperty("referenceMisses", referenceMisses);
    EXPECT_GT(hits, 3000);  // the checks above ran on real hits
    EXPECT_LT(noiseRays * 200, rays) << noiseRays << " of " << rays;
    EXPECT_LT(referenceMisses * 200, rays) << referenceMisses << " of " << rays;
}

// A fan of rays from one origin gets, ray by ray, the single ray's any-hit answer, for
// fans of every size up to the limit, with both box tests; a larger fan is refused.
TEST(TraceTree, FansAnswerRayByRay) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    ShelterBVH bvh;
    buildBVH(awkwardSoup(rng, 3000), bvh);
    int blockedRays = 0, openRays = 0;
    for (int f = 0; f < 600; ++f) {
        setWideTraversalLimit(WideIsa(f % 3));
        const V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
        const size_t n = 1 + size_t(f) % kFanRays;
        const float maxDist = f % 3 == 0 ? 1e30f : 1.0f + 8.0f * std::fabs(unit(rng));
        std::vector<V3> dirs(n);
        const V3 axis = normalize({unit(rng), unit(rng), unit(rng)});
        for (V3& d : dirs) d = normalize(axis + V3{unit(rng), unit(rng), unit(rng)} * (f % 4 == 0 ? 2.0f : 0.3f));
        const uint32_t blocked = occludedFanWide(*bvh.wide, origin, dirs, maxDist);
        for (size_t r = 0; r < n; ++r) {
            const bool alone = occludedWide(*bvh.wide, origin, dirs[r], maxDist);
            ASSERT_EQ(((blocked >> r) & 1u) != 0, alone) << "fan " << f << " ray " << r;
            ++(alone ? blockedRays : openRays);
        }
        ASSERT_EQ(uint64_t(blocked) >> n, 0u);  // no bit past the fan
    }
    setWideTraversalLimit(WideIsa::Avx512);
    EXPECT_GT(blockedRays, 500);
    EXPECT_GT(openRays, 500);
    std::vector<V3> tooMany(kFanRays + 1, V3{0, 0, 1});
    EXPECT_THROW(occludedFanWide(*bvh.wide, {0, 0, 0}, tooMany, 1.0f), std::logic_error);
    EXPECT_EQ(occludedFanWide(WideBVH{}, {0, 0, 0}, {tooMany.data(), 3}, 1.0f), 0u);
}

// Rays from one origin for a fan: a narrow bundle about a random axis (a point's cone
// or lee rays) or, every fourth fan, rays in all directions, which enter the boxes by
// different sides.
std::vector<V3> fanDirs(std::mt19937& rng, size_t n, bool scattered) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const V3 axis = normalize({unit(rng), unit(rng), unit(rng)});
    std::vector<V3> dirs(n);
    for (V3& d : dirs) d = normalize(axis + V3{unit(rng), unit(rng), unit(rng)} * (scattered ? 2.0f : 0.3f));
    return dirs;
}

// A closest-hit fan gives each ray its own nearest hit: brute force's distance and the
// ray's alone (noise hits of a ray in a triangle's plane aside, as for a ray alone), for
// fans of every size, from open space and from points on triangles, in every form.
TEST(TraceTree, ClosestFansGiveEachRayItsNearestHit) {
    std::mt19937 rng(57);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    ShelterBVH bvh;
    buildBVH(awkwardSoup(rng, 3000), bvh);
    int hitRays = 0, missRays = 0, oddRays = 0, rays = 0;
    for (int f = 0; f < 600; ++f) {
        setWideTraversalLimit(WideIsa(f % 3));
        V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
        if (f % 5 == 0) {  // on a triangle
            const BVHTri& tri = bvh.tris[size_t(rng() % bvh.tris.size())];
            origin = tri.p0 + tri.e1 * 0.3f + tri.e2 * 0.3f;
        }
        const size_t n = 1 + size_t(f) % kFanRays;
        const float maxDist = f % 3 == 0 ? 1e30f : 1.0f + 8.0f * std::fabs(unit(rng));
        const std::vector<V3> dirs = fanDirs(rng, n, f % 4 == 0);
        std::vector<float> nearest(n, -5.0f);
        castFanWide(*bvh.wide, origin, dirs, maxDist, nearest);
        for (size_t r = 0; r < n; ++r, ++rays) {
            const float brute = bruteForce(bvh, origin, dirs[r], maxDist);
            const float alone = castRayWide(*bvh.wide, origin, dirs[r], maxDist);
            ASSERT_GE(nearest[r], brute) << "fan " << f << " ray " << r;
            ASSERT_LE(nearest[r], maxDist) << "fan " << f << " ray " << r;
            if (nearest[r] != brute || nearest[r] != alone) {
                ASSERT_TRUE(onlyOddHitsCloser(bvh, origin, dirs[r], std::max(nearest[r], alone), false))
                    << "fan " << f << " ray " << r;
                ++oddRays;
            }
            ++(nearest[r] < maxDist ? hitRays : missRays);
        }
    }
    setWideTraversalLimit(WideIsa::Avx512);
    EXPECT_GT(hitRays, 500);
    EXPECT_GT(missRays, 300);
    EXPECT_LT(oddRays * 200, rays) << oddRays << " of " << rays;

    std::vector<V3> tooMany(kFanRays + 1, V3{0, 0, 1});
    std::vector<float> out(kFanRays + 1), two(2, -1.0f);
    EXPECT_THROW(castFanWide(*bvh.wide, {0, 0, 0}, tooMany, 1.0f, out), std::logic_error);
    EXPECT_THROW(castFanWide(*bvh.wide, {0, 0, 0}, {tooMany.data(), 3}, 1.0f, two), std::logic_error);
    castFanWide(WideBVH{}, {0, 0, 0}, {tooMany.data(), 2}, 4.0f, two);
    EXPECT_EQ(two, std::vector<float>(2, 4.0f));
}

// The AVX-512, AVX2 and SSE forms give the same bits for rays alone (distance and named
// triangle), for any-hit fans and for closest-hit fans, whether or not a fan's rays
// enter the boxes by the same sides.
TEST(TraceTree, EveryInstructionSetGivesTheSameAnswers) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    ShelterBVH bvh;
    buildBVH(awkwardSoup(rng, 4000), bvh);
    struct Answers {
        uint32_t blocked = 0;
        std::vector<float> nearest;
        std::vector<int32_t> tri;
        std::vector<float> t;
        std::vector<int> occluded;
        bool operator==(const Answers&) const = default;
    };
    int hits = 0;
    for (int f = 0; f < 400; ++f) {
        const V3 origin{unit(rng) * 12, unit(rng) * 12, unit(rng) * 12};
        const size_t n = 1 + size_t(f * 7) % kFanRays;
        const float maxDist = f % 3 == 0 ? 1e30f : 1.0f + 10.0f * std::fabs(unit(rng));
        const std::vector<V3> dirs = fanDirs(rng, n, f % 4 == 0);
        Answers first;
        for (int isa = 0; isa < 3; ++isa) {
            setWideTraversalLimit(WideIsa(isa));
            Answers got;
            got.blocked = occludedFanWide(*bvh.wide, origin, dirs, maxDist);
            got.nearest.resize(n);
            castFanWide(*bvh.wide, origin, dirs, maxDist, got.nearest);
            for (const V3& d : dirs) {
                const RayHit hit = castRayWideHit(*bvh.wide, origin, d, maxDist);
                got.t.push_back(hit.t);
                got.tri.push_back(hit.tri);
                got.occluded.push_back(occludedWide(*bvh.wide, origin, d, maxDist));
            }
            if (isa == 0) {
                first = got;
                hits += __builtin_popcount(got.blocked);
            } else {
                ASSERT_TRUE(got == first) << "fan " << f << " form " << isa;
            }
        }
    }
    setWideTraversalLimit(WideIsa::Avx512);
    EXPECT_GT(hits, 1000);
    if (wideTraversalIsa() != WideIsa::Avx512) GTEST_LOG_(INFO) << "this CPU runs no AVX-512: two forms compared";
}

// Every kept triangle sits in exactly one lane, bit for bit as the ShelterBVH holds it,
// inside the box of every slot on its way down; unused lanes and slots stay inert.
TEST(TraceTree, HoldsEachTriangleOnceInsideEveryBoxAbove) {
    std::mt19937 rng(99);
    ShelterBVH bvh;
    buildBVH(awkwardSoup(rng, 5000), bvh);
    const WideBVH& tree = *bvh.wide;
    ASSERT_EQ(tree.laneTri.size(), 4 * tree.blocks.size());
    std::vector<int> seen(bvh.tris.size(), 0);
    struct Visit {
        int32_t node;
        V3 lo, hi;
    };
    std::vector<Visit> todo{{0, {-1e30f, -1e30f, -1e30f}, {1e30f, 1e30f, 1e30f}}};
    auto inside = [](V3 p, V3 lo, V3 hi) {
        return p.x >= lo.x && p.y >= lo.y && p.z >= lo.z && p.x <= hi.x && p.y <= hi.y && p.z <= hi.z;
    };
    size_t maxStack = 0;
    while (!todo.empty()) {
        maxStack = std::max(maxStack, todo.size());
        const Visit v = todo.back();
        todo.pop_back();
        const WideNode& node = tree.nodes[size_t(v.node)];
        for (int s = 0; s < kWideSlots; ++s) {
            if (!(node.liveSlots & (1 << s))) {
                ASSERT_EQ(node.count[s], -1);
                continue;
            }
            const V3 lo{node.bmin[0][s], node.bmin[1][s], node.bmin[2][s]};
            const V3 hi{node.bmax[0][s], node.bmax[1][s], node.bmax[2][s]};
            ASSERT_TRUE(inside(lo, v.lo, v.hi) && inside(hi, v.lo, v.hi)) << "a child box pokes out of its parent";
            if (node.count[s] == 0) {
                todo.push_back({node.child[s], lo, hi});
                continue;
            }
            for (int32_t k = 0; k < node.count[s]; ++k) {
                const size_t lane = 4 * size_t(node.child[s]) + size_t(k);
                const int32_t t = tree.laneTri[lane];
                ASSERT_GE(t, 0);
                ++seen[size_t(t)];
                const BVHTri& tri = bvh.tris[size_t(t)];
                const TriBlock& block = tree.blocks[lane / 4];
                const int l = int(lane % 4);
                const V3 p0{block.p0[0][l], block.p0[1][l], block.p0[2][l]};
                const V3 e2{block.e2[0][l], block.e2[1][l], block.e2[2][l]};
                ASSERT_EQ(std::memcmp(&p0, &tri.p0, sizeof(V3)), 0);
                ASSERT_EQ(std::memcmp(&e2, &tri.e2, sizeof(V3)), 0);
                for (V3 corner : {tri.p0, tri.p0 + tri.e1, tri.p0 + tri.e2}) ASSERT_TRUE(inside(corner, lo, hi));
            }
            for (int32_t k = node.count[s]; k % 4 != 0; ++k) {
                ASSERT_EQ(tree.laneTri[4 * size_t(node.child[s]) + size_t(k)], -1);
            }
        }
    }
    for (size_t t = 0; t < seen.size(); ++t) ASSERT_EQ(seen[t], 1) << "triangle " << t;
    EXPECT_LT(maxStack, 400u);  // far inside the traversal's stack
}

// The same bytes whether the subtrees are built on one thread or on all of them; large
// enough that the build splits into many parallel tasks.
TEST(TraceTree, SameTreeOnOneThreadOrMany) {
    std::mt19937 rng(7);
    ShelterBVH bvh;
    buildBVH(awkwardSoup(rng, 40000), bvh);
    WideBVH one, many;
    setParallelThreadLimit(1);
    buildTraceTree(bvh, one);
    setParallelThreadLimit(0);
    buildTraceTree(bvh, many);
    ASSERT_EQ(one.nodes.size(), many.nodes.size());
    ASSERT_EQ(one.blocks.size(), many.blocks.size());
    EXPECT_EQ(std::memcmp(one.nodes.data(), many.nodes.data(), one.nodes.size() * sizeof(WideNode)), 0);
    EXPECT_EQ(std::memcmp(one.blocks.data(), many.blocks.data(), one.blocks.size() * sizeof(TriBlock)), 0);
    EXPECT_EQ(one.laneTri, many.laneTri);
}

// Degenerate inputs: no triangles, and thousands of identical triangles (one centre, no
// plane can split them) which must still be found and kept in bounded leaves.
TEST(TraceTree, EmptyAndCoincidentSoups) {
    WideBVH none;
    buildTraceTree(ShelterBVH{}, none);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(castRayWide(none, {0, 0, 0}, {0, 0, 1}, 5.0f), 5.0f);
    EXPECT_FALSE(occludedWide(none, {0, 0, 0}, {0, 0, 1}, 5.0f));

    std::vector<V3> soup;
    for (int i = 0; i < 3000; ++i) soup.insert(soup.end(), {{-1, -1, 2}, {1, -1, 2}, {0, 1, 2}});
    ShelterBVH bvh;
    buildBVH(soup, bvh);
    const WideBVH& tree = *bvh.wide;
    EXPECT_EQ(castRayWide(tree, {0, 0, 0}, {0, 0, 1}, 1e30f), 2.0f);
    EXPECT_TRUE(occludedWide(tree, {0, 0, 0}, {0, 0, 1}, 2.5f));
    EXPECT_FALSE(occludedWide(tree, {0, 0, 0}, {0, 0, 1}, 2.0f));  // the hit must be closer than maxDist
    for (const WideNode& node : tree.nodes)
        for (int s = 0; s < kWideSlots; ++s) EXPECT_LE(node.count[s], 16);
}

// The cone and lee rays of a generated town of about 125k triangles: the tree's sky
// measurement equals the binary tree's point by point, on one thread and on all.
TEST(TraceTree, TownSkyVisibilityEqualsTheBinaryTree) {
    const std::vector<V3> soup = example::makeTown(125000);
    ShelterBVH bvh;
    buildBVH(soup, bvh);
    std::vector<V3> positions, normals;
    example::upFacingPoints(soup, 3000, positions, normals);
    SkyInputs in;
    in.occRays = 24;
    in.spreadDegrees = 25.0f;
    in.drift = 0.5f;
    in.leeDist = 20.0f;
    in.fineEdge = 0.5f;
    in.depth = 0.3f;
    in.diag = 300.0f;
    in.seed = 1;
    const SkyParams params = makeSkyParams(in);
    std::vector<SkyResult> reference(positions.size());
    double leeSum = 0.0, openSum = 0.0;
    for (size_t i = 0; i < positions.size(); ++i) {
        reference[i] = skyVisibility(bvh.view(), positions[i], normals[i], uint32_t(i), params);
        leeSum += reference[i].lee;
        openSum += reference[i].open;
    }
    ASSERT_GT(leeSum, 1.0);                               // lee rays did hit something
    ASSERT_LT(openSum, 0.99 * double(positions.size()));  // and so did cone rays
    for (unsigned threads : {1u, 0u}) {
        setParallelThreadLimit(threads);
        std::vector<SkyResult> got(positions.size());
        measureSkyCpu(bvh, positions, normals, params, got);
        for (size_t i = 0; i < positions.size(); ++i) {
            ASSERT_EQ(got[i].open, reference[i].open) << "point " << i << " threads " << threads;
            ASSERT_EQ(got[i].lee, reference[i].lee) << "point " << i << " threads " << threads;
        }
    }
    setParallelThreadLimit(0);
}
