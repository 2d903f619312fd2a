// The built-in example: a small town made in code, in centimetres, +Z up: ground, a path,
// gabled houses, a carport roof on posts, a bridge over the path, a wall, a lamp post and
// a bench, each its own named mesh node (a few thousand triangles in all), lit by a sun
// and seen by a camera. Every run makes the same scene.
#pragma once

namespace tweather {

// Fills the open scene (which should be empty) with the town.
void buildDemoTown();

// Footprints in the ground plane (centimetres) that the town's roofs cover, for checks
// that the ground beneath them stays bare: x0, y0, x1, y1.
struct Footprint {
    float x0, y0, x1, y1;
};
Footprint carportFootprint();
Footprint bridgeFootprint();

}  // namespace tweather
