// The fall object's particles as the host keeps them: the same after a scene reload and in
// a clone, recomputed whenever anything they came from changed (a parameter, the node's
// matrix at the same time, the wind file), and carried by a tornado's wind near the funnel
// but nowhere beyond its reach.
#include <cmath>
#include <filesystem>
#include <string>

#include "../fall/tornado_test_files.h"
#include "common/parallel_for.h"
#include "fallmod_fixture.h"
#include "host/scene_file.h"

namespace {

using fallmodtest::FallModTest;

void expectSameParticles(const FallModTest::Particles& a, const FallModTest::Particles& b, float tolerance = 0.0f) {
    ASSERT_EQ(a.points.size(), b.points.size());
    ASSERT_EQ(a.vels.size(), b.vels.size());
    for (size_t i = 0; i < a.points.size(); ++i) {
        ASSERT_NEAR(a.points[i].x, b.points[i].x, tolerance) << i;
        ASSERT_NEAR(a.points[i].y, b.points[i].y, tolerance) << i;
        ASSERT_NEAR(a.points[i].z, b.points[i].z, tolerance) << i;
        ASSERT_NEAR(a.vels[i].x, b.vels[i].x, tolerance) << i;
    }
}

// A fall that differs from a new one in every kind of value.
void stir(IParamBlock2* pb) {
    pb->SetValue(wx::kFallType, 0, int(wx::kFallRain));
    pb->SetValue(wx::kFallSeed, 0, 7);
    pb->SetValue(wx::kFallCount, 0, 5000);
    pb->SetValue(wx::kFallWindSpeed, 0, 40.0f);
    pb->SetValue(wx::kFallWindAngle, 0, 30.0f);
    pb->SetValue(wx::kFallColor, 0, Color(0.1f, 0.2f, 0.3f));
    pb->SetValue(wx::kFallTornadoFile, 0, L"C:/nowhere/wind.ttw");
}

TEST_F(FallModTest, ReloadAndCloneGiveTheSameParticles) {
    INode* node = addFall();
    node->SetPosition(0, Point3(120, 40, 10));
    stir(fallOf(node)->GetParamBlock(0));
    const Particles before = particlesAt(node, 2400);
    ASSERT_EQ(before.points.size(), 1000u);

    RemapDir remap;
    auto* copy = static_cast<wx::WeatherFall*>(fallOf(node)->Clone(remap));
    ASSERT_NE(copy->GetParamBlock(0), fallOf(node)->GetParamBlock(0)) << "the clone has its own block";
    INode* twin = addFall(copy);
    twin->SetPosition(0, Point3(120, 40, 10));
    expectSameParticles(particlesAt(twin, 2400), before);
    ip->DeleteNode(twin);

    const std::string path = (std::filesystem::temp_directory_path() / "wx_fallmod_reload.json").string();
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error)) << error;
    host::replaceScene(nullptr);
    ASSERT_TRUE(host::loadScene(path, error)) << error;
    std::filesystem::remove(path);
    INode* loaded = ip->GetRootNode()->GetChildNode(0);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->GetObjectRef()->ClassID(), wx::kWeatherFallClassID);
    IParamBlock2* pb = fallOf(loaded)->GetParamBlock(0);
    EXPECT_EQ(pb->GetColor(wx::kFallColor), Color(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(std::wstring(pb->GetStr(wx::kFallTornadoFile)), L"C:/nowhere/wind.ttw");
    expectSameParticles(particlesAt(loaded, 2400), before);
}

TEST_F(FallModTest, ParticlesFollowWhatTheyCameFrom) {
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    const Particles first = particlesAt(node, 0);
    EXPECT_EQ(fall->particleUpdates(), 1);
    particlesAt(node, 0);
    EXPECT_EQ(fall->particleUpdates(), 1) << "nothing changed: the arrays are kept";

    // Moved at the very same time: the particles move with the node.
    node->SetPosition(0, Point3(0, 0, 250));
    const Particles moved = particlesAt(node, 0);
    EXPECT_EQ(fall->particleUpdates(), 2);
    ASSERT_EQ(moved.points.size(), first.points.size());
    for (size_t i = 0; i < first.points.size(); ++i) ASSERT_NEAR(moved.points[i].z - first.points[i].z, 250.0f, 1e-3f);

    // A parameter change invalidates them too, and a new time recomputes.
    fall->GetParamBlock(0)->SetValue(wx::kFallVpPercent, 0, 10.0f);
    EXPECT_EQ(particlesAt(node, 0).points.size(), 2000u);
    EXPECT_EQ(fall->particleUpdates(), 3);
    particlesAt(node, 160);
    EXPECT_EQ(fall->particleUpdates(), 4);

    fall->GetParamBlock(0)->SetValue(wx::kFallVpMax, 0, 0);
    EXPECT_TRUE(particlesAt(node, 160).points.empty()) << "vpMax 0 shows none";
}

// With no worker thread to be had the host still gets an answer: no particles, and a
// fresh try at the next evaluation.
TEST_F(FallModTest, NoThreadsMeansNoParticlesNotACrash) {
    if (wx::parallelThreadCount() < 2) GTEST_SKIP() << "one hardware thread: no worker to fail";
    INode* node = addFall();
    // Enough groups of particles that the loop starts worker threads.
    fallOf(node)->GetParamBlock(0)->SetValue(wx::kFallCount, 0, 100000);
    fallOf(node)->GetParamBlock(0)->SetValue(wx::kFallVpPercent, 0, 100.0f);
    wx::failParallelWorkerStartAt(1);
    EXPECT_NO_THROW(particlesAt(node, 0));
    EXPECT_TRUE(fallOf(node)->parts.points.empty());
    wx::failParallelWorkerStartAt(-1);
    fallOf(node)->UpdateParticles(0, node);
    EXPECT_EQ(fallOf(node)->parts.points.size(), 100000u);
}

// A storm drifting 5 m/s along +X everywhere near it (a parent circulation far wider than
// the scene), 100 units per metre: 500 units per second of wind within 60 % of the default
// reach of 30,000 units.
class FallTornadoTest : public FallModTest {
protected:
    void SetUp() override {
        FallModTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("wx_fallmod_wind_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::vector<wx::TornadoFrame> frames(2, tornadotest::calmFrame());
        for (int i = 0; i < 2; ++i) {
            frames[size_t(i)].driftX = 5.0f;
            frames[size_t(i)].parentRadius = 1e7f;
            frames[size_t(i)].time = float(i) / 24.0f;
        }
        windPath = (folder / "storm.ttw").string();
        tornadotest::writeBytes(windPath, tornadotest::windFileBytes("TTWIND 1 2 0 24 100 140", frames));
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        FallModTest::TearDown();
    }
    std::filesystem::path folder;
    std::string windPath;
};

TEST_F(FallTornadoTest, WindCarriesParticlesNearTheFunnelOnly) {
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    IParamBlock2* pb = fall->GetParamBlock(0);
    const TimeValue t = 4800 * 10;
    const Particles calm = particlesAt(node, t);

    pb->SetValue(wx::kFallTornadoFile, 0, MSTR::FromUTF8(windPath.c_str()).c_str());
    const Particles windy = particlesAt(node, t);
    EXPECT_EQ(fall->tornadoStatus(), L"tornado: 2 frames from 0, 100 units/m, influence 1.00, reach 30000");
    ASSERT_EQ(windy.points.size(), calm.points.size());
    const float windPerTick = 500.0f / 4800.0f;
    for (size_t i = 0; i < calm.points.size(); ++i) {
        // Carried downwind for at most the 3 s window; the velocity gains the wind itself.
        const float dx = windy.points[i].x - calm.points[i].x;
        ASSERT_GT(dx, 0.0f) << i;
        ASSERT_LE(dx, 1500.0f + 0.01f) << i;
        ASSERT_NEAR(windy.points[i].z, calm.points[i].z, 1e-3f) << i;
        ASSERT_NEAR(windy.vels[i].x - calm.vels[i].x, windPerTick, 1e-5f) << i;
    }

    // Far beyond the reach the wind has died away: the particles fall as without it.
    node->SetPosition(t, Point3(40000, 0, 0));
    const Particles far = particlesAt(node, t);
    for (size_t i = 0; i < far.points.size(); ++i) {
        ASSERT_NEAR(far.points[i].x - 40000.0f, calm.points[i].x, 1e-2f) << i;
        ASSERT_NEAR(far.vels[i].x, calm.vels[i].x, 1e-6f) << i;
    }
}

// The host's particle display asks the object directly, with the node, whenever it draws.
TEST_F(FallTornadoTest, RewrittenWindFileRecomputesAtTheSameTime) {
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    fall->GetParamBlock(0)->SetValue(wx::kFallTornadoFile, 0, MSTR::FromUTF8(windPath.c_str()).c_str());
    fall->UpdateParticles(4800, node);
    const Particles drifting{fall->parts.points, fall->parts.vels};
    fall->UpdateParticles(4800, node);
    const int updates = fall->particleUpdates();
    EXPECT_EQ(updates, 1);
    // The tornado plug-in rewrites the file with the storm standing still.
    std::vector<wx::TornadoFrame> still(2, tornadotest::calmFrame());
    tornadotest::writeBytes(windPath, tornadotest::windFileBytes("TTWIND 1 2 0 24 100 140", still) + "more");
    fall->UpdateParticles(4800, node);
    const Particles stillNow{fall->parts.points, fall->parts.vels};
    EXPECT_EQ(fall->particleUpdates(), updates + 1);
    ASSERT_EQ(stillNow.points.size(), drifting.points.size());
    for (size_t i = 0; i < stillNow.points.size(); ++i) ASSERT_LT(stillNow.points[i].x, drifting.points[i].x) << i;
}

}  // namespace
