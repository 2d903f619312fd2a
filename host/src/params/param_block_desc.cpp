#include <algorithm>

#include "max/class_desc.h"
#include "max/param_block2.h"

PBValueKind ValueKindOf(int type) {
    switch (type & ~TYPE_TAB) {
        case TYPE_FLOAT:
        case TYPE_ANGLE:
        case TYPE_PCNT_FRAC:
        case TYPE_WORLD:
        case TYPE_COLOR_CHANNEL:
            return PBValueKind::Float;
        case TYPE_INT:
        case TYPE_BOOL:
        case TYPE_TIMEVALUE:
        case TYPE_RADIOBTN_INDEX:
        case TYPE_INDEX:
            return PBValueKind::Int;
        case TYPE_RGBA:
        case TYPE_POINT3:
            return PBValueKind::Point3;
        case TYPE_STRING:
        case TYPE_FILENAME:
            return PBValueKind::String;
        case TYPE_MTL:
        case TYPE_TEXMAP:
        case TYPE_INODE:
        case TYPE_REFTARG:
            return PBValueKind::Ref;
        default:
            return PBValueKind::None;
    }
}

// Defaults are stored in the declared type's own kind, so Default(1) on a float parameter
// reads back as 1.0f and Default(0.5f) on an int parameter as 0 (truncated, as C++ would).
ParamDef& ParamDef::Default(float v) {
    def_f = v;
    def_i = int(v);
    return *this;
}

ParamDef& ParamDef::Default(int v) {
    def_i = v;
    def_f = float(v);
    return *this;
}

ParamDef& ParamDef::Default(const Point3& v) {
    def_p = v;
    return *this;
}

ParamDef& ParamDef::Default(const MCHAR* v) {
    def_s = v ? v : L"";
    return *this;
}

ParamDef& ParamDef::Range(float lo, float hi) {
    has_range = true;
    range_lo = lo;
    range_hi = hi;
    irange_lo = int(lo);
    irange_hi = int(hi);
    return *this;
}

ParamDef& ParamDef::Range(int lo, int hi) {
    has_range = true;
    irange_lo = lo;
    irange_hi = hi;
    range_lo = float(lo);
    range_hi = float(hi);
    return *this;
}

ParamDef& ParamDef::Spinner(MapID map, EditSpinnerType edit, int editId, int spinId, float scale) {
    ctrl_type = TYPE_SPINNER;
    ctrl_map = map;
    spin_type = edit;
    ctrl_ids = {editId, spinId};
    spin_scale = scale;
    return *this;
}

ParamDef& ParamDef::Control(MapID map, ControlType2 kind, std::initializer_list<int> ids) {
    ctrl_type = kind;
    ctrl_map = map;
    ctrl_ids = ids;
    return *this;
}

ParamDef& ParamDef::Combo(MapID map, int ctrlId, std::initializer_list<StringResID> itemIds) {
    ctrl_type = TYPE_INT_COMBOBOX;
    ctrl_map = map;
    ctrl_ids = {ctrlId};
    items = itemIds;
    return *this;
}

ParamBlockDesc2::ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName, ClassDesc2* desc,
                                 USHORT blockFlags, int refno)
    : ID(id),
      int_name(internalName ? internalName : L""),
      local_name(localName),
      cd(desc),
      flags(blockFlags),
      ref_no(refno) {
    if (cd) cd->AddParamBlockDesc(this);
}

ParamDef& ParamBlockDesc2::AddParam(ParamID id, const MCHAR* internalName, int type, int paramFlags,
                                    StringResID localName) {
    ParamDef d;
    d.ID = id;
    d.int_name = internalName ? internalName : L"";
    d.type = type;
    d.flags = paramFlags;
    d.local_name = localName;
    params_.push_back(std::move(d));
    return params_.back();
}

ParamBlockDesc2& ParamBlockDesc2::AddRollout(MapID map, int dialogId, StringResID titleId, const MCHAR* title,
                                             int flagMask, int rollupFlags) {
    rollouts.push_back({map, dialogId, titleId, title ? title : L"", flagMask, rollupFlags});
    return *this;
}

void ParamBlockDesc2::SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc) {
    for (ParamRollout& r : rollouts)
        if (r.map == map) r.proc = proc;
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
    for (int i = 0; i < Count(); ++i)
        if (params_[i].ID == id) return i;
    return -1;
}

int ParamBlockDesc2::NameToIndex(const MCHAR* name) const {
    if (!name) return -1;
    for (int i = 0; i < Count(); ++i)
        if (params_[i].int_name == name) return i;
    return -1;
}

ParamDef* ParamBlockDesc2::GetParamDef(ParamID id) {
    int i = IDtoIndex(id);
    return i < 0 ? nullptr : &params_[i];
}
