// The material editor's side of the automatic rollouts: ClassDesc2::CreateParamDlgs opens a
// map per rollout of the edited thing's automatic blocks and hands them over in one dialog.
#include "max/auto_mparam_dlg.h"

#include "host/ui_model.h"
#include "max/interface.h"

namespace {

IParamBlock2* blockFor(ReferenceTarget* thing, ParamBlockDesc2* desc) {
    if (!thing) return nullptr;
    IParamBlock2* pb = thing->GetParamBlockByID(desc->ID);
    return pb && pb->GetDesc() == desc ? pb : nullptr;
}

std::wstring rolloutTitle(const ParamRollout& r) {
    if (!r.title.empty()) return r.title;
    const std::wstring* s = host::ui::findString(r.titleId);
    return s ? *s : std::wstring();
}

}  // namespace

IAutoMParamDlg::~IAutoMParamDlg() {
    for (IParamMap2* m : maps_) DestroyCPParamMap2(m);
}

void IAutoMParamDlg::SetThing(ReferenceTarget* m) {
    thing_ = m;
    for (IParamMap2* map : maps_)
        if (map) map->SetParamBlock(blockFor(m, map->GetDesc()));
}

void IAutoMParamDlg::ReloadDialog() {
    for (IParamMap2* map : maps_)
        if (map) map->Invalidate();
}

IAutoMParamDlg* ClassDesc2::CreateParamDlgs(HWND, IMtlParams* imp, ReferenceTarget* obj) {
    auto* dlg = new IAutoMParamDlg(this, imp, obj);
    for (ParamBlockDesc2* d : descs_) {
        if (!(d->flags & P_AUTO_UI)) continue;
        IParamBlock2* pb = blockFor(obj, d);
        for (const ParamRollout& r : d->rollouts) {
            IParamMap2* map = CreateCPParamMap2(r.map, pb, GetCOREInterface(), HInstance(), MAKEINTRESOURCE(r.dialogId),
                                                rolloutTitle(r).c_str(), DWORD(r.rollupFlags), r.proc);
            if (map) dlg->AddMap(map);
        }
    }
    return dlg;
}
