#include "max/class_desc.h"

#include <algorithm>

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (!owner) return;
    for (ParamBlockDesc2* d : descs_)
        if (d->flags & P_AUTO_CONSTRUCT) owner->ReplaceReference(d->ref_no, CreateParameterBlock2(d, owner));
}

void ClassDesc2::BeginEditParams(IObjParam*, ReferenceMaker* obj, ULONG flags, Animatable*) {
    for (ParamBlockDesc2* d : descs_) {
        if (!(d->flags & P_AUTO_UI)) continue;
        for (const ParamRollout& r : d->rollouts)
            if (r.flagMask == 0 || (ULONG(r.flagMask) & flags)) open_.push_back({d, obj, r});
    }
}

void ClassDesc2::EndEditParams(IObjParam*, ReferenceMaker* obj, ULONG flags, Animatable*) {
    if (!(flags & END_EDIT_REMOVEUI)) return;
    open_.erase(std::remove_if(open_.begin(), open_.end(), [&](const OpenRollout& r) { return r.owner == obj; }),
                open_.end());
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) {
    for (ParamBlockDesc2* d : descs_)
        if (d->ID == id) return d;
    return nullptr;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByName(const MCHAR* name) {
    for (ParamBlockDesc2* d : descs_)
        if (name && d->int_name == name) return d;
    return nullptr;
}
