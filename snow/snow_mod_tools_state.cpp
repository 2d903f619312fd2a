#include "snow/snow_mod_tools_state.h"

#include "snow/snow_mod_ids.h"

namespace wx {
namespace {

SnowMod* gEdited = nullptr;
HWND gToolsRollout = nullptr;

}  // namespace

SnowMod* editedSnowMod() {
    return gEdited;
}
HWND snowToolsRollout() {
    return gToolsRollout;
}

void setSnowToolsState(SnowMod* edited, HWND rollout) {
    gEdited = edited;
    gToolsRollout = rollout;
}

void forgetSnowToolsState(const SnowMod* mod) {
    if (gEdited == mod) setSnowToolsState(nullptr, nullptr);
}

void showSnowToolsStatus(const SnowMod* mod, const std::wstring& text) {
    if (gToolsRollout && gEdited == mod) SetDlgItemTextW(gToolsRollout, kSnowToolsStatus, text.c_str());
}

}  // namespace wx
