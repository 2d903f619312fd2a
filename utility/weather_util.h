// WeatherUtil: the Utilities-tab panel that is the front door of the weather presets. One
// static instance serves every opening (its descriptor never makes another). Opening it
// adds the main rollout (preset, apply-to, three check boxes, MAKE WEATHER and the scene
// commands, a status box) and the About / Help rollout, closed; closing deletes both. While
// the main rollout exists every report is shown in its status box, and every text the
// panel shows becomes the last report. Main thread only.
#pragma once

#include "max/class_desc.h"
#include "max/win_ui.h"

namespace wx {

inline constexpr Class_ID kWeatherUtilClassID{0x3BF8AFDB, 0x61F084E1};

enum WeatherUtilControl : int {
    kUtilDialog = 7500,
    kUtilPreset = 7502,
    kUtilDescription = 7503,
    kUtilApplyTo = 7504,
    kUtilSurfaces = 7505,
    kUtilFalling = 7506,
    kUtilMaterials = 7507,
    kUtilMake = 7508,
    kUtilRemove = 7509,
    kUtilUpdateShelter = 7510,
    kUtilBake = 7511,
    kUtilStatus = 7512,
    kUtilCoverDialog = 7571,
    kUtilPaint = 7572,
    kAboutDialog = 7701,
    kAboutGuide = 7704,
    kAboutWeb = 7705,
    kAboutVersion = 7706,
};

inline constexpr const wchar_t* kUtilGreeting = L"Pick a preset, select objects (or Whole scene), press MAKE WEATHER.";
inline constexpr int kBuildNumber = 20261028;

ClassDesc2* GetWeatherUtilDesc();
// The open rollouts (null while the panel is closed).
HWND weatherPanel();
HWND weatherAboutPanel();

}  // namespace wx
