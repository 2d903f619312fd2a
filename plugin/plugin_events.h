// The six host notifications the module listens to for its whole life: start-up, the two
// render notifications, file open, reset and new scene. Registered in that order at
// initialisation and removed in the same order at shutdown, which also kills a pending
// scene-capture timer. Main thread only.
#pragma once

namespace wx {

void registerModuleHandlers();
void unregisterModuleHandlers();

}  // namespace wx
