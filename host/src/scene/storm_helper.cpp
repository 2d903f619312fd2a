#include "host/storm_helper.h"

#include "host/class_registry.h"
#include "pb_object.h"

namespace host {

namespace {

ClassDesc2* stormDesc();

// Draws nothing and renders nothing: it only carries the storm's position and settings.
class StormHelper : public PBObject<Object> {
public:
    StormHelper() { stormDesc()->MakeAutoParamBlocks(this); }
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    Class_ID ClassID() override { return kStormHelperClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Storm Helper"; }
    const MCHAR* GetObjectName(bool) override { return L"Storm"; }
    int IsRenderable() override { return FALSE; }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new StormHelper();
        copyBlockTo(*c, remap);
        remap.AddEntry(this, c);
        return c;
    }
};

SimpleClassDesc desc(L"Storm Helper", L"StormHelper", HELPER_CLASS_ID, kStormHelperClassID,
                     [](bool) -> void* { return static_cast<Object*>(new StormHelper()); });

void addFloat(ParamBlockDesc2& d, int id, const MCHAR* name, float value, float lo, float hi) {
    d.AddParam(id, name, TYPE_FLOAT, P_ANIMATABLE, 0).Default(value).Range(lo, hi);
}

ClassDesc2* stormDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &desc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        addFloat(d, kStormCloudBase, L"cloudBase", 600.0f, 1.0f, 20000.0f);
        addFloat(d, kStormLeanX, L"leanX", 0.0f, -5000.0f, 5000.0f);
        addFloat(d, kStormLeanY, L"leanY", 0.0f, -5000.0f, 5000.0f);
        addFloat(d, kStormLeanPower, L"leanPower", 1.5f, 0.1f, 10.0f);
        addFloat(d, kStormWobble, L"wobble", 4.0f, 0.0f, 500.0f);
        addFloat(d, kStormWobbleFreq, L"wobbleFreq", 0.1f, 0.0f, 10.0f);
        addFloat(d, kStormPeakSpeed, L"peakSpeed", 60.0f, 0.0f, 200.0f);
        addFloat(d, kStormCoreRadius, L"coreRadius", 40.0f, 0.1f, 2000.0f);
        addFloat(d, kStormCoreGrowth, L"coreGrowth", 1.5f, 0.0f, 20.0f);
        addFloat(d, kStormProfileInner, L"profileInner", 1.0f, 0.1f, 4.0f);
        addFloat(d, kStormProfileOuter, L"profileOuter", 1.0f, 0.1f, 4.0f);
        d.AddParam(kStormSpin, L"spin", TYPE_INT, 0, 0).Default(1).Range(-1, 1);
        addFloat(d, kStormInflow, L"inflow", 20.0f, 0.0f, 200.0f);
        addFloat(d, kStormInflowDepth, L"inflowDepth", 50.0f, 0.0f, 2000.0f);
        addFloat(d, kStormUpdraft, L"updraft", 30.0f, 0.0f, 200.0f);
        addFloat(d, kStormUpdraftWidth, L"updraftWidth", 2.0f, 0.1f, 20.0f);
        addFloat(d, kStormDowndraft, L"downdraft", 0.3f, 0.0f, 1.0f);
        d.AddParam(kStormSatellites, L"satellites", TYPE_INT, 0, 0).Default(3).Range(0, 16);
        addFloat(d, kStormSatelliteSpeed, L"satelliteSpeed", 20.0f, 0.0f, 200.0f);
        addFloat(d, kStormSatelliteCore, L"satelliteCore", 0.3f, 0.01f, 10.0f);
        addFloat(d, kStormSatelliteOrbit, L"satelliteOrbit", 1.5f, 0.0f, 20.0f);
        addFloat(d, kStormParentSpeed, L"parentSpeed", 15.0f, 0.0f, 200.0f);
        addFloat(d, kStormParentRadius, L"parentRadius", 800.0f, 1.0f, 20000.0f);
        return true;
    }();
    (void)built;
    return &desc;
}

}  // namespace

void registerStormClasses(ClassRegistry& r) {
    r.add(stormDesc());
}

Object* createStormHelper() {
    return new StormHelper();
}

bool isStormHelper(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    return base && base->ClassID() == kStormHelperClassID;
}

}  // namespace host
