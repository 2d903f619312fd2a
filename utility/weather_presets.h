// The seven weather presets of MAKE WEATHER, in their fixed order, and what Make sends for
// one of them: the snow modifier's settings for each target, the fall volume over all of
// them, and the report. Pure functions of the preset, the targets' boxes and the scene's
// centimetre; every number enters script text in the C locale ("%.6g" or "%g"), whatever
// the process's locale. No host types.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/v3.h"

namespace wx {

enum WeatherKind : int32_t { kWeatherSnow = 0, kWeatherWet = 1, kWeatherSand = 2 };

// Lengths in centimetres, speeds in cm/s, densities in particles per square metre.
struct WeatherPreset {
    const wchar_t* name;
    const wchar_t* description;
    int32_t kind;  // WeatherKind; also the fall object's `type`
    float depth, coverage, noise, edge, slope, drift, density, speed, wind, gust, turbulence, size, streak, dropWidth,
        wetness, puddles;
    int32_t wetFlag;
};

std::span<const WeatherPreset> weatherPresets();
// "snow", "rain" or "sand".
const wchar_t* weatherKindName(int32_t kind);

// The 0-based index of the preset named (any letter case) or numbered (1-based) by text.
std::optional<size_t> findWeatherPreset(std::wstring_view nameOrNumber);

// "Winter night" switches on its extra rules.
bool isWinterNight(const WeatherPreset& p);

// "%.6g" (and "%g", which is the same) in the C locale, as a wide string.
std::wstring numberG(double v);

// A target's world box as Make sees it: size, and whether it is empty.
struct TargetBox {
    V3 size{};
    bool empty = true;
};

// What Make gives one snow target (kind 0).
struct SnowTargetPlan {
    float depth, coverage, noiseAmount, noiseScale, patchScale, edgeRound, slopeMax, drift, leeDist, resolution,
        uvScale;
    bool winterNight = false;  // adds groundCover 0.35 and groundBand
    float groundBand = 0.0f;
    std::optional<float> overhang;
    bool gloss = false;  // Winter night's ground or huge objects: glossWet afterwards
};

// cm: scene units per centimetre.
SnowTargetPlan planSnowTarget(const WeatherPreset& p, const TargetBox& box, double cm);
// "#(#(#depth,...),...,#(#enabled,true))".
std::wstring snowPairs(const SnowTargetPlan& plan);
// The one array every sand target gets.
std::wstring sandPairs(double cm);

// The fall volume over the targets' union box.
struct FallPlan {
    V3 min, max;  // widened box: bottom and top in z
    int64_t count = 0;
};
FallPlan planFall(const WeatherPreset& p, V3 unionMin, V3 unionMax, double cm);
// "TWeatherMtl.makeFall [x,y,z] [x,y,z] #(...) true|false".
std::wstring makeFallCall(const WeatherPreset& p, const FallPlan& plan, double cm);

// "applyWet" arguments: " %.3f %.3f %s".
std::wstring wetArguments(const WeatherPreset& p);

// Make's report: the counts line, the shelter line when something was snowed, then the
// error log.
struct MakeCounts {
    size_t targets = 0;
    int snowed = 0, wet = 0, glass = 0;
};
std::wstring makeReport(const WeatherPreset& p, const MakeCounts& c, const std::wstring& fallingText,
                        int shelterTriangles, double shelterMs, const std::wstring& errors);

}  // namespace wx
