// The wet and glass materials of the materials library through the bridge: what each
// function makes of standard, glass, multi/sub-object and missing materials, its answer
// texts, that calling again replaces its own layer, and that restore gives back the very
// material the node wore, also after the scene was saved and opened with nothing held in
// memory, as in another run.
#include <cstdio>
#include <string>

#include "host/class_registry.h"
#include "host/scene_file.h"
#include "host/std_materials.h"
#include "max/param_block2.h"
#include "script_fixture.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"
#include "weathermap/map_params.h"
#include "weathermap/weather_map.h"

namespace scripttest {
namespace {

struct WetTest : MaterialsLibraryTest {
    ClassDesc* extraDesc() override { return wx::GetWeatherMapDesc(); }
    std::wstring on(const std::wstring& fn, const std::wstring& args = L"") {
        return L"TWeatherMtl." + fn + L" " + wx::nodeRef(box) + args;
    }
    // The Weather Map's mode in a material's slot; -1 for none or another map.
    static int mapMode(Mtl* m, int slot) {
        Texmap* map = m ? m->GetSubTexmap(slot) : nullptr;
        if (!map || map->ClassID() != wx::kWeatherMapClassID) return -1;
        return map->GetParamBlock(0)->GetInt(wx::kMapMode);
    }
    static float mapValue(Mtl* m, int slot, ParamID id) {
        return m->GetSubTexmap(slot)->GetParamBlock(0)->GetFloat(id);
    }
    static std::wstring name(Mtl* m) { return m ? m->GetName() : L"(none)"; }
};

TEST_F(WetTest, WetCopyIsDarkerGlossierAndCarriesItsMaps) {
    Mtl* stone = host::createStdMaterial(L"Stone", Color(0.5f, 0.4f, 0.3f), 20);
    box->SetMtl(stone);
    EXPECT_EQ(call(on(L"applyWet", L" 0.450 0.080 false")), L"Wet material on Box01");
    Mtl* wet = box->GetMtl();
    ASSERT_NE(wet, stone);
    EXPECT_EQ(name(wet), L"Stone (wet)");
    const Color dry(0.5f, 0.4f, 0.3f), now = host::diffuseOf(wet);
    EXPECT_LT(now.r, dry.r);
    EXPECT_NEAR(now.g / dry.g, now.r / dry.r, 1e-6f) << "darker, same hue";
    EXPECT_GT(host::glossinessOf(wet), 20.0f);
    EXPECT_EQ(mapMode(wet, ID_SH), 0);
    EXPECT_FLOAT_EQ(mapValue(wet, ID_SH, wx::kMapWetness), 0.45f);
    EXPECT_EQ(mapMode(wet, ID_SS), 1);
    EXPECT_FLOAT_EQ(mapValue(wet, ID_SS, wx::kMapPuddleAmount), 0.08f);
    EXPECT_EQ(mapMode(wet, ID_BU), -1) << "no rings asked for";
    EXPECT_EQ(host::diffuseOf(stone), dry) << "the original is left as it was";

    // Again, soaked with rings and no puddles: made from the original, not the wet copy.
    call(on(L"applyWet", L" 1.000 0.000 true"));
    Mtl* soaked = box->GetMtl();
    EXPECT_EQ(name(soaked), L"Stone (wet)");
    EXPECT_FLOAT_EQ(mapValue(soaked, ID_SH, wx::kMapWetness), 1.0f);
    EXPECT_EQ(mapMode(soaked, ID_SS), -1) << "no puddles at 0";
    EXPECT_EQ(mapMode(soaked, ID_BU), 2);
    EXPECT_GT(host::diffuseOf(soaked).r, 0.5f * 0.5f) << "darkened once, not twice";
    EXPECT_LT(host::diffuseOf(soaked).r, now.r);

    EXPECT_EQ(call(on(L"restore")), L"true");
    EXPECT_EQ(box->GetMtl(), stone);
    EXPECT_EQ(call(on(L"restore")), L"false");

    // No material at all: a grey wet one, and restore takes it off again.
    box->SetMtl(nullptr);
    call(on(L"applyWet", L" 0.5 0.2 false"));
    ASSERT_NE(box->GetMtl(), nullptr);
    EXPECT_EQ(mapMode(box->GetMtl(), ID_SH), 0);
    EXPECT_EQ(call(on(L"restore")), L"true");
    EXPECT_EQ(box->GetMtl(), nullptr);

    EXPECT_EQ(call(on(L"applyWet", L" \"wet\" 0.1 true"), false),
              L"ERROR: -- Runtime error: applyWet: argument 2 must be a number");
    EXPECT_EQ(call(on(L"applyWet", L" 0.5 0.1"), false),
              L"ERROR: -- Runtime error: applyWet: argument 4 must be true or false");
}

TEST_F(WetTest, GlassGetsDropsAndMultiGlassSlotsKeepThemWhenWetted) {
    Mtl* pane = host::createStdMaterial(L"Shop GLASS", Color(0.7f, 0.8f, 0.9f), 90);
    box->SetMtl(pane);
    EXPECT_EQ(call(on(L"applyGlass")), L"Drops on glass: Box01");
    EXPECT_EQ(mapMode(box->GetMtl(), ID_BU), 3);
    EXPECT_EQ(call(on(L"applyGlass")), L"Drops on glass: Box01");
    EXPECT_EQ(mapMode(box->GetMtl(), ID_BU), 3);
    EXPECT_EQ(name(box->GetMtl()), L"Shop GLASS (drops)") << "drops replace drops";
    EXPECT_EQ(call(on(L"restore")), L"true");
    EXPECT_EQ(box->GetMtl(), pane);

    Mtl* brick = host::createStdMaterial(L"Brick", Color(0.6f, 0.3f, 0.2f), 10);
    box->SetMtl(brick);
    EXPECT_EQ(call(on(L"applyGlass")), L"No glass in Box01");
    EXPECT_EQ(box->GetMtl(), brick);
    EXPECT_EQ(call(on(L"restore")), L"false") << "nothing was changed, nothing kept";

    // Glass by opacity alone, inside a multi with a frame shared by two slots.
    Mtl* clear = host::createStdMaterial(L"Clear", Color(1, 1, 1), 80);
    static_cast<StdMat2*>(clear)->SetOpacity(0.3f, 0);
    Mtl* frame = host::createStdMaterial(L"Frame", Color(0.2f, 0.2f, 0.2f), 30);
    Mtl* window = host::createMultiMaterial(L"Window", {frame, clear, frame}, {0, 1, 2});
    box->SetMtl(window);
    EXPECT_EQ(call(on(L"applyGlass")), L"Drops on the glass slots of Box01 (1 of 3)");
    Mtl* dropped = box->GetMtl();
    ASSERT_TRUE(dropped != window && dropped->NumSubMtls() == 3);
    EXPECT_EQ(dropped->GetSubMtl(0), frame);
    EXPECT_EQ(mapMode(dropped->GetSubMtl(1), ID_BU), 3);

    call(on(L"applyWet", L" 1.000 0.350 true"));
    Mtl* wet = box->GetMtl();
    ASSERT_EQ(wet->NumSubMtls(), 3);
    EXPECT_EQ(wet->GetSubMtl(0), wet->GetSubMtl(2)) << "a shared frame stays shared";
    EXPECT_EQ(mapMode(wet->GetSubMtl(0), ID_SH), 0);
    EXPECT_EQ(mapMode(wet->GetSubMtl(0), ID_BU), 2);
    EXPECT_EQ(mapMode(wet->GetSubMtl(1), ID_BU), 3) << "glass keeps its drops";
    EXPECT_EQ(mapMode(wet->GetSubMtl(1), ID_SH), -1) << "and is not wetted";
    EXPECT_EQ(window->GetSubMtl(1), clear) << "the original multi is untouched";

    EXPECT_EQ(call(on(L"restore")), L"true");
    EXPECT_EQ(box->GetMtl(), window);
}

TEST_F(WetTest, GlossWetLeavesTheSnowAlone) {
    Mtl* road = host::createStdMaterial(L"Road", Color(0.3f, 0.3f, 0.3f), 10);
    box->SetMtl(road);
    call(on(L"applySnow", L" 2 1 false"));
    Mtl* layered = box->GetMtl();
    Mtl* snow = layered->GetSubMtl(1);
    ASSERT_EQ(name(snow), L"Tarnwick Snow");
    EXPECT_EQ(call(on(L"glossWet")), L"Wet gloss beside the snow on Box01");
    EXPECT_EQ(box->GetMtl()->GetSubMtl(1), snow);
    Mtl* wetRoad = box->GetMtl()->GetSubMtl(0);
    EXPECT_EQ(name(wetRoad), L"Road (wet)");
    EXPECT_FLOAT_EQ(mapValue(wetRoad, ID_SH, wx::kMapWetness), 1.0f);
    EXPECT_FLOAT_EQ(mapValue(wetRoad, ID_SS, wx::kMapPuddleAmount), 0.25f);
    EXPECT_EQ(mapMode(wetRoad, ID_BU), -1);
    call(on(L"glossWet"));
    EXPECT_EQ(name(box->GetMtl()->GetSubMtl(0)), L"Road (wet)") << "not \"Road (wet) (wet)\"";
    EXPECT_EQ(call(on(L"restore")), L"true");
    EXPECT_EQ(box->GetMtl(), road);

    call(on(L"applySnow", L" 1 1 true"));
    EXPECT_EQ(call(on(L"glossWet"), false),
              L"ERROR: -- Runtime error: glossWet: Box01 wears only the snow layer; nothing to wet");
}

TEST_F(WetTest, OriginalComesBackAfterSavingAndOpeningInAFreshRun) {
    Mtl* clear = host::createStdMaterial(L"Clear", Color(0.9f, 0.95f, 1.0f), 85);
    static_cast<StdMat2*>(clear)->SetOpacity(0.5f, 0);
    clear->SetSubTexmap(ID_DI, host::createBitmapTex(L"panes.png"));
    Mtl* wall = host::createStdMaterial(L"Wall", Color(0.6f, 0.5f, 0.4f), 15);
    box->SetMtl(host::createMultiMaterial(L"Facade", {wall, clear}, {0, 4}));
    call(on(L"applyGlass"));
    call(on(L"applyWet", L" 1.000 0.350 true"));
    const ULONG handle = box->GetHandle();

    const std::string path = ::testing::TempDir() + "wx_wet_roundtrip.scene";
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error)) << error;
    // Another run: no material held in memory, a fresh scene read from the file.
    wx::resetMaterialsLibrary();
    host::replaceScene(nullptr);
    ASSERT_TRUE(host::loadScene(path, error)) << error;
    box = ip->GetINodeByHandle(handle);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(name(box->GetMtl()), L"Facade");
    EXPECT_EQ(mapMode(box->GetMtl()->GetSubMtl(0), ID_SH), 0) << "the weather was saved too";

