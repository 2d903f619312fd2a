#include "utility/weather_util.h"

#include <cstdio>
#include <string>

#include "max/interface.h"
#include "max/param_block2.h"
#include "max/utility_obj.h"
#include "plugin/module_state.h"
#include "utility/make_weather.h"
#include "utility/scene_commands.h"
#include "utility/user_guide.h"
#include "utility/weather_presets.h"

namespace wx {
namespace {

constexpr int kRollupCategory = 4000;
constexpr const char* kVersion = "1.5.1";

HWND gPanel = nullptr;
HWND gAbout = nullptr;

const wchar_t* const kApplyToItems[] = {L"Selected objects", L"Whole scene",
                                        L"Everything inside the Tarnwick Weather volumes"};

// The panel's status box, and the last report with it.
void showStatus(const std::wstring& text) {
    setLastWeatherReport(text);
}

int selectedIndex(HWND panel, int control) {
    return int(SendDlgItemMessageW(panel, control, CB_GETCURSEL, 0, 0));
}

void showDescription(HWND panel, int preset) {
    const auto presets = weatherPresets();
    if (preset < 0 || size_t(preset) >= presets.size()) return;
    SetDlgItemTextW(panel, kUtilDescription, presets[size_t(preset)].description);
}

void initPanel(HWND panel) {
    gPanel = panel;
    setWeatherReportHook([](const std::wstring& text) {
        if (gPanel) SetDlgItemTextW(gPanel, kUtilStatus, text.c_str());
    });
    SendDlgItemMessageW(panel, kUtilPreset, CB_RESETCONTENT, 0, 0);
    for (const WeatherPreset& p : weatherPresets())
        SendDlgItemMessageW(panel, kUtilPreset, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.name));
    SendDlgItemMessageW(panel, kUtilPreset, CB_SETCURSEL, 1, 0);  // Heavy snow
    SendDlgItemMessageW(panel, kUtilApplyTo, CB_RESETCONTENT, 0, 0);
    for (const wchar_t* item : kApplyToItems)
        SendDlgItemMessageW(panel, kUtilApplyTo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendDlgItemMessageW(panel, kUtilApplyTo, CB_SETCURSEL, kApplySelection, 0);
    for (int box : {kUtilSurfaces, kUtilFalling, kUtilMaterials}) CheckDlgButton(panel, box, BST_CHECKED);
    showDescription(panel, selectedIndex(panel, kUtilPreset));
    showStatus(kUtilGreeting);
}

// A box counts as on only when fully checked: an indeterminate one is off.
bool checked(HWND panel, int box) {
    return IsDlgButtonChecked(panel, box) == BST_CHECKED;
}

void makeFromPanel(HWND panel) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    showStatus(L"Working...");
    const bool materials = checked(panel, kUtilMaterials);
    const bool falling = checked(panel, kUtilFalling);
    const bool surfaces = checked(panel, kUtilSurfaces);
    const int applyTo = selectedIndex(panel, kUtilApplyTo);
    makeWeather(selectedIndex(panel, kUtilPreset), applyTo, surfaces, falling, materials);
}

INT_PTR panelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            initPanel(hwnd);
            return TRUE;
        case WM_DESTROY:
            if (hwnd == gPanel) {
                gPanel = nullptr;
                setWeatherReportHook(nullptr);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == kUtilPreset && HIWORD(wParam) == CBN_SELCHANGE) {
                showDescription(hwnd, selectedIndex(hwnd, kUtilPreset));
                return TRUE;
            }
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case kUtilMake:
                    makeFromPanel(hwnd);
                    return TRUE;
                case kUtilRemove:
                    removeWeather(selectedIndex(hwnd, kUtilApplyTo));
                    return TRUE;
                case kUtilUpdateShelter:
                    updateShelterFromPanel();
                    return TRUE;
                case kUtilBake:
                    bakeFromPanel();
                    return TRUE;
                case kUtilCoverDialog:
                    coverDialogFromPanel();
                    return TRUE;
                case kUtilPaint:
                    paintFromPanel();
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void openWithShell(const std::wstring& target) {
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR aboutProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            gAbout = hwnd;
            // The version is kept as narrow text; it is plain ASCII, so it widens one for one.
            const std::wstring version(kVersion, kVersion + std::char_traits<char>::length(kVersion));
            wchar_t line[96];
            std::swprintf(line, 96, L"Tarnwick Weather %ls  (built %d)", version.c_str(), kBuildNumber);
            SetDlgItemTextW(hwnd, kAboutVersion, line);
            SetDlgItemTextW(hwnd, kAboutWeb, kMakerWebAddress);
            return TRUE;
        }
        case WM_DESTROY:
            if (hwnd == gAbout) gAbout = nullptr;
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (LOWORD(wParam) == kAboutGuide) {
                openWithShell(userGuideTarget(moduleFolder()));
                return TRUE;
            }
            if (LOWORD(wParam) == kAboutWeb) {
                openWithShell(kMakerWebAddress);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

class WeatherUtil : public UtilityObj {
public:
    void BeginEditParams(Interface* ip, IUtil*) override {
        ip->AddRollupPage(moduleInstance(), MAKEINTRESOURCE(kUtilDialog), panelProc, L"Tarnwick Weather", 0, 0,
                          kRollupCategory);
        ip->AddRollupPage(moduleInstance(), MAKEINTRESOURCE(kAboutDialog), aboutProc, L"Weather - About / Help", 0,
                          APPENDROLL_CLOSED, kRollupCategory);
    }
    void EndEditParams(Interface* ip, IUtil*) override {
        if (gPanel) ip->DeleteRollupPage(gPanel);
        if (gAbout) ip->DeleteRollupPage(gAbout);
        gPanel = gAbout = nullptr;
        setWeatherReportHook(nullptr);
    }
    void DeleteThis() override {}  // the one static instance
};

WeatherUtil gWeatherUtil;

class WeatherUtilDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return &gWeatherUtil; }
    const MCHAR* ClassName() override { return L"Tarnwick Weather"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Weather"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return kWeatherUtilClassID; }
    const MCHAR* Category() override { return L"TarnwickFX"; }
    const MCHAR* InternalName() override { return L"TarnwickWeather"; }
    HINSTANCE HInstance() override { return moduleInstance(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    BOOL OkToCreate(Interface*) override { return 1; }
};

WeatherUtilDesc gWeatherUtilDesc;

}  // namespace

ClassDesc2* GetWeatherUtilDesc() {
    return &gWeatherUtilDesc;
}

HWND weatherPanel() {
    return gPanel;
}

HWND weatherAboutPanel() {
    return gAbout;
}

}  // namespace wx
