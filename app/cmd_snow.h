// `tweather snow`: build a snow shell on an OBJ file's faces and write the object with its
// snow as OBJ, optionally with the build statistics as JSON. The whole file is one object
// and also the scene that shelters it.
#pragma once

#include <string>
#include <vector>

namespace tweather {

struct SnowCommand {
    std::string input;              // OBJ file
    std::string output;             // OBJ file
    std::vector<std::string> sets;  // NAME=VALUE, applied in order
    std::string statsPath;          // JSON file, or empty
};

// Runs the command; messages go to stdout and stderr. Returns the exit code: 0 success,
// 1 a file could not be read or written, 2 bad usage.
int runSnowCommand(const SnowCommand& command);

}  // namespace tweather
