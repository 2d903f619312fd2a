// The snow modifier's class descriptor and its parameter block, built from the parameter
// table (snow/snow_params.h): ids, internal names, defaults, ranges, animatable flags and
// the six rollouts with their controls.
#include "max/param_block2.h"
#include "plugin/module_state.h"
#include "plugin/param_table_desc.h"
#include "snow/snow_mod.h"
#include "snow/snow_params.h"

namespace wx {
namespace {

class SnowModDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new SnowMod(); }
    const MCHAR* ClassName() override { return L"Tarnwick Snow"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Snow"; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    Class_ID ClassID() override { return kSnowModClassID; }
    const MCHAR* Category() override { return L"TarnwickFX"; }
    const MCHAR* InternalName() override { return L"TarnwickSnow"; }
    HINSTANCE HInstance() override { return moduleInstance(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    BOOL OkToCreate(Interface*) override { return 1; }
};

SnowModDesc gSnowModDesc;

ParamBlockDesc2 gSnowParams(0, L"params", 0, &gSnowModDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

const bool gSnowParamsBuilt = [] {
    addParamRows<SnowSettings>(gSnowParams, kSnowRollouts, snowParamRows());
    return true;
}();

}  // namespace

ClassDesc2* GetSnowModDesc() {
    return &gSnowModDesc;
}

}  // namespace wx
