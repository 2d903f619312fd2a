// The snow modifier's inputs to a build: the settings record read from its parameter block
// through the parameter table, and the cache key over everything a build depends on. The
// modifier rebuilds only when the key changes.
#pragma once

#include <cstdint>
#include <span>

#include "max/mesh.h"
#include "max/param_block2.h"
#include "snow/snow_types.h"

namespace wx {

// Every SnowSettings field that a parameter feeds, read at t; `valid` narrows to the span
// over which they all stay as read. The regions and paint weights are left empty.
SnowSettings readSnowSettings(IParamBlock2* pb, TimeValue t, Interval& valid);

// What a build depends on besides the mesh and the settings.
struct SnowKeyExtras {
    bool viewport = false;          // coarser viewport detail
    int occluders = 0;              // SnowShelterFrom
    std::span<const int> excluded;  // material ids without snow
    uint64_t sceneGeneration = 0;   // counts only when the whole scene shelters
};

// The mesh's vertices, faces and material ids, the settings in record order, then the
// extras; never 0 (0 means "no shell yet").
uint64_t snowCacheKey(const Mesh& mesh, const SnowSettings& settings, const SnowKeyExtras& extras);

}  // namespace wx
