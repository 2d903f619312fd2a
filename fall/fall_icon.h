// The fall object's viewport icon: a cloud of five puffs over a drop with two eyes and two
// wings, and the label "TARNWICK WEATHER" to its right, all as line segments (two points
// each) in the object's Z = 0 plane, centred on the pivot. The icon grows with the volume
// (scale max(1, 0.06 x its diagonal)) so it stays visible over a large fall. Built anew for
// each use; pure functions, no host types.
#pragma once

#include <vector>

#include "common/v3.h"

namespace wx {

inline constexpr char kFallLabel[] = "TARNWICK WEATHER";

// max(1, 0.06 x sqrt(width^2 + length^2 + height^2)), world units.
float fallIconScale(float width, float length, float height);

// The icon's segments (cloud, drop, wings, eyes), then the label's, at scale s.
std::vector<V3> fallIconLines(float s);

// Where the label's letters stand at scale s: the cell of character i spans
// [labelCellLeft(s, i), + 0.62 x 0.3s] across and [-0.42s, -0.42s + 0.3s] up.
float fallLabelCellLeft(float s, size_t i);
float fallLabelBaseline(float s);
float fallLabelHeight(float s);
float fallLabelCellWidth(float s);

// The box of the icon's and label's points (z 0).
struct FallIconBox {
    V3 min, max;
};
FallIconBox fallIconBox(float s);

}  // namespace wx
