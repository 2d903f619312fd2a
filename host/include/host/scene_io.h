// Import and export of other formats. Import reads glTF 2.0 (.gltf, .glb: hierarchy,
// transforms, meshes with UVs and materials, cameras, KHR_lights_punctual) or OBJ (.obj
// with its .mtl) into a new scene that replaces the open one, as File > Import into a reset
// scene; glTF scenes set the system unit to metres. Export writes the evaluated scene at a
// time: each visible, renderable node's world-state mesh in world space, faces grouped by
// material index (glTF materials with base colour and roughness; OBJ usemtl groups), map
// channel 1 as UVs. The host is +Z up and glTF +Y up: a host point (x, y, z) is glTF
// (x, z, -y), in metres. OBJ is read as +Z up unless told it is +Y up, and written +Z up in
// scene units. Failures leave the open scene as it was. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/interval.h"

class INode;

namespace host {

struct ImportReport {
    std::vector<std::string> warnings;
    int nodes = 0, meshes = 0, cameras = 0, lights = 0;
};

// By extension: .gltf/.glb or .obj; anything else is refused.
bool importScene(const std::string& path, std::string& error, ImportReport* report = nullptr, bool objYUp = false);
bool exportScene(const std::string& path, TimeValue t, std::string& error);

bool importGltf(const std::string& path, std::string& error, ImportReport* report = nullptr);
// onlyNode: that node alone (still only when visible and renderable).
bool exportGltf(const std::string& path, TimeValue t, std::string& error, INode* onlyNode = nullptr);
bool importObj(const std::string& path, bool yUp, std::string& error, ImportReport* report = nullptr);
bool exportObj(const std::string& path, TimeValue t, std::string& error);

// Lower-case extension with the dot ("" when none).
std::string extensionOf(const std::string& path);

}  // namespace host
