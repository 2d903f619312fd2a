// What MAKE WEATHER sends for a preset: per-target snow settings against values worked out
// by hand from the rules, the fall volume's box and count, and the script texts byte for
// byte, in any locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "utility/weather_presets.h"

namespace {

using wx::TargetBox;
using wx::V3;

const wx::WeatherPreset& preset(const wchar_t* name) {
    return wx::weatherPresets()[*wx::findWeatherPreset(name)];
}

TargetBox box(float x, float y, float z) {
    return {V3{x, y, z}, false};
}

TEST(WeatherPresets, AreFoundByNumberOrByNameInAnyCase) {
    ASSERT_EQ(wx::weatherPresets().size(), 7u);
    EXPECT_EQ(wx::findWeatherPreset(L"1"), 0u);
    EXPECT_EQ(wx::findWeatherPreset(L"7"), 6u);
    EXPECT_EQ(wx::findWeatherPreset(L"heavy SNOW"), 1u);
    for (const wchar_t* none : {L"0", L"8", L"007", L"", L"Heavy", L"-1"}) EXPECT_FALSE(wx::findWeatherPreset(none));
    EXPECT_TRUE(wx::isWinterNight(preset(L"winter night")));
    EXPECT_EQ(std::wstring(wx::weatherKindName(preset(L"Storm").kind)), L"rain");
}

TEST(WeatherPresets, WinterNightSizesEachTargetFromItsBox) {
    const wx::WeatherPreset& wn = preset(L"Winter night");
    // A ground plane 10 m wide and 1 cm thick: thin cover, patchy, glossed, no overhang.
    const wx::SnowTargetPlan ground = wx::planSnowTarget(wn, box(1000, 1000, 1), 1.0);
    EXPECT_FLOAT_EQ(ground.depth, 3.0f);
    EXPECT_FLOAT_EQ(ground.coverage, 0.5f);
    EXPECT_FLOAT_EQ(ground.patchScale, 250.0f);
    EXPECT_FALSE(ground.overhang);
    EXPECT_TRUE(ground.gloss);
    // A 20 cm post 3 m tall: full depth, edge 5, detail 20/6, a 6 cm overhang.
    const wx::SnowTargetPlan post = wx::planSnowTarget(wn, box(20, 20, 300), 1.0);
    EXPECT_FLOAT_EQ(post.depth, 10.0f);
    EXPECT_FLOAT_EQ(post.edgeRound, 5.0f);
    EXPECT_FLOAT_EQ(post.resolution, 20.0f / 6.0f);
    EXPECT_FLOAT_EQ(*post.overhang, 6.0f);
    EXPECT_FALSE(post.gloss);
    // A 5 cm rail 2 m long: depth 0.6 x 5, edge 1.25, detail 5/6, overhang 1.5.
    const wx::SnowTargetPlan rail = wx::planSnowTarget(wn, box(200, 5, 5), 1.0);
    EXPECT_FLOAT_EQ(rail.depth, 3.0f);
    EXPECT_FLOAT_EQ(rail.edgeRound, 1.25f);
    EXPECT_FLOAT_EQ(rail.resolution, 5.0f / 6.0f);
    EXPECT_FLOAT_EQ(*rail.overhang, 1.5f);
    EXPECT_EQ(wx::snowPairs(rail),
              L"#(#(#depth,3),#(#coverage,1),#(#noiseAmount,0.3),#(#noiseScale,60),#(#patchScale,120),"
              L"#(#edgeRound,1.25),#(#slopeMax,62),#(#drift,0.15),#(#leeDist,400),#(#resolution,0.833333),"
              L"#(#maxTris,2000000),#(#uvScale,100),#(#groundCover,0.35),#(#groundBand,40),#(#overhang,1.5),"
              L"#(#enabled,true))");
    // A 30 m square anything is huge: glossed too.
    EXPECT_TRUE(wx::planSnowTarget(wn, box(3000, 3000, 500), 1.0).gloss);
}

TEST(WeatherPresets, MetreScenesScaleEveryLength) {
    const wx::SnowTargetPlan s = wx::planSnowTarget(preset(L"Heavy snow"), box(1, 1, 1), 0.01);
    EXPECT_EQ(wx::snowPairs(s),
              L"#(#(#depth,0.14),#(#coverage,1),#(#noiseAmount,0.25),#(#noiseScale,0.6),#(#patchScale,1.2),"
              L"#(#edgeRound,0.07),#(#slopeMax,60),#(#drift,0),#(#leeDist,4),#(#resolution,0.049),"
              L"#(#maxTris,2000000),#(#uvScale,1),#(#enabled,true))");
    // An empty box counts as a huge one: edge and detail come from the preset alone.
    const wx::SnowTargetPlan empty = wx::planSnowTarget(preset(L"Light dusting"), TargetBox{}, 1.0);
    EXPECT_FLOAT_EQ(empty.edgeRound, 1.0f);
    EXPECT_FLOAT_EQ(empty.resolution, 1.0f);  // max(0.5, 0.525) raised to the 1 cm floor
    // Sand closes its uvScale pair before the last one.
    EXPECT_EQ(wx::sandPairs(0.01),
              L"#(#(#depth,0.03),#(#coverage,0.75),#(#noiseAmount,0.6),#(#noiseScale,0.8),#(#patchScale,2),"
              L"#(#edgeRound,0.04),#(#slopeMax,40.0),#(#drift,0.8),#(#leeDist,5),#(#resolution,0.04),"
              L"#(#uvScale,1),#(#enabled,true))");
}

TEST(WeatherPresets, TheFallCoversTheTargetsWithAFlooredAndCappedCount) {
    // A 2 m x 2 m target: 500 particles, not 4.84 x 5.
    const wx::FallPlan small = wx::planFall(preset(L"Heavy snow"), {0, 0, 0}, {200, 200, 50}, 1.0);
    EXPECT_EQ(small.count, 500);
    EXPECT_FLOAT_EQ(small.min.x, -10.0f);
    EXPECT_FLOAT_EQ(small.max.y, 210.0f);
    EXPECT_FLOAT_EQ(small.max.z, 600.0f);  // 6 m above the bottom beats 2 m above the top
    // 20 km: capped at 600,000, and the exponent forms reach the script intact.
    const wx::WeatherPreset& storm = preset(L"Storm");
    const wx::FallPlan town = wx::planFall(storm, {0, 0, 0}, {2000000, 1000000, 5000}, 1.0);
    EXPECT_EQ(town.count, 600000);
    EXPECT_EQ(wx::makeFallCall(storm, town, 1.0),
              L"TWeatherMtl.makeFall [-100000,-50000,0] [2.1e+06,1.05e+06,5200] #(#(#type,1),#(#count,600000),"
              L"#(#speed,900),#(#windSpeed,500),#(#gust,0.6),#(#turbulence,5),#(#size,0.15),#(#streak,0.03),"
              L"#(#dropWidth,0.06)) true");
    const std::wstring sand = wx::makeFallCall(preset(L"Sandstorm"), small, 1.0);
    EXPECT_NE(sand.find(L"#(#fogColor,(color 150 112 72)),#(#collide,true)) false"), std::wstring::npos);
    const std::wstring night = wx::makeFallCall(preset(L"Winter night"), small, 1.0);
    EXPECT_NE(night.find(L"#(#lightGlow,1.5),#(#rainGlint,1.5)) false"), std::wstring::npos);
}

TEST(WeatherPresets, ReportsAndArgumentsReadTheSameInADecimalCommaLocale) {
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before ? before : "C";
    const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8");
    EXPECT_EQ(wx::wetArguments(preset(L"Storm")), L" 1.000 0.350 true");
    EXPECT_EQ(wx::wetArguments(preset(L"Drizzle")), L" 0.450 0.080 false");
    wx::MakeCounts one{1, 1, 0, 0};
    EXPECT_EQ(wx::makeReport(preset(L"Heavy snow"), one, L"", 1234, 56.4, L"Snow on X: ERROR: no\r\n"),
              L"Heavy snow on 1 object: 1 snowed, 0 wet, 0 glass with drops.\r\n"
              L"Shelter: 1234 scene triangles gathered in 56 ms.\r\nSnow on X: ERROR: no\r\n");
    wx::MakeCounts rain{3, 0, 2, 1};
    EXPECT_EQ(wx::makeReport(preset(L"Storm"), rain, L"Made Tarnwick Weather001", 0, 0.0, L""),
              L"Storm on 3 objects: 0 snowed, 2 wet, 1 glass with drops, falling: Made Tarnwick Weather001.\r\n");
    EXPECT_EQ(wx::numberG(1.5e-7), L"1.5e-07");
    std::setlocale(LC_ALL, saved.c_str());
    if (!comma) GTEST_LOG_(INFO) << "no decimal-comma locale installed: checked in the C locale only";
}

}  // namespace
