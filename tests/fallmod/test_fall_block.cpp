// The fall object's parameter block against a copy of its parameter list written here by
// hand from the object's documentation, and what a new object shows: a slip in the
// parameter table (an id, a range, a control, a flag) fails here.
#include <string>
#include <vector>

#include "fall/fall_icon.h"
#include "fallmod_fixture.h"

namespace {

using fallmodtest::FallModTest;

enum class Ctl { Combo, IntSpin, WorldSpin, FloatSpin, Check, Swatch, Pick, Edit };

struct Expected {
    int id;
    const wchar_t* name;
    int type;
    bool animatable;
    const wchar_t* label;
    double def;  // numbers and bools; colours below
    double lo, hi;
    int map;
    Ctl ctl;
    std::vector<int> controls;
    float scale;
    std::vector<int> items = {};
};

// clang-format off
const std::vector<Expected> kDocumented = {
    {0, L"type", TYPE_INT, false, L"Falling", 0, 0, 2, 0, Ctl::Combo, {2401}, 0, {4301, 4302, 4303}},
    {1, L"count", TYPE_INT, true, L"Count", 20000, 0, 10000000, 0, Ctl::IntSpin, {2402, 2403}, 1000},
    {13, L"seed", TYPE_INT, true, L"Seed", 1, 0, 999999, 0, Ctl::IntSpin, {2404, 2405}, 1},
    {2, L"width", TYPE_WORLD, true, L"Width", 1000, 0.001, 1e8, 0, Ctl::WorldSpin, {2406, 2407}, 10},
    {3, L"length", TYPE_WORLD, true, L"Length", 1000, 0.001, 1e8, 0, Ctl::WorldSpin, {2408, 2409}, 10},
    {4, L"height", TYPE_WORLD, true, L"Height", 500, 0.001, 1e8, 0, Ctl::WorldSpin, {2410, 2411}, 10},
    {14, L"vpPercent", TYPE_FLOAT, true, L"Viewport %", 20, 0, 100, 0, Ctl::FloatSpin, {2412, 2413}, 1},
    {5, L"speed", TYPE_WORLD, true, L"Fall speed (/s)", 100, 0, 1e7, 1, Ctl::WorldSpin, {2414, 2415}, 1},
    {18, L"speedVar", TYPE_FLOAT, true, L"Speed random", 0.3, 0, 1, 1, Ctl::FloatSpin, {2416, 2417}, 0.01f},
    {6, L"windAngle", TYPE_FLOAT, true, L"Blows toward (deg)", 0, -360, 360, 1, Ctl::FloatSpin, {2418, 2419}, 1},
    {7, L"windSpeed", TYPE_WORLD, true, L"Wind speed (/s)", 0, 0, 1e7, 1, Ctl::WorldSpin, {2420, 2421}, 1},
    {19, L"gust", TYPE_FLOAT, true, L"Gusts", 0.3, 0, 2, 1, Ctl::FloatSpin, {2422, 2423}, 0.01f},
    {8, L"turbulence", TYPE_WORLD, true, L"Sway", 20, 0, 1e7, 1, Ctl::WorldSpin, {2424, 2425}, 0.5f},
    {9, L"turbFreq", TYPE_FLOAT, true, L"Sway frequency (Hz)", 0.5, 0, 50, 1, Ctl::FloatSpin, {2426, 2427}, 0.05f},
    {10, L"size", TYPE_WORLD, true, L"Size", 0.6, 0.0001, 100000, 2, Ctl::WorldSpin, {2428, 2429}, 0.01f},
    {11, L"sizeVar", TYPE_FLOAT, true, L"Size random", 0.5, 0, 1, 2, Ctl::FloatSpin, {2430, 2431}, 0.01f},
    {16, L"tumble", TYPE_BOOL, false, L"Flakes tumble", 1, 0, 0, 2, Ctl::Check, {2432}, 0},
    {17, L"matID", TYPE_INT, true, L"Material ID", 1, 1, 65535, 2, Ctl::IntSpin, {2433, 2434}, 1},
    {12, L"streak", TYPE_FLOAT, true, L"Streak (s of motion)", 0.03, 0, 1, 2, Ctl::FloatSpin, {2435, 2436}, 0.005f},
    {15, L"dropWidth", TYPE_WORLD, true, L"Streak width", 0.06, 0.0001, 10000, 2, Ctl::WorldSpin, {2437, 2438}, 0.01f},
    {20, L"renderMode", TYPE_INT, false, L"Render as", 0, 0, 1, 3, Ctl::Combo, {2439}, 0, {4304, 4305}},
    {21, L"color", TYPE_RGBA, true, L"Colour", 0, 0, 0, 3, Ctl::Swatch, {2440}, 0},
    {22, L"opacity", TYPE_FLOAT, true, L"Opacity", 0.8, 0, 1, 3, Ctl::FloatSpin, {2441, 2442}, 0.01f},
    {23, L"brightness", TYPE_FLOAT, true, L"Brightness", 1, 0, 20, 3, Ctl::FloatSpin, {2443, 2444}, 0.05f},
    {25, L"shutter", TYPE_FLOAT, true, L"Snow motion smear (s)", 0, 0, 1, 3, Ctl::FloatSpin, {2445, 2446}, 0.005f},
    {26, L"hiddenByScene", TYPE_BOOL, false, L"Hidden behind scene objects", 1, 0, 0, 3, Ctl::Check, {2447}, 0},
    {24, L"vpMax", TYPE_INT, true, L"Viewport max", 100000, 0, 10000000, 0, Ctl::IntSpin, {2448, 2449}, 1000},
    {32, L"collide", TYPE_BOOL, false, L"Stop at the scene (roofs, cars, ground)", 1, 0, 0, 4, Ctl::Check, {2450}, 0},
    {33, L"splashHeight", TYPE_WORLD, true, L"Splash height", 4, 0, 100000, 4, Ctl::WorldSpin, {2451, 2452}, 0.1f},
    {34, L"splashAmount", TYPE_FLOAT, true, L"Splashes", 1, 0, 5, 4, Ctl::FloatSpin, {2453, 2454}, 0.05f},
    {41, L"dripAmount", TYPE_FLOAT, true, L"Run-off from edges", 1, 0, 20, 4, Ctl::FloatSpin, {2455, 2456}, 0.05f},
    {35, L"fogDensity", TYPE_FLOAT, true, L"Fog (per km)", 0, 0, 50, 4, Ctl::FloatSpin, {2457, 2458}, 0.05f},
    {36, L"fogColor", TYPE_RGBA, true, L"Fog colour", 0, 0, 0, 4, Ctl::Swatch, {2459}, 0},
    {37, L"fogFar", TYPE_WORLD, true, L"Sky distance", 200000, 1, 1e9, 4, Ctl::WorldSpin, {2460, 2461}, 100},
    {38, L"lightGlow", TYPE_FLOAT, true, L"Lamp glow in the haze", 1, 0, 50, 4, Ctl::FloatSpin, {2462, 2463}, 0.05f},
    {39, L"glowRadius", TYPE_WORLD, true, L"Glow size", 300, 0.1, 1e7, 4, Ctl::WorldSpin, {2464, 2465}, 10},
    {40, L"rainGlint", TYPE_FLOAT, true, L"Drops lit by lamps", 1, 0, 50, 4, Ctl::FloatSpin, {2466, 2467}, 0.05f},
    {27, L"tornadoNode", TYPE_INODE, false, L"Tornado", 0, 0, 0, 5, Ctl::Pick, {2468}, 0},
    {28, L"tornadoFile", TYPE_STRING, false, L"or wind file (.ttw)", 0, 0, 0, 5, Ctl::Edit, {2469}, 0},
    {29, L"tornadoInfluence", TYPE_FLOAT, true, L"Influence", 1, 0, 5, 5, Ctl::FloatSpin, {2470, 2471}, 0.05f},
    {30, L"tornadoWindow", TYPE_FLOAT, true, L"Carried for (s)", 3, 0.1, 30, 5, Ctl::FloatSpin, {2472, 2473}, 0.1f},
    {31, L"tornadoReach", TYPE_WORLD, true, L"Reach from the funnel", 30000, 1, 1e8, 5, Ctl::WorldSpin, {2474, 2475}, 100},
};
// clang-format on

int controlTypeOf(Ctl c) {
    switch (c) {
        case Ctl::Combo:
            return TYPE_INT_COMBOBOX;
        case Ctl::Check:
            return TYPE_SINGLECHECKBOX;
        case Ctl::Swatch:
            return TYPE_COLORSWATCH;
        case Ctl::Pick:
            return TYPE_PICKNODEBUTTON;
        case Ctl::Edit:
            return TYPE_EDITBOX;
        default:
            return TYPE_SPINNER;
    }
}

TEST_F(FallModTest, BlockMatchesTheDocumentedParameters) {
    wx::WeatherFall* fall = newFall();
    IParamBlock2* pb = fall->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->ID(), 0);
    EXPECT_EQ(pb->GetDesc()->int_name, L"params");
    EXPECT_EQ(fall->GetReference(0), pb);
    EXPECT_EQ(fall->SubAnim(0), pb);
    EXPECT_EQ(fall->SubAnimName(0), L"Parameters");
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
        EXPECT_EQ(d.local_name, 3401 + index) << "labels are strings 3401.. in declaration order";
        EXPECT_EQ(d.ctrl_map, e.map);
        EXPECT_EQ(d.ctrl_type, controlTypeOf(e.ctl));
        EXPECT_EQ(d.ctrl_ids, e.controls);
        if (e.type == TYPE_FLOAT || e.type == TYPE_WORLD) {
            EXPECT_FLOAT_EQ(d.def_f, float(e.def));
            EXPECT_FLOAT_EQ(d.range_lo, float(e.lo));
            EXPECT_FLOAT_EQ(d.range_hi, float(e.hi));
            EXPECT_EQ(d.spin_type, e.type == TYPE_WORLD ? EDITTYPE_UNIVERSE : EDITTYPE_FLOAT);
            EXPECT_FLOAT_EQ(d.spin_scale, e.scale);
        }
        if (e.type == TYPE_INT || e.type == TYPE_BOOL) {
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
        EXPECT_EQ(std::vector<int>(d.items.begin(), d.items.end()), e.items);
    }
    EXPECT_EQ(pb->GetDesc()->GetParamDef(wx::kFallTornadoNode)->prompt, 3438);
    EXPECT_EQ(pb->GetColor(wx::kFallColor), Color(0.9f, 0.92f, 0.95f));
    EXPECT_EQ(pb->GetColor(wx::kFallFogColor), Color(0.55f, 0.6f, 0.68f));
    EXPECT_EQ(pb->GetINode(wx::kFallTornadoNode), nullptr);
    EXPECT_EQ(std::wstring(pb->GetStr(wx::kFallTornadoFile)), L"");

