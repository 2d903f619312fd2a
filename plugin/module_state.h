// Module-wide state: the module's instance handle (the host loads our dialogs and strings
// through it), the rendering flag that the render notifications keep, and the one-shot
// scene-capture timer that gathers the shelter scene shortly after a file opens or a
// "Whole scene" snow modifier first asks for it. Main thread only.
#pragma once

#include "max/max_types.h"

namespace wx {

HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

// True between the host's pre-render and post-render notifications.
bool hostRendering();
void setHostRendering(bool rendering);

inline constexpr unsigned kCaptureDelayMs = 30;

// Starts the capture timer unless one is pending. Its procedure kills the timer, captures
// the scene at the host's current time and redraws the viewports.
void startCaptureTimer();
bool captureTimerPending();
// Kills a pending timer (shutdown); its procedure never runs afterwards.
void killCaptureTimer();

}  // namespace wx
