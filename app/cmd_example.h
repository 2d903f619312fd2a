// `tweather example`: writes the built-in example scene, a small generated town, as OBJ
// in centimetres with +Z up, ready for `tweather snow`.
#pragma once

#include <string>

namespace tweather {

// Returns the exit code: 0 success, 1 the file could not be written, 2 bad usage.
int runExampleCommand(const std::string& output, int triangles);

}  // namespace tweather
