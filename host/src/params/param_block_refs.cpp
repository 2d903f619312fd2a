// IParamBlock2's typed reference parameters (nodes, materials and maps): the block stores
// each as a ReferenceTarget; these accessors check the parameter's type and convert, which is
// the only part of a block that needs the node and material classes.
#include "max/inode.h"
#include "max/material.h"
#include "max/param_block2.h"

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, INode*& v, Interval&, int tabIndex) {
    ReferenceTarget* r = nullptr;
    BOOL ok = getRefValue(id, r, tabIndex, TYPE_INODE);
    v = static_cast<INode*>(r);
    return ok;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, Mtl*& v, Interval&, int tabIndex) {
    ReferenceTarget* r = nullptr;
    BOOL ok = getRefValue(id, r, tabIndex, TYPE_MTL);
    v = static_cast<Mtl*>(r);
    return ok;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, Texmap*& v, Interval&, int tabIndex) {
    ReferenceTarget* r = nullptr;
    BOOL ok = getRefValue(id, r, tabIndex, TYPE_TEXMAP);
    v = static_cast<Texmap*>(r);
    return ok;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, INode* v, int tabIndex) {
    return setRefValue(id, v, tabIndex, TYPE_INODE);
}
BOOL IParamBlock2::SetValue(ParamID id, TimeValue, Mtl* v, int tabIndex) {
    return setRefValue(id, v, tabIndex, TYPE_MTL);
}
BOOL IParamBlock2::SetValue(ParamID id, TimeValue, Texmap* v, int tabIndex) {
    return setRefValue(id, v, tabIndex, TYPE_TEXMAP);
}

INode* IParamBlock2::GetINode(ParamID id, TimeValue t, int tabIndex) {
    INode* v = nullptr;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
Mtl* IParamBlock2::GetMtl(ParamID id, TimeValue t, int tabIndex) {
    Mtl* v = nullptr;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
Texmap* IParamBlock2::GetTexmap(ParamID id, TimeValue t, int tabIndex) {
    Texmap* v = nullptr;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
