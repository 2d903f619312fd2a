// The Weather Map's parameter block against a copy of its parameter list written here by
// hand from the map's documentation, its class as the host sees it, and its three rollouts
// in the material editor: a slip in the table (an id, a range, a control, a flag) fails here.
#include <filesystem>
#include <string>
#include <vector>

#include "host/ui_model.h"
#include "mapglue_fixture.h"
#include "max/auto_mparam_dlg.h"

namespace {

using mapgluetest::MapGlueTest;

enum class Ctl { Combo, IntSpin, WorldSpin, FloatSpin, Check };

struct Expected {
    int id;
    const wchar_t* name;
    int type;
    bool animatable;
    const wchar_t* label;
    double def, lo, hi;
    int map;
    Ctl ctl;
    std::vector<int> controls;
    float scale;
};

// clang-format off
const std::vector<Expected> kDocumented = {
    {0, L"mode", TYPE_INT, false, L"Output", 0, 0, 4, 0, Ctl::Combo, {2801}, 0},
    {14, L"seed", TYPE_INT, true, L"Seed", 1, 0, 999999, 0, Ctl::IntSpin, {2802, 2803}, 1},
    {19, L"invert", TYPE_BOOL, false, L"Invert", 0, 0, 0, 0, Ctl::Check, {2804}, 0},
    {15, L"animSpeed", TYPE_FLOAT, true, L"Animation speed", 1, 0, 100, 0, Ctl::FloatSpin, {2805, 2806}, 0.05f},
    {21, L"usePaint", TYPE_BOOL, false, L"Use painted colour (white = full)", 0, 0, 0, 0, Ctl::Check, {2807}, 0},
    {22, L"paintChannel", TYPE_INT, true, L"Map channel (0 = vertex colour)", 0, -2, 99, 0, Ctl::IntSpin, {2808, 2809}, 1},
    {1, L"wetness", TYPE_FLOAT, true, L"Wetness", 1, 0, 1, 1, Ctl::FloatSpin, {2810, 2811}, 0.01f},
    {2, L"upFacing", TYPE_FLOAT, true, L"Mostly on upward faces", 0.7, 0, 1, 1, Ctl::FloatSpin, {2812, 2813}, 0.01f},
    {16, L"breakup", TYPE_FLOAT, true, L"Dry patches", 0.3, 0, 1, 1, Ctl::FloatSpin, {2814, 2815}, 0.01f},
    {17, L"breakupScale", TYPE_WORLD, true, L"Patch size", 100, 0.001, 1e7, 1, Ctl::WorldSpin, {2816, 2817}, 1},
    {20, L"sheltered", TYPE_BOOL, false, L"Under cover stays dry", 1, 0, 0, 1, Ctl::Check, {2818}, 0},
    {3, L"puddleAmount", TYPE_FLOAT, true, L"Puddle cover", 0.3, 0, 1, 1, Ctl::FloatSpin, {2819, 2820}, 0.01f},
    {4, L"puddleScale", TYPE_WORLD, true, L"Puddle size", 200, 0.001, 1e7, 1, Ctl::WorldSpin, {2821, 2822}, 1},
    {5, L"puddleEdge", TYPE_FLOAT, true, L"Edge softness", 0.1, 0.001, 1, 1, Ctl::FloatSpin, {2823, 2824}, 0.01f},
    {18, L"flatOnly", TYPE_FLOAT, true, L"Only flatter than (cos)", 0.97, 0, 1, 1, Ctl::FloatSpin, {2825, 2826}, 0.005f},
    {6, L"rippleScale", TYPE_WORLD, true, L"Ring spacing cell", 30, 0.001, 1e6, 2, Ctl::WorldSpin, {2827, 2828}, 0.5f},
    {7, L"rippleSpeed", TYPE_FLOAT, true, L"Drops per second", 1, 0, 50, 2, Ctl::FloatSpin, {2829, 2830}, 0.05f},
    {8, L"rippleDensity", TYPE_FLOAT, true, L"Ring strength", 1, 0, 10, 2, Ctl::FloatSpin, {2831, 2832}, 0.05f},
    {9, L"dropScale", TYPE_WORLD, true, L"Drop size", 0.4, 0.0001, 100000, 2, Ctl::WorldSpin, {2833, 2834}, 0.01f},
    {10, L"dropSpeed", TYPE_WORLD, true, L"Run speed (/s)", 8, 0, 1e6, 2, Ctl::WorldSpin, {2835, 2836}, 0.1f},
    {11, L"dropDensity", TYPE_FLOAT, true, L"Drops", 1, 0, 10, 2, Ctl::FloatSpin, {2837, 2838}, 0.05f},
    {12, L"sparkleDensity", TYPE_FLOAT, true, L"Sparkle amount", 0.04, 0, 1, 2, Ctl::FloatSpin, {2839, 2840}, 0.005f},
    {13, L"sparkleScale", TYPE_WORLD, true, L"Sparkle size", 0.25, 0.0001, 100000, 2, Ctl::WorldSpin, {2841, 2842}, 0.01f},
};
// clang-format on

int controlTypeOf(Ctl c) {
    switch (c) {
        case Ctl::Combo:
            return TYPE_INT_COMBOBOX;
        case Ctl::Check:
            return TYPE_SINGLECHECKBOX;
        default:
            return TYPE_SPINNER;
    }
}

TEST_F(MapGlueTest, BlockMatchesTheDocumentedParameters) {
    wx::WeatherMap* map = newMap();
    IParamBlock2* pb = map->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->ID(), 0);
    EXPECT_EQ(pb->GetDesc()->int_name, L"params");
    EXPECT_TRUE(pb->GetDesc()->flags & P_AUTO_UI);
    EXPECT_EQ(map->NumRefs(), 1);
    EXPECT_EQ(map->GetReference(0), pb);
    EXPECT_EQ(map->SubAnim(0), pb);
    ASSERT_EQ(pb->NumParams(), int(kDocumented.size()));
    for (int index = 0; index < pb->NumParams(); ++index) {
        const Expected& e = kDocumented[size_t(index)];
        const ParamDef& d = pb->GetDesc()->paramdefs(index);
        SCOPED_TRACE(std::wstring(e.name));
        EXPECT_EQ(d.ID, e.id) << "declaration order";
        EXPECT_EQ(d.int_name, e.name);
        EXPECT_EQ(d.type, e.type);
        EXPECT_EQ(d.animatable(), e.animatable);
        EXPECT_EQ(d.label, e.label);
        EXPECT_EQ(d.ctrl_map, e.map);
        EXPECT_EQ(d.ctrl_type, controlTypeOf(e.ctl));
        EXPECT_EQ(d.ctrl_ids, e.controls);
        if (e.type == TYPE_FLOAT || e.type == TYPE_WORLD) {
            EXPECT_FLOAT_EQ(d.def_f, float(e.def));
            EXPECT_FLOAT_EQ(d.range_lo, float(e.lo));
            EXPECT_FLOAT_EQ(d.range_hi, float(e.hi));
            EXPECT_EQ(d.spin_type, e.type == TYPE_WORLD ? EDITTYPE_UNIVERSE : EDITTYPE_FLOAT);
            EXPECT_FLOAT_EQ(d.spin_scale, e.scale);
        } else {
            EXPECT_EQ(d.def_i, int(e.def));
        }
        if (e.type == TYPE_INT) {
            EXPECT_EQ(d.irange_lo, int(e.lo));
            EXPECT_EQ(d.irange_hi, int(e.hi));
        }
        if (e.ctl == Ctl::IntSpin) {
            EXPECT_EQ(d.spin_type, EDITTYPE_INT);
            EXPECT_FLOAT_EQ(d.spin_scale, e.scale);
        }
    }
    const ParamDef& mode = pb->GetParamDef(wx::kMapMode);
    EXPECT_EQ(std::vector<int>(mode.items.begin(), mode.items.end()), (std::vector<int>{3901, 3902, 3903, 3904, 3905}));

