// What the `tweather map` subcommands share: opening the scene with the weather plug-in,
// finding a Weather Map by name among the scene's materials, capturing the shelter scene
// through the map, and a frame number as ticks.
#pragma once

#include <string>
#include <vector>

#include "max/interval.h"

class Texmap;
class Mtl;

namespace tweather {

using FailFn = void (*)(const std::string&);

// After the session started: the plug-in's map class is there and the scene is open.
// 0 or the exit code.
int openMapScene(bool sessionStarted, const std::string& scenePath, FailFn fail);

// Every Weather Map the scene's materials use, each once, in node order.
std::vector<Texmap*> sceneWeatherMaps();

// The scene's Weather Map named `name`; null (and a usage message naming the maps there
// are) when there is none.
Texmap* findWeatherMap(const std::string& name, FailFn fail);

// Captures the shelter scene at t through the map's tools; false when the map has none.
bool captureShelterThrough(Texmap* map, TimeValue t);

// --time / --frame text to ticks at the scene's frame rate. 0 or the usage exit code.
int frameTextToTicks(const std::string& text, const char* option, FailFn fail, TimeValue& t);

// Whether the mode reads as a bump (2 rain ripples, 3 drops on glass).
bool mapModeIsBumpMode(int mode);

}  // namespace tweather
