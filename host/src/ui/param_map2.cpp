// Lifecycle of parameter maps: the rollout, the link to the block, the dialog procedure that
// routes messages to the controls' handlers (param_map_controls.cpp) and then to the
// plug-in's own procedure, and the undo step around each user edit.
#include "max/param_map2.h"

#include <algorithm>
#include <vector>

#include "host/scene_settings.h"
#include "host/ui_model.h"
#include "max/hold.h"
#include "max/interface.h"
#include "max/notify.h"

namespace {

// Every map not yet destroyed, for time-slider refreshes.
std::vector<IParamMap2*>& liveMaps() {
    static std::vector<IParamMap2*> maps;
    return maps;
}

// Open rollouts show animated values at the new time.
void showTimeChange(void*, NotifyInfo*) {
    for (IParamMap2* map : std::vector<IParamMap2*>(liveMaps())) map->Invalidate();
}

// Registered once, before main, for the life of the process.
[[maybe_unused]] const int kFollowsTheTimeSlider =
    RegisterNotification(showTimeChange, nullptr, host::kNotifyTimeChanged);

}  // namespace

IParamMap2::IParamMap2(MapID map, ParamBlockDesc2* desc, IParamBlock2* pb, ParamMap2UserDlgProc* proc)
    : mapId_(map), desc_(desc), pb_(nullptr), userProc_(proc) {
    SetParamBlock(pb);
    liveMaps().push_back(this);
}

IParamMap2::~IParamMap2() {
    SetParamBlock(nullptr);
    auto& live = liveMaps();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (userProc_) userProc_->DeleteThis();
}

void IParamMap2::SetParamBlock(IParamBlock2* pb) {
    if (pb == pb_) return;
    if (pb_) pb_->RemoveView(this);
    pb_ = pb;
    if (pb_) {
        if (!desc_) desc_ = pb_->GetDesc();
        pb_->AddView(this);
        Invalidate();
    }
}

void IParamMap2::Invalidate(ParamID id, int) {
    if (!hwnd_ || !pb_ || !desc_) return;
    for (int i = 0; i < desc_->Count(); ++i) {
        const ParamDef& def = desc_->paramdefs(i);
        if (def.ctrl_map == mapId_ && (id == -1 || def.ID == id)) showParam(def);
    }
}

void IParamMap2::Enable(ParamID id, BOOL onOff, int) {
    const ParamDef* def = desc_ ? desc_->GetParamDef(id) : nullptr;
    if (!hwnd_ || !def || def->ctrl_map != mapId_) return;
    for (int ctrl : def->ctrl_ids)
        if (ctrl != 0) EnableWindow(GetDlgItem(hwnd_, ctrl), onOff);
}

template <class T>
void IParamMap2::commit(const ParamDef& def, T value, int tabIndex) {
    // One undo step per edit, named as the control's label reads.
    theHold.Begin();
    pb_->SetValue(def.ID, GetCOREInterface()->GetTime(), value, tabIndex);
    theHold.Accept(def.label.empty() ? def.int_name.c_str() : def.label.c_str());
    // The block has shown an accepted value already; a refused one shows the old value again.
    if (pb_) showParam(def);
}

template void IParamMap2::commit<float>(const ParamDef&, float, int);
template void IParamMap2::commit<int>(const ParamDef&, int, int);
template void IParamMap2::commit<Point3>(const ParamDef&, Point3, int);
template void IParamMap2::commit<const MCHAR*>(const ParamDef&, const MCHAR*, int);
template void IParamMap2::commit<INode*>(const ParamDef&, INode*, int);

void IParamMap2::onCommand(int controlId, WORD code) {
    if (!pb_ || !desc_) return;
    for (int i = 0; i < desc_->Count(); ++i) {
        const ParamDef& def = desc_->paramdefs(i);
        if (def.ctrl_map == mapId_ && applyFromControl(def, controlId, code)) return;
    }
}

INT_PTR IParamMap2::dialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    auto* map = reinterpret_cast<IParamMap2*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!map) return FALSE;
    switch (msg) {
        case WM_INITDIALOG:
            map->hwnd_ = hwnd;
            if (map->desc_)
                for (int i = 0; i < map->desc_->Count(); ++i)
                    if (map->desc_->paramdefs(i).ctrl_map == map->mapId_) map->fillComboItems(map->desc_->paramdefs(i));
            map->Invalidate();
            break;
        case WM_COMMAND:
            map->onCommand(LOWORD(wParam), HIWORD(wParam));
            break;
        case CC_COLOR_CHANGE:
            if (HIWORD(wParam)) map->onColorChange(LOWORD(wParam));  // only a final pick is a change
            break;
        default:
            break;
    }
    INT_PTR handled = TRUE;
    if (map->userProc_)
        handled = map->userProc_->DlgProc(GetCOREInterface()->GetTime(), map, hwnd, msg, wParam, lParam);
    if (msg == WM_DESTROY) map->hwnd_ = nullptr;  // closed by someone else: the map stays, inert
    return handled;
}

IParamMap2* CreateCPParamMap2(MapID map, IParamBlock2* pb, Interface* ip, HINSTANCE, const MCHAR* dlgTemplate,
                              const MCHAR* title, DWORD flags, ParamMap2UserDlgProc* proc, HWND, int category) {
    auto id = reinterpret_cast<uintptr_t>(dlgTemplate);
    if (!ip || id > 0xFFFF || !host::ui::findDialogResource(int(id))) return nullptr;
    auto* m = new IParamMap2(map, pb ? pb->GetDesc() : nullptr, pb, proc);
    ip->AddRollupPage(nullptr, dlgTemplate, &IParamMap2::dialogProc, title, reinterpret_cast<LPARAM>(m), flags,
                      category);
    return m;
}

void DestroyCPParamMap2(IParamMap2* map) {
    if (!map) return;
    if (HWND hwnd = map->GetHWnd()) GetCOREInterface()->DeleteRollupPage(hwnd);
    delete map;
}
