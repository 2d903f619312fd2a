#include "utility/tweather_fp.h"

#include "max/interface.h"
#include "plugin/live_modifiers.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/make_weather.h"
#include "utility/scene_commands.h"
#include "utility/script_bridge.h"
#include "utility/weather_presets.h"

namespace wx {
namespace {

constexpr const char* kVersion = "1.5.1";

bool flag(const FPValue& v) {
    return v.i != 0;
}

// Make with a 1-based preset number; the answer is the last report, the earlier one when
// the number is out of range.
std::wstring make(int preset, int applyTo, bool surfaces, bool falling, bool materials) {
    makeWeather(preset - 1, applyTo, surfaces, falling, materials);
    return lastWeatherReport();
}

class TWeatherInterface : public FPStaticInterface {
public:
    TWeatherInterface() : FPStaticInterface(kTWeatherInterfaceID, L"TWeather", 0, nullptr, FP_CORE) {
        AppendFunction(kTWeatherMake, L"make", 0, TYPE_TSTR, 0, {{L"preset", TYPE_INT}, {L"wholeScene", TYPE_BOOL}});
        AppendFunction(kTWeatherRemove, L"remove", 0, TYPE_TSTR, 0, {{L"wholeScene", TYPE_BOOL}});
        AppendFunction(kTWeatherUpdateShelter, L"updateShelter", 0, TYPE_INT, 0, {});
        AppendFunction(kTWeatherBake, L"bake", 0, TYPE_TSTR, 0, {});
        AppendFunction(kTWeatherStatus, L"status", 0, TYPE_TSTR, 0, {{L"node", TYPE_INODE}});
        AppendFunction(kTWeatherVersion, L"version", 0, TYPE_TSTR, 0, {});
        AppendFunction(kTWeatherPresets, L"presets", 0, TYPE_TSTR, 0, {});
        AppendFunction(kTWeatherMakeEx, L"makeEx", 0, TYPE_TSTR, 0,
                       {{L"preset", TYPE_INT},
                        {L"wholeScene", TYPE_BOOL},
                        {L"surfaces", TYPE_BOOL},
                        {L"falling", TYPE_BOOL},
                        {L"materials", TYPE_BOOL}});
        AppendFunction(kTWeatherShelterReport, L"shelterReport", 0, TYPE_TSTR, 0, {});
        AppendFunction(kTWeatherMakeInside, L"makeInside", 0, TYPE_TSTR, 0, {{L"preset", TYPE_INT}});
    }

protected:
    // Arguments are read last first: a call with too few raises the arguments' own
    // out-of-range error before anything changes.
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) override {
        switch (fid) {
            case kTWeatherMake: {
                const bool whole = flag(p->params[1]);
                result.LoadTSTR(make(p->params[0].i, whole ? kApplyScene : kApplySelection, true, true, true));
                return FPS_OK;
            }
            case kTWeatherRemove:
                result.LoadTSTR(removeWeather(flag(p->params[0]) ? kApplyScene : kApplySelection));
                return FPS_OK;
            case kTWeatherUpdateShelter:
                result.LoadInt(updateShelter());
                return FPS_OK;
            case kTWeatherBake:
                result.LoadTSTR(bakeWeather());
                return FPS_OK;
            case kTWeatherStatus:
                result.LoadTSTR(snowStatusOf(p->params[0].n));
                return FPS_OK;
            case kTWeatherVersion:
                if (!materialsScriptInstalled()) installMaterialsScript();
                result.LoadTSTR(std::wstring(kVersion, kVersion + std::char_traits<char>::length(kVersion)));
                return FPS_OK;
            case kTWeatherPresets:
                result.LoadTSTR(presetLines());
                return FPS_OK;
            case kTWeatherMakeEx: {
                const bool materials = flag(p->params[4]), falling = flag(p->params[3]);
                const bool surfaces = flag(p->params[2]), whole = flag(p->params[1]);
                result.LoadTSTR(
                    make(p->params[0].i, whole ? kApplyScene : kApplySelection, surfaces, falling, materials));
                return FPS_OK;
            }
            case kTWeatherShelterReport:
                result.LoadTSTR(sceneLog());
                return FPS_OK;
            case kTWeatherMakeInside:
                result.LoadTSTR(make(p->params[0].i, kApplyInsideVolumes, true, false, true));
                return FPS_OK;
            default:
                return FPS_NO_SUCH_FUNCTION;
        }
    }
};

TWeatherInterface*& instance() {
    static TWeatherInterface* iface = nullptr;
    return iface;
}

}  // namespace

void installTWeatherInterface() {
    if (!instance()) instance() = new TWeatherInterface();
}

void uninstallTWeatherInterface() {
    delete instance();
    instance() = nullptr;
}

std::wstring snowStatusOf(INode* node) {
    for (LiveSnowMod* live : liveSnowMods()) {
        auto* mod = dynamic_cast<SnowMod*>(live);
        if (!mod) continue;
        INode* first = nullptr;
        visitNodesParentFirst(GetCOREInterface()->GetRootNode(), [&](INode* n) {
            if (!first && nodeUses(n, mod)) first = n;
        });
        if (first && first == node) return mod->statusText();
    }
    return L"no Tarnwick Snow on this object";
}

std::wstring presetLines() {
    std::wstring lines;
    int n = 0;
    for (const WeatherPreset& p : weatherPresets()) lines += std::to_wstring(++n) + L" " + p.name + L"\n";
    return lines;
}

}  // namespace wx
