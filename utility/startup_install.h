// What the module does once the host has started: writes the toolbar macro that opens the
// weather panel into the user macro folder (rewritten at every start-up), loads it at
// once, then installs the materials library. Every failure here is silent.
#pragma once

#include <string>

namespace wx {

inline constexpr const wchar_t* kMacroFileName = L"TarnwickFX-Weather.mcr";

// The macro file's exact bytes (three CR LF lines).
std::string weatherMacroText();
void installAtStartup();

}  // namespace wx
