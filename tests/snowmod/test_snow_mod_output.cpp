// What an evaluation writes into the mesh: snow faces beside the object or instead of it,
// their material index and smoothing groups, the map channels, the status texts, and
// how mirrored objects and excluded material ids are handled.
#include <algorithm>

#include "snowmod_fixture.h"

namespace snowmodtest {
namespace {

struct SnowFaces {
    int count = 0;
    float lowest = 1e30f, highest = -1e30f;
    bool allMatIndex(const Mesh& m, int from, MtlID index) const {
        for (int f = from; f < m.numFaces; ++f)
            if (m.faces[f].getMatID() != index) return false;
        return true;
    }
};

SnowFaces snowFacesFrom(const Mesh& m, int from) {
    SnowFaces s;
    for (int f = from; f < m.numFaces; ++f) {
        ++s.count;
        for (int c = 0; c < 3; ++c) {
            s.lowest = std::min(s.lowest, m.verts[m.faces[f].v[c]].z);
            s.highest = std::max(s.highest, m.verts[m.faces[f].v[c]].z);
        }
    }
    return s;
}

TEST_F(SnowModTest, SnowSitsOnTopWithItsMaterialIndexAndGroups) {
    INode* plane = addPlane(200, 5);
    wx::SnowMod* mod = addSnow(plane);
    mod->GetParamBlock(0)->SetValue(wx::kSnowMatID, 0, 1);
    const Mesh& m = evalMesh(plane);
    ASSERT_GT(m.numFaces, 2);
    const SnowFaces snow = snowFacesFrom(m, 2);
    EXPECT_TRUE(snow.allMatIndex(m, 2, 0)) << "material ID 1 is material index 0";
    EXPECT_GE(snow.lowest, 5.0f - 1.0f) << "the shell's base sits at the surface";
    EXPECT_GT(snow.highest, 5.0f + 5.0f) << "default depth 10 above the plane";
    for (int f = 2; f < m.numFaces; ++f) {
        const DWORD g = m.faces[f].getSmGroup();
        EXPECT_TRUE(g == 0x40000000u || g == 0x20000000u || g == 0x10000000u);
        EXPECT_EQ(m.faces[f].flags & EDGE_ALL, 0u) << "snow faces show no edges";
    }
    // UVs reach every snow face.
    ASSERT_TRUE(m.mapSupport(1));
    EXPECT_EQ(m.Map(1).fnum, m.numFaces);
    EXPECT_NE(mod->statusText().find(L"Viewport snow: "), std::wstring::npos) << mod->statusText().c_str();
    EXPECT_NE(mod->statusText().find(L"Shelter: this object, CPU"), std::wstring::npos);
}

TEST_F(SnowModTest, MirroredObjectIsRewoundSoItsTopStillGetsSnow) {
    INode* plane = addPlane(200, 0);
    plane->SetScale(0, Point3(-1, 1, 1));
    addSnow(plane);
    const Mesh& m = evalMesh(plane);
    ASSERT_GT(m.numFaces, 2) << "the mirrored plane's faces point up again once re-wound";
    for (int f = 0; f < 2; ++f) EXPECT_GT(m.FaceNormal(f, TRUE).z, 0.5f);
    EXPECT_GT(snowFacesFrom(m, 2).highest, 5.0f);
}

TEST_F(SnowModTest, TwoSnowLayersOnAMirroredObjectAreRewoundOnce) {
    INode* plane = addPlane(200, 0);
    plane->SetScale(0, Point3(-1, 1, 1));
    addSnow(plane, wx::kShelterNothing);
    wx::SnowMod* top = addSnow(plane, wx::kShelterNothing);
    const Mesh& m = evalMesh(plane);
    for (int f = 0; f < 2; ++f) EXPECT_GT(m.FaceNormal(f, TRUE).z, 0.5f) << "not turned inside out again";
    EXPECT_GT(top->lastStats().upFacing, 0) << "the second layer sees the first one's snow facing up";
}

TEST_F(SnowModTest, TransformCarriedByTheObjectStateIsAppliedAndRewound) {
    // A pipeline that hands the transform along instead of moving the points.
    INode* plane = addPlane(100, 0);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    auto* tri = static_cast<TriObject*>(plane->GetObjectRef()->ConvertToType(0, triObjectClassID));
    RemapDir remap;
    auto* copy = static_cast<TriObject*>(tri->Clone(remap));
    Matrix3 mirror(1);
    mirror.SetRow(0, Point3(-1, 0, 0));
    mirror.SetTrans(Point3(0, 0, 50));
    ObjectState os(copy);
    os.SetTM(&mirror, FOREVER);
    ModContext mc;
    mod->ModifyObject(0, mc, &os, nullptr);
    EXPECT_EQ(os.GetTM(), nullptr) << "the points are in world space now";
    const Mesh& m = copy->GetMesh();
    ASSERT_GT(m.numFaces, 2);
    EXPECT_GT(m.FaceNormal(0, TRUE).z, 0.5f);
    EXPECT_GE(snowFacesFrom(m, 2).lowest, 50.0f - 1.0f);
    copy->DeleteThis();
    if (tri != plane->GetObjectRef()) tri->DeleteThis();
}

TEST_F(SnowModTest, SnowOnlyAndSnowOffAndNothingFlat) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane);
    IParamBlock2* pb = mod->GetParamBlock(0);
    pb->SetValue(wx::kSnowOutput, 0, 1);
    const Mesh& only = evalMesh(plane);
    ASSERT_GT(only.numFaces, 0);
    EXPECT_TRUE(snowFacesFrom(only, 0).allMatIndex(only, 0, 1));
    EXPECT_FALSE(only.mapSupport(0));

