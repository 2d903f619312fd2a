// Must NOT compile with the plug-in module's settings: the stand-in's own headers are not
// on a module's include path, so no module code can reach the host's internals.
#include "host/scene.h"

void boundaryProbeReachesStandIn() {
    host::currentScene();
}
