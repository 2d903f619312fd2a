// When the modifier rebuilds and when it reuses its shell: the cache key, the shelter
// choice against scene changes, the capture timer, render detail around a render,
// region gizmos, clones and a builder failure.
#include "common/parallel_for.h"
#include "host/message_pump.h"
#include "snowmod_fixture.h"

namespace snowmodtest {
namespace {

TEST_F(SnowModTest, NothingChangedBuildsNothingAndOneParameterBuildsOnce) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    evalMesh(plane, 0);
    ASSERT_EQ(mod->buildCount(), 1);
    const int faces = evalMesh(plane, 0).numFaces;
    plane->InvalidateWS();
    EXPECT_EQ(evalMesh(plane, 4800).numFaces, faces) << "another time, same inputs";
    EXPECT_EQ(mod->buildCount(), 1);
    mod->GetParamBlock(0)->SetValue(wx::kSnowDepth, 0, 20.0f);
    evalMesh(plane, 4800);
    plane->InvalidateWS();
    evalMesh(plane, 9600);
    EXPECT_EQ(mod->buildCount(), 2);
}

TEST_F(SnowModTest, WholeSceneGathersTheSceneOnceThenRebuildsAgainstIt) {
    INode* ground = addPlane(400);
    wx::SnowMod* mod = addSnow(ground, wx::kShelterWholeScene);
    INode* roof = addPlane(100, 30);  // shelters the middle of the ground once captured
    evalMesh(ground);
    EXPECT_NE(mod->statusText().find(L"Shelter: this object (gathering the scene...), CPU"), std::wstring::npos)
        << mod->statusText().c_str();
    EXPECT_EQ(host::pendingTimerCount(), 1);
    ground->InvalidateWS();
    mod->invalidateShelter();
    evalMesh(ground, 160);
    EXPECT_EQ(host::pendingTimerCount(), 1) << "one timer, however often the modifier asks";
    const int before = mod->buildCount();
    host::pumpUntilIdle(1000);
    EXPECT_EQ(host::pendingTimerCount(), 0);
    EXPECT_GT(wx::capturedTriangles(), 0);
    evalMesh(ground);
    EXPECT_EQ(mod->buildCount(), before + 1);
    EXPECT_NE(mod->statusText().find(L"Shelter: whole scene, CPU"), std::wstring::npos) << mod->statusText().c_str();
    EXPECT_LT(mod->lastStats().openSky, 1.0f) << "the roof now shelters part of the ground";

    // Moving another object changes nothing until the next capture.
    roof->SetPosition(0, Point3(50, 0, 30));
    evalMesh(ground);
    EXPECT_EQ(mod->buildCount(), before + 1);
    wx::captureScene(0);
    evalMesh(ground);
    EXPECT_EQ(mod->buildCount(), before + 2);
}

TEST_F(SnowModTest, SceneChangesDoNotRebuildThisObjectOrNothing) {
    INode* a = addPlane(200);
    INode* b = addPlane(200, 50);
    wx::SnowMod* own = addSnow(a, wx::kShelterThisObject);
    wx::SnowMod* none = addSnow(b, wx::kShelterNothing);
    evalMesh(a);
    evalMesh(b);
    INode* other = ip->CreateObjectNode(host::createBox(10, 10, 10));
    other->SetPosition(0, Point3(0, 0, 100));
    wx::captureScene(0);  // invalidates every snow modifier: each rebuilds once
    evalMesh(a);
    evalMesh(b);
    const int ownBuilds = own->buildCount(), noneBuilds = none->buildCount();
    other->SetPosition(0, Point3(20, 0, 100));
    evalMesh(a);
    evalMesh(b);
    EXPECT_EQ(own->buildCount(), ownBuilds);
    EXPECT_EQ(none->buildCount(), noneBuilds);
}

TEST_F(SnowModTest, FileOpenResetNewAndShutdown) {
    // No live snow modifier: opening a file starts no timer.
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    EXPECT_EQ(host::pendingTimerCount(), 0);
    addSnow(addPlane(100));
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    EXPECT_EQ(host::pendingTimerCount(), 1);
    host::pumpUntilIdle(1000);
    ASSERT_NE(wx::currentScene(), nullptr);
    const uint64_t generation = wx::sceneGeneration();
    BroadcastNotification(NOTIFY_SYSTEM_POST_RESET);
    EXPECT_EQ(wx::currentScene(), nullptr);
    EXPECT_EQ(wx::sceneGeneration(), generation + 1);
    BroadcastNotification(NOTIFY_SYSTEM_POST_NEW);
    EXPECT_EQ(wx::sceneGeneration(), generation + 2);
    EXPECT_EQ(wx::capturedTriangles(), 0);

    // Shutdown kills a pending timer; its procedure never runs.
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    ASSERT_EQ(host::pendingTimerCount(), 1);
    wx::unregisterModuleHandlers();
    EXPECT_EQ(host::pendingTimerCount(), 0);
    EXPECT_EQ(host::pumpUntilIdle(1000), 0);
    EXPECT_EQ(wx::currentScene(), nullptr);
    wx::registerModuleHandlers();  // for TearDown's matching call
}

TEST_F(SnowModTest, RenderDetailDuringARenderAndRebuildsAroundIt) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterThisObject);
    evalMesh(plane);
    EXPECT_TRUE(mod->builtViewportDetail());
    const int viewportFaces = evalMesh(plane).numFaces;
    host::beginRender(0);
    EXPECT_TRUE(wx::hostRendering());
    const int renderFaces = evalMesh(plane).numFaces;
    EXPECT_FALSE(mod->builtViewportDetail());
    EXPECT_GT(renderFaces, viewportFaces) << "render detail is three times finer";
    EXPECT_EQ(mod->buildCount(), 2);
    EXPECT_EQ(mod->statusText().rfind(L"Render snow: ", 0), 0u);
    host::endRender();
    evalMesh(plane);
    EXPECT_EQ(mod->buildCount(), 3);
    EXPECT_TRUE(mod->builtViewportDetail());
}

