// A plug-in module built only for the host's tests: one geometry class, "TestPyramid", with
// a parameter block, loaded through the Lib* exports. Its notification handler and timer
// call back into the host, which shows that a module reaches host functions through the
// executable's exported symbols. Built a second time with an older SDK version word to
// check that the host refuses it.
#include "max/interface.h"
#include "max/notify.h"
#include "max/plugin_api.h"
#include "max/timer.h"

namespace {

constexpr Class_ID kPyramidClassID(0x5eed0001, 0x7e570002);
enum { kBase = 3, kHeight = 1, kLabel = 8 };

class PyramidDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL loading) override;
    const MCHAR* ClassName() override { return L"Test Pyramid"; }
    const MCHAR* NonLocalizedClassName() override { return L"Test Pyramid"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kPyramidClassID; }
    const MCHAR* Category() override { return L"Tests"; }
    const MCHAR* InternalName() override { return L"TestPyramid"; }
};

PyramidDesc gDesc;
ParamBlockDesc2 gBlock(0, L"params", 0, &gDesc, P_AUTO_CONSTRUCT | P_AUTO_UI, 0);
bool gBuilt = [] {
    gBlock.AddRollout(0, 9000, 9001, L"Pyramid");
    gBlock.AddParam(kBase, L"baseSize", TYPE_WORLD, P_ANIMATABLE, 0).Default(10.0f).Range(0.0f, 1000.0f);
    gBlock.AddParam(kHeight, L"height", TYPE_WORLD, P_ANIMATABLE, 0).Default(5.0f).Range(0.0f, 1000.0f);
    gBlock.AddParam(kLabel, L"label", TYPE_STRING, 0, 0).Default(L"pyramid");
    return true;
}();

class Pyramid : public GeomObject {
public:
    IParamBlock2* pblock = nullptr;
    Pyramid() { gDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kPyramidClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"TestPyramid"; }
    const MCHAR* GetObjectName(bool) override { return L"Test Pyramid"; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    void SetReference(int i, RefTargetHandle t) override {
        if (i == 0) pblock = static_cast<IParamBlock2*>(t);
    }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    Interval ObjectValidity(TimeValue t) override {
        Interval v = FOREVER;
        float f;
        pblock->GetValue(kBase, t, f, v);
        pblock->GetValue(kHeight, t, f, v);
        return v;
    }
    int CanConvertToType(Class_ID id) override { return id == triObjectClassID; }
    Object* ConvertToType(TimeValue t, Class_ID id) override {
        if (id != triObjectClassID) return nullptr;
        float b = pblock->GetFloat(kBase, t) * 0.5f, h = pblock->GetFloat(kHeight, t);
        TriObject* tri = CreateNewTriObject();
        Mesh& m = tri->GetMesh();
        m.setNumVerts(5);
        m.setVert(0, -b, -b, 0);
        m.setVert(1, b, -b, 0);
        m.setVert(2, b, b, 0);
        m.setVert(3, -b, b, 0);
        m.setVert(4, 0, 0, h);
        const int f[6][3] = {{0, 2, 1}, {0, 3, 2}, {0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
        m.setNumFaces(6);
        for (int i = 0; i < 6; ++i) {
            m.faces[i].setVerts(f[i][0], f[i][1], f[i][2]);
            m.faces[i].setMatID(i < 2 ? 0 : 1);
        }
        return tri;
    }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new Pyramid();
        c->ReplaceReference(0, remap.CloneRef(pblock));
        BaseClone(this, c, remap);
        return c;
    }
};

void* PyramidDesc::Create(BOOL) {
    return static_cast<Object*>(new Pyramid());
}

UINT_PTR gTimer = 0;

void onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (id == gTimer) gTimer = 0;
    GetCOREInterface()->RedrawViews(GetCOREInterface()->GetTime());
}

void onNotify(void*, NotifyInfo* info) {
    // Start-up asks for a redraw at once; file open does it 30 ms later, from the loop.
    if (info->intcode == NOTIFY_SYSTEM_STARTUP) GetCOREInterface()->RedrawViews(0);
    if (info->intcode == NOTIFY_FILE_POST_OPEN && gTimer == 0) gTimer = SetTimer(nullptr, 0, 30, onTimer);
}

}  // namespace

WX_PLUGIN_EXPORT const MCHAR* LibDescription() {
    return L"Host test module";
}
WX_PLUGIN_EXPORT int LibNumberClasses() {
    return 1;
}
WX_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) {
    return i == 0 ? &gDesc : nullptr;
}
#ifdef WX_TEST_MODULE_OLD_SDK
WX_PLUGIN_EXPORT ULONG LibVersion() {
    return (ULONG(24000) << 16) + (60 << 8);
}
#else
WX_PLUGIN_EXPORT ULONG LibVersion() {
    return VERSION_3DSMAX;
}
#endif
WX_PLUGIN_EXPORT int LibInitialize() {
    RegisterNotification(onNotify, nullptr, NOTIFY_SYSTEM_STARTUP);
    RegisterNotification(onNotify, nullptr, NOTIFY_FILE_POST_OPEN);
    return TRUE;
}
WX_PLUGIN_EXPORT int LibShutdown() {
    UnRegisterNotification(onNotify, nullptr);
    if (gTimer) KillTimer(nullptr, gTimer);
    gTimer = 0;
    return TRUE;
}
