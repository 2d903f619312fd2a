// ClassDesc2's automatic UI: BeginEditParams opens a parameter map rollout for each rollout
// of each P_AUTO_UI block, keeps the rollouts of the previous object of the class open for the
// next one, and EndEditParams closes them.
#include <algorithm>
#include <iterator>

#include "host/ui_model.h"
#include "max/class_desc.h"
#include "max/interface.h"
#include "max/param_map2.h"

namespace {

// obj's block of `desc`: through the owner's block list, else its automatic reference slot.
IParamBlock2* blockOf(ReferenceMaker* obj, ParamBlockDesc2* desc) {
    if (!obj) return nullptr;
    if (IParamBlock2* pb = obj->GetParamBlockByID(desc->ID); pb && pb->GetDesc() == desc) return pb;
    if (!(desc->flags & P_AUTO_CONSTRUCT) || desc->ref_no < 0 || desc->ref_no >= obj->NumRefs()) return nullptr;
    ReferenceTarget* r = obj->GetReference(desc->ref_no);
    if (!r || r->SuperClassID() != PARAMETER_BLOCK2_CLASS_ID) return nullptr;
    auto* pb = static_cast<IParamBlock2*>(r);
    return pb->GetDesc() == desc ? pb : nullptr;
}

std::wstring titleOf(const ParamRollout& r) {
    if (!r.title.empty()) return r.title;
    const std::wstring* s = host::ui::findString(r.titleId);
    return s ? *s : std::wstring();  // empty: the dialog resource's own title
}

}  // namespace

void ClassDesc2::closeRollout(OpenRollout& r) {
    DestroyCPParamMap2(r.map);
    r.map = nullptr;
    r.hwnd = nullptr;
}

void ClassDesc2::BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable*) {
    if (!ip) ip = GetCOREInterface();
    std::vector<OpenRollout> kept = std::move(open_);
    open_.clear();
    for (ParamBlockDesc2* d : descs_) {
        if (!(d->flags & P_AUTO_UI)) continue;
        IParamBlock2* pb = blockOf(obj, d);
        for (const ParamRollout& r : d->rollouts) {
            if (r.flagMask != 0 && !(ULONG(r.flagMask) & flags)) continue;
            auto same = std::find_if(kept.begin(), kept.end(), [&](const OpenRollout& o) {
                return o.desc == d && o.rollout.map == r.map && o.rollout.dialogId == r.dialogId;
            });
            if (same != kept.end()) {
                // Still open from the last object of this class: show this one's values.
                OpenRollout o = *same;
                kept.erase(same);
                o.owner = obj;
                if (o.map) o.map->SetParamBlock(pb);
                open_.push_back(o);
                continue;
            }
            OpenRollout o{d, obj, r};
            if (host::ui::findDialogResource(r.dialogId)) {
                o.map = CreateCPParamMap2(r.map, pb, ip, HInstance(), MAKEINTRESOURCE(r.dialogId), titleOf(r).c_str(),
                                          DWORD(r.rollupFlags), r.proc);
                o.hwnd = o.map ? o.map->GetHWnd() : nullptr;
            }
            open_.push_back(o);
        }
    }
    for (OpenRollout& o : kept) closeRollout(o);
}

void ClassDesc2::EndEditParams(IObjParam*, ReferenceMaker* obj, ULONG flags, Animatable*) {
    if (!(flags & END_EDIT_REMOVEUI)) return;
    std::vector<OpenRollout> closing;
    auto mine = [&](const OpenRollout& r) { return r.owner == obj; };
    std::copy_if(open_.begin(), open_.end(), std::back_inserter(closing), mine);
    open_.erase(std::remove_if(open_.begin(), open_.end(), mine), open_.end());
    for (OpenRollout& r : closing) closeRollout(r);
}

void ClassDesc2::InvalidateUI(ParamBlockDesc2* pbd, ParamID id, int tabIndex) {
    for (OpenRollout& r : open_)
        if (r.map && (!pbd || r.desc == pbd)) r.map->Invalidate(id, tabIndex);
}

IParamMap2* ClassDesc2::GetParamMap(ParamBlockDesc2* pbd, MapID map) {
    for (OpenRollout& r : open_)
        if (r.desc == pbd && r.rollout.map == map) return r.map;
    return nullptr;
}
