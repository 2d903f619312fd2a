// `tweather example OUT`: writes the built-in example town (see demo_town.h) as a scene
// file (.scene, .json) or as a mesh export (.obj, .gltf, .glb).
#pragma once

#include <string>

namespace tweather {

// Returns the exit code: 0 success, 1 the file could not be written, 2 bad usage.
int runExampleCommand(const std::string& output);

}  // namespace tweather
