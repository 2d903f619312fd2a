// Which snow modifier has its rollouts open, and its open "Snow - Tools" rollout: set by
// the command-panel side (snow_mod_tools.cpp), read by the modifier to show its status text
// there. Main thread only.
#pragma once

#include <string>

#include "max/win_ui.h"

namespace wx {

class SnowMod;

// The modifier whose rollouts are open, or null.
SnowMod* editedSnowMod();
// The open tools rollout, or null.
HWND snowToolsRollout();

void setSnowToolsState(SnowMod* edited, HWND rollout);
// A modifier going away: when it is the edited one, nothing is edited any more.
void forgetSnowToolsState(const SnowMod* mod);
// Shows `text` in the tools rollout's status box when `mod` is the edited modifier.
void showSnowToolsStatus(const SnowMod* mod, const std::wstring& text);

}  // namespace wx