    // Three rollouts, all open, dialogs 2600 to 2602.
    const std::vector<ParamRollout>& rollouts = pb->GetDesc()->rollouts;
    ASSERT_EQ(rollouts.size(), 3u);
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(rollouts[size_t(m)].map, m);
        EXPECT_EQ(rollouts[size_t(m)].dialogId, 2600 + m);
        EXPECT_EQ(rollouts[size_t(m)].rollupFlags, 0) << "map " << m;
    }
    map->DeleteThis();
}

TEST_F(MapGlueTest, IsAWorldSpace3DMapWithoutSubMaps) {
    wx::WeatherMap* map = newMap();
    EXPECT_EQ(map->SuperClassID(), SClass_ID(TEXMAP_CLASS_ID));
    EXPECT_EQ(map->ClassID(), Class_ID(0xD7661B99, 0x85E20DB5));
    EXPECT_EQ(map->Requirements(0), ULONG(0x8040));
    EXPECT_EQ(map->NumSubTexmaps(), 0);
    Matrix3 uv(0);
    map->GetUVTransform(uv);
    EXPECT_EQ(uv, Matrix3());
    ClassDesc2* desc = wx::GetWeatherMapDesc();
    EXPECT_STREQ(desc->Category(), TEXMAP_CAT_3D);
    EXPECT_STREQ(desc->InternalName(), L"WeatherMap");
    EXPECT_STREQ(desc->ClassName(), L"Weather Map");
    EXPECT_EQ(desc->SuperClassID(), SClass_ID(TEXMAP_CLASS_ID));
    map->DeleteThis();
}

