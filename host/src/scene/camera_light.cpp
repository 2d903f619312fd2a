#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "pb_object.h"

namespace host {

namespace {

ClassDesc2* cameraDesc();
ClassDesc2* lightDesc(LightType type);

class FreeCamera : public PBObject<GenCamera> {
public:
    FreeCamera() { cameraDesc()->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kFreeCameraClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Free Camera"; }
    const MCHAR* GetObjectName(bool) override { return L"Camera"; }
    RefResult EvalCameraState(TimeValue t, Interval& valid, CameraState* cs) override {
        if (!cs) return REF_FAIL;
        cs->fov = GetFOV(t, valid);
        pblock->GetValue(kCamTargetDist, t, cs->tdist, valid);
        cs->isOrtho = IsOrtho();
        return REF_SUCCEED;
    }
    float GetFOV(TimeValue t, Interval& valid) override {
        float f = 0.0f;
        pblock->GetValue(kCamFov, t, f, valid);
        return f;
    }
    void SetFOV(TimeValue t, float radians) override { pblock->SetValue(kCamFov, t, radians); }
    void SetOrtho(BOOL on) override { pblock->SetValue(kCamOrtho, 0, on ? 1 : 0); }
    BOOL IsOrtho() override { return pblock->GetInt(kCamOrtho) ? TRUE : FALSE; }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new FreeCamera();
        copyBlockTo(*c, remap);
        remap.AddEntry(this, c);
        return c;
    }
};

class StdLight : public PBObject<GenLight> {
public:
    explicit StdLight(LightType type) : type_(type) { lightDesc(type)->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return lightDesc(type_)->ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = lightDesc(type_)->ClassName(); }
    const MCHAR* GetObjectName(bool) override { return lightDesc(type_)->ClassName(); }
    int Type() override { return type_; }
    RefResult EvalLightState(TimeValue t, Interval& valid, LightState* ls) override {
        if (!ls) return REF_FAIL;
        ls->type = type_;
        ls->color = Color(GetRGBColor(t, valid));
        ls->intens = GetIntensity(t, valid);
        ls->on = GetUseLight();
        pblock->GetValue(kLightHotspot, t, ls->hotsize, valid);
        pblock->GetValue(kLightFalloff, t, ls->fallsize, valid);
        return REF_SUCCEED;
    }
    Point3 GetRGBColor(TimeValue t, Interval& valid) override {
        Point3 c;
        pblock->GetValue(kLightColor, t, c, valid);
        return c;
    }
    void SetRGBColor(TimeValue t, Point3& rgb) override { pblock->SetValue(kLightColor, t, rgb); }
    float GetIntensity(TimeValue t, Interval& valid) override {
        float f = 0.0f;
        pblock->GetValue(kLightMultiplier, t, f, valid);
        return f;
    }
    void SetIntensity(TimeValue t, float f) override { pblock->SetValue(kLightMultiplier, t, f); }
    BOOL GetUseLight() override { return pblock->GetInt(kLightOn) ? TRUE : FALSE; }
    void SetUseLight(int onOff) override { pblock->SetValue(kLightOn, 0, onOff ? 1 : 0); }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new StdLight(type_);
        copyBlockTo(*c, remap);
        remap.AddEntry(this, c);
        return c;
    }

private:
    LightType type_;
};

SimpleClassDesc camDesc(L"Free Camera", L"Freecamera", CAMERA_CLASS_ID, kFreeCameraClassID,
                        [](bool) -> void* { return static_cast<Object*>(new FreeCamera()); });
SimpleClassDesc omniDesc(L"Omni", L"Omnilight", LIGHT_CLASS_ID, kOmniLightClassID,
                         [](bool) -> void* { return static_cast<Object*>(new StdLight(OMNI_LGT)); });
SimpleClassDesc spotDesc(L"Free Spot", L"Free_Spot", LIGHT_CLASS_ID, kSpotLightClassID,
                         [](bool) -> void* { return static_cast<Object*>(new StdLight(SPOT_LGT)); });
SimpleClassDesc dirDesc(L"Directional", L"Directionallight", LIGHT_CLASS_ID, kDirLightClassID,
                        [](bool) -> void* { return static_cast<Object*>(new StdLight(DIRECT_LGT)); });

ClassDesc2* cameraDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &camDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        // Horizontal field of view in radians (45 degrees by default).
        d.AddParam(kCamFov, L"fov", TYPE_ANGLE, P_ANIMATABLE, 0).Default(0.785398f).Range(0.001f, 3.1406f);
        d.AddParam(kCamTargetDist, L"targetDistance", TYPE_WORLD, P_ANIMATABLE, 0).Default(160.0f).Range(0.0f, 1e9f);
        d.AddParam(kCamOrtho, L"orthoProjection", TYPE_BOOL, 0, 0).Default(0);
        return true;
    }();
    (void)built;
    return &camDesc;
}

void defineLightBlock(ParamBlockDesc2& d) {
    d.AddParam(kLightColor, L"rgb", TYPE_RGBA, P_ANIMATABLE, 0).Default(Color(1.0f, 1.0f, 1.0f));
    d.AddParam(kLightMultiplier, L"multiplier", TYPE_FLOAT, P_ANIMATABLE, 0).Default(1.0f).Range(-1e6f, 1e6f);
    d.AddParam(kLightOn, L"enabled", TYPE_BOOL, 0, 0).Default(1);
    d.AddParam(kLightHotspot, L"hotspot", TYPE_FLOAT, P_ANIMATABLE, 0).Default(43.0f).Range(0.5f, 179.5f);
    d.AddParam(kLightFalloff, L"falloff", TYPE_FLOAT, P_ANIMATABLE, 0).Default(45.0f).Range(1.0f, 180.0f);
}

ClassDesc2* lightDesc(LightType type) {
    static ParamBlockDesc2 omni(0, L"params", 0, &omniDesc, P_AUTO_CONSTRUCT, 0);
    static ParamBlockDesc2 spot(0, L"params", 0, &spotDesc, P_AUTO_CONSTRUCT, 0);
    static ParamBlockDesc2 dir(0, L"params", 0, &dirDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        defineLightBlock(omni);
        defineLightBlock(spot);
        defineLightBlock(dir);
        return true;
    }();
    (void)built;
    return type == SPOT_LGT ? &spotDesc : type == DIRECT_LGT ? &dirDesc : &omniDesc;
}

}  // namespace

void registerCameraLightClasses(ClassRegistry& r) {
    r.add(cameraDesc());
    for (LightType t : {OMNI_LGT, SPOT_LGT, DIRECT_LGT}) r.add(lightDesc(t));
}

GenCamera* createFreeCamera(float fovRadians) {
    auto* c = new FreeCamera();
    c->SetFOV(0, fovRadians);
    return c;
}

GenLight* createLight(LightType type, Color color, float multiplier) {
    auto* l = new StdLight(type == SPOT_LGT || type == DIRECT_LGT ? type : OMNI_LGT);
    Point3 rgb = color;
    l->SetRGBColor(0, rgb);
    l->SetIntensity(0, multiplier);
    return l;
}

}  // namespace host
