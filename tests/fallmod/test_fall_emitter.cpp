// What the fall shows in a viewport: the emitter mesh (the volume's box with its edge
// flags, the icon's lines as one degenerate face each) and the hit test (the icon, then
// the particles, and nothing through a closed viewport).
#include <vector>

#include "fall/fall_icon.h"
#include "fall/fall_params.h"
#include "fallmod_fixture.h"
#include "host/viewport.h"
#include "max/mesh.h"

namespace {

using fallmodtest::FallModTest;

TEST_F(FallModTest, EmitterIsTheBoxAndOneDegenerateFacePerIconSegment) {
    wx::WeatherFall* fall = newFall();
    IParamBlock2* pb = fall->GetParamBlock(0);
    pb->SetValue(wx::kFallWidth, 0, 1.0f);
    pb->SetValue(wx::kFallLength, 0, 1.0f);
    pb->SetValue(wx::kFallHeight, 0, 1.0f);
    addFall(fall);
    Mesh mesh;
    fall->BuildEmitter(0, mesh);
    // A 1 x 1 x 1 volume still shows the icon at scale 1.
    const std::vector<wx::V3> lines = wx::fallIconLines(1.0f);
    const int k = int(lines.size() / 2);
    ASSERT_EQ(mesh.getNumVerts(), 8 + 2 * k);
    ASSERT_EQ(mesh.getNumFaces(), 12 + k);
    for (int v = 0; v < 8; ++v) {
        EXPECT_EQ(mesh.verts[v].x, (v & 1) ? 0.5f : -0.5f);
        EXPECT_EQ(mesh.verts[v].y, (v & 2) ? 0.5f : -0.5f);
        EXPECT_EQ(mesh.verts[v].z, (v & 4) ? 1.0f : 0.0f);
    }
    // Each side's pair shares a hidden diagonal: the first face hides its third edge, the
    // second its first; the twelve visible edges are the box's.
    int visible = 0;
    for (int f = 0; f < 12; ++f) {
        const Face& face = mesh.faces[f];
        EXPECT_EQ(face.getEdgeVis(0), f % 2 == 0 ? EDGE_VIS : EDGE_INVIS) << f;
        EXPECT_EQ(face.getEdgeVis(1), EDGE_VIS) << f;
        EXPECT_EQ(face.getEdgeVis(2), f % 2 == 0 ? EDGE_INVIS : EDGE_VIS) << f;
        for (int e = 0; e < 3; ++e) {
            if (!face.getEdgeVis(e)) continue;
            ++visible;
            // A visible edge joins corners that differ along one axis only.
            const int a = int(face.v[e]), b = int(face.v[(e + 1) % 3]);
            const int diff = a ^ b;
            EXPECT_TRUE(diff == 1 || diff == 2 || diff == 4) << "face " << f << " edge " << e;
        }
    }
    EXPECT_EQ(visible, 24);  // twelve box edges, each seen from its two faces
    for (int s = 0; s < k; ++s) {
        const Face& face = mesh.faces[12 + s];
        EXPECT_EQ(face.v[0], DWORD(8 + 2 * s));
        EXPECT_EQ(face.v[1], DWORD(9 + 2 * s));
        EXPECT_EQ(face.v[2], DWORD(9 + 2 * s));
        EXPECT_EQ(face.getEdgeVis(0) * 4 + face.getEdgeVis(1) * 2 + face.getEdgeVis(2), 4);
        EXPECT_EQ(mesh.verts[8 + 2 * s].x, lines[2 * s].x);
        EXPECT_EQ(mesh.verts[9 + 2 * s].y, lines[2 * s + 1].y);
    }
}

struct FallHitTest : FallModTest {
    INode* node = nullptr;
    host::Viewport view = host::Viewport::top(800, 600, 4000.0f);

    void SetUp() override {
        FallModTest::SetUp();
        node = addFall();
        node->SetPosition(0, Point3(200.0f, 100.0f, 0.0f));
        fallOf(node)->GetParamBlock(0)->SetValue(wx::kFallVpPercent, 0, 0.0f);  // no particles
    }
    IPoint2 screenOf(Point3 world) const {
        float sx = 0, sy = 0;
        EXPECT_TRUE(view.worldToScreen(world, sx, sy));
        return {int(std::lround(sx)), int(std::lround(sy))};
    }
    int hitAt(IPoint2 p) { return fallOf(node)->HitTest(0, node, HITTYPE_POINT, 0, 0, &p, &view); }
};

TEST_F(FallHitTest, TheIconHitsAndEmptySpaceMisses) {
    // The default 1000 x 1000 x 500 volume: icon scale 90, so its box spans about
    // -90 .. 510 across and -95 .. 100 up from the pivot.
    const wx::FallIconBox box = wx::fallIconBox(90.0f);
    const Point3 pivot(200.0f, 100.0f, 0.0f);
    EXPECT_TRUE(hitAt(screenOf(pivot)));
    EXPECT_TRUE(hitAt(screenOf(pivot + Point3(box.max.x - 2.0f, box.min.y + 2.0f, 0.0f))));
    // Within the 4-pixel region of the box's edge (5 units a pixel here) still hits.
    EXPECT_TRUE(hitAt(screenOf(pivot + Point3(box.max.x + 12.0f, 0.0f, 0.0f))));
    EXPECT_FALSE(hitAt(screenOf(pivot + Point3(box.max.x + 40.0f, 0.0f, 0.0f))));
    EXPECT_FALSE(hitAt(screenOf(Point3(-1500.0f, -1000.0f, 0.0f))));
    // The window's render limits are as they were.
    EXPECT_EQ(view.getGW()->getRndLimits() & GW_PICK, 0u);
}

TEST_F(FallHitTest, AParticleHitsThroughTheParticleFallbackAndADeadViewportHitsNothing) {
    IParamBlock2* pb = fallOf(node)->GetParamBlock(0);
    pb->SetValue(wx::kFallVpPercent, 0, 100.0f);
    pb->SetValue(wx::kFallCount, 0, 200);
    node->EvalWorldState(0);
    const wx::FallIconBox box = wx::fallIconBox(90.0f);
    const ParticleSys& parts = fallOf(node)->parts;
    // A particle well away from the icon's box.
    int chosen = -1;
    for (int i = 0; i < parts.Count() && chosen < 0; ++i) {
        const Point3 local = parts.points[i] - Point3(200.0f, 100.0f, 0.0f);
        if (local.x < box.min.x - 60.0f || local.y > box.max.y + 60.0f) chosen = i;
    }
    ASSERT_GE(chosen, 0);
    const IPoint2 onParticle = screenOf(parts.points[chosen]);
    EXPECT_TRUE(hitAt(onParticle));
    const IPoint2 onIcon = screenOf(Point3(200.0f, 100.0f, 0.0f));
    view.close();
    EXPECT_FALSE(hitAt(onParticle));
    EXPECT_FALSE(hitAt(onIcon));
    // Without a node the icon is not tried; the particle fallback alone answers.
    host::Viewport open = host::Viewport::top(800, 600, 4000.0f);
    IPoint2 p = onParticle;
    EXPECT_TRUE(fallOf(node)->HitTest(0, nullptr, HITTYPE_POINT, 0, 0, &p, &open));
}

}  // namespace