struct MapEditorTest : MapGlueTest {
    void SetUp() override {
        MapGlueTest::SetUp();
        std::string error;
        const auto file = std::filesystem::path(WX_SOURCE_DIR) / "resources" / "weather_map.json";
        ASSERT_TRUE(host::ui::loadResources(file.string(), error)) << error;
    }
    void TearDown() override {
        host::ui::resetUi();
        MapGlueTest::TearDown();
    }
};

struct EditorParams : IMtlParams {
    TimeValue GetTime() override { return 0; }
};

// The material editor opens the map's three rollouts; a typed value reaches the block
// (clamped as the spinner does) and the next Update; the dialog follows another map; closing
// removes the rollouts.
TEST_F(MapEditorTest, EditorRolloutsDriveTheMap) {
    wx::WeatherMap* map = newMap();
    EditorParams imp;
    ParamDlg* dlg = map->CreateParamDlg(nullptr, &imp);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->ClassID(), wx::kWeatherMapClassID);
    EXPECT_EQ(dlg->GetThing(), map);
    EXPECT_EQ(static_cast<IAutoMParamDlg*>(dlg)->NumDlgs(), 3);
    const std::vector<host::ui::Rollout> open = host::ui::rollouts();
    ASSERT_EQ(open.size(), 3u);
    EXPECT_EQ(open[0].title, L"Tarnwick Weather Map");
    EXPECT_EQ(open[1].title, L"Wetness & Puddles");
    EXPECT_EQ(open[2].title, L"Ripples, Drops, Sparkle");

    update(map);
    HWND wet = host::ui::findRollout(2601);
    ASSERT_NE(wet, nullptr);
    EXPECT_EQ(std::stof(host::ui::controlText(wet, 2819)), 0.3f);
    ASSERT_TRUE(host::ui::typeText(wet, 2819, L"7"));
    EXPECT_EQ(map->GetParamBlock(0)->GetFloat(wx::kMapPuddleAmount, 0), 1.0f) << "clamped to the range";
    update(map);
    EXPECT_EQ(map->state().puddleAmount, 1.0f) << "a change empties the cache's validity";
    HWND main = host::ui::findRollout(2600);
    ASSERT_TRUE(host::ui::selectItem(main, 2801, 3));
    update(map);
    EXPECT_EQ(map->state().mode, 3);

    // Another map of the class shows in the same rollouts.
    wx::WeatherMap* other = newMap();
    dlg->SetThing(other);
    EXPECT_EQ(std::stof(host::ui::controlText(wet, 2819)), 0.3f);
    ASSERT_TRUE(host::ui::typeText(wet, 2823, L"0.5"));
    EXPECT_EQ(other->GetParamBlock(0)->GetFloat(wx::kMapPuddleEdge, 0), 0.5f);
    EXPECT_EQ(map->GetParamBlock(0)->GetFloat(wx::kMapPuddleEdge, 0), 0.1f);

    dlg->DeleteThis();
    EXPECT_TRUE(host::ui::rollouts().empty());
    map->DeleteThis();
    other->DeleteThis();
}

}  // namespace