    pb->SetValue(wx::kSnowEnabled, 0, 0);
    EXPECT_EQ(evalMesh(plane).numFaces, 2);
    EXPECT_EQ(mod->statusText(), L"Snow is off.");
    // On again with nothing else changed: the cached shell comes back with its own status.
    const int builds = mod->buildCount();
    pb->SetValue(wx::kSnowEnabled, 0, 1);
    EXPECT_GT(evalMesh(plane).numFaces, 0);
    EXPECT_EQ(mod->buildCount(), builds);
    EXPECT_EQ(mod->statusText().rfind(L"Viewport snow: ", 0), 0u) << mod->statusText().c_str();
    pb->SetValue(wx::kSnowEnabled, 0, 0);

    // Nothing flat enough: the status says why; "Snow only" leaves an empty mesh.
    pb->SetValue(wx::kSnowEnabled, 0, 1);
    plane->SetRotation(0, Point3(1.5f, 0, 0));  // nearly on edge
    EXPECT_EQ(evalMesh(plane).numFaces, 0);
    EXPECT_EQ(mod->statusText().rfind(L"No face here is flat enough for snow (steepest slope 55 deg).", 0), 0u)
        << mod->statusText().c_str();
    pb->SetValue(wx::kSnowOutput, 0, 0);
    EXPECT_EQ(evalMesh(plane).numFaces, 2);
}

TEST_F(SnowModTest, ExcludedMaterialIdsGetNoSnow) {
    INode* plane = addPlane(200, 0, 2);  // 8 faces
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    auto countSnow = [&] { return evalMesh(plane).numFaces - 8; };
    const int all = countSnow();
    ASSERT_GT(all, 0);
    // Every face of a plane carries one material ID; excluding it leaves no snow,
    // excluding another changes nothing.
    const int planeID = evalMesh(plane).faces[0].getMatID() + 1;
    mod->GetParamBlock(0)->SetValue(wx::kSnowExcludeIDs, 0, (std::to_wstring(planeID + 1) + L"-9").c_str());
    EXPECT_EQ(countSnow(), all);
    mod->GetParamBlock(0)->SetValue(wx::kSnowExcludeIDs, 0, (L"-" + std::to_wstring(planeID)).c_str());
    EXPECT_EQ(countSnow(), 0);
    EXPECT_EQ(mod->highestInputMatID(), planeID);
}

}  // namespace
}  // namespace snowmodtest
