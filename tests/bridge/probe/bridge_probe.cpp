// Another vendor's plug-in, as far as the weather module can tell: loaded by the host
// beside it, linked to nothing of it, finding TWX_GetBridge by name at run time. Its one
// extra export runs the checks a careful caller makes and renders the fall over the
// caller's image with the camera node's own record, computed here from the SDK alone.
#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "max/camera_light.h"
#include "max/inode.h"
#include "max/plugin_api.h"
#include "plugin/fall_bridge.h"

namespace {

struct Log {
    std::string text;
    int failures = 0;
    void check(bool ok, const char* what) {
        if (ok) return;
        ++failures;
        text += what;
        text += "\n";
    }
};

// Position, right, up, forward (unit) and tan(fov / 2) of a camera node at t.
void cameraBlock(INode* node, TimeValue t, float* out) {
    const Matrix3 tm = node->GetObjectTM(t);
    const Point3 rows[4] = {tm.GetRow(3), tm.GetRow(0), tm.GetRow(1), tm.GetRow(2)};
    for (int r = 0; r < 4; ++r) {
        Point3 v = rows[r];
        if (r > 0) v = v / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (r == 3) v = -v;
        out[3 * r] = v.x;
        out[3 * r + 1] = v.y;
        out[3 * r + 2] = v.z;
    }
    CameraState cs;
    Interval valid = FOREVER;
    float fov = 0.7854f;
    const ObjectState& os = node->EvalWorldState(t);
    if (os.obj && os.obj->SuperClassID() == CAMERA_CLASS_ID &&
        static_cast<CameraObject*>(os.obj)->EvalCameraState(t, valid, &cs) == REF_SUCCEED)
        fov = cs.fov;
    out[12] = std::tan(fov / 2.0f);
}

}  // namespace

WX_PLUGIN_EXPORT const MCHAR* LibDescription() {
    return L"Bridge probe";
}
WX_PLUGIN_EXPORT int LibNumberClasses() {
    return 0;
}
WX_PLUGIN_EXPORT ClassDesc* LibClassDesc(int) {
    return nullptr;
}
WX_PLUGIN_EXPORT ULONG LibVersion() {
    return VERSION_3DSMAX;
}
WX_PLUGIN_EXPORT int LibInitialize() {
    return TRUE;
}
WX_PLUGIN_EXPORT int LibShutdown() {
    return TRUE;
}

// Runs the checks against the weather module at `weatherModule` (already loaded by the
// host), leaves the fall rendered over `image` (width x height x 4 floats, given zeroed)
// and answers the number of failed checks, each named in `log`.
WX_PLUGIN_EXPORT int TWXProbe_Run(const char* weatherModule, INode* fall, INode* camera, int time, int width,
                                  int height, float* image, char* log, int logSize) {
    Log l;
    void* module = dlopen(weatherModule, RTLD_NOW | RTLD_NOLOAD);
    l.check(module != nullptr, "the weather module is not loaded");
    auto get = module ? reinterpret_cast<TwxGetBridgeFn>(dlsym(module, kTwxBridgeSymbol)) : nullptr;
    l.check(get != nullptr, "no TWX_GetBridge export");
    const TwxBridge* b = get ? get() : nullptr;
    l.check(b != nullptr, "TWX_GetBridge returned null");
    if (b) {
        l.check(b == get(), "the record is not one static table");
        l.check(b->version == 1 && b->padding == 0, "version is not 1 (padding 0)");
        l.check(b->signature && std::strcmp(b->signature, "TARNWICK WEATHER") == 0, "wrong signature");
        l.check(b->isFall(fall) == 1, "isFall(fall) is not 1");
        l.check(b->isFall(camera) == 0, "isFall(camera) is not 0");
        l.check(b->isFall(nullptr) == 0, "isFall(null) is not 0");

        float block[13];
        cameraBlock(camera, time, block);
        std::vector<float> probe(4 * 4 * 3, 0.5f);
        const std::vector<float> untouched = probe;
        l.check(b->render(fall, time, block, 0, 3, probe.data()) == 0, "render with width 0 did not return 0");
        l.check(b->render(fall, time, block, 4, -1, probe.data()) == 0, "render with height -1 did not return 0");
        l.check(b->render(fall, time, nullptr, 4, 3, probe.data()) == 0, "render without a camera did not return 0");
        l.check(b->render(fall, time, block, 4, 3, nullptr) == 0, "render without an image did not return 0");
        l.check(b->render(camera, time, block, 4, 3, probe.data()) == 0, "render of a camera did not return 0");
        l.check(b->render(nullptr, time, block, 4, 3, probe.data()) == 0, "render of null did not return 0");
        float broken[13];
        std::memcpy(broken, block, sizeof broken);
        broken[4] = NAN;
        l.check(b->render(fall, time, broken, 4, 3, probe.data()) == 0, "a camera with NaN rendered");
        l.check(probe == untouched, "a refused render touched the image");
        l.check(std::wcsstr(b->status(fall), L"not a number") != nullptr, "the NaN camera left no reason");

        l.check(b->render(fall, time, block, width, height, image) == 1, "render over the image failed");
        const wchar_t* first = b->status(fall);
        const std::wstring fallText = first;
        l.check(fallText.find(L" s on the CPU") != std::wstring::npos, "status after render is not the summary");
        const wchar_t* second = b->status(camera);
        l.check(std::wcscmp(second, L"not a Tarnwick Weather object") == 0, "status(camera) text");
        l.check(std::wcscmp(first, L"not a Tarnwick Weather object") == 0,
                "the first status text was not replaced by the second call");
        l.check(std::wcscmp(b->status(nullptr), L"not a Tarnwick Weather object") == 0, "status(null) text");
        l.check(std::wstring(b->status(fall)) == fallText, "status(fall) changed between calls");
    }
    std::snprintf(log, size_t(logSize), "%s", l.text.c_str());
    return l.failures;
}
