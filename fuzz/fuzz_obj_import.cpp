// OBJ import over any bytes, both up axes.
#include "fuzz_host.h"
#include "fuzz_support.h"
#include "host/scene.h"
#include "host/scene_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wx::fuzz::startHostOnce();
    const std::string path = wx::fuzz::asFile(data, size, ".obj");
    const bool yUp = size > 0 && (data[0] & 1);
    std::string error;
    host::ImportReport report;
    if (!host::importObj(path, yUp, error, &report) && error.empty()) __builtin_trap();
    // The reset retires the imported scene; freeing it here keeps each run's memory its
    // own, so no run pays for a heap grown by the ones before it (a leak check scans it).
    host::resetScene();
    host::freeRetiredScenes();
    return 0;
}
