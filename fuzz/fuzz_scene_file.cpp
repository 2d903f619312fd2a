// The scene-file reader over any bytes: a scene or a refusal with a message.
#include "fuzz_host.h"
#include "fuzz_support.h"
#include "host/scene_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wx::fuzz::startHostOnce();
    host::SceneSettings settings;
    std::string error;
    host::SceneFileReport report;
    auto scene =
        host::sceneFromJson(std::string(reinterpret_cast<const char*>(data), size), "fuzz", settings, error, &report);
    if (!scene && error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
}
