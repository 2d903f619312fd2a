#include "utility/materials_library.h"

#include "max/ifnpub.h"
#include "utility/fall_library.h"
#include "utility/snow_library.h"
#include "utility/weather_materials.h"
#include "utility/wet_materials.h"

namespace wx {

namespace {

constexpr Interface_ID kMaterialsLibraryID(0x2c7e41a9, 0x5d0b93f6);

enum : FunctionID {
    kAddSnow,
    kRemoveSnow,
    kApplySnow,
    kRestore,
    kCoverDialog,
    kPaint,
    kBake,
    kMakeFall,
    kRemoveFall,
    kGetLayerKind,
    kSetLayerKind,
    kApplyWet,
    kGlossWet,
    kApplyGlass,
};

// TWeatherMtl, a core interface: scripts reach it as a global by its internal name. Every
// argument is any value (TYPE_FPVALUE_BV); the functions check their own, so a wrong one
// reads the same as it always has.
class MaterialsLibrary : public FPStaticInterface {
public:
    MaterialsLibrary() : FPStaticInterface(kMaterialsLibraryID, L"TWeatherMtl", 0, nullptr, FP_CORE) {
        const ParamType2 any = TYPE_FPVALUE_BV;
        AppendFunction(kAddSnow, L"addSnow", 0, TYPE_TSTR, 0, {{L"node", any}, {L"pairs", any}});
        AppendFunction(kRemoveSnow, L"removeSnow", 0, TYPE_TSTR, 0, {{L"node", any}});
        AppendFunction(kApplySnow, L"applySnow", 0, TYPE_TSTR, 0,
                       {{L"node", any}, {L"snowId", any}, {L"highestId", any}, {L"snowOnly", any}});
        AppendFunction(kRestore, L"restore", 0, TYPE_TSTR, 0, {{L"node", any}});
        AppendFunction(kCoverDialog, L"coverDialog", 0, TYPE_TSTR, 0, {});
        AppendFunction(kPaint, L"paint", 0, TYPE_TSTR, 0, {{L"nodes", any}});
        AppendFunction(kBake, L"bake", 0, TYPE_TSTR, 0, {});
        AppendFunction(kMakeFall, L"makeFall", 0, TYPE_TSTR, 0,
                       {{L"boxMin", any}, {L"boxMax", any}, {L"pairs", any}, {L"rain", any}});
        AppendFunction(kRemoveFall, L"removeFall", 0, TYPE_TSTR, 0, {});
        AppendFunction(kApplyWet, L"applyWet", 0, TYPE_TSTR, 0,
                       {{L"node", any}, {L"wetness", any}, {L"puddles", any}, {L"rings", any}});
        AppendFunction(kGlossWet, L"glossWet", 0, TYPE_TSTR, 0, {{L"node", any}});
        AppendFunction(kApplyGlass, L"applyGlass", 0, TYPE_TSTR, 0, {{L"node", any}});
        AppendProperty(kGetLayerKind, kSetLayerKind, L"layerKind", 0, any);
    }

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) override {
        switch (fid) {
            case kAddSnow:
                result.LoadTSTR(addSnowModifier(*p, t));
                return FPS_OK;
            case kRemoveSnow:
                result.LoadTSTR(removeSnowModifiers(*p));
                return FPS_OK;
            case kApplySnow:
                result.LoadTSTR(applyWeatherMaterial(*p));
                return FPS_OK;
            case kRestore:
                result.LoadTSTR(restoreMaterial(*p));
                return FPS_OK;
            case kCoverDialog:
                result.LoadTSTR(listWeatherMaterials());
                return FPS_OK;
            case kPaint:
                result.LoadTSTR(paintAdvice(*p, t));
                return FPS_OK;
            case kBake:
                result.LoadTSTR(bakeSnow(t));
                return FPS_OK;
            case kMakeFall:
                result.LoadTSTR(makeFallObject(*p, t));
                return FPS_OK;
            case kRemoveFall:
                result.LoadTSTR(removeFallObjects());
                return FPS_OK;
            case kApplyWet:
                result.LoadTSTR(applyWetMaterial(*p));
                return FPS_OK;
            case kGlossWet:
                result.LoadTSTR(glossWetMaterial(*p));
                return FPS_OK;
            case kApplyGlass:
                result.LoadTSTR(applyGlassMaterial(*p));
                return FPS_OK;
            case kGetLayerKind:
                result.LoadTSTR(layerKind());
                return FPS_OK;
            case kSetLayerKind:
                setLayerKind(p->params[0]);
                return FPS_OK;
            default:
                return FPS_NO_SUCH_FUNCTION;
        }
    }
};

MaterialsLibrary*& library() {
    static MaterialsLibrary* instance = nullptr;
    return instance;
}

}  // namespace

void installMaterialsLibrary() {
    if (!library()) library() = new MaterialsLibrary();
}

void resetMaterialsLibrary() {
    resetWeatherMaterials();
}

void uninstallMaterialsLibrary() {
    delete library();
    library() = nullptr;
    resetMaterialsLibrary();
}

}  // namespace wx
