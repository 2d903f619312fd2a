// The snow modifier's command-panel side: opening and closing its rollouts, and the
// "Snow - Tools" rollout with its three buttons and the status box that mirrors the
// modifier's status text. Main thread only.
#include <string>

#include "max/hold.h"
#include "max/interface.h"
#include "plugin/module_state.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "snow/snow_mod_ids.h"
#include "snow/snow_mod_tools_state.h"
#include "utility/script_bridge.h"

namespace wx {

namespace {

constexpr int kToolsRollupCategory = 4000;

INT_PTR toolsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            setSnowToolsState(editedSnowMod(), hwnd);
            if (SnowMod* mod = editedSnowMod()) SetDlgItemTextW(hwnd, kSnowToolsStatus, mod->statusText().c_str());
            return TRUE;
        case WM_DESTROY:
            if (hwnd == snowToolsRollout()) setSnowToolsState(editedSnowMod(), nullptr);
            return TRUE;
        case WM_COMMAND: {
            SnowMod* mod = editedSnowMod();
            if (!mod || HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case kSnowToolsUpdateShelter: mod->updateShelterCommand(); return TRUE;
                case kSnowToolsSnowMaterial:
                    SetDlgItemTextW(hwnd, kSnowToolsStatus, mod->snowMaterialCommand().c_str());
                    return TRUE;
                case kSnowToolsPaint: SetDlgItemTextW(hwnd, kSnowToolsStatus, mod->paintCommand().c_str()); return TRUE;
                default: return FALSE;
            }
        }
        default: return FALSE;
    }
}

}  // namespace

bool nodeUses(INode* node, Modifier* mod) {
    IDerivedObject* stack = node->GetWSMDerivedObject();
    if (!stack) return false;
    for (int i = 0; i < stack->NumModifiers(); ++i)
        if (stack->GetModifier(i) == mod) return true;
    return false;
}

void SnowMod::BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) {
    setSnowToolsState(this, snowToolsRollout());
    GetSnowModDesc()->BeginEditParams(ip, this, flags, prev);
    ip->AddRollupPage(moduleInstance(), MAKEINTRESOURCE(kSnowToolsDialog), toolsProc, L"Snow - Tools", 0, 0,
                      kToolsRollupCategory);
}

void SnowMod::EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) {
    if (HWND rollout = snowToolsRollout(); rollout && editedSnowMod() == this) ip->DeleteRollupPage(rollout);
    GetSnowModDesc()->EndEditParams(ip, this, flags, next);
    if (editedSnowMod() == this) setSnowToolsState(nullptr, nullptr);
}

void SnowMod::updateShelterCommand() {
    Interface* ip = GetCOREInterface();
    captureScene(ip->GetTime());
    ip->RedrawViews(ip->GetTime());
}

std::wstring SnowMod::snowMaterialCommand() {
    theHold.Begin();
    IParamBlock2* pb = GetParamBlock(0);
    const bool snowOnly = pb->GetInt(kSnowOutput, 0) == 1;
    int matID = pb->GetInt(kSnowMatID, 0);
    const int highest = highestInputMatID();
    if (!snowOnly && highest >= matID) {
        matID = highest + 1;
        pb->SetValue(kSnowMatID, 0, matID);
    }
    std::wstring lines;
    visitNodesParentFirst(GetCOREInterface()->GetRootNode(), [&](INode* node) {
        if (!nodeUses(node, this)) return;
        const std::wstring call = snowOnly ? L"TWeatherMtl.applySnow " + nodeRef(node) + L" 1 1 true"
                                           : L"TWeatherMtl.applySnow " + nodeRef(node) + L" " + std::to_wstring(matID) +
                                                 L" " + std::to_wstring(highest) + L" false";
        std::wstring result;
        runScript(call, &result);
        lines += result + L"\r\n";
    });
    theHold.Accept(L"Snow material");
    return lines;
}

std::wstring SnowMod::paintCommand() {
    std::wstring result;
    runScript(L"TWeatherMtl.paint (selection as array)", &result);
    return result;
}

}  // namespace wx