TEST_F(SnowModTest, RegionsSkipDeletedAndEmptyNodesAndNarrowValidity) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    IParamBlock2* pb = mod->GetParamBlock(0);
    INode* gone = ip->CreateObjectNode(host::createBox(50, 50, 50));
    INode* empty = ip->CreateObjectNode(nullptr);
    pb->Append(wx::kSnowRegions, 1, &gone);
    pb->Append(wx::kSnowRegions, 1, &empty);
    ip->DeleteNode(gone);
    evalMesh(plane, 0);
    const float plain = mod->lastStats().meanAmount;
    EXPECT_TRUE(plane->EvalWorldState(0).obj->ChannelValidity(0, GEOM_CHAN_NUM).InInterval(Interval(0, 4800)))
        << "no usable region: valid beyond this instant";

    INode* box = ip->CreateObjectNode(host::createBox(150, 150, 80));
    box->SetPosition(0, Point3(0, 0, -20));
    pb->Append(wx::kSnowRegions, 1, &box);
    pb->SetValue(wx::kSnowRegionMode, 0, 0);  // no snow inside
    evalMesh(plane, 0);
    EXPECT_LT(mod->lastStats().meanAmount, plain * 0.75f) << "no snow inside the box";
    EXPECT_EQ(plane->EvalWorldState(0).obj->ChannelValidity(0, GEOM_CHAN_NUM), Interval(0, 0));
}

TEST_F(SnowModTest, RegionsThatLeadBackToTheSnowedNodeAreSkipped) {
    INode* a = addPlane(200);
    INode* b = addPlane(200, 100);
    wx::SnowMod* ma = addSnow(a, wx::kShelterNothing);
    wx::SnowMod* mb = addSnow(b, wx::kShelterNothing);
    ma->GetParamBlock(0)->Append(wx::kSnowRegions, 1, &a);  // itself
    ma->GetParamBlock(0)->Append(wx::kSnowRegions, 1, &b);  // and b, whose region is a
    mb->GetParamBlock(0)->Append(wx::kSnowRegions, 1, &a);
    EXPECT_GT(evalMesh(a).numFaces, 2);
    EXPECT_GT(evalMesh(b).numFaces, 2);
}

TEST_F(SnowModTest, CloneSharesNoCacheAndCopiesParameters) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    mod->GetParamBlock(0)->SetValue(wx::kSnowDepth, 0, 33.0f);
    evalMesh(plane);
    RemapDir remap;
    auto* copy = static_cast<wx::SnowMod*>(mod->Clone(remap));
    EXPECT_EQ(copy->GetParamBlock(0)->GetFloat(wx::kSnowDepth, 0), 33.0f);
    EXPECT_NE(copy->GetParamBlock(0), mod->GetParamBlock(0));
    EXPECT_EQ(copy->buildCount(), 0);
    EXPECT_EQ(copy->statusText(), L"Not evaluated yet.");
    copy->DeleteThis();
}

TEST_F(SnowModTest, BuilderFailureLeavesTheObjectAndSaysWhatToTry) {
    INode* plane = addPlane(400, 0, 4);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    mod->GetParamBlock(0)->SetValue(wx::kSnowResolution, 0, 0.5f);  // enough points to go parallel
    wx::failParallelWorkerStartAt(1);
    const int faces = evalMesh(plane).numFaces;
    wx::failParallelWorkerStartAt(-1);
    if (wx::parallelThreadCount() < 2) GTEST_SKIP() << "one thread: nothing to fail";
    EXPECT_EQ(faces, 32) << "the object passes through without snow";
    EXPECT_NE(mod->statusText().find(L"a worker thread could not start"), std::wstring::npos)
        << mod->statusText().c_str();
    EXPECT_NE(mod->statusText().find(L"Max triangles"), std::wstring::npos);
    EXPECT_LE(mod->statusText().size(), wx::kSnowStatusMaxChars);
}

}  // namespace
}  // namespace snowmodtest
