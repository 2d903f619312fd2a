#include "max/object.h"

#include <algorithm>

void ObjectState::SetTM(Matrix3* m, Interval iv) {
    hasTM_ = m != nullptr;
    tm_ = m ? *m : Matrix3(1);
    tmValid_ = iv;
}

void ObjectState::ApplyTM(Matrix3* m, Interval iv) {
    if (m) {
        tm_ = hasTM_ ? tm_ * *m : *m;
        hasTM_ = true;
    }
    tmValid_ &= iv;
}

void ObjectState::CopyTM(const ObjectState& o) {
    tm_ = o.tm_;
    hasTM_ = o.hasTM_;
    tmValid_ = o.tmValid_;
}

Interval ObjectState::Validity(TimeValue t) const {
    Interval v = tmValid_;
    if (obj) v &= obj->ObjectValidity(t);
    return v;
}

const MCHAR* BaseObject::GetObjectName(bool) {
    return L"";
}

ObjectState Object::Eval(TimeValue) {
    return ObjectState(this);
}

void Object::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box.Init();
    for (int i = 0; i < NumPoints(); ++i) box += tm ? GetPoint(i) * *tm : GetPoint(i);
}

Interval Object::ObjectValidity(TimeValue) {
    Interval v = FOREVER;
    for (const Interval& c : chanValid_) v &= c;
    return v;
}

Interval Object::ChannelValidity(TimeValue, int chanNum) {
    return chanNum >= 0 && chanNum < NUM_OBJ_CHANS ? chanValid_[chanNum] : NEVER;
}

void Object::UpdateValidity(int chanNum, Interval v) {
    if (chanNum >= 0 && chanNum < NUM_OBJ_CHANS) chanValid_[chanNum] &= v;
}

void Object::SetChannelValidity(int chanNum, Interval v) {
    if (chanNum >= 0 && chanNum < NUM_OBJ_CHANS) chanValid_[chanNum] = v;
}

void Object::InvalidateChannels(ChannelMask channels) {
    for (int i = 0; i < NUM_OBJ_CHANS; ++i)
        if (channels & (1u << i)) chanValid_[i] = NEVER;
}

Mesh* GeomObject::GetRenderMesh(TimeValue t, INode*, View&, BOOL& needDelete) {
    needDelete = FALSE;
    if (!CanConvertToType(triObjectClassID)) return nullptr;
    Object* converted = ConvertToType(t, triObjectClassID);
    if (!converted) return nullptr;
    auto* tri = static_cast<TriObject*>(converted);
    Mesh* copy = new Mesh(tri->GetMesh());
    if (converted != this) converted->DeleteThis();
    needDelete = TRUE;
    return copy;
}

void TriObject::GetClassName(MSTR& s, bool) const {
    s = L"Editable Mesh";
}

void TriObject::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box = mesh.getBoundingBox(tm);
}

Mesh* TriObject::GetRenderMesh(TimeValue, INode*, View&, BOOL& needDelete) {
    needDelete = FALSE;
    return &mesh;
}

RefTargetHandle TriObject::Clone(RemapDir& remap) {
    TriObject* copy = CreateNewTriObject();
    copy->mesh = mesh;
    remap.AddEntry(this, copy);
    BaseClone(this, copy, remap);
    return copy;
}

TriObject* CreateNewTriObject() {
    return new TriObject();
}

IDerivedObject::IDerivedObject(Object* obj) {
    if (obj) ReplaceReference(0, obj);
}

IDerivedObject::~IDerivedObject() = default;

void IDerivedObject::AddModifier(Modifier* mod, ModContext* mc, int before) {
    if (!mod) return;
    before = std::clamp(before, 0, NumModifiers());
    mods_.insert(mods_.begin() + before, nullptr);
    contexts_.insert(contexts_.begin() + before, mc ? *mc : ModContext());
    ReplaceReference(1 + before, mod);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void IDerivedObject::DeleteModifier(int i) {
    if (i < 0 || i >= NumModifiers()) return;
    Modifier* mod = mods_[i];
    mods_.erase(mods_.begin() + i);
    contexts_.erase(contexts_.begin() + i);
    if (mod) mod->RemoveDependent(this, true);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

ObjectState IDerivedObject::Eval(TimeValue t) {
    return obj_ ? obj_->Eval(t) : ObjectState();
}

RefTargetHandle IDerivedObject::GetReference(int i) {
    if (i == 0) return obj_;
    return GetModifier(i - 1);
}

void IDerivedObject::SetReference(int i, RefTargetHandle t) {
    if (i == 0)
        obj_ = static_cast<Object*>(t);
    else if (i - 1 < NumModifiers())
        mods_[i - 1] = static_cast<Modifier*>(t);
}

IDerivedObject* CreateWSDerivedObject(Object* obj) {
    return new IDerivedObject(obj);
}
