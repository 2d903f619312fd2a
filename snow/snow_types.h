// The snow builder's records: the settings the modifier hands in, the region gizmos, the
// statistics it reads back for its status line, and the shell it turns into mesh faces.
// Plain data in fixed field order (the modifier hashes the first 25 settings fields for
// its cache key); no host types. Not shared between threads while a build runs.
#pragma once

#include <cstdint>
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

// Lengths in scene units, angles in degrees. The initial values are the record's own,
// used only where a caller leaves a field alone; the modifier's parameter defaults differ.
struct SnowSettings {
    float depth = 10.0f;       // full snow thickness
    float slopeMax = 55.0f;    // degrees; steeper faces get no snow
    float slopeSoft = 20.0f;   // degrees; fade width below slopeMax
    float edgeRound = 8.0f;    // rounded lip width
    float groundCover = 1.0f;  // 0..1 street-level coverage
    float groundBand = 40.0f;  // height of the street-level band above the lowest point
    float overhang = 0.0f;     // cornice reach
    float coverage = 1.0f;     // 0..1 fraction covered by patches
    float patchScale = 60.0f;  // patch noise wavelength
    float noiseAmount = 0.2f;  // bump strength
    float noiseScale = 40.0f;  // bump wavelength
    float resolution = 3.0f;   // detail edge length
    int32_t maxTris = 400000;  // triangle budget
    float occlusion = 1.0f;    // 0..1 shelter strength
    int32_t occRays = 24;      // shelter rays per point
    float spread = 25.0f;      // degrees; half-angle of the sky cone
    float occDist = 0.0f;      // ray reach, 0 = unlimited
    float windAngle = 0.0f;    // degrees from +X toward +Y, the way the wind blows
    float drift = 0.0f;        // 0..1 wind drift strength
    float leeDist = 0.0f;      // lee reach
    float smoothing = 2.0f;    // whole number of soften passes
    bool closed = true;        // closed solid with a bottom
    float uvScale = 100.0f;    // UV tile size
    int32_t seed = 1;
    bool useGPU = true;
    // Per input vertex paint weight 0..1; ignored unless it has one entry per position.
    const std::vector<float>* paintWeights = nullptr;
    std::vector<SnowRegion> regions;
    int32_t regionMode = kRegionNoSnow;
    float regionFalloff = 0.3f;  // soft edge, clamped to 0..1 where used
    float regionStrength = 1.0f;
};

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
