// Remove, Bake and Update shelter over a weathered host scene: what each puts back or
// leaves, their reports byte for byte, their single undo steps, and TWeather's ids 1-3.
#include <cmath>

#include "host/std_materials.h"
#include "max/hold.h"
#include "max/material.h"
#include "max/param_block2.h"
#include "snow/snow_params.h"
#include "utility/scene_commands.h"
#include "weather_scene_fixture.h"

namespace {

struct SceneCommandsTest : WeatherSceneTest {};

TEST_F(SceneCommandsTest, RemoveAfterMakePutsBackTheMaterialsAndIsOneUndoStep) {
    INode* ground = addPlane(L"Ground", 400, {0, 0, 0});
    INode* roof = addPlane(L"Roof", 100, {0, 0, 300});
    Mtl* brick = host::createStdMaterial(L"Brick", Color(0.6f, 0.3f, 0.2f), 10);
    roof->SetMtl(brick);
    wx::makeWeather(1, wx::kApplyScene, true, true, true);
    ASSERT_TRUE(hasSnow(ground) && hasSnow(roof));
    ASSERT_NE(roof->GetMtl(), brick) << "the snow material went on";
    ASSERT_EQ(fallCount(), 1);

    EXPECT_EQ(script(L"TWeather.remove true"),
              L"Removed the weather from 2 objects (2 materials restored) and 1 falling object(s).");
    EXPECT_EQ(wx::lastWeatherReport(),
              L"Removed the weather from 2 objects (2 materials restored) and 1 falling object(s).");
    EXPECT_FALSE(hasSnow(ground) || hasSnow(roof));
    EXPECT_EQ(roof->GetMtl(), brick);
    EXPECT_EQ(ground->GetMtl(), nullptr);
    EXPECT_EQ(fallCount(), 0);

    ASSERT_EQ(host::undoStepNames().back(), L"Remove Tarnwick Weather");
    ASSERT_TRUE(host::undo());
    host::freeRetiredScenes();
    EXPECT_TRUE(hasSnow(node(L"Ground")) && hasSnow(node(L"Roof"))) << "undo brings the weather back";
    EXPECT_EQ(fallCount(), 1);
    EXPECT_EQ(host::undoStepNames().back(), L"Tarnwick Weather");
}

TEST_F(SceneCommandsTest, RemoveWithNothingSelectedStillTakesTheFalls) {
    addPlane(L"Ground", 400, {0, 0, 0});
    wx::makeWeather(1, wx::kApplyScene, true, true, true);
    ip->ClearNodeSelection(FALSE);
    EXPECT_EQ(wx::removeWeather(wx::kApplySelection),
              L"Removed the weather from 0 objects (0 materials restored) and 1 falling object(s).");
    EXPECT_TRUE(hasSnow(node(L"Ground")));
    EXPECT_EQ(fallCount(), 0);
    // Removing again finds nothing and says so; a node never weathered restores nothing.
    EXPECT_EQ(script(L"TWeather.remove true"),
              L"Removed the weather from 1 objects (1 materials restored) and 0 falling object(s).");
    EXPECT_EQ(script(L"TWeather.remove true"),
              L"Removed the weather from 1 objects (0 materials restored) and 0 falling object(s).");
}

TEST_F(SceneCommandsTest, BakeKeepsEachNodeInPlaceWithWhatARenderShows) {
    INode* ground = addPlane(L"Ground", 400, {0, 0, 0});
    INode* post = addPlane(L"Post", 60, {0, 0, 0});
    Matrix3 turned = RotateZMatrix(0.5f) * RotateXMatrix(0.2f);
    turned.SetTrans(Point3(120, -40, 150));
    post->SetNodeTM(0, turned);
    INode* cap = addPlane(L"Cap", 30, {0, 0, 0});
    post->AttachChild(cap);
    cap->SetNodeTM(0, TransMatrix(Point3(110, -30, 220)));
    Mtl* stone = host::createStdMaterial(L"Stone", Color(0.5f, 0.5f, 0.5f), 10);
    post->SetMtl(stone);
    wx::makeWeather(1, wx::kApplyScene, true, false, false);
    wx::SnowMod* capSnow = nullptr;
    for (int i = 0; i < cap->GetWSMDerivedObject()->NumModifiers(); ++i)
        capSnow = dynamic_cast<wx::SnowMod*>(cap->GetWSMDerivedObject()->GetModifier(i));
    ASSERT_NE(capSnow, nullptr);
    capSnow->GetParamBlock(0)->SetValue(wx::kSnowOutput, 0, 1);  // snow only

    std::vector<INode*> nodes = {ground, post, cap};
    std::vector<std::vector<Triangle>> before;
    std::vector<ULONG> handles;
    for (INode* n : nodes) {
        before.push_back(renderTriangles(n));
        handles.push_back(n->GetHandle());
    }
    const Matrix3 postTM = post->GetNodeTM(0);
    const int nodeCount = int(host::currentScene().allNodes().size());
    wx::setLastWeatherReport(L"earlier report");

    EXPECT_EQ(script(L"TWeather.bake()"), L"Baked 3 object(s) into meshes: Ground, Post, Cap.");
    EXPECT_EQ(wx::lastWeatherReport(), L"earlier report") << "the script's bake is only returned";
    EXPECT_FALSE(wx::hostRendering()) << "back to viewport detail";
    EXPECT_EQ(int(host::currentScene().allNodes().size()), nodeCount) << "no copies beside the objects";
    for (size_t i = 0; i < nodes.size(); ++i) {
        INode* n = ip->GetINodeByHandle(handles[i]);
        ASSERT_EQ(n, nodes[i]) << "the same node keeps its handle";
        EXPECT_EQ(n->GetWSMDerivedObject(), nullptr);
        EXPECT_EQ(n->GetObjectRef()->ClassID(), triObjectClassID);
        EXPECT_TRUE(sameTriangles(worldTriangles(n), before[i], 2e-3f)) << i;
    }
    EXPECT_EQ(cap->GetParentNode(), post);
    EXPECT_EQ(post->GetMtl(), stone);
    const Matrix3 kept = post->GetNodeTM(0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(kept.GetRow(r)[c], postTM.GetRow(r)[c]);

    ASSERT_EQ(host::undoStepNames().back(), L"Bake snow");
    ASSERT_TRUE(host::undo());
    host::freeRetiredScenes();
    EXPECT_TRUE(hasSnow(node(L"Ground")) && hasSnow(node(L"Post")) && hasSnow(node(L"Cap")));
    EXPECT_EQ(script(L"TWeather.bake()"), L"Baked 3 object(s) into meshes: Ground, Post, Cap.");
    EXPECT_EQ(script(L"TWeather.bake()"), L"Nothing to bake: no object carries Tarnwick Snow.");
}

TEST_F(SceneCommandsTest, UpdateShelterFollowsAMovedRoof) {
    addPlane(L"Ground", 400, {0, 0, 0});
    INode* roof = addPlane(L"Roof", 100, {0, 0, 300});
    wx::makeWeather(1, wx::kApplyScene, true, false, false);
    const uint64_t generation = wx::sceneGeneration();
    const std::wstring count = std::to_wstring(host::scriptEngine().run(L"TWeather.updateShelter()").i);
    EXPECT_EQ(count, std::to_wstring(wx::capturedTriangles()));
    EXPECT_GT(wx::capturedTriangles(), 0);
    EXPECT_EQ(wx::sceneGeneration(), generation + 1);
    const float top = wx::currentScene()->nodes[0].bmax.z;

    roof->SetPosition(0, Point3(0, 0, 350));
    wx::updateShelterFromPanel();
    EXPECT_NEAR(wx::currentScene()->nodes[0].bmax.z, top + 50, 1e-3f) << "the next build sees the roof where it is";
    // "Shelter updated: N scene triangles in T ms. Every snow layer re-evaluates."
    const std::wstring report = wx::lastWeatherReport();
    const std::wstring head = L"Shelter updated: ", mid = L" scene triangles in ",
                       tail = L" ms. Every snow layer re-evaluates.";
    ASSERT_EQ(report.rfind(head, 0), 0u) << report;
    const size_t countEnd = report.find(mid);
    ASSERT_NE(countEnd, std::wstring::npos) << report;
    const std::wstring triangles = report.substr(head.size(), countEnd - head.size());
    const std::wstring ms = report.substr(countEnd + mid.size(), report.size() - countEnd - mid.size() - tail.size());
    ASSERT_GT(report.size(), countEnd + mid.size() + tail.size()) << report;
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
    EXPECT_EQ(triangles, std::to_wstring(wx::capturedTriangles()));
    EXPECT_EQ(ms.find_first_not_of(L"0123456789"), std::wstring::npos) << report;
}

}  // namespace
