// Scene-wide settings the host keeps with each scene file: system unit, frame rate,
// animation range and the time slider. One instance per process, replaced when a scene is
// loaded, reset or created. Main thread only.
#pragma once

#include "max/interval.h"
#include "max/units.h"

namespace host {

struct SceneSettings {
    int unitType = UNITS_CENTIMETERS;  // system unit = unitScale x unitType
    float unitScale = 1.0f;
    int ticksPerFrame = 160;  // 30 frames per second
    Interval animRange{0, 100 * 160};
    TimeValue time = 0;
    bool animateMode = false;   // Auto Key: SetValue on animatable parameters creates keys
    bool renderHidden = false;  // the renderer also draws hidden nodes
    int renderWidth = 640;      // renderer output size, pixels
    int renderHeight = 480;
};

SceneSettings& sceneSettings();

// Broadcast (BroadcastNotification) each time Interface::SetTime sets the time slider, with
// a pointer to the new TimeValue as callParam. A stand-in code outside the SDK's range;
// the open parameter maps hear it and show their values at the new time.
inline constexpr int kNotifyTimeChanged = 0x10000;

}  // namespace host
