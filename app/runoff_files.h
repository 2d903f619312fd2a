// Drip edges and run-off figures to files, each written beside its target and renamed
// over it when complete: OBJ (two vertices and a line per edge), CSV (one row per edge
// with its running weight sum, %.9g) and a JSON summary.
#pragma once

#include <cstdint>
#include <string>

#include "fall/fall_render_setup.h"

namespace tweather {

// The figures the summary holds; `status` is the line the command prints.
struct RunoffSummary {
    size_t edges = 0;
    float totalWeight = 0.0f;
    int64_t drops = 0;
    float dripRate = 0.0f;
    int64_t count = 0;
    float height = 0.0f;
    float gravity = 0.0f;
    size_t sceneTriangles = 0;
    std::string status;
};

RunoffSummary summarizeRunoff(const wx::FallRenderSetup& setup);

// The printed line: "run-off: N edges, D drops", or why there is none.
std::string runoffLine(const wx::FallRenderSetup& setup);

// "v x0 y0 z0", "v x1 y1 z1", "l -2 -1" per edge (none without run-off).
bool writeDripEdgesObj(const std::string& path, const wx::DripEdgeList* list, std::string& error);
// "x0,y0,z0,x1,y1,z1,weight,cumWeight", then a row per edge.
bool writeDripEdgesCsv(const std::string& path, const wx::DripEdgeList* list, std::string& error);
bool writeRunoffJson(const std::string& path, const RunoffSummary& summary, std::string& error);

}  // namespace tweather
