// The fall object's class descriptor, its parameter block (built from the parameter table,
// fall/fall_params.h: ids, internal names, defaults, ranges, animatable flags and the seven
// rollouts with their controls) and the descriptor of its "weatherFall" mixin.
#include "fall/weather_fall.h"
#include "max/param_block2.h"
#include "plugin/module_state.h"
#include "plugin/param_table_desc.h"

namespace wx {
namespace {

class FallDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return static_cast<Object*>(new WeatherFall()); }
    const MCHAR* ClassName() override { return L"Tarnwick Weather"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Weather"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kWeatherFallClassID; }
    const MCHAR* Category() override { return L"TarnwickFX"; }
    const MCHAR* InternalName() override { return L"WeatherFall"; }
    HINSTANCE HInstance() override { return moduleInstance(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    BOOL OkToCreate(Interface*) override { return 1; }
};

FallDesc gFallDesc;

ParamBlockDesc2 gFallParams(0, L"params", 0, &gFallDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

const bool gFallParamsBuilt = [] {
    addParamRows<FallInputs>(gFallParams, kFallRollouts, fallParamRows());
    return true;
}();

// A string result by value: the script gets its own copy.
constexpr ParamType2 kStringByValue = ParamType2(TYPE_TSTR | TYPE_BY_VAL);

FPInterfaceDesc gFallFPDesc(kWeatherFallFPInterfaceID, L"weatherFall", 0, &gFallDesc, FP_MIXIN);

const bool gFallFPBuilt = [] {
    gFallFPDesc.AppendFunction(kFallFnStatus, L"fallStatus", 0, kStringByValue, 0, {});
    return true;
}();

}  // namespace

ClassDesc2* GetFallDesc() {
    return &gFallDesc;
}

FPInterfaceDesc* WeatherFallFP::GetDesc() {
    return &gFallFPDesc;
}

FPStatus WeatherFallFP::_dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams*) {
    switch (fid) {
        case kFallFnStatus:
            result.LoadTSTR(fallStatus());
            return FPS_OK;
        default:
            return FPS_NO_SUCH_FUNCTION;
    }
}

}  // namespace wx
