// The "Fall - GPU render" rollout: its buttons run the render commands on the fall object
// being edited, through the host's save and open dialogs, and its status box shows that
// object's status text. Main thread only.
#include "fall/weather_fall_rollout.h"

#include <cwchar>
#include <string>
#include <vector>

#include "fall/frame_pattern.h"
#include "fall/weather_fall.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "plugin/module_state.h"
#include "utility/make_weather.h"

namespace wx {
namespace {

constexpr int kRenderDialog = 7560;
constexpr int kAddToLastRender = 7561;
constexpr int kRenderFrameAlone = 7562;
constexpr int kOverSequence = 7563;
constexpr int kStatusBox = 7564;
constexpr int kWeatherInsideVolume = 7573;
constexpr int kRenderRollupCategory = 4000;
constexpr DWORD kMaxPath = 4096;  // characters of a chosen path

WeatherFall* gEdited = nullptr;
HWND gRollout = nullptr;

// The dialog's answer, or empty when it was cancelled.
std::wstring askPath(bool save, const wchar_t* initial, const wchar_t* filter, const wchar_t* title,
                     const wchar_t* defExt, DWORD flags) {
    std::vector<MCHAR> buffer(kMaxPath, L'\0');
    std::wcsncpy(buffer.data(), initial, kMaxPath - 1);
    OPENFILENAMEW ofn;
    ofn.hwndOwner = gRollout;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = kMaxPath;
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = defExt;
    ofn.Flags = flags;
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return {};
    return buffer.data();
}

void renderFrameAlone(WeatherFall& fall) {
    // Filters are pairs of zero-terminated texts, the list ending in an empty one.
    static const wchar_t kFilter[] = L"PNG (transparent, to composite)\0*.png\0";
    const std::wstring path =
        askPath(true, L"weather.png", kFilter, L"The snow / rain alone, on a transparent background", L"png",
                OFN_OVERWRITEPROMPT);
    if (path.empty()) return;
    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    fall.renderFrame(WeatherFall::viewCamera(t), t / GetTicksPerFrame(), path, ip->GetRendWidth(), ip->GetRendHeight());
}

void overSequence(WeatherFall& fall) {
    static const wchar_t kFilter[] = L"Images\0*.png;*.exr;*.jpg;*.tif;*.tga\0";
    const std::wstring first = askPath(false, L"", kFilter, L"The FIRST frame of the rendered sequence (name_0000.png)",
                                       nullptr, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    if (first.empty()) return;
    SequenceFromFirstFrame seq;
    if (!sequenceFromFirstFrame(first, seq)) {
        fall.setStatus(kNoFrameNumberText);
        return;
    }
    Interface* ip = GetCOREInterface();
    const int end = ip->GetAnimRange().End() / GetTicksPerFrame();
    const int written = fall.renderSequenceOver(WeatherFall::viewCamera(ip->GetTime()), seq.start, end,
                                                seq.backgroundPattern, seq.outputPattern);
    fall.setStatus(std::to_wstring(written) + L" frames written as " + seq.outputPattern + L"\r\n" + fall.statusText());
}

// MAKE WEATHER inside this volume, with the preset of the fall's kind.
void weatherInsideVolume(WeatherFall& fall) {
    INode* node = fall.findNode();
    const int type = fall.GetParamBlock(0)->GetInt(kFallType, GetCOREInterface()->GetTime());
    const int preset = type == kFallRain ? 4 : type == kFallSand ? 6 : 1;
    makeWeather(preset, kApplyInsideVolumes, true, false, true, node);
    fall.setStatus(lastWeatherReport());
}

INT_PTR renderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            gRollout = hwnd;
            if (gEdited) SetDlgItemTextW(hwnd, kStatusBox, gEdited->statusText().c_str());
            return TRUE;
        case WM_DESTROY:
            if (hwnd == gRollout) gRollout = nullptr;
            return TRUE;
        case WM_COMMAND: {
            if (!gEdited || HIWORD(wParam) != BN_CLICKED) return FALSE;
            WeatherFall& fall = *gEdited;
            switch (LOWORD(wParam)) {
                case kAddToLastRender:
                    fall.addToLastRender();
                    return TRUE;
                case kRenderFrameAlone:
                    renderFrameAlone(fall);
                    return TRUE;
                case kOverSequence:
                    overSequence(fall);
                    return TRUE;
                case kWeatherInsideVolume:
                    weatherInsideVolume(fall);
                    return TRUE;
                default:
                    return FALSE;
            }
        }
        default:
            return FALSE;
    }
}

}  // namespace

void openFallRenderRollout(IObjParam* ip, WeatherFall* fall) {
    gEdited = fall;
    ip->AddRollupPage(moduleInstance(), MAKEINTRESOURCE(kRenderDialog), renderProc, L"Fall - GPU render", 0, 0,
                      kRenderRollupCategory);
}

void closeFallRenderRollout(IObjParam* ip, WeatherFall* fall) {
    if (gEdited != fall) return;
    if (gRollout) ip->DeleteRollupPage(gRollout);
    gRollout = nullptr;
    gEdited = nullptr;
}

void forgetFallRenderRollout(const WeatherFall* fall) {
    if (gEdited == fall) gEdited = nullptr;
}

void showFallRenderStatus(WeatherFall* fall) {
    if (fall && fall == gEdited && gRollout) SetDlgItemTextW(gRollout, kStatusBox, fall->statusText().c_str());
}

}  // namespace wx
