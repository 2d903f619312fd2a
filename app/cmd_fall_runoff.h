// tweather fall runoff SCENE [--node NAME] [--frame F] [-o EDGES.obj|.csv] [--json STATS.json]
// works out what a GPU render of the fall at frame F is given, with the scene captured as
// a render captures it, and prints the run-off: "run-off: N edges, D drops", or why there
// is none. The drip edges go to OBJ or CSV, the figures to JSON. Exit codes as
// app/exit_codes.h says.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct FallRunoffCommand {
    std::string scene;
    std::string node;         // the fall's node; empty when the scene has only one fall
    std::string frame = "0";  // frame number, fractional or negative
    std::string edges;        // .obj or .csv; empty: none written
    std::string json;         // empty: none written
    std::vector<std::string> plugins;
};

// Runs the command; messages go to stdout and stderr. Returns the exit code.
int runFallRunoff(const FallRunoffCommand& command);

// Adds "runoff" to the fall command, filling `command` from the command line.
CLI::App* addFallRunoff(CLI::App& fall, FallRunoffCommand& command);

}  // namespace tweather
