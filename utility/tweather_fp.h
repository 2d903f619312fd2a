// "TWeather", the module's core script interface: MAKE WEATHER and its reports, Remove,
// Bake and Update shelter, the snow status of one node, the version, the preset list and
// the last scene capture's report.
// One static object from the module's start to its end. Main thread only.
#pragma once

#include "max/ifnpub.h"

namespace wx {

inline constexpr Interface_ID kTWeatherInterfaceID{0x6e2a51c4, 0x3f7b09d2};

enum TWeatherFunction : FunctionID {
    kTWeatherMake = 0,
    kTWeatherRemove = 1,
    kTWeatherUpdateShelter = 2,
    kTWeatherBake = 3,
    kTWeatherStatus = 4,
    kTWeatherVersion = 6,
    kTWeatherPresets = 7,
    kTWeatherMakeEx = 8,
    kTWeatherShelterReport = 9,
    kTWeatherMakeInside = 10,
};

// Publishes TWeather (once; again after a withdrawal).
void installTWeatherInterface();
void uninstallTWeatherInterface();

// The snow status text of the first live snow modifier whose first scene node is node, or
// "no Tarnwick Snow on this object".
std::wstring snowStatusOf(INode* node);
// One line per preset: its 1-based number, a blank, its name and a line feed.
std::wstring presetLines();

}  // namespace wx
