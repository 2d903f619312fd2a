// Welding through a capture's mesh vertices gives exactly the corner-by-corner weld: same
// vertices, same positions, same drip edges, whatever the numbering says; and the capture
// record is read back per stored triangle, or refused when it does not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "fall/drip_mesh.h"
#include "runoff_scenes.h"
#include "shelter/mesh_corners.h"

namespace wx {
namespace {

constexpr float kGrid = 0.002f;

void expectSameWeld(const WeldedCorners& expected, const WeldedCorners& got) {
    ASSERT_EQ(expected.vertex.size(), got.vertex.size());
    EXPECT_TRUE(expected.vertex == got.vertex);
    ASSERT_EQ(expected.position.size(), got.position.size());
    EXPECT_EQ(std::memcmp(expected.position.data(), got.position.data(), expected.position.size() * sizeof(V3)), 0);
}

// The scene with a record, and the record's numbering per stored corner.
struct Indexed {
    std::shared_ptr<ShelterBVH> scene;
    std::vector<int32_t> cornerVertex;
};

Indexed indexed(const std::vector<V3>& soup, MeshCorners record) {
    Indexed out{std::make_shared<ShelterBVH>(), {}};
    buildBVH(soup, *out.scene);
    out.scene->meshCorners = std::make_shared<const MeshCorners>(std::move(record));
    out.cornerVertex = storedCornerVertices(*out.scene);
    return out;
}

// Vertices scattered over +-1000 m with every coordinate within 0.04 mm of a cell's
// boundary: far from its triangle's first corner, p0 + (p1 - p0) rounds by up to 0.03 mm,
// so some corners of one vertex fall in different cells.
std::vector<V3> boundarySoup(uint32_t seed, int vertices, int triangles) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> cell(-500000, 500000), pick(0, vertices - 1);
    std::uniform_real_distribution<float> nudge(-4e-5f, 4e-5f);
    auto coordinate = [&] { return (float(cell(rng)) + 0.5f) * kGrid + nudge(rng); };
    std::vector<V3> pool(static_cast<size_t>(vertices));
    for (V3& p : pool) p = {coordinate(), coordinate(), coordinate() * 0.01f};
    std::vector<V3> soup;
    for (int t = 0; t < triangles; ++t)
        for (int c = 0; c < 3; ++c) soup.push_back(pool[size_t(pick(rng))]);
    return soup;
}

// Corners whose cell differs from the cell of their vertex's position in the soup.
int cornersOffTheirVertexCell(const Indexed& s, const std::vector<V3>& soup) {
    int off = 0;
    for (size_t j = 0; j < s.scene->tris.size(); ++j)
        for (size_t c = 1; c < 3; ++c) {
            const V3 exact = soup[3 * size_t(s.scene->source[j]) + c], corner = soupCorner(s.scene->tris, 3 * j + c);
            off += weldCell(exact.x, kGrid) != weldCell(corner.x, kGrid) ||
                   weldCell(exact.y, kGrid) != weldCell(corner.y, kGrid);
        }
    return off;
}

TEST(MeshWeld, SameVerticesAsTheCornerWeldOnSeededScenes) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const std::vector<V3> soup = boundarySoup(seed, 4000, 20000);
        const Indexed s = indexed(soup, example::meshCornersOf(soup, 700));
        ASSERT_EQ(s.cornerVertex.size(), 3 * s.scene->tris.size());
        ASSERT_GT(cornersOffTheirVertexCell(s, soup), 0) << "the scene must hold corners rounded out of their cell";
        const WeldedCorners reference = weldCorners(s.scene->tris, kGrid);
        expectSameWeld(reference, weldCorners(s.scene->tris, kGrid, s.cornerVertex, s.scene->meshCorners->vertexCount));
        setParallelThreadLimit(1);
        const WeldedCorners one = weldCorners(s.scene->tris, kGrid, s.cornerVertex, s.scene->meshCorners->vertexCount);
        setParallelThreadLimit(0);
        expectSameWeld(reference, one);
    }
}

