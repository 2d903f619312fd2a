// Undo snapshots are scene files held in memory: the JSON of the whole scene and its
// settings, read back into a new scene that replaces the open one.
#include "host/undo_snapshots.h"

#include <memory>

#include "host/scene_file.h"

namespace host {

namespace {

std::string takeSnapshot() {
    return sceneToJson(currentScene(), sceneSettings());
}

bool restoreSnapshot(const std::string& snapshot) {
    SceneSettings settings;
    std::string error;
    std::unique_ptr<Scene> scene = sceneFromJson(snapshot, "undo", settings, error);
    if (!scene) return false;
    // The time slider is not part of what undo restores.
    settings.time = sceneSettings().time;
    settings.animateMode = sceneSettings().animateMode;
    sceneSettings() = settings;
    replaceScene(std::move(scene));
    return true;
}

// Installed once, before main: every executable links this archive whole.
[[maybe_unused]] const bool kInstalled = (setUndoSnapshots({takeSnapshot, restoreSnapshot}), true);

}  // namespace

}  // namespace host
