// The fall's render geometry: whole-mesh invariants over seeded settings (sizes, each
// particle's own block, closed outward-wound solids, positions that go back to the
// particle's world state through the node matrix, the same bytes on one and two
// threads), and the drop's and flake's shape rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "common/parallel_for.h"
#include "fall/fall_render_mesh.h"

namespace {

using wx::FallMatrix;
using wx::FallMeshTopology;
using wx::FallParticle;
using wx::V3;

struct Tri {
    uint32_t v[3];
};

struct VectorSink {
    std::vector<V3> verts;
    std::vector<Tri> faces;
    void write(size_t i, const V3* v, const FallMeshTopology& topo) {
        for (int k = 0; k < topo.verts; ++k) verts[i * topo.verts + k] = v[k];
        for (int f = 0; f < topo.faces; ++f)
            for (int c = 0; c < 3; ++c) faces[i * topo.faces + f].v[c] = uint32_t(i * topo.verts + topo.corners[f][c]);
    }
};

VectorSink fill(const wx::FallParams& p, const wx::FallMeshInputs& in) {
    const FallMeshTopology topo = wx::fallMeshTopology(p.type);
    VectorSink sink;
    sink.verts.assign(size_t(p.count) * topo.verts, V3{NAN, NAN, NAN});
    sink.faces.assign(size_t(p.count) * topo.faces, Tri{{~0u, ~0u, ~0u}});
    wx::fillFallMesh(p, in, sink);
    return sink;
}

V3 apply(const FallMatrix& m, V3 p) {
    return p.x * m.r0 + p.y * m.r1 + p.z * m.r2 + m.t;
}

// A rotated, non-uniformly scaled and moved node.
FallMatrix tiltedNode() {
    const float c = std::cos(0.7f), s = std::sin(0.7f);
    FallMatrix m;
    m.r0 = V3{c, s, 0.0f} * 2.0f;
    m.r1 = V3{-s * 0.8f, c * 0.8f, 0.6f} * 0.5f;
    m.r2 = V3{s * 0.6f, -c * 0.6f, 0.8f} * 1.5f;
    m.t = {120.0f, -40.0f, 300.0f};
    return m;
}

struct MeshCase {
    int type;
    int seed;
    float windSpeed;
    bool tilted;
    float seconds;
};

class FallMeshInvariants : public ::testing::TestWithParam<MeshCase> {};

TEST_P(FallMeshInvariants, EveryParticleIsItsOwnClosedSolidAtItsWorldPosition) {
    const MeshCase mc = GetParam();
    wx::FallInputs fin;
    fin.type = mc.type;
    fin.count = 3000;
    fin.seed = mc.seed;
    fin.windSpeed = mc.windSpeed;
    fin.windAngle = 35.0f;
    fin.size = 3.0f;
    fin.dropWidth = 0.5f;
    fin.streak = 0.05f;
    const wx::FallParams p = wx::makeFallParams(fin, wx::FallCountMode::Render);
    wx::FallMeshInputs in;
    in.seconds = mc.seconds;
    if (mc.tilted) in.worldFromObject = tiltedNode();
    const VectorSink mesh = fill(p, in);
    const FallMeshTopology topo = wx::fallMeshTopology(p.type);
    EXPECT_EQ(topo.verts, mc.type == wx::kFallRain ? 5 : 6);
    EXPECT_EQ(topo.faces, mc.type == wx::kFallRain ? 6 : 8);

    for (size_t i = 0; i < size_t(p.count); ++i) {
        const size_t v0 = i * topo.verts, f0 = i * topo.faces;
        // Its faces use its own vertices only, and every vertex is finite.
        std::map<std::pair<uint32_t, uint32_t>, int> directed;
        for (int f = 0; f < topo.faces; ++f) {
            const Tri& t = mesh.faces[f0 + f];
            for (int c = 0; c < 3; ++c) {
                ASSERT_GE(t.v[c], v0);
                ASSERT_LT(t.v[c], v0 + topo.verts);
                ++directed[{t.v[c], t.v[(c + 1) % 3]}];
            }
        }
        // Closed and consistently wound: every directed edge once, its reverse once.
        for (const auto& [edge, n] : directed) {
            ASSERT_EQ(n, 1);
            ASSERT_EQ(directed.count({edge.second, edge.first}), 1u);
        }
        // Wound outward: positive enclosed volume, unless the particle is faded to a point.
        double volume = 0.0, extent = 0.0;
        for (int f = 0; f < topo.faces; ++f) {
            const Tri& t = mesh.faces[f0 + f];
            const V3 a = mesh.verts[t.v[0]], b = mesh.verts[t.v[1]], c = mesh.verts[t.v[2]];
            volume += double(wx::dot(a - mesh.verts[v0], wx::cross(b - mesh.verts[v0], c - mesh.verts[v0]))) / 6.0;
        }
        for (int k = 0; k < topo.verts; ++k)
            extent = std::max(extent, double(wx::length(mesh.verts[v0 + k] - mesh.verts[v0])));
        const FallParticle world = wx::fallWorld(p, i, mc.seconds, in.worldFromObject);
        if (world.fade == 0.0f) {
            EXPECT_EQ(extent, 0.0) << "particle " << i;
        } else if (extent > 1e-3) {
            EXPECT_GT(volume, 0.0) << "particle " << i;
        }
        // The drop's head, the flake's centre, taken through the node is the particle.
        const V3 centre = mc.type == wx::kFallRain ? mesh.verts[v0] : (mesh.verts[v0] + mesh.verts[v0 + 1]) * 0.5f;
        const V3 back = apply(in.worldFromObject, centre);
        const float tol = 2e-3f * (1.0f + wx::length(world.pos));
        EXPECT_NEAR(back.x, world.pos.x, tol) << "particle " << i;
        EXPECT_NEAR(back.y, world.pos.y, tol) << "particle " << i;
        EXPECT_NEAR(back.z, world.pos.z, tol) << "particle " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeded, FallMeshInvariants,
                         ::testing::Values(MeshCase{wx::kFallSnow, 1, 0.0f, false, 0.0f},
                                           MeshCase{wx::kFallSnow, 7, 40.0f, true, 3.25f},
                                           MeshCase{wx::kFallRain, 3, 0.0f, false, 1.0f},
                                           MeshCase{wx::kFallRain, 11, 120.0f, true, -2.5f},
                                           MeshCase{wx::kFallSand, 5, 60.0f, true, 7.0f}));

TEST(FallMesh, OneAndTwoThreadsGiveTheSameBytes) {
    for (int type : {wx::kFallSnow, wx::kFallRain}) {
        wx::FallInputs fin;
        fin.type = type;
        fin.count = 70000;  // enough groups for the pool to use both threads
        fin.windSpeed = 30.0f;
        const wx::FallParams p = wx::makeFallParams(fin, wx::FallCountMode::Render);
        wx::FallMeshInputs in;
        in.seconds = 2.0f;
        in.worldFromObject = tiltedNode();
        wx::setParallelThreadLimit(1);
        const VectorSink one = fill(p, in);
        wx::setParallelThreadLimit(2);
        const VectorSink two = fill(p, in);
        wx::setParallelThreadLimit(0);
        ASSERT_EQ(one.verts.size(), two.verts.size());
        EXPECT_EQ(std::memcmp(one.verts.data(), two.verts.data(), one.verts.size() * sizeof(V3)), 0);
        EXPECT_EQ(std::memcmp(one.faces.data(), two.faces.data(), one.faces.size() * sizeof(Tri)), 0);
    }
}

FallParticle dropAt(V3 velocity, float size = 2.0f, float fade = 0.5f) {
    FallParticle s{};
    s.pos = {10.0f, 20.0f, 30.0f};
    s.vel = velocity;
    s.size = size;
    s.fade = fade;
    return s;
}

TEST(FallMesh, AStillDropIsTwoSizesTimesItsFadeLong) {
    V3 v[5];
    wx::fallDropVertices(dropAt({0.0f, 0.0f, -1e-3f}), 0.03f, 0.2f, v);
    EXPECT_NEAR(wx::length(v[0] - v[1]), 2.0f * 2.0f * 0.5f, 1e-5f);
    // A fast one is its streak long: 400 units/s x 0.03 s x fade.
    wx::fallDropVertices(dropAt({0.0f, 0.0f, -400.0f}), 0.03f, 0.2f, v);
    EXPECT_NEAR(wx::length(v[0] - v[1]), 400.0f * 0.03f * 0.5f, 1e-4f);
    // Its ring is dropWidth x fade across, a quarter of the way back from the head.
    const V3 c = v[0] + (v[1] - v[0]) * 0.25f;
    for (int j = 2; j < 5; ++j) EXPECT_NEAR(wx::length(v[j] - c), 0.5f * 0.2f * 0.5f, 1e-5f);
    // At fade 0 a drop and a flake shrink to their particle's point.
    const FallParticle faded = dropAt({0.0f, 0.0f, -400.0f}, 2.0f, 0.0f);
    wx::fallDropVertices(faded, 0.03f, 0.2f, v);
    V3 f[6];
    wx::fallFlakeVertices(wx::makeFallParams(wx::FallInputs{}, wx::FallCountMode::Render), 3, faded, true, 1.0f, f);
    for (const V3& q : v) EXPECT_EQ(wx::length(q - faded.pos), 0.0f);
    for (const V3& q : f) EXPECT_EQ(wx::length(q - faded.pos), 0.0f);
}

TEST(FallMesh, TheDropsSideVectorSwitchesAtAbout26Degrees) {
    auto ringOffset = [](float degreesFromVertical) {
        const float a = degreesFromVertical * 0.017453292f;
        V3 v[5];
        wx::fallDropVertices(dropAt({100.0f * std::sin(a), 0.0f, -100.0f * std::cos(a)}), 0.03f, 0.2f, v);
        const V3 c = v[0] + (v[1] - v[0]) * 0.25f;
        return v[2] - c;  // along b1 = normalise(d x a)
    };
    // Straight down and up to about 25 degrees: side vector X, so ring point 0 has no X.
    for (float deg : {0.0f, 25.0f}) {
        const V3 r = ringOffset(deg);
        EXPECT_NEAR(r.x, 0.0f, 1e-6f) << deg;
        EXPECT_GT(std::fabs(r.y), 0.04f) << deg;
    }
    // Beyond 26 degrees the side vector is Z: ring point 0 stays level with the centre.
    for (float deg : {27.0f, 60.0f, 90.0f}) {
        const V3 r = ringOffset(deg);
        EXPECT_NEAR(r.z, 0.0f, 1e-6f) << deg;
        EXPECT_GT(std::fabs(r.y), 0.04f) << deg;
    }
}

// The render fill makes its drops a register at a time: every instruction set this CPU
// runs must give the one-by-one bits, for still, vertical, slanted, faded and padded lanes.
TEST(FallMesh, DropsMadeInLanesHaveTheOneByOneBits) {
    std::vector<FallParticle> world;
    uint32_t h = 12345u;
    auto next = [&h](float lo, float hi) {
        h = h * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(h >> 8) * (1.0f / 16777216.0f);
    };
    for (V3 v : {V3{0, 0, 0}, V3{0, 0, -300}, V3{1e-8f, 0, 0}, V3{0, 120, -40}}) world.push_back(dropAt(v));
    while (world.size() < 37) {
        FallParticle s = dropAt({next(-200, 200), next(-200, 200), next(-500, 0)}, next(0.5f, 3), next(0, 1));
        s.pos = {next(-500, 500), next(-500, 500), next(0, 500)};
        world.push_back(s);
    }
    const FallMatrix objectFromWorld = wx::fallObjectFromWorld(tiltedNode());
    std::vector<V3> one(world.size() * 5);
    for (size_t i = 0; i < world.size(); ++i) {
        FallParticle s = world[i];
        s.pos = wx::fallPointToObject(s.pos, objectFromWorld);
        s.vel = wx::fallVectorToObject(s.vel, objectFromWorld);
        wx::fallDropVertices(s, 0.03f, 0.2f, &one[i * 5]);
    }
    for (wx::FallSimd level : {wx::FallSimd::Portable, wx::FallSimd::Avx2, wx::FallSimd::Avx512}) {
        if (!wx::fallSimdSupported(level)) continue;
        std::vector<V3> lanes(world.size() * 5, V3{NAN, NAN, NAN});
        wx::fallDropVerticesBatch(world.data(), world.size(), objectFromWorld, 0.03f, 0.2f,
                                  reinterpret_cast<V3(*)[5]>(lanes.data()), level);
        EXPECT_EQ(std::memcmp(one.data(), lanes.data(), one.size() * sizeof(V3)), 0) << int(level);
    }
}

// The flake's own frame (unit X and Y half-axes, Z their cross product) at time t.
void flakeFrame(const wx::FallParams& p, uint64_t index, bool tumble, float t, V3 axes[3]) {
    FallParticle s = dropAt({0.0f, 0.0f, -50.0f}, 4.0f, 1.0f);
    V3 v[6];
    wx::fallFlakeVertices(p, index, s, tumble, t, v);
    axes[0] = wx::normalize(v[0] - v[1]);
    axes[1] = wx::normalize(v[2] - v[3]);
    axes[2] = wx::cross(axes[0], axes[1]);
    // Its thickness is 0.3 of its width, along the third axis.
    EXPECT_NEAR(wx::length(v[4] - v[5]), 0.3f * wx::length(v[0] - v[1]), 1e-4f);
    EXPECT_NEAR(wx::dot(wx::normalize(v[4] - v[5]), axes[2]), 1.0f, 1e-5f);
}

// Angle of the rotation taking frame a to frame b.
float turnedBy(const V3 a[3], const V3 b[3]) {
    float trace = 0.0f;
    for (int k = 0; k < 3; ++k) trace += wx::dot(a[k], b[k]);
    return std::acos(std::clamp((trace - 1.0f) * 0.5f, -1.0f, 1.0f));
}

TEST(FallMesh, FlakesHoldStillWithoutTumbleAndTurnOneToFourRadiansPerSecondWithIt) {
    const wx::FallParams p = wx::makeFallParams(wx::FallInputs{}, wx::FallCountMode::Render);
    const float dt = 0.05f;
    float slowest = 10.0f, fastest = 0.0f;
    for (uint64_t i = 0; i < 200; ++i) {
        V3 a[3], b[3], c[3], d[3];
        flakeFrame(p, i, false, 1.0f, a);
        flakeFrame(p, i, false, 9.0f, b);
        EXPECT_LT(turnedBy(a, b), 1e-3f) << i;
        flakeFrame(p, i, true, 4.0f, c);
        flakeFrame(p, i, true, 4.0f + dt, d);
        const float rate = turnedBy(c, d) / dt;
        slowest = std::min(slowest, rate);
        fastest = std::max(fastest, rate);
    }
    EXPECT_GE(slowest, 1.0f - 0.02f);
    EXPECT_LE(fastest, 4.0f + 0.02f);
    // Two hundred flakes cover most of the range.
    EXPECT_LT(slowest, 1.3f);
    EXPECT_GT(fastest, 3.7f);
}

// A node scaled flat has no inverse: its flakes land on finite points, not infinities.
TEST(FallMesh, AFlattenedNodeGivesFinitePoints) {
    FallMatrix flat;
    flat.r2 = {0, 0, 0};
    const FallMatrix inv = wx::fallObjectFromWorld(flat);
    for (const V3& row : {inv.r0, inv.r1, inv.r2, inv.t})
        EXPECT_TRUE(std::isfinite(row.x) && std::isfinite(row.y) && std::isfinite(row.z));
}

}  // namespace