    EXPECT_EQ(call(on(L"restore")), L"true");
    Mtl* back = box->GetMtl();
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->NumSubMtls(), 2);
    EXPECT_EQ(host::materialForIndex(back, 4), back->GetSubMtl(1)) << "material ids come back";
    Mtl* backWall = back->GetSubMtl(0);
    Mtl* backClear = back->GetSubMtl(1);
    EXPECT_EQ(name(backWall), L"Wall");
    EXPECT_EQ(host::diffuseOf(backWall), Color(0.6f, 0.5f, 0.4f));
    EXPECT_FLOAT_EQ(host::glossinessOf(backWall), 15.0f);
    EXPECT_EQ(mapMode(backWall, ID_SH), -1);
    EXPECT_EQ(name(backClear), L"Clear");
    EXPECT_FLOAT_EQ(host::opacityOf(backClear), 50.0f);
    EXPECT_EQ(backClear->GetSubTexmap(ID_BU), nullptr) << "no drops on the original";
    ASSERT_NE(backClear->GetSubTexmap(ID_DI), nullptr);
    EXPECT_EQ(std::wstring(backClear->GetSubTexmap(ID_DI)->GetParamBlock(0)->GetStr(host::kBitmapFile)), L"panes.png");
    EXPECT_EQ(call(on(L"restore")), L"false") << "the record went with the restore";
    std::remove(path.c_str());
}

}  // namespace
}  // namespace scripttest
