// MAKE WEATHER's rain through the real materials library: glass gets drops only, a
// multi/sub-object material with glass slots gets drops and wet, everything else wet; the
// whole is one undo step, and a second run replaces the first.
#include <gtest/gtest.h>

#include <string>

#include "host/std_materials.h"
#include "max/param_block2.h"
#include "weather_scene_fixture.h"
#include "weathermap/map_params.h"
#include "weathermap/map_tools.h"

namespace {

std::string narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());
}

int mapMode(Mtl* m, int slot) {
    Texmap* map = m ? m->GetSubTexmap(slot) : nullptr;
    if (!map || map->ClassID() != wx::kWeatherMapClassID) return -1;
    return map->GetParamBlock(0)->GetInt(wx::kMapMode);
}

std::wstring nameOf(Mtl* m) {
    return m ? m->GetName() : L"(none)";
}

struct MakeRainTest : WeatherSceneTest {
    // Four flat targets: a pane of glass, a shop front (brick and glass), a road, and a
    // slab with no material.
    void buildStreet() {
        addPlane(L"Pane", 100, {0, 0, 0})->SetMtl(host::createStdMaterial(L"Window glass", Color(0.8f, 0.9f, 1), 90));
        Mtl* brick = host::createStdMaterial(L"Brick", Color(0.6f, 0.3f, 0.2f), 10);
        Mtl* glass = host::createStdMaterial(L"Display", Color(1, 1, 1), 90);
        static_cast<StdMat2*>(glass)->SetOpacity(0.4f, 0);
        addPlane(L"Shop", 100, {200, 0, 0})->SetMtl(host::createMultiMaterial(L"Shop front", {brick, glass}, {0, 1}));
        addPlane(L"Road", 100, {400, 0, 0})->SetMtl(host::createStdMaterial(L"Asphalt", Color(0.2f, 0.2f, 0.2f), 10));
        addPlane(L"Slab", 100, {600, 0, 0});
    }
    // Each target's material by name, sub-materials in brackets.
    std::wstring materials() {
        std::wstring out;
        for (const wchar_t* n : {L"Pane", L"Shop", L"Road", L"Slab"}) {
            Mtl* m = node(n)->GetMtl();
            out += std::wstring(n) + L"=" + nameOf(m);
            for (int i = 0; m && i < m->NumSubMtls(); ++i) out += (i ? L"," : L"[") + nameOf(m->GetSubMtl(i));
            out += m && m->NumSubMtls() ? L"] " : L" ";
        }
        return out;
    }
};

TEST_F(MakeRainTest, StormDropsOnGlassWetsTheRestAndUndoesInOneStep) {
    buildStreet();
    const std::wstring dry = materials();
    wx::makeWeather(4, wx::kApplyScene, true, false, true);
    EXPECT_EQ(wx::lastWeatherReport(), L"Storm on 4 objects: 0 snowed, 3 wet, 2 glass with drops.\r\n")
        << narrow(wx::lastWeatherReport());
    EXPECT_EQ(materials(),
              L"Pane=Window glass (drops) Shop=Shop front[Brick (wet),Display (drops)] "
              L"Road=Asphalt (wet) Slab=Tarnwick Wet (wet) ");
    Mtl* pane = node(L"Pane")->GetMtl();
    EXPECT_EQ(mapMode(pane, ID_BU), 3);
    EXPECT_EQ(mapMode(pane, ID_SH), -1) << "glass alone gets no wet";
    Mtl* shop = node(L"Shop")->GetMtl();
    EXPECT_EQ(mapMode(shop->GetSubMtl(1), ID_BU), 3);
    Mtl* wetBrick = shop->GetSubMtl(0);
    EXPECT_EQ(mapMode(wetBrick, ID_BU), 2) << "Storm rains rings";
    EXPECT_FLOAT_EQ(wetBrick->GetSubTexmap(ID_SH)->GetParamBlock(0)->GetFloat(wx::kMapWetness), 1.0f);
    EXPECT_FLOAT_EQ(wetBrick->GetSubTexmap(ID_SS)->GetParamBlock(0)->GetFloat(wx::kMapPuddleAmount), 0.35f);

    // Twice is the same as once: each layer replaces its own.
    wx::makeWeather(4, wx::kApplyScene, true, false, true);
    EXPECT_EQ(materials(),
              L"Pane=Window glass (drops) Shop=Shop front[Brick (wet),Display (drops)] "
              L"Road=Asphalt (wet) Slab=Tarnwick Wet (wet) ");

    ASSERT_TRUE(host::undo());
    ASSERT_TRUE(host::undo());
    host::freeRetiredScenes();
    EXPECT_EQ(materials(), dry);
    EXPECT_EQ(node(L"Road")->NumAppDataChunks(), 0) << "the record goes with the step";
}

}  // namespace
