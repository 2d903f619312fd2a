// MAKE WEATHER: a preset turned into weather on a set of target objects, through the
// materials library's script functions (addSnow, applySnow, glossWet, applyGlass,
// applyWet, makeFall), as one undo step "Tarnwick Weather". Its report, and those of the
// other scene commands, is the last report: what the scripting interface answers and the
// panel shows. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "max/inode.h"

namespace wx {

enum WeatherApplyTo : int { kApplySelection = 0, kApplyScene = 1, kApplyInsideVolumes = 2 };

// The targets: the selection in selection order, the scene depth first, or the scene's
// nodes whose boxes overlap a fall volume (`volume` alone when given, else every shown one).
std::vector<INode*> gatherTargets(int applyTo, TimeValue t, INode* volume = nullptr);

// presetIndex 0-based; outside 0..6 does nothing at all.
void makeWeather(int presetIndex, int applyTo, bool surfaces, bool falling, bool materials, INode* volume = nullptr);

const std::wstring& lastWeatherReport();
// Sets the last report and shows it where a panel has asked to show it.
void setLastWeatherReport(const std::wstring& text);
// Where reports are shown while a panel is open (null: nowhere).
void setWeatherReportHook(std::function<void(const std::wstring&)> show);

}  // namespace wx
