// ClassDesc2's parameter block descriptors: the blocks it makes for a new instance and the
// look-up by block id and by internal name. The rollouts it opens are in ui/class_desc_rollouts.cpp.
#include "max/class_desc.h"

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (!owner) return;
    for (ParamBlockDesc2* d : descs_)
        if (d->flags & P_AUTO_CONSTRUCT) owner->ReplaceReference(d->ref_no, CreateParameterBlock2(d, owner));
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
