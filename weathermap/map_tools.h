// What a Weather Map answers through GetInterface(kMapToolsInterfaceID): the few things a
// program that loads the plug-in module (the command line) needs and cannot reach by the
// map's class, which lives in the module. Main thread only.
#pragma once

#include <cstdint>

#include "max/max_types.h"

namespace wx {

// The Weather Map's class.
inline constexpr Class_ID kWeatherMapClassID{0xD7661B99, 0x85E20DB5};

inline constexpr Interface_ID kMapToolsInterfaceID{0x3C51A7E2, 0x6F0B4D19};

class MapTools : public BaseInterface {
public:
    // Captures the shelter scene at t (the map's probe reads it at its next Update).
    virtual void captureShelter(TimeValue t) = 0;
    // Triangles in the current captured scene (0: none, so no probe).
    virtual int shelterTriangles() const = 0;
};

}  // namespace wx