// The numbering steers the work only: one that joins far-apart corners, or gives every
// corner the same vertex, or numbers at random, welds the same.
TEST(MeshWeld, AnyNumberingWeldsTheSame) {
    const std::vector<V3> soup = boundarySoup(7, 3000, 12000);
    ShelterBVH scene;
    buildBVH(soup, scene);
    const WeldedCorners reference = weldCorners(scene.tris, kGrid);
    const size_t corners = 3 * scene.tris.size();
    std::mt19937 rng(11);
    for (size_t vertices : {size_t(1), size_t(50), corners}) {
        SCOPED_TRACE(vertices);
        std::uniform_int_distribution<size_t> pick(0, vertices - 1);
        std::vector<int32_t> numbering(corners);
        for (int32_t& v : numbering) v = int32_t(pick(rng));
        expectSameWeld(reference, weldCorners(scene.tris, kGrid, numbering, vertices));
    }
}

// The generated town cut into meshes whose seams the weld must close: the same vertices
// and, through the whole search, the same edge bytes with the record as without it.
TEST(MeshWeld, TownGivesTheSameDripEdgesWithTheRecord) {
    const std::vector<V3> soup = example::refine(example::makeTown(20000, 60.0f), 1);
    for (size_t perMesh : {size_t(500), size_t(1) << 20}) {
        SCOPED_TRACE(perMesh);
        const Indexed s = indexed(soup, example::meshCornersOf(soup, perMesh));
        ASSERT_FALSE(s.cornerVertex.empty());
        ASSERT_LT(s.scene->meshCorners->vertexCount, s.cornerVertex.size() / 3) << "shared vertices, as modelled";
        expectSameWeld(weldCorners(s.scene->tris, kGrid),
                       weldCorners(s.scene->tris, kGrid, s.cornerVertex, s.scene->meshCorners->vertexCount));
        for (float unitsPerMetre : {1.0f, 0.25f}) {
            const auto withRecord = findDripEdges(*s.scene, unitsPerMetre);
            ShelterBVH bare = *s.scene;
            bare.meshCorners = nullptr;
            const auto without = findDripEdges(bare, unitsPerMetre);
            ASSERT_GT(without.size(), 100u);
            ASSERT_EQ(withRecord.size(), without.size());
            EXPECT_EQ(std::memcmp(withRecord.data(), without.data(), without.size() * sizeof(DripEdge)), 0);
        }
    }
}

// Three soup triangles in two meshes (the first degenerate, dropped by the build): each
// stored corner reads its mesh's base plus its own index; records that do not fit give
// nothing, and a rebuild forgets the record.
TEST(MeshCornerRecord, StoredCornersReadThroughTheSourceOrRefuse) {
    const std::vector<V3> soup = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0},   // no area
                                  {0, 0, 0}, {1, 0, 0}, {0, 1, 0},   // mesh 0
                                  {5, 0, 0}, {6, 0, 0}, {5, 1, 0}};  // mesh 1
    MeshCorners record;
    record.beginMesh(4);
    record.corner = {0, 0, 0, 3, 1, 2};
    record.beginMesh(3);
    record.corner.insert(record.corner.end(), {2, 0, 1});
    const Indexed s = indexed(soup, record);
    ASSERT_EQ(s.scene->tris.size(), 2u);
    ASSERT_EQ(s.cornerVertex.size(), 6u);
    for (size_t j = 0; j < 2; ++j) {
        const std::vector<int32_t> expected =
            s.scene->source[j] == 1 ? std::vector<int32_t>{3, 1, 2} : std::vector<int32_t>{4 + 2, 4 + 0, 4 + 1};
        EXPECT_EQ(std::vector<int32_t>(s.cornerVertex.begin() + long(3 * j), s.cornerVertex.begin() + long(3 * j + 3)),
                  expected);
    }

    auto refused = [&](MeshCorners bad) { return indexed(soup, std::move(bad)).cornerVertex.empty(); };
    MeshCorners pastMesh = record;
    pastMesh.corner[8] = 3;  // mesh 1 has three vertices
    EXPECT_TRUE(refused(pastMesh));
    MeshCorners short_ = record;
    short_.corner.resize(6);  // the last triangle unrecorded
    EXPECT_TRUE(refused(short_));
    MeshCorners badBase = record;
    badBase.meshes[1].vertexBase = 3;
    EXPECT_TRUE(refused(badBase));
    MeshCorners backwards = record;
    std::swap(backwards.meshes[0].firstTriangle, backwards.meshes[1].firstTriangle);
    EXPECT_TRUE(refused(backwards));
    EXPECT_FALSE(refused(record));

    ShelterBVH rebuilt = *s.scene;
    buildBVH(soup, rebuilt);
    EXPECT_FALSE(rebuilt.meshCorners);
    EXPECT_TRUE(storedCornerVertices(rebuilt).empty());
}

}  // namespace
}  // namespace wx
