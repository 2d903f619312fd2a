// A fresh host scene with the weather classes and the materials library, for the
// benchmarks that run MAKE WEATHER and the scene commands; torn down again on leaving.
#pragma once

#include "fall/weather_fall.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"

namespace wxbench {

struct WeatherScene {
    WeatherScene() {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        wx::discardScene();
        host::classRegistry().add(wx::GetSnowModDesc());
        host::classRegistry().add(wx::GetFallDesc());
        wx::setMaterialsInstaller(wx::installMaterialsLibrary);
        wx::resetMaterialsScript();
    }
    ~WeatherScene() {
        wx::uninstallMaterialsLibrary();
        wx::resetMaterialsScript();
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().remove(wx::GetFallDesc());
        host::classRegistry().remove(wx::GetSnowModDesc());
        wx::discardScene();
    }
    WeatherScene(const WeatherScene&) = delete;
    WeatherScene& operator=(const WeatherScene&) = delete;
};

}  // namespace wxbench
