// The fall object's parameters, one row each: the one list of them.
//
// Adding a parameter: give it the next free id in FallParam, one row in kFallParamTable
// (at the place in its rollout where it shows), its control and label in
// resources/weather_fall.json, and its use: a field in FallInputs (named in the row's
// `field`) that the particle field reads, or a read by id in the object's glue (the
// tornado fetch, the renderer). The rest follows from the row: the parameter block
// descriptor (weather_fall_desc.cpp), the particle field's inputs (weather_fall.cpp), and
// the tests that walk this table against the live parameter block and the dialog
// resources (tests/fallmod, tests/host/ui/test_resources.cpp).
//
// Lengths (WorldLength) are in scene units; their defaults are centimetres. Speeds are
// scene units per second, times seconds, angles degrees. Colours are RGB in 0..1. The row
// order is the block's declaration order, which is not the order of the ids.
// No host types: this header is read by the core's tests too.
#pragma once

#include <span>

#include "fall/fall_field.h"
#include "fall/fall_ids.h"
#include "plugin/param_table.h"

namespace wx {

// Parameter ids, as scene files store them.
enum FallParam : short {
    kFallType = 0,
    kFallCount = 1,
    kFallWidth = 2,
    kFallLength = 3,
    kFallHeight = 4,
    kFallSpeed = 5,
    kFallWindAngle = 6,
    kFallWindSpeed = 7,
    kFallTurbulence = 8,
    kFallTurbFreq = 9,
    kFallSize = 10,
    kFallSizeVar = 11,
    kFallStreak = 12,
    kFallSeed = 13,
    kFallVpPercent = 14,
    kFallDropWidth = 15,
    kFallTumble = 16,
    kFallMatID = 17,
    kFallSpeedVar = 18,
    kFallGust = 19,
    kFallRenderMode = 20,
    kFallColor = 21,
    kFallOpacity = 22,
    kFallBrightness = 23,
    kFallVpMax = 24,
    kFallShutter = 25,
    kFallHiddenByScene = 26,
    kFallTornadoNode = 27,
    kFallTornadoFile = 28,
    kFallTornadoInfluence = 29,
    kFallTornadoWindow = 30,
    kFallTornadoReach = 31,
    kFallCollide = 32,
    kFallSplashHeight = 33,
    kFallSplashAmount = 34,
    kFallFogDensity = 35,
    kFallFogColor = 36,
    kFallFogFar = 37,
    kFallLightGlow = 38,
    kFallGlowRadius = 39,
    kFallRainGlint = 40,
    kFallDripAmount = 41,
};

// The renderMode combo: how the fall reaches the image.
enum FallRenderMode : int { kFallRenderSplats = 0, kFallRenderGeometry = 1 };

// The rollouts (map ids), in the order they show.
enum FallRollout : int {
    kFallMapMain = 0,
    kFallMapMotion = 1,
    kFallMapLook = 2,
    kFallMapRender = 3,
    kFallMapCollisions = 4,
    kFallMapTornado = 5,
    kFallMapAbout = 6,
};

inline constexpr ParamRolloutRow kFallRollouts[] = {
    {kFallMapMain, fallres::kMainDialog, fallres::kMainTitle, L"Tarnwick Weather Fall", false},
    {kFallMapMotion, fallres::kMotionDialog, fallres::kMotionTitle, L"Motion", true},
    {kFallMapLook, fallres::kLookDialog, fallres::kLookTitle, L"Look", true},
    {kFallMapRender, fallres::kRenderDialog, fallres::kRenderTitle, L"Render", true},
    {kFallMapCollisions, fallres::kCollisionsDialog, fallres::kCollisionsTitle, L"Collisions, splashes & fog", true},
    {kFallMapTornado, fallres::kTornadoDialog, fallres::kTornadoTitle, L"Tornado wind", true},
    {kFallMapAbout, fallres::kAboutDialog, fallres::kAboutTitle, L"About / Help", true},
};

using FallParamRow = ParamRow<FallInputs>;

// clang-format off
inline constexpr FallParamRow kFallParamTable[] = {
    // Main rollout: type, volume, display.
    {.id = kFallType, .name = L"type", .kind = ParamKind::Combo,
     .def = kFallSnow, .map = kFallMapMain, .labelId = 3401, .label = L"Falling",
     .controls = {2401},
     .items = {fallres::kTypeSnowText, fallres::kTypeRainText, fallres::kTypeSandText},
     .field = &FallInputs::type},
    {.id = kFallCount, .name = L"count", .kind = ParamKind::Int, .animatable = true,
     .def = 20000, .lo = 0, .hi = 10000000, .map = kFallMapMain, .labelId = 3402, .label = L"Count",
     .controls = {2402, 2403}, .scale = 1000.0f},  // a 64-bit count: read by id
    {.id = kFallSeed, .name = L"seed", .kind = ParamKind::Int, .animatable = true,
     .def = 1, .lo = 0, .hi = 999999, .map = kFallMapMain, .labelId = 3403, .label = L"Seed",
     .controls = {2404, 2405}, .scale = 1.0f, .field = &FallInputs::seed},
    {.id = kFallWidth, .name = L"width", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 1000.0, .lo = 0.001, .hi = 1e8, .map = kFallMapMain, .labelId = 3404, .label = L"Width",
     .controls = {2406, 2407}, .scale = 10.0f, .field = &FallInputs::width},
    {.id = kFallLength, .name = L"length", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 1000.0, .lo = 0.001, .hi = 1e8, .map = kFallMapMain, .labelId = 3405, .label = L"Length",
     .controls = {2408, 2409}, .scale = 10.0f, .field = &FallInputs::length},
    {.id = kFallHeight, .name = L"height", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 500.0, .lo = 0.001, .hi = 1e8, .map = kFallMapMain, .labelId = 3406, .label = L"Height",
     .controls = {2410, 2411}, .scale = 10.0f, .field = &FallInputs::height},
    {.id = kFallVpPercent, .name = L"vpPercent", .kind = ParamKind::Float, .animatable = true,
     .def = 20.0, .lo = 0.0, .hi = 100.0, .map = kFallMapMain, .labelId = 3407, .label = L"Viewport %",
     .controls = {2412, 2413}, .scale = 1.0f, .field = &FallInputs::vpPercent},

    // Motion: fall, wind, turbulence.
    {.id = kFallSpeed, .name = L"speed", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 100.0, .lo = 0.0, .hi = 1e7, .map = kFallMapMotion, .labelId = 3408, .label = L"Fall speed (/s)",
     .controls = {2414, 2415}, .scale = 1.0f, .field = &FallInputs::speed},
    {.id = kFallSpeedVar, .name = L"speedVar", .kind = ParamKind::Float, .animatable = true,
     .def = 0.3, .lo = 0.0, .hi = 1.0, .map = kFallMapMotion, .labelId = 3409, .label = L"Speed random",
     .controls = {2416, 2417}, .scale = 0.01f, .field = &FallInputs::speedVar},
    {.id = kFallWindAngle, .name = L"windAngle", .kind = ParamKind::Float, .animatable = true,
     .def = 0.0, .lo = -360.0, .hi = 360.0, .map = kFallMapMotion, .labelId = 3410, .label = L"Blows toward (deg)",
     .controls = {2418, 2419}, .scale = 1.0f, .field = &FallInputs::windAngle},
    {.id = kFallWindSpeed, .name = L"windSpeed", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 1e7, .map = kFallMapMotion, .labelId = 3411, .label = L"Wind speed (/s)",
     .controls = {2420, 2421}, .scale = 1.0f, .field = &FallInputs::windSpeed},
    {.id = kFallGust, .name = L"gust", .kind = ParamKind::Float, .animatable = true,
     .def = 0.3, .lo = 0.0, .hi = 2.0, .map = kFallMapMotion, .labelId = 3412, .label = L"Gusts",
     .controls = {2422, 2423}, .scale = 0.01f, .field = &FallInputs::gust},
    {.id = kFallTurbulence, .name = L"turbulence", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 20.0, .lo = 0.0, .hi = 1e7, .map = kFallMapMotion, .labelId = 3413, .label = L"Sway",
     .controls = {2424, 2425}, .scale = 0.5f, .field = &FallInputs::turbulence},
    {.id = kFallTurbFreq, .name = L"turbFreq", .kind = ParamKind::Float, .animatable = true,
     .def = 0.5, .lo = 0.0, .hi = 50.0, .map = kFallMapMotion, .labelId = 3414, .label = L"Sway frequency (Hz)",
     .controls = {2426, 2427}, .scale = 0.05f, .field = &FallInputs::turbFreq},

    // Look: flakes and drops, rain streaks.
    {.id = kFallSize, .name = L"size", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.6, .lo = 0.0001, .hi = 100000.0, .map = kFallMapLook, .labelId = 3415, .label = L"Size",
     .controls = {2428, 2429}, .scale = 0.01f, .field = &FallInputs::size},
    {.id = kFallSizeVar, .name = L"sizeVar", .kind = ParamKind::Float, .animatable = true,
     .def = 0.5, .lo = 0.0, .hi = 1.0, .map = kFallMapLook, .labelId = 3416, .label = L"Size random",
     .controls = {2430, 2431}, .scale = 0.01f, .field = &FallInputs::sizeVar},
    {.id = kFallTumble, .name = L"tumble", .kind = ParamKind::Bool,
     .def = 1, .map = kFallMapLook, .labelId = 3417, .label = L"Flakes tumble",
     .controls = {2432}},
    {.id = kFallMatID, .name = L"matID", .kind = ParamKind::Int, .animatable = true,
     .def = 1, .lo = 1, .hi = 65535, .map = kFallMapLook, .labelId = 3418, .label = L"Material ID",
     .controls = {2433, 2434}, .scale = 1.0f},
    {.id = kFallStreak, .name = L"streak", .kind = ParamKind::Float, .animatable = true,
     .def = 0.03, .lo = 0.0, .hi = 1.0, .map = kFallMapLook, .labelId = 3419, .label = L"Streak (s of motion)",
     .controls = {2435, 2436}, .scale = 0.005f, .field = &FallInputs::streak},
    {.id = kFallDropWidth, .name = L"dropWidth", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.06, .lo = 0.0001, .hi = 10000.0, .map = kFallMapLook, .labelId = 3420, .label = L"Streak width",
     .controls = {2437, 2438}, .scale = 0.01f, .field = &FallInputs::dropWidth},

    // Render.
    {.id = kFallRenderMode, .name = L"renderMode", .kind = ParamKind::Combo,
     .def = kFallRenderSplats, .map = kFallMapRender, .labelId = 3421, .label = L"Render as",
     .controls = {2439}, .items = {fallres::kRenderSplatsText, fallres::kRenderGeometryText}},
    {.id = kFallColor, .name = L"color", .kind = ParamKind::Colour, .animatable = true,
     .colour = {0.9, 0.92, 0.95}, .map = kFallMapRender, .labelId = 3422, .label = L"Colour",
     .controls = {2440}},
    {.id = kFallOpacity, .name = L"opacity", .kind = ParamKind::Float, .animatable = true,
     .def = 0.8, .lo = 0.0, .hi = 1.0, .map = kFallMapRender, .labelId = 3423, .label = L"Opacity",
     .controls = {2441, 2442}, .scale = 0.01f},
    {.id = kFallBrightness, .name = L"brightness", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 20.0, .map = kFallMapRender, .labelId = 3424, .label = L"Brightness",
     .controls = {2443, 2444}, .scale = 0.05f},
    {.id = kFallShutter, .name = L"shutter", .kind = ParamKind::Float, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 1.0, .map = kFallMapRender, .labelId = 3425, .label = L"Snow motion smear (s)",
     .controls = {2445, 2446}, .scale = 0.005f},
    {.id = kFallHiddenByScene, .name = L"hiddenByScene", .kind = ParamKind::Bool,
     .def = 1, .map = kFallMapRender, .labelId = 3426, .label = L"Hidden behind scene objects",
     .controls = {2447}},
    // Shows under Display in the main rollout, though declared here.
    {.id = kFallVpMax, .name = L"vpMax", .kind = ParamKind::Int, .animatable = true,
     .def = 100000, .lo = 0, .hi = 10000000, .map = kFallMapMain, .labelId = 3427, .label = L"Viewport max",
     .controls = {2448, 2449}, .scale = 1000.0f},  // a 64-bit count: read by id

    // Collisions, splashes & fog.
    {.id = kFallCollide, .name = L"collide", .kind = ParamKind::Bool,
     .def = 1, .map = kFallMapCollisions, .labelId = 3428, .label = L"Stop at the scene (roofs, cars, ground)",
     .controls = {2450}},
    {.id = kFallSplashHeight, .name = L"splashHeight", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 4.0, .lo = 0.0, .hi = 100000.0, .map = kFallMapCollisions, .labelId = 3429, .label = L"Splash height",
     .controls = {2451, 2452}, .scale = 0.1f},
    {.id = kFallSplashAmount, .name = L"splashAmount", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 5.0, .map = kFallMapCollisions, .labelId = 3430, .label = L"Splashes",
     .controls = {2453, 2454}, .scale = 0.05f},
    {.id = kFallDripAmount, .name = L"dripAmount", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 20.0, .map = kFallMapCollisions, .labelId = 3431, .label = L"Run-off from edges",
     .controls = {2455, 2456}, .scale = 0.05f},
    {.id = kFallFogDensity, .name = L"fogDensity", .kind = ParamKind::Float, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 50.0, .map = kFallMapCollisions, .labelId = 3432, .label = L"Fog (per km)",
     .controls = {2457, 2458}, .scale = 0.05f},
    {.id = kFallFogColor, .name = L"fogColor", .kind = ParamKind::Colour, .animatable = true,
     .colour = {0.55, 0.6, 0.68}, .map = kFallMapCollisions, .labelId = 3433, .label = L"Fog colour",
     .controls = {2459}},
    {.id = kFallFogFar, .name = L"fogFar", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 200000.0, .lo = 1.0, .hi = 1e9, .map = kFallMapCollisions, .labelId = 3434, .label = L"Sky distance",
     .controls = {2460, 2461}, .scale = 100.0f},
    {.id = kFallLightGlow, .name = L"lightGlow", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 50.0, .map = kFallMapCollisions, .labelId = 3435, .label = L"Lamp glow in the haze",
     .controls = {2462, 2463}, .scale = 0.05f},
    {.id = kFallGlowRadius, .name = L"glowRadius", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 300.0, .lo = 0.1, .hi = 1e7, .map = kFallMapCollisions, .labelId = 3436, .label = L"Glow size",
     .controls = {2464, 2465}, .scale = 10.0f},
    {.id = kFallRainGlint, .name = L"rainGlint", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 50.0, .map = kFallMapCollisions, .labelId = 3437, .label = L"Drops lit by lamps",
     .controls = {2466, 2467}, .scale = 0.05f},

    // Tornado wind.
    {.id = kFallTornadoNode, .name = L"tornadoNode", .kind = ParamKind::Node,
     .map = kFallMapTornado, .labelId = 3438, .label = L"Tornado",
     .controls = {2468}, .prompt = fallres::kTornadoPickPrompt},
    {.id = kFallTornadoFile, .name = L"tornadoFile", .kind = ParamKind::String,
     .text = L"", .map = kFallMapTornado, .labelId = 3439, .label = L"or wind file (.ttw)",
     .controls = {2469}},
    {.id = kFallTornadoInfluence, .name = L"tornadoInfluence", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 5.0, .map = kFallMapTornado, .labelId = 3440, .label = L"Influence",
     .controls = {2470, 2471}, .scale = 0.05f},
    {.id = kFallTornadoWindow, .name = L"tornadoWindow", .kind = ParamKind::Float, .animatable = true,
     .def = 3.0, .lo = 0.1, .hi = 30.0, .map = kFallMapTornado, .labelId = 3441, .label = L"Carried for (s)",
     .controls = {2472, 2473}, .scale = 0.1f},
    {.id = kFallTornadoReach, .name = L"tornadoReach", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 30000.0, .lo = 1.0, .hi = 1e8, .map = kFallMapTornado, .labelId = 3442, .label = L"Reach from the funnel",
     .controls = {2474, 2475}, .scale = 100.0f},
};
// clang-format on

inline constexpr std::span<const FallParamRow> fallParamRows() {
    return kFallParamTable;
}

inline constexpr const FallParamRow& fallParamRow(FallParam id) {
    return *findParamRow(fallParamRows(), id);
}

}  // namespace wx
