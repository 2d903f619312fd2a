#include "host/host_app.h"

#include "host/module_loader.h"
#include "host/scene.h"
#include "host/scene_settings.h"
#include "max/notify.h"

namespace host {

namespace {
bool gRendering = false;
}

void startUp(const std::vector<std::string>& modulePaths, std::vector<std::string>& errors) {
    for (const std::string& path : modulePaths) {
        std::string error;
        if (!moduleLoader().load(path, error)) errors.push_back(error);
    }
    BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
}

void shutDown() {
    BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
    BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN2);
    moduleLoader().unloadAll();
    replaceScene(nullptr);
    freeRetiredScenes();
    // The next start is a fresh run of the host: default units, frame rate and time.
    sceneSettings() = SceneSettings();
}

void resetScene() {
    BroadcastNotification(NOTIFY_SYSTEM_PRE_RESET);
    replaceScene(nullptr);
    sceneSettings() = SceneSettings();
    BroadcastNotification(NOTIFY_SYSTEM_POST_RESET);
}

void newScene() {
    int flags = PRE_NEW_NEW_ALL;
    BroadcastNotification(NOTIFY_SYSTEM_PRE_NEW, &flags);
    replaceScene(nullptr);
    BroadcastNotification(NOTIFY_SYSTEM_POST_NEW);
}

void beginRender(TimeValue t) {
    gRendering = true;
    sceneSettings().time = t;
    BroadcastNotification(NOTIFY_PRE_RENDER);
}

void endRender() {
    BroadcastNotification(NOTIFY_POST_RENDER);
    gRendering = false;
}

bool rendering() {
    return gRendering;
}

}  // namespace host
