// The snow modifier's parameters, one row each: the one list of them.
//
// Adding a parameter: give it the next free id in SnowParam, one row in kSnowParamTable
// (at the place in its rollout where it shows), its control and label in
// resources/snow_mod.json, and its use in the core: a field in SnowSettings (visited by
// forEachSetting, named in the row's `field`) that buildSnow reads, or a read by id in the
// modifier's glue. The rest follows from the row: the parameter block descriptor
// (snow_mod_desc.cpp), the settings reader and the cache key (snow_mod_inputs.cpp), the
// CLI's `--set` name, default and range and its unit scaling of world lengths
// (app/param_assign.cpp), and the tests that walk this table against the live parameter
// block, the dialog resources and the cache key (tests/snowmod/test_snow_params.cpp).
//
// Lengths (WorldLength) are in scene units; their defaults are centimetres, which the CLI
// scales for scenes in other units. The row order is the block's declaration order.
// No host types: this header is read by the core's tests too.
#pragma once

#include <span>

#include "plugin/param_table.h"
#include "snow/snow_mod_ids.h"
#include "snow/snow_types.h"

namespace wx {

// Parameter ids, as scene files store them.
enum SnowParam : short {
    kSnowDepth = 0,
    kSnowSlopeMax = 1,
    kSnowSlopeSoft = 2,
    kSnowEdgeRound = 3,
    kSnowCoverage = 4,
    kSnowPatchScale = 5,
    kSnowNoiseAmount = 6,
    kSnowNoiseScale = 7,
    kSnowResolution = 8,
    kSnowMaxTris = 9,
    kSnowOcclusion = 10,
    kSnowOccRays = 11,
    kSnowSpread = 12,
    kSnowOccDist = 13,
    kSnowWindAngle = 14,
    kSnowDrift = 15,
    kSnowLeeDist = 16,
    kSnowSmoothing = 17,
    kSnowClosed = 18,
    kSnowUvScale = 19,
    kSnowSeed = 20,
    kSnowUseGPU = 21,
    kSnowMatID = 22,
    kSnowOutput = 23,
    kSnowExcludeIDs = 24,
    kSnowEnabled = 25,
    kSnowVpCoarse = 26,
    kSnowOccluders = 27,
    kSnowRegions = 28,
    kSnowRegionMode = 29,
    kSnowRegionFalloff = 30,
    kSnowRegionStrength = 31,
    kSnowUsePaint = 32,
    kSnowPaintChannel = 33,
    kSnowOverhang = 34,
    kSnowGroundCover = 35,
    kSnowGroundBand = 36,
};

// The occluders combo: what shelters the snow.
enum SnowShelterFrom : int { kShelterWholeScene = 0, kShelterThisObject = 1, kShelterNothing = 2 };

// The rollouts (map ids), in the order they show.
enum SnowRollout : int {
    kSnowMapMain = 0,
    kSnowMapShape = 1,
    kSnowMapShelter = 2,
    kSnowMapRegions = 3,
    kSnowMapOutput = 4,
    kSnowMapAbout = 5
};

inline constexpr ParamRolloutRow kSnowRollouts[] = {
    {kSnowMapMain, snowres::kMainDialog, snowres::kMainTitle, L"Tarnwick Snow", false},
    {kSnowMapShape, snowres::kShapeDialog, snowres::kShapeTitle, L"Shape & Edges", true},
    {kSnowMapShelter, snowres::kShelterDialog, snowres::kShelterTitle, L"Shelter & Wind", true},
    {kSnowMapRegions, snowres::kRegionsDialog, snowres::kRegionsTitle, L"Regions (gizmos)", true},
    {kSnowMapOutput, snowres::kOutputDialog, snowres::kOutputTitle, L"Output", true},
    {kSnowMapAbout, snowres::kAboutDialog, snowres::kAboutTitle, L"About / Help", true},
};

using SnowParamRow = ParamRow<SnowSettings>;

// clang-format off
inline constexpr SnowParamRow kSnowParamTable[] = {
    // Main rollout.
    {.id = kSnowEnabled, .name = L"enabled", .kind = ParamKind::Bool,
     .def = 1, .map = kSnowMapMain, .labelId = 3001, .label = L"Snow on",
     .controls = {2001}},
    {.id = kSnowDepth, .name = L"depth", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 10.0, .lo = 0.0, .hi = 1e6, .map = kSnowMapMain, .labelId = 3002, .label = L"Depth",
     .controls = {2002, 2003}, .scale = 0.1f, .field = &SnowSettings::depth},
    {.id = kSnowSlopeMax, .name = L"slopeMax", .kind = ParamKind::Float, .animatable = true,
     .def = 55.0, .lo = 0.0, .hi = 89.0, .map = kSnowMapMain, .labelId = 3003, .label = L"Steepest slope (deg)",
     .controls = {2004, 2005}, .scale = 1.0f, .field = &SnowSettings::slopeMax},
    {.id = kSnowSlopeSoft, .name = L"slopeSoft", .kind = ParamKind::Float, .animatable = true,
     .def = 20.0, .lo = 0.0, .hi = 89.0, .map = kSnowMapMain, .labelId = 3004, .label = L"Thins over (deg)",
     .controls = {2006, 2007}, .scale = 1.0f, .field = &SnowSettings::slopeSoft},
    {.id = kSnowCoverage, .name = L"coverage", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 1.0, .map = kSnowMapMain, .labelId = 3005, .label = L"Coverage",
     .controls = {2008, 2009}, .scale = 0.01f, .field = &SnowSettings::coverage},
    {.id = kSnowPatchScale, .name = L"patchScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 80.0, .lo = 0.001, .hi = 1e7, .map = kSnowMapMain, .labelId = 3006, .label = L"Patch size",
     .controls = {2010, 2011}, .scale = 1.0f, .field = &SnowSettings::patchScale},
    {.id = kSnowSeed, .name = L"seed", .kind = ParamKind::Int, .animatable = true,
     .def = 1, .lo = 0, .hi = 999999, .map = kSnowMapMain, .labelId = 3007, .label = L"Seed",
     .controls = {2012, 2013}, .scale = 1.0f, .field = &SnowSettings::seed},
    {.id = kSnowGroundCover, .name = L"groundCover", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 1.0, .map = kSnowMapMain, .labelId = 3008, .label = L"Street level coverage",
     .controls = {2014, 2015}, .scale = 0.01f, .field = &SnowSettings::groundCover},
    {.id = kSnowGroundBand, .name = L"groundBand", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 40.0, .lo = 0.0, .hi = 1e6, .map = kSnowMapMain, .labelId = 3009, .label = L"Street level band",
     .controls = {2016, 2017}, .scale = 1.0f, .field = &SnowSettings::groundBand},

    // Shape & Edges.
    {.id = kSnowEdgeRound, .name = L"edgeRound", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 6.0, .lo = 0.0, .hi = 1e6, .map = kSnowMapShape, .labelId = 3010, .label = L"Rounded lip width",
     .controls = {2018, 2019}, .scale = 0.1f, .field = &SnowSettings::edgeRound},
    {.id = kSnowSmoothing, .name = L"smoothing", .kind = ParamKind::Int, .animatable = true,
     .def = 2, .lo = 0, .hi = 50, .map = kSnowMapShape, .labelId = 3011, .label = L"Soften amount (passes)",
     .controls = {2020, 2021}, .scale = 1.0f, .field = &SnowSettings::smoothing},
    {.id = kSnowOverhang, .name = L"overhang", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 1e6, .map = kSnowMapShape, .labelId = 3012, .label = L"Overhang (cornice)",
     .controls = {2022, 2023}, .scale = 0.1f, .field = &SnowSettings::overhang},
    {.id = kSnowNoiseAmount, .name = L"noiseAmount", .kind = ParamKind::Float, .animatable = true,
     .def = 0.25, .lo = 0.0, .hi = 2.0, .map = kSnowMapShape, .labelId = 3013, .label = L"Bumps",
     .controls = {2024, 2025}, .scale = 0.01f, .field = &SnowSettings::noiseAmount},
    {.id = kSnowNoiseScale, .name = L"noiseScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 50.0, .lo = 0.001, .hi = 1e7, .map = kSnowMapShape, .labelId = 3014, .label = L"Bump size",
     .controls = {2026, 2027}, .scale = 1.0f, .field = &SnowSettings::noiseScale},
    {.id = kSnowResolution, .name = L"resolution", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 3.0, .lo = 0.001, .hi = 1e6, .map = kSnowMapShape, .labelId = 3015, .label = L"Detail (edge length)",
     .controls = {2028, 2029}, .scale = 0.1f, .field = &SnowSettings::resolution},
    {.id = kSnowMaxTris, .name = L"maxTris", .kind = ParamKind::Int, .animatable = true,
     .def = 500000, .lo = 1000, .hi = 50000000, .map = kSnowMapShape, .labelId = 3016, .label = L"Max triangles",
     .controls = {2030, 2031}, .scale = 10000.0f, .field = &SnowSettings::maxTris},
    {.id = kSnowVpCoarse, .name = L"vpCoarse", .kind = ParamKind::Combo,
     .def = 1, .map = kSnowMapShape, .labelId = 3017, .label = L"Viewport",
     .controls = {2032}, .items = {snowres::kViewportSameAsRender, snowres::kViewportCoarser}},

    // Shelter & Wind.
    {.id = kSnowOccluders, .name = L"occluders", .kind = ParamKind::Combo,
     .def = kShelterWholeScene, .map = kSnowMapShelter, .labelId = 3018, .label = L"Shelter from",
     .controls = {2033},
     .items = {snowres::kShelterWholeSceneText, snowres::kShelterThisObjectText, snowres::kShelterNothingText}},
    {.id = kSnowOcclusion, .name = L"occlusion", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 1.0, .map = kSnowMapShelter, .labelId = 3019, .label = L"Shelter strength",
     .controls = {2034, 2035}, .scale = 0.01f, .field = &SnowSettings::occlusion},
    {.id = kSnowOccRays, .name = L"occRays", .kind = ParamKind::Int, .animatable = true,
     .def = 24, .lo = 1, .hi = 256, .map = kSnowMapShelter, .labelId = 3020, .label = L"Rays per point",
     .controls = {2036, 2037}, .scale = 1.0f, .field = &SnowSettings::occRays},
    {.id = kSnowSpread, .name = L"spread", .kind = ParamKind::Float, .animatable = true,
     .def = 25.0, .lo = 1.0, .hi = 80.0, .map = kSnowMapShelter, .labelId = 3021, .label = L"Fall spread (deg)",
     .controls = {2038, 2039}, .scale = 1.0f, .field = &SnowSettings::spread},
    {.id = kSnowOccDist, .name = L"occDist", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 1e7, .map = kSnowMapShelter, .labelId = 3022, .label = L"Max distance (0 = any)",
     .controls = {2040, 2041}, .scale = 1.0f, .field = &SnowSettings::occDist},
    {.id = kSnowUseGPU, .name = L"useGPU", .kind = ParamKind::Bool,
     .def = 1, .map = kSnowMapShelter, .labelId = 3023, .label = L"Use the GPU (same result)",
     .controls = {2042}, .field = &SnowSettings::useGPU},
    {.id = kSnowWindAngle, .name = L"windAngle", .kind = ParamKind::Float, .animatable = true,
     .def = 0.0, .lo = -360.0, .hi = 360.0, .map = kSnowMapShelter, .labelId = 3024, .label = L"Blows toward (deg)",
     .controls = {2043, 2044}, .scale = 1.0f, .field = &SnowSettings::windAngle},
    {.id = kSnowDrift, .name = L"drift", .kind = ParamKind::Float, .animatable = true,
     .def = 0.0, .lo = 0.0, .hi = 1.0, .map = kSnowMapShelter, .labelId = 3025, .label = L"Drift",
     .controls = {2045, 2046}, .scale = 0.01f, .field = &SnowSettings::drift},
    {.id = kSnowLeeDist, .name = L"leeDist", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 300.0, .lo = 0.0, .hi = 1e7, .map = kSnowMapShelter, .labelId = 3026, .label = L"Lee reach",
     .controls = {2047, 2048}, .scale = 1.0f, .field = &SnowSettings::leeDist},

    // Regions (gizmos). The node list's controls: list box, add, replace (none), remove.
    {.id = kSnowRegions, .name = L"regions", .kind = ParamKind::NodeTable,
     .map = kSnowMapRegions, .labelId = 3027, .label = L"Region objects (box, sphere, any)",
     .controls = {2049, snowres::kRegionsAdd, 0, snowres::kRegionsRemove}},
    {.id = kSnowRegionMode, .name = L"regionMode", .kind = ParamKind::Combo,
     .def = kRegionNoSnow, .map = kSnowMapRegions, .labelId = 3028, .label = L"Inside",
     .controls = {2050},
     .items = {snowres::kRegionNoSnowText, snowres::kRegionSnowOnlyHereText, snowres::kRegionFullSnowText},
     .field = &SnowSettings::regionMode},
    {.id = kSnowRegionFalloff, .name = L"regionFalloff", .kind = ParamKind::Float, .animatable = true,
     .def = 0.3, .lo = 0.0, .hi = 1.0, .map = kSnowMapRegions, .labelId = 3029, .label = L"Soft edge",
     .controls = {2051, 2052}, .scale = 0.01f, .field = &SnowSettings::regionFalloff},
    {.id = kSnowRegionStrength, .name = L"regionStrength", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 1.0, .map = kSnowMapRegions, .labelId = 3030, .label = L"Strength",
     .controls = {2053, 2054}, .scale = 0.01f, .field = &SnowSettings::regionStrength},
    {.id = kSnowUsePaint, .name = L"usePaint", .kind = ParamKind::Bool,
     .def = 0, .map = kSnowMapRegions, .labelId = 3031, .label = L"Use painted colour (white = snow)",
     .controls = {2055}},
    {.id = kSnowPaintChannel, .name = L"paintChannel", .kind = ParamKind::Int, .animatable = true,
     .def = 0, .lo = -2, .hi = 99, .map = kSnowMapRegions, .labelId = 3032,
     .label = L"Map channel (0 = vertex colour)",
     .controls = {2056, 2057}, .scale = 1.0f},

    // Output.
    {.id = kSnowOutput, .name = L"output", .kind = ParamKind::Combo,
     .def = 0, .map = kSnowMapOutput, .labelId = 3033, .label = L"Result",
     .controls = {2058}, .items = {snowres::kOutputObjectAndSnowText, snowres::kOutputSnowOnlyText}},
    {.id = kSnowMatID, .name = L"matID", .kind = ParamKind::Int, .animatable = true,
     .def = 2, .lo = 1, .hi = 65535, .map = kSnowMapOutput, .labelId = 3034, .label = L"Snow material ID",
     .controls = {2059, 2060}, .scale = 1.0f},
    {.id = kSnowExcludeIDs, .name = L"excludeIDs", .kind = ParamKind::String,
     .text = L"", .map = kSnowMapOutput, .labelId = 3035, .label = L"No snow on IDs",
     .controls = {2061}},
    {.id = kSnowClosed, .name = L"closed", .kind = ParamKind::Bool,
     .def = 1, .map = kSnowMapOutput, .labelId = 3036, .label = L"Closed solid (for SSS)",
     .controls = {2062}, .field = &SnowSettings::closed},
    {.id = kSnowUvScale, .name = L"uvScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 100.0, .lo = 0.001, .hi = 1e7, .map = kSnowMapOutput, .labelId = 3037, .label = L"UV tile size",
     .controls = {2063, 2064}, .scale = 1.0f, .field = &SnowSettings::uvScale},
};
// clang-format on

inline constexpr std::span<const SnowParamRow> snowParamRows() {
    return kSnowParamTable;
}

inline constexpr const SnowParamRow& snowParamRow(SnowParam id) {
    return *findParamRow(snowParamRows(), id);
}

}  // namespace wx
