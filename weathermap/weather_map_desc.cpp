// The Weather Map's class descriptor and its parameter block, built from the parameter
// table (weathermap/map_params.h): ids, internal names, defaults, ranges, animatable flags
// and the three rollouts with their controls.
#include "max/param_block2.h"
#include "plugin/module_state.h"
#include "plugin/param_table_desc.h"
#include "weathermap/weather_map.h"

namespace wx {
namespace {

class WeatherMapDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return static_cast<Texmap*>(new WeatherMap()); }
    const MCHAR* ClassName() override { return L"Weather Map"; }
    const MCHAR* NonLocalizedClassName() override { return L"Weather Map"; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return kWeatherMapClassID; }
    const MCHAR* Category() override { return TEXMAP_CAT_3D; }
    const MCHAR* InternalName() override { return L"WeatherMap"; }
    HINSTANCE HInstance() override { return moduleInstance(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    BOOL OkToCreate(Interface*) override { return 1; }
};

WeatherMapDesc gWeatherMapDesc;

ParamBlockDesc2 gWeatherMapParams(0, L"params", 0, &gWeatherMapDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

const bool gWeatherMapParamsBuilt = [] {
    addParamRows<MapState>(gWeatherMapParams, kMapRollouts, mapParamRows());
    return true;
}();

}  // namespace

ClassDesc2* GetWeatherMapDesc() {
    return &gWeatherMapDesc;
}

}  // namespace wx
