// glTF (text) and GLB (binary, chosen by its magic) import over any bytes.
#include <cstring>

#include "fuzz_host.h"
#include "fuzz_support.h"
#include "host/scene.h"
#include "host/scene_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wx::fuzz::startHostOnce();
    const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    const std::string path = wx::fuzz::asFile(data, size, binary ? ".glb" : ".gltf");
    std::string error;
    host::ImportReport report;
    if (!host::importGltf(path, error, &report) && error.empty()) __builtin_trap();
    // The reset retires the imported scene; freeing it here keeps each run's memory its
    // own, so no run pays for a heap grown by the ones before it (a leak check scans it).
    host::resetScene();
    host::freeRetiredScenes();
    return 0;
}
