// Where the command line finds the weather plug-in module: TWEATHER_PLUGIN names it
// outright; otherwise it is plugins/tweather-weather.so beside the executable's folder
// (the build tree's layout) or inside it.
#pragma once

#include <string>
#include <vector>

namespace tweather {

// The module's path, or empty when it is nowhere to be found.
std::string weatherModulePath();

// The weather module (when found) followed by the extra modules a command names. When it
// is not found, `warning` says where it was looked for.
std::vector<std::string> modulesToLoad(const std::vector<std::string>& extra, std::string& warning);

}  // namespace tweather
