// Where the panel's "User guide / Help" finds the guide on Linux: beside the module in
// ../share/tweather/, then $XDG_DATA_HOME/tweather/ (default ~/.local/share/tweather/), then
// each entry of $XDG_DATA_DIRS (default /usr/local/share:/usr/share) + /tweather/; the
// maker's web address when none holds the file. Read afresh at each call.
#pragma once

#include <string>
#include <vector>

namespace wx {

inline constexpr const wchar_t* kMakerWebAddress = L"https://tarnwickfx.example/weather";
inline constexpr const char* kUserGuideFileName = "Weather_UserGuide.html";

// The folders searched, in order, each ending in '/'.
std::vector<std::string> userGuideFolders(const std::string& moduleDir);
// The first existing guide under userGuideFolders(moduleDir), or kMakerWebAddress.
std::wstring userGuideTarget(const std::string& moduleDir);
// The folder of this module's shared library (empty when it cannot be told).
std::string moduleFolder();

}  // namespace wx
