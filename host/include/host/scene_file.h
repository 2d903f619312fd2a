// Scene files: the whole scene as JSON (settings, node hierarchy with transforms and keys,
// objects by super class and Class_ID with their parameter blocks by block and parameter id,
// world-space-modifier stacks, meshes with map channels and specified normals, materials,
// nodes' application data, the selection and the handle counter). Files are written atomically (a temporary file in
// the same folder, then rename). Loading builds the new scene beside the open one and swaps
// only when the whole file was read, so a malformed or truncated file leaves the open scene
// untouched; the message names the place (line and column, or the JSON path). Objects of
// unknown classes are kept with their data (see missing_classes.h) and reported.
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "host/scene.h"
#include "host/scene_settings.h"

namespace host {

struct SceneFileReport {
    std::vector<std::string> warnings;  // unknown classes, parameters that did not fit
};

// The JSON text of a scene with its settings.
std::string sceneToJson(Scene& scene, const SceneSettings& settings);
// A new scene from JSON text; null with `error` when the text is malformed. `source`
// names the text in messages (a file path).
std::unique_ptr<Scene> sceneFromJson(const std::string& text, const std::string& source, SceneSettings& settings,
                                     std::string& error, SceneFileReport* report = nullptr);

// The open scene to `path`; false with a message when it cannot be written (the previous
// file, if any, is left as it was). Fires NOTIFY_FILE_PRE_SAVE and NOTIFY_FILE_POST_SAVE.
bool saveScene(const std::string& path, std::string& error);
// Replaces the open scene with the file's; false with a message (and nothing changed) when
// it cannot be read. Fires NOTIFY_FILE_PRE_OPEN and, after success, NOTIFY_FILE_POST_OPEN.
bool loadScene(const std::string& path, std::string& error, SceneFileReport* report = nullptr);

// Writes bytes to `path` through the program's one atomic writer (common/atomic_file.h).
inline bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    return wx::writeFileAtomically(path, bytes, error);
}
bool readFile(const std::string& path, std::string& bytes, std::string& error);

}  // namespace host
