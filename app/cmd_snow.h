// `tweather snow`: build a snow shell on an OBJ file's faces and write the object with its
// snow as OBJ, optionally with the build statistics as JSON. The whole file is one object;
// it shelters itself ("this-object"), together with any occluder files (a roof above, say),
// or nothing shelters it.
#pragma once

#include <string>
#include <vector>

namespace tweather {

struct SnowCommand {
    std::string input;              // OBJ file
    std::string output;             // OBJ file
    std::vector<std::string> sets;  // NAME=VALUE, applied in order
    std::string statsPath;          // JSON file, or empty
    std::string shelter = "this-object";      // "this-object" or "nothing"
    std::vector<std::string> occluderFiles;  // OBJ files that shelter but get no snow
};

// Runs the command; messages go to stdout and stderr. Returns the exit code: 0 success,
// 1 a file could not be read or written, 2 bad usage.
int runSnowCommand(const SnowCommand& command);

}  // namespace tweather
