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
    gFallFPDesc.AppendFunction(kFallFnRenderFrame, L"renderFrame", 0, TYPE_BOOL, 0,
                               {{L"camera", TYPE_INODE},
                                {L"frame", TYPE_INT},
                                {L"file", TYPE_STRING},
                                {L"width", TYPE_INT},
                                {L"height", TYPE_INT}});
    gFallFPDesc.AppendFunction(kFallFnRenderOver, L"renderOver", 0, TYPE_BOOL, 0,
                               {{L"camera", TYPE_INODE},
                                {L"frame", TYPE_INT},
                                {L"background", TYPE_STRING},
                                {L"file", TYPE_STRING}});
    gFallFPDesc.AppendFunction(kFallFnRenderSequenceOver, L"renderSequenceOver", 0, TYPE_INT, 0,
                               {{L"camera", TYPE_INODE},
                                {L"start", TYPE_INT},
                                {L"end", TYPE_INT},
                                {L"backgroundPattern", TYPE_STRING},
                                {L"outputPattern", TYPE_STRING}});
    return true;
}();

}  // namespace

ClassDesc2* GetFallDesc() {
    return &gFallDesc;
}

FPInterfaceDesc* WeatherFallFP::GetDesc() {
    return &gFallFPDesc;
}

namespace {

std::wstring text(const FPValue& v) {
    return v.s ? v.s : L"";
}

}  // namespace

// The render commands answer through their status text and result; nothing they meet is
// thrown to the script.
FPStatus WeatherFallFP::_dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) {
    switch (fid) {
        case kFallFnStatus:
            result.LoadTSTR(fallStatus());
            return FPS_OK;
        case kFallFnRenderFrame:
            result.LoadBool(renderFrame(p->params[0].n, p->params[1].i, text(p->params[2]), p->params[3].i,
                                        p->params[4].i));
            return FPS_OK;
        case kFallFnRenderOver:
            result.LoadBool(renderOver(p->params[0].n, p->params[1].i, text(p->params[2]), text(p->params[3])));
            return FPS_OK;
        case kFallFnRenderSequenceOver:
            result.LoadInt(renderSequenceOver(p->params[0].n, p->params[1].i, p->params[2].i, text(p->params[3]),
                                              text(p->params[4])));
            return FPS_OK;
        default:
            return FPS_NO_SUCH_FUNCTION;
    }
}

}  // namespace wx
