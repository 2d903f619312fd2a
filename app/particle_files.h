// Particle states to files: CSV (one row a particle, %.9g values) and binary PLY (a vertex
// element of nine floats). Both write a temporary file beside the target and rename it
// over the target once it is complete, so a failed or interrupted write leaves no file
// and an earlier one as it was. The particles stream out: a render count of particles
// never needs its whole text in memory.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fall/fall_field.h"

namespace tweather {

// Called now and then while writing with the particles written so far.
using WriteProgress = std::function<void(size_t done)>;

// "index,x,y,z,vx,vy,vz,size,fade,age", then one row a particle, values as %.9g.
bool writeParticlesCsv(const std::string& path, const std::vector<wx::FallParticle>& particles,
                       const WriteProgress& progress, std::string& error);

// Binary little-endian PLY: "element vertex N" with float x y z vx vy vz size fade age.
bool writeParticlesPly(const std::string& path, const std::vector<wx::FallParticle>& particles,
                       const WriteProgress& progress, std::string& error);

// The PLY header for n particles, exactly as written.
std::string particlePlyHeader(size_t n);

}  // namespace tweather
