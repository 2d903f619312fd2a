// The host application's life and the scene-wide events that plug-ins hear about:
// start-up (modules loaded, then NOTIFY_SYSTEM_STARTUP), reset and new scene, a render's
// pre- and post-render notifications, and shutdown (the shutdown notifications, the scene
// freed, then every module's LibShutdown). Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/interval.h"

namespace host {

// Loads the modules in order and broadcasts NOTIFY_SYSTEM_STARTUP once. A module that fails
// to load is reported in `errors` and skipped; the others still load.
void startUp(const std::vector<std::string>& modulePaths, std::vector<std::string>& errors);
void shutDown();
// File > Reset: an empty scene with default settings; NOTIFY_SYSTEM_PRE_RESET/POST_RESET.
void resetScene();
// File > New (keeps the settings); NOTIFY_SYSTEM_PRE_NEW/POST_NEW.
void newScene();
// Bracket a render at time t with NOTIFY_PRE_RENDER and NOTIFY_POST_RENDER.
void beginRender(TimeValue t);
void endRender();
bool rendering();

}  // namespace host