    // Seven rollouts: the main one open, the rest rolled up.
    const std::vector<ParamRollout>& rollouts = pb->GetDesc()->rollouts;
    const int dialogs[] = {2200, 2201, 2202, 2203, 2204, 2205, 7702};
    ASSERT_EQ(rollouts.size(), 7u);
    for (int map = 0; map < 7; ++map) {
        EXPECT_EQ(rollouts[size_t(map)].map, map);
        EXPECT_EQ(rollouts[size_t(map)].dialogId, dialogs[map]);
        EXPECT_EQ(rollouts[size_t(map)].rollupFlags != 0, map != 0) << "map " << map;
    }
    fall->DeleteThis();
}

TEST_F(FallModTest, NewObjectShowsItsDefaultVolume) {
    wx::WeatherFall* fall = newFall();
    MSTR name;
    fall->GetClassName(name);
    EXPECT_EQ(name, L"WeatherFall");
    // Nothing has been rendered or fetched yet.
    auto* mixin = dynamic_cast<FPInterface*>(fall->GetInterface(wx::kWeatherFallFPInterfaceID));
    ASSERT_NE(mixin, nullptr);
    EXPECT_EQ(fall->GetInterface(Interface_ID(0x2C7E94A1, 0x51D03B6F)), nullptr);
    FPValue status;
    ASSERT_EQ(mixin->Invoke(wx::kFallFnStatus, status), FPS_OK);
    EXPECT_EQ(std::wstring(status.tstr->c_str()), L"not rendered yet | no tornado");

    INode* node = addFall(fall);
    node->SetPosition(0, Point3(300, -200, 50));
    const Particles p = particlesAt(node, 0);
    EXPECT_EQ(p.points.size(), 4000u) << "20 % of 20,000 in the viewport";
    EXPECT_EQ(fall->parts.ages.size(), 4000u);
    // The emitter is the volume with its pivot at the centre of the base, then the icon.
    Box3 box;
    for (int v = 0; v < 8; ++v) box += fall->mesh.verts[v];
    EXPECT_EQ(fall->mesh.numFaces, 12 + int(wx::fallIconLines(90.0f).size() / 2));
    EXPECT_EQ(box.pmin, Point3(-500, -500, 0));
    EXPECT_EQ(box.pmax, Point3(500, 500, 500));
    // World space: inside the moved volume, falling at 70 to 100 units per second.
    for (size_t i = 0; i < p.points.size(); ++i) {
        EXPECT_GE(p.points[i].z, 50.0f);
        EXPECT_LE(p.points[i].z, 550.0f);
        EXPECT_GE(p.points[i].x, -200.0f - 0.01f);
        EXPECT_LT(p.points[i].x, 800.0f + 0.01f);
        const float fallPerSecond = -p.vels[i].z * 4800.0f;
        EXPECT_GE(fallPerSecond, 70.0f - 1e-3f);
        EXPECT_LE(fallPerSecond, 100.0f + 1e-3f);
    }
    EXPECT_EQ(fall->GetValidity(960), Interval(960, 960));
}

TEST_F(FallModTest, IntegersAnimateButTheChoicesDoNot) {
    wx::WeatherFall* fall = newFall();
    IParamBlock2* pb = fall->GetParamBlock(0);
    for (auto id : {wx::kFallType, wx::kFallRenderMode}) EXPECT_FALSE(pb->GetParamDef(id).animatable()) << id;
    for (auto id : {wx::kFallCount, wx::kFallSeed, wx::kFallVpMax, wx::kFallMatID}) {
        EXPECT_TRUE(pb->GetParamDef(id).animatable()) << id;
        EXPECT_EQ(pb->GetParamDef(id).type, TYPE_INT) << id;
    }
    fall->DeleteThis();
}

}  // namespace
