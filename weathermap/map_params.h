// The Weather Map's parameters, one row each: the one list of them. The block descriptor
// (weather_map_desc.cpp), the evaluation record MapState that Update fills, the CLI's
// `--set` and the tests all follow from these rows.
//
// Lengths (WorldLength) are in scene units, their defaults centimetres; speeds are per
// second of scaled time. The row order is the block's declaration order, which is not the
// order of the ids. No host types: tools without the host may walk the table.
#pragma once

#include <span>

#include "plugin/param_table.h"
#include "weathermap/map_ids.h"
#include "weathermap/map_state.h"

namespace wx {

// Parameter ids, as scene files store them.
enum MapParam : short {
    kMapMode = 0,
    kMapWetness = 1,
    kMapUpFacing = 2,
    kMapPuddleAmount = 3,
    kMapPuddleScale = 4,
    kMapPuddleEdge = 5,
    kMapRippleScale = 6,
    kMapRippleSpeed = 7,
    kMapRippleDensity = 8,
    kMapDropScale = 9,
    kMapDropSpeed = 10,
    kMapDropDensity = 11,
    kMapSparkleDensity = 12,
    kMapSparkleScale = 13,
    kMapSeed = 14,
    kMapAnimSpeed = 15,
    kMapBreakup = 16,
    kMapBreakupScale = 17,
    kMapFlatOnly = 18,
    kMapInvert = 19,
    kMapSheltered = 20,
    kMapUsePaint = 21,
    kMapPaintChannel = 22,
};

// The rollouts (map ids), in the order they show.
enum MapRollout : int { kMapRollMain = 0, kMapRollWet = 1, kMapRollAnimated = 2 };

inline constexpr ParamRolloutRow kMapRollouts[] = {
    {kMapRollMain, mapres::kMainDialog, mapres::kMainTitle, L"Tarnwick Weather Map", false},
    {kMapRollWet, mapres::kWetDialog, mapres::kWetTitle, L"Wetness & Puddles", false},
    {kMapRollAnimated, mapres::kAnimatedDialog, mapres::kAnimatedTitle, L"Ripples, Drops, Sparkle", false},
};

using MapParamRow = ParamRow<MapState>;

// clang-format off
inline constexpr MapParamRow kMapParamTable[] = {
    // Mode, seed, invert, time and paint.
    {.id = kMapMode, .name = L"mode", .kind = ParamKind::Combo,
     .def = 0, .map = kMapRollMain, .labelId = 3801, .label = L"Output", .controls = {2801},
     .items = {mapres::kModeWetnessText, mapres::kModePuddlesText, mapres::kModeRipplesText,
               mapres::kModeGlassText, mapres::kModeSparkleText},
     .field = &MapState::mode},
    // The record keeps seed + 1 (seedKey): read by id.
    {.id = kMapSeed, .name = L"seed", .kind = ParamKind::Int, .animatable = true,
     .def = 1, .lo = 0, .hi = 999999, .map = kMapRollMain, .labelId = 3802, .label = L"Seed",
     .controls = {2802, 2803}, .scale = 1.0f},
    {.id = kMapInvert, .name = L"invert", .kind = ParamKind::Bool,
     .def = 0, .map = kMapRollMain, .labelId = 3803, .label = L"Invert", .controls = {2804},
     .field = &MapState::invert},
    {.id = kMapAnimSpeed, .name = L"animSpeed", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 100.0, .map = kMapRollMain, .labelId = 3804, .label = L"Animation speed",
     .controls = {2805, 2806}, .scale = 0.05f, .field = &MapState::animSpeed},
    {.id = kMapUsePaint, .name = L"usePaint", .kind = ParamKind::Bool,
     .def = 0, .map = kMapRollMain, .labelId = 3805, .label = L"Use painted colour (white = full)",
     .controls = {2807}, .field = &MapState::usePaint},
    {.id = kMapPaintChannel, .name = L"paintChannel", .kind = ParamKind::Int, .animatable = true,
     .def = 0, .lo = -2, .hi = 99, .map = kMapRollMain, .labelId = 3806, .label = L"Map channel (0 = vertex colour)",
     .controls = {2808, 2809}, .scale = 1.0f, .field = &MapState::paintChannel},

    // Wetness.
    {.id = kMapWetness, .name = L"wetness", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 1.0, .map = kMapRollWet, .labelId = 3807, .label = L"Wetness",
     .controls = {2810, 2811}, .scale = 0.01f, .field = &MapState::wetness},
    {.id = kMapUpFacing, .name = L"upFacing", .kind = ParamKind::Float, .animatable = true,
     .def = 0.7, .lo = 0.0, .hi = 1.0, .map = kMapRollWet, .labelId = 3808, .label = L"Mostly on upward faces",
     .controls = {2812, 2813}, .scale = 0.01f, .field = &MapState::upFacing},
    {.id = kMapBreakup, .name = L"breakup", .kind = ParamKind::Float, .animatable = true,
     .def = 0.3, .lo = 0.0, .hi = 1.0, .map = kMapRollWet, .labelId = 3809, .label = L"Dry patches",
     .controls = {2814, 2815}, .scale = 0.01f, .field = &MapState::breakup},
    {.id = kMapBreakupScale, .name = L"breakupScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 100.0, .lo = 0.001, .hi = 10000000.0, .map = kMapRollWet, .labelId = 3810, .label = L"Patch size",
     .controls = {2816, 2817}, .scale = 1.0f, .field = &MapState::breakupScale},
    {.id = kMapSheltered, .name = L"sheltered", .kind = ParamKind::Bool,
     .def = 1, .map = kMapRollWet, .labelId = 3811, .label = L"Under cover stays dry", .controls = {2818},
     .field = &MapState::sheltered},

    // Puddles.
    {.id = kMapPuddleAmount, .name = L"puddleAmount", .kind = ParamKind::Float, .animatable = true,
     .def = 0.3, .lo = 0.0, .hi = 1.0, .map = kMapRollWet, .labelId = 3812, .label = L"Puddle cover",
     .controls = {2819, 2820}, .scale = 0.01f, .field = &MapState::puddleAmount},
    {.id = kMapPuddleScale, .name = L"puddleScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 200.0, .lo = 0.001, .hi = 10000000.0, .map = kMapRollWet, .labelId = 3813, .label = L"Puddle size",
     .controls = {2821, 2822}, .scale = 1.0f, .field = &MapState::puddleScale},
    {.id = kMapPuddleEdge, .name = L"puddleEdge", .kind = ParamKind::Float, .animatable = true,
     .def = 0.1, .lo = 0.001, .hi = 1.0, .map = kMapRollWet, .labelId = 3814, .label = L"Edge softness",
     .controls = {2823, 2824}, .scale = 0.01f, .field = &MapState::puddleEdge},
    {.id = kMapFlatOnly, .name = L"flatOnly", .kind = ParamKind::Float, .animatable = true,
     .def = 0.97, .lo = 0.0, .hi = 1.0, .map = kMapRollWet, .labelId = 3815, .label = L"Only flatter than (cos)",
     .controls = {2825, 2826}, .scale = 0.005f, .field = &MapState::flatOnly},

    // Ripples.
    {.id = kMapRippleScale, .name = L"rippleScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 30.0, .lo = 0.001, .hi = 1000000.0, .map = kMapRollAnimated, .labelId = 3816, .label = L"Ring spacing cell",
     .controls = {2827, 2828}, .scale = 0.5f, .field = &MapState::rippleScale},
    {.id = kMapRippleSpeed, .name = L"rippleSpeed", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 50.0, .map = kMapRollAnimated, .labelId = 3817, .label = L"Drops per second",
     .controls = {2829, 2830}, .scale = 0.05f, .field = &MapState::rippleSpeed},
    {.id = kMapRippleDensity, .name = L"rippleDensity", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 10.0, .map = kMapRollAnimated, .labelId = 3818, .label = L"Ring strength",
     .controls = {2831, 2832}, .scale = 0.05f, .field = &MapState::rippleDensity},

    // Drops on glass.
    {.id = kMapDropScale, .name = L"dropScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.4, .lo = 0.0001, .hi = 100000.0, .map = kMapRollAnimated, .labelId = 3819, .label = L"Drop size",
     .controls = {2833, 2834}, .scale = 0.01f, .field = &MapState::dropScale},
    {.id = kMapDropSpeed, .name = L"dropSpeed", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 8.0, .lo = 0.0, .hi = 1000000.0, .map = kMapRollAnimated, .labelId = 3820, .label = L"Run speed (/s)",
     .controls = {2835, 2836}, .scale = 0.1f, .field = &MapState::dropSpeed},
    {.id = kMapDropDensity, .name = L"dropDensity", .kind = ParamKind::Float, .animatable = true,
     .def = 1.0, .lo = 0.0, .hi = 10.0, .map = kMapRollAnimated, .labelId = 3821, .label = L"Drops",
     .controls = {2837, 2838}, .scale = 0.05f, .field = &MapState::dropDensity},

    // Sparkle.
    {.id = kMapSparkleDensity, .name = L"sparkleDensity", .kind = ParamKind::Float, .animatable = true,
     .def = 0.04, .lo = 0.0, .hi = 1.0, .map = kMapRollAnimated, .labelId = 3822, .label = L"Sparkle amount",
     .controls = {2839, 2840}, .scale = 0.005f, .field = &MapState::sparkleDensity},
    {.id = kMapSparkleScale, .name = L"sparkleScale", .kind = ParamKind::WorldLength, .animatable = true,
     .def = 0.25, .lo = 0.0001, .hi = 100000.0, .map = kMapRollAnimated, .labelId = 3823, .label = L"Sparkle size",
     .controls = {2841, 2842}, .scale = 0.01f, .field = &MapState::sparkleScale},
};
// clang-format on

inline constexpr std::span<const MapParamRow> mapParamRows() {
    return kMapParamTable;
}

}  // namespace wx
