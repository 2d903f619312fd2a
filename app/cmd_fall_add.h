// tweather fall add: puts falling weather over a scene and saves it.
//   fall add SCENE -o OUT.scene [--name NAME] [--set NAME=VALUE]... [--around NODE]...
//            [--tornado-at X,Y]
// The volume covers the named nodes (or every node weather would go on), widened by 5% of
// its width and length on each side, from their lowest point to 2 m above their highest
// (6 m at least), as MAKE WEATHER sizes it; it is made by TWeatherMtl.makeFall, so it gets
// the same name, pivot and material as from a script. Exit codes as app/exit_codes.h says.
#pragma once

#include <string>
#include <vector>

namespace tweather {

struct FallAddCommand {
    std::string scene;
    std::string output;               // .scene or .json
    std::string name;                 // the new node's name; empty: "Tarnwick Weather" and a number
    std::vector<std::string> sets;    // NAME=VALUE, the fall's parameters by internal name
    std::vector<std::string> around;  // node names; empty: every node weather would go on
    std::string tornadoAt;            // "X,Y": a storm there, picked by the fall
    std::vector<std::string> plugins;
};

int runFallAdd(const FallAddCommand& command);

}  // namespace tweather
