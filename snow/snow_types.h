// The snow builder's records: the settings the modifier hands in, the region gizmos, the
// statistics it reads back for its status line, and the shell it turns into mesh faces.
// Plain data in fixed field order (the modifier hashes the settings fields in that order
// for its cache key); no host types. Not shared between threads while a build runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/v3.h"

namespace wx {

// The occluder hierarchy of the shelter engine; the builder only holds a pointer to it.
struct ShelterBVH;

// One region gizmo: the rows of the region node's world-to-object transform (rows 0-2 the
// linear part, row 3 the translation: local = x row0 + y row1 + z row2 + row3), and the
// region object's own-space box. 76 bytes, as the modifier packs them.
struct SnowRegion {
    V3 objectFromWorld[4];
    V3 centre;
    V3 halfExtent;
    int32_t isSphere = 0;  // 1: ellipsoid inside the box, 0: the box itself
};
static_assert(sizeof(SnowRegion) == 76, "SnowRegion is packed by the modifier as 76 bytes");

enum SnowRegionMode : int32_t {
    kRegionNoSnow = 0,
    kRegionSnowOnlyHere = 1,
    kRegionFullSnow = 2,  // ignore shelter; any other value behaves the same
};

// Lengths in scene units, angles in degrees. The initial values are the snow modifier's
// parameter defaults (its table in snow/snow_params.h; a test holds the two together), so
// a record left alone builds what a fresh modifier builds in a centimetre scene.
struct SnowSettings {
    float depth = 10.0f;        // full snow thickness
    float slopeMax = 55.0f;     // degrees; steeper faces get no snow
    float slopeSoft = 20.0f;    // degrees; fade width below slopeMax
    float edgeRound = 6.0f;     // rounded lip width
    float groundCover = 1.0f;   // 0..1 street-level coverage
    float groundBand = 40.0f;   // height of the street-level band above the lowest point
    float overhang = 0.0f;      // cornice reach
    float coverage = 1.0f;      // 0..1 fraction covered by patches
    float patchScale = 80.0f;   // patch noise wavelength
    float noiseAmount = 0.25f;  // bump strength
    float noiseScale = 50.0f;   // bump wavelength
    float resolution = 3.0f;    // detail edge length
    int32_t maxTris = 500000;   // triangle budget
    float occlusion = 1.0f;     // 0..1 shelter strength
    int32_t occRays = 24;       // shelter rays per point
    float spread = 25.0f;       // degrees; half-angle of the sky cone
    float occDist = 0.0f;       // ray reach, 0 = unlimited
    float windAngle = 0.0f;     // degrees from +X toward +Y, the way the wind blows
    float drift = 0.0f;         // 0..1 wind drift strength
    float leeDist = 300.0f;     // lee reach
    float smoothing = 2.0f;     // whole number of soften passes
    bool closed = true;         // closed solid with a bottom
    float uvScale = 100.0f;     // UV tile size
    int32_t seed = 1;
    bool useGPU = true;
    std::vector<SnowRegion> regions;
    int32_t regionMode = kRegionNoSnow;
    float regionFalloff = 0.3f;  // soft edge, clamped to 0..1 where used
    float regionStrength = 1.0f;
    // Per input vertex paint weight 0..1; ignored unless it has one entry per position.
    const std::vector<float>* paintWeights = nullptr;
};

// Every field of a settings record in record order, as a tuple of references. The binding
// names each field once, so a field added to SnowSettings stops the build here until it is
// named, and so visited below and hashed into the modifier's cache key.
template <class Settings>
auto settingsFields(Settings& s) {
    auto& [depth, slopeMax, slopeSoft, edgeRound, groundCover, groundBand, overhang, coverage, patchScale, noiseAmount,
           noiseScale, resolution, maxTris, occlusion, occRays, spread, occDist, windAngle, drift, leeDist, smoothing,
           closed, uvScale, seed, useGPU, regions, regionMode, regionFalloff, regionStrength, paintWeights] = s;
    return std::forward_as_tuple(depth, slopeMax, slopeSoft, edgeRound, groundCover, groundBand, overhang, coverage,
                                 patchScale, noiseAmount, noiseScale, resolution, maxTris, occlusion, occRays, spread,
                                 occDist, windAngle, drift, leeDist, smoothing, closed, uvScale, seed, useGPU, regions,
                                 regionMode, regionFalloff, regionStrength, paintWeights);
}

// How many fields lead the tuple as single numbers.
template <class Fields, size_t I = 0>
constexpr size_t leadingNumbers() {
    if constexpr (I < std::tuple_size_v<Fields>) {
        if constexpr (std::is_arithmetic_v<std::remove_cvref_t<std::tuple_element_t<I, Fields>>>)
            return leadingNumbers<Fields, I + 1>();
    }
    return I;
}

// The fields up to the regions are the single numbers the builder reads.
inline constexpr size_t kSnowScalarSettings = leadingNumbers<decltype(settingsFields(std::declval<SnowSettings&>()))>();

template <size_t First, size_t... I, class Settings, class F>
void forEachSettingIn(Settings& s, F&& f, std::index_sequence<I...>) {
    auto fields = settingsFields(s);
    (f(std::get<First + I>(fields)), ...);
}

// Visits the single numbers, in record order: f(field) for each. The modifier's cache key
// hashes them in this order.
template <class Settings, class F>
void forEachScalarSetting(Settings& s, F&& f) {
    forEachSettingIn<0>(s, f, std::make_index_sequence<kSnowScalarSettings>{});
}

// Visits the fields that say where snow may lie, in record order: the regions, their mode,
// soft edge and strength, and the paint weights.
template <class Settings, class F>
void forEachAreaSetting(Settings& s, F&& f) {
    constexpr size_t all = std::tuple_size_v<decltype(settingsFields(s))>;
    forEachSettingIn<kSnowScalarSettings>(s, f, std::make_index_sequence<all - kSnowScalarSettings>{});
}

// Every field, in record order.
template <class Settings, class F>
void forEachSetting(Settings& s, F&& f) {
    forEachScalarSetting(s, f);
    forEachAreaSetting(s, f);
}

// The record's size, as the fields above make it: the leading numbers take 104 bytes with
// their padding, the regions' three numbers 16. A field added without its visit changes it.
static_assert(sizeof(SnowSettings) == 104 + sizeof(std::vector<SnowRegion>) + 16 + sizeof(void*),
              "every SnowSettings field is visited by forEachScalarSetting or forEachAreaSetting");

struct SnowStats {
    int32_t facesIn = 0;
    int32_t upFacing = 0;  // 0: no face is flat enough
    int32_t trianglesOut = 0;
    int32_t verticesOut = 0;
    int32_t sceneTriangles = 0;  // triangles of the shelter hierarchy, 0 without one
    float detail = 0.0f;         // fine edge length used after the budget scaling
    double buildMs = 0.0;
    double refineMs = 0.0;
    double shelterMs = 0.0;
    bool usedGPU = false;
    float openSky = 0.0f;     // mean open-sky fraction over the refined points
    float meanAmount = 0.0f;  // mean snow amount before softening
    float thickest = 0.0f;
};

enum SnowTriangleKind : uint8_t {
    kSnowTop = 0,
    kSnowWall = 1,
    kSnowBottom = 2,
};

// World-space shell; triangles wind counter-clockwise seen from outside.
struct SnowShell {
    std::vector<V3> vertices;
    std::vector<int32_t> indices;  // three per triangle
    std::vector<V3> uvw;           // one per vertex: (x, y) / uvScale, 0
    std::vector<uint8_t> kinds;    // SnowTriangleKind, one per triangle

    void clear() {
        vertices.clear();
        indices.clear();
        uvw.clear();
        kinds.clear();
    }
};

}  // namespace wx
