// The point files of `tweather map sample`: a CSV table with a header row naming its
// columns, one shading sample per data row. Required columns x, y, z (world position), nx,
// ny, nz (normal), u, v (map coordinates); optional time (frames), node (a node's name),
// face (face number) and vx, vy, vz (view direction, all three or none). Plain text in,
// plain records out; no host types.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tweather {

struct MapPoint {
    std::array<double, 3> position{}, normal{};
    double u = 0.0, v = 0.0;
    std::optional<double> frame;  // the row's own time, frames
    std::string node;             // empty: no node
    int face = 0;
    std::optional<std::array<double, 3>> view;  // absent: minus the normal
    std::string text;                           // the row as read (without its line ending)
};

struct MapPointTable {
    std::string header;  // the header row as read
    std::vector<MapPoint> points;
};

// Reads the table. False with `error` for a missing required column (or a view direction
// with only some of vx, vy, vz), a repeated column, a row with more or fewer fields than
// the header, a number that does not parse or is not finite, or a face that is not a whole
// number in the 32-bit range; each message names the line. Blank lines are skipped.
bool readMapPoints(const std::string& text, MapPointTable& out, std::string& error);

// The shortest text that reads back as the same float.
std::string shortestFloat(float v);

}  // namespace tweather
