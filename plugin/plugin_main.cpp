// The module's front door: the exports through which the host finds its classes, and the
// start and end of its life in the host.
#include <dlfcn.h>

#include "fall/weather_fall.h"
#include "max/plugin_api.h"
#include "plugin/module_state.h"
#include "plugin/plugin_events.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"
#include "utility/tweather_fp.h"
#include "utility/weather_util.h"
#include "weathermap/weather_map.h"

namespace {

// The classes in LibClassDesc order.
ClassDesc* classAt(int i) {
    ClassDesc* const classes[] = {wx::GetSnowModDesc(), wx::GetFallDesc(), wx::GetWeatherMapDesc(),
                                  wx::GetWeatherUtilDesc()};
    return i >= 0 && i < int(std::size(classes)) ? classes[i] : nullptr;
}
constexpr int kClassCount = 4;

// The module handle, as the process-attach entry point would store it: the address of
// this shared object in the process.
HINSTANCE ownHandle() {
    Dl_info info{};
    return dladdr(reinterpret_cast<void*>(&ownHandle), &info) ? static_cast<HINSTANCE>(info.dli_fbase) : nullptr;
}

}  // namespace

WX_PLUGIN_EXPORT const MCHAR* LibDescription() {
    return L"Tarnwick Weather - snow and rain by TarnwickFX";
}
WX_PLUGIN_EXPORT int LibNumberClasses() {
    return kClassCount;
}
WX_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) {
    return classAt(i);
}
WX_PLUGIN_EXPORT ULONG LibVersion() {
    return VERSION_3DSMAX;
}

WX_PLUGIN_EXPORT int LibInitialize() {
    wx::setModuleInstance(ownHandle());
    // A module kept loaded from an earlier run of the host in this process starts over
    // without that run's shelter scene.
    wx::discardScene();
    wx::setMaterialsInstaller(wx::installMaterialsLibrary);
    wx::installTWeatherInterface();
    wx::registerModuleHandlers();
    return TRUE;
}

WX_PLUGIN_EXPORT int LibShutdown() {
    wx::unregisterModuleHandlers();
    wx::uninstallTWeatherInterface();
    wx::uninstallMaterialsLibrary();
    wx::resetMaterialsScript();
    return TRUE;
}
