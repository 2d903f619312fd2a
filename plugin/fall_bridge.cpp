// The bridge's three functions over the fall object's render command. Each catches
// everything: nothing crosses into the calling plug-in.
#include "plugin/fall_bridge.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fall/weather_fall.h"
#include "max/inode.h"
#include "max/plugin_api.h"

namespace wx {
namespace {

WeatherFall* fallOf(INode* node) {
    if (!node) return nullptr;
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    if (!base || base->ClassID() != kWeatherFallClassID) return nullptr;
    return static_cast<WeatherFall*>(base);
}

int bridgeIsFall(INode* node) {
    try {
        return fallOf(node) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int bridgeRender(INode* node, int time, const float* camera, int width, int height, float* rgba) {
    try {
        WeatherFall* fall = fallOf(node);
        if (!fall || !camera || !rgba || width <= 0 || height <= 0) return 0;
        const CamDev cam = cameraFromBlock(camera);
        std::vector<float> image;
        if (!fall->renderJob(nullptr, &cam, TimeValue(time), width, height, rgba, image)) return 0;
        std::copy(image.begin(), image.end(), rgba);
        return 1;
    } catch (...) {
        return 0;
    }
}

// One buffer for every answer: each call copies its text over the last one in place, so
// a pointer handed out earlier reads the newest text (it moves only when a longer text
// than any before needs more room).
std::wstring& statusString() {
    static std::wstring text = [] {
        std::wstring t;
        t.reserve(1024);
        return t;
    }();
    return text;
}

const wchar_t* bridgeStatus(INode* node) {
    std::wstring& text = statusString();
    try {
        WeatherFall* fall = fallOf(node);
        const std::wstring answer = fall ? fall->fallStatus() : std::wstring(L"not a Tarnwick Weather object");
        text.assign(answer.data(), answer.size());
    } catch (...) {
        text.assign(L"not a Tarnwick Weather object");
    }
    return text.c_str();
}

const TwxBridge kBridge{kTwxBridgeVersion, 0, bridgeIsFall, bridgeRender, bridgeStatus, kTwxBridgeSignature};

}  // namespace
}  // namespace wx

WX_PLUGIN_EXPORT const TwxBridge* TWX_GetBridge() {
    return &wx::kBridge;
}
