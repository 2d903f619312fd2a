#include "max/param_block2.h"

#include <algorithm>
#include <cmath>

#include "host/scene_settings.h"

namespace {

constexpr int kRefBaseAny = -1;

int baseType(int type) {
    return type & ~TYPE_TAB;
}

float clampF(const ParamDef& d, float v) {
    if (!d.has_range) return v;
    return std::clamp(v, std::min(d.range_lo, d.range_hi), std::max(d.range_lo, d.range_hi));
}

int clampI(const ParamDef& d, int v) {
    if (baseType(d.type) == TYPE_BOOL) return v != 0 ? 1 : 0;
    if (!d.has_range) return v;
    return std::clamp(v, std::min(d.irange_lo, d.irange_hi), std::max(d.irange_lo, d.irange_hi));
}

Point3 clampP(const ParamDef& d, Point3 p) {
    if (d.has_range)
        for (int k = 0; k < 3; ++k) p[k] = clampF(d, p[k]);
    return p;
}

}  // namespace

void AnimateOn() {
    host::sceneSettings().animateMode = true;
}
void AnimateOff() {
    host::sceneSettings().animateMode = false;
}
BOOL Animating() {
    return host::sceneSettings().animateMode ? TRUE : FALSE;
}

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner) {
    return desc ? new IParamBlock2(desc, owner) : nullptr;
}

IParamBlock2::IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner) : desc_(desc), owner_(owner) {
    stores_.resize(desc_->Count());
    for (int i = 0; i < desc_->Count(); ++i) {
        const ParamDef& d = desc_->paramdefs(i);
        int n = IsTabType(d.type) ? std::max(0, d.tab_size) : 1;
        stores_[i].slots.assign(n, defaultSlot(d));
    }
}

IParamBlock2::~IParamBlock2() {
    // Copy: each view removes itself from views_ as it lets go.
    for (ParamBlockView* view : std::vector<ParamBlockView*>(views_)) view->BlockDeleted();
    for (Store& st : stores_)
        for (PB2Slot& s : st.slots)
            if (s.ref) {
                ReferenceTarget* r = s.ref;
                s.ref = nullptr;
                r->RemoveDependent(this, true);
            }
}

PB2Slot IParamBlock2::defaultSlot(const ParamDef& d) const {
    PB2Slot s;
    s.f.value = d.def_f;
    s.i.value = baseType(d.type) == TYPE_BOOL ? (d.def_i != 0) : d.def_i;
    s.p.value = d.def_p;
    s.s = d.def_s;
    return s;
}

IParamBlock2::Store* IParamBlock2::find(ParamID id, int tabIndex, const ParamDef** def) {
    int index = desc_->IDtoIndex(id);
    if (index < 0) return nullptr;
    Store& st = stores_[index];
    if (tabIndex < 0 || tabIndex >= int(st.slots.size())) return nullptr;
    *def = &desc_->paramdefs(index);
    return &st;
}

ParamDef& IParamBlock2::GetParamDef(ParamID id) {
    static ParamDef none;
    ParamDef* d = desc_->GetParamDef(id);
    return d ? *d : none;
}

// Maps first: an owner's change handler may drop this block, after which it must not be touched.
void IParamBlock2::notifyChanged(ParamID id) {
    showInMaps(id);
    lastNotify_ = id;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void IParamBlock2::showInMaps(ParamID id) {
    for (ParamBlockView* view : std::vector<ParamBlockView*>(views_)) view->ParamChanged(id);
}

IParamMap2* IParamBlock2::GetMap(MapID map) {
    for (ParamBlockView* view : views_)
        if (IParamMap2* m = view->ViewedMap(map)) return m;
    return nullptr;
}

void IParamBlock2::RemoveView(ParamBlockView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    v = 0.0f;
    if (!st || ValueKindOf(d->type) != PBValueKind::Float) return FALSE;
    v = st->slots[tabIndex].f.At(t, &valid);
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    v = 0;
    if (!st || ValueKindOf(d->type) != PBValueKind::Int) return FALSE;
    v = int(std::lround(st->slots[tabIndex].i.At(t, &valid)));
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    v = Point3();
    if (!st || ValueKindOf(d->type) != PBValueKind::Point3) return FALSE;
    v = st->slots[tabIndex].p.At(t, &valid);
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex) {
    Point3 p;
    BOOL ok = GetValue(id, t, p, valid, tabIndex);
    v = Color(p);
    return ok;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, const MCHAR*& v, Interval&, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    v = nullptr;
    if (!st || ValueKindOf(d->type) != PBValueKind::String) return FALSE;
    v = st->slots[tabIndex].s.c_str();
    return TRUE;
}

BOOL IParamBlock2::getRefValue(ParamID id, ReferenceTarget*& v, int tabIndex, int wantedBase) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    v = nullptr;
    if (!st || ValueKindOf(d->type) != PBValueKind::Ref) return FALSE;
    if (wantedBase != kRefBaseAny && baseType(d->type) != wantedBase) return FALSE;
    v = st->slots[tabIndex].ref;
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, ReferenceTarget*& v, Interval&, int tabIndex) {
    return getRefValue(id, v, tabIndex, kRefBaseAny);
}

BOOL IParamBlock2::setScalar(ParamID id, TimeValue t, float f, int i, bool isInt, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    if (!st) return FALSE;
    PBValueKind kind = ValueKindOf(d->type);
    if (kind != (isInt ? PBValueKind::Int : PBValueKind::Float)) return FALSE;
    if (isInt)
        i = clampI(*d, i);
    else
        f = clampF(*d, f);
    PB2Slot& s = st->slots[tabIndex];
    if (!d->animatable()) {
        s.f.value = f;
        s.i.value = i;
    } else if (isInt) {
        s.i.Set(t, i, Animating(), [&](int& key, float delta) { key = clampI(*d, int(std::lround(key + delta))); });
    } else {
        s.f.Set(t, f, Animating(), [&](float& key, float delta) { key = clampF(*d, key + delta); });
    }
    notifyChanged(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
    return setScalar(id, t, v, int(v), false, tabIndex);
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
    return setScalar(id, t, float(v), v, true, tabIndex);
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    if (!st || ValueKindOf(d->type) != PBValueKind::Point3) return FALSE;
    KeyTrack<Point3>& track = st->slots[tabIndex].p;
    if (!d->animatable())
        track.value = clampP(*d, v);
    else
        track.Set(t, clampP(*d, v), Animating(), [&](Point3& key, Point3 delta) { key = clampP(*d, key + delta); });
    notifyChanged(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, const MCHAR* v, int tabIndex) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    if (!st || ValueKindOf(d->type) != PBValueKind::String) return FALSE;
    st->slots[tabIndex].s = v ? v : L"";
    notifyChanged(id);
    return TRUE;
}

void IParamBlock2::setRef(PB2Slot& slot, ReferenceTarget* target, const ParamDef& def) {
    if (slot.ref == target) return;
    ReferenceTarget* old = slot.ref;
    bool holdRef = (def.flags & P_NO_REF) == 0;
    if (target && holdRef) target->AddDependent(this);
    slot.ref = target;
    if (old && holdRef) old->RemoveDependent(this, true);
}

BOOL IParamBlock2::setRefValue(ParamID id, ReferenceTarget* v, int tabIndex, int wantedBase) {
    const ParamDef* d = nullptr;
    Store* st = find(id, tabIndex, &d);
    if (!st || ValueKindOf(d->type) != PBValueKind::Ref) return FALSE;
    if (wantedBase != kRefBaseAny && baseType(d->type) != wantedBase && baseType(d->type) != TYPE_REFTARG) return FALSE;
    setRef(st->slots[tabIndex], v, *d);
    notifyChanged(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, ReferenceTarget* v, int tabIndex) {
    return setRefValue(id, v, tabIndex, kRefBaseAny);
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) {
    float v = 0.0f;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) {
    int v = 0;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
Point3 IParamBlock2::GetPoint3(ParamID id, TimeValue t, int tabIndex) {
    Point3 v;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
Color IParamBlock2::GetColor(ParamID id, TimeValue t, int tabIndex) {
    return Color(GetPoint3(id, t, tabIndex));
}
const MCHAR* IParamBlock2::GetStr(ParamID id, TimeValue t, int tabIndex) {
    const MCHAR* v = nullptr;
    Interval iv = FOREVER;
    GetValue(id, t, v, iv, tabIndex);
    return v;
}
int IParamBlock2::Count(ParamID id) {
    int index = desc_->IDtoIndex(id);
    return index < 0 ? 0 : int(stores_[index].slots.size());
}

void IParamBlock2::SetCount(ParamID id, int n) {
    int index = desc_->IDtoIndex(id);
    if (index < 0 || n < 0 || !IsTabType(desc_->paramdefs(index).type)) return;
    auto& slots = stores_[index].slots;
    if (n < int(slots.size()))
        Delete(id, n, int(slots.size()) - n);
    else
        slots.resize(n, defaultSlot(desc_->paramdefs(index)));
    notifyChanged(id);
}

int IParamBlock2::Delete(ParamID id, int start, int num) {
    int index = desc_->IDtoIndex(id);
    if (index < 0 || !IsTabType(desc_->paramdefs(index).type)) return 0;
    auto& slots = stores_[index].slots;
    start = std::clamp(start, 0, int(slots.size()));
    num = std::clamp(num, 0, int(slots.size()) - start);
    for (int k = start; k < start + num; ++k) setRef(slots[k], nullptr, desc_->paramdefs(index));
    slots.erase(slots.begin() + start, slots.begin() + start + num);
    notifyChanged(id);
    return int(slots.size());
}

template <class Fill>
static int appendSlots(IParamBlock2& pb, ParamID id, int num, Fill fill) {
    if (num <= 0 || !IsTabType(pb.GetParamDef(id).type)) return pb.Count(id);
    int at = pb.Count(id);
    pb.SetCount(id, at + num);
    for (int k = 0; k < num; ++k) fill(at + k, k);
    return pb.Count(id);
}

int IParamBlock2::Append(ParamID id, int num, INode** el, int) {
    return appendSlots(*this, id, num, [&](int slot, int k) { SetValue(id, 0, el[k], slot); });
}
int IParamBlock2::Append(ParamID id, int num, float* el, int) {
    return appendSlots(*this, id, num, [&](int slot, int k) { SetValue(id, 0, el[k], slot); });
}
int IParamBlock2::Append(ParamID id, int num, int* el, int) {
    return appendSlots(*this, id, num, [&](int slot, int k) { SetValue(id, 0, el[k], slot); });
}
int IParamBlock2::Append(ParamID id, int num, Mtl** el, int) {
    return appendSlots(*this, id, num, [&](int slot, int k) { SetValue(id, 0, el[k], slot); });
}

void IParamBlock2::Reset(ParamID id) {
    for (int i = 0; i < desc_->Count(); ++i) {
        const ParamDef& d = desc_->paramdefs(i);
        if (id != -1 && d.ID != id) continue;
        for (PB2Slot& s : stores_[i].slots) setRef(s, nullptr, d);
        int n = IsTabType(d.type) ? std::max(0, d.tab_size) : 1;
        stores_[i].slots.assign(n, defaultSlot(d));
        notifyChanged(d.ID);
    }
}

const std::vector<PB2Slot>& IParamBlock2::Slots(ParamID id) {
    static const std::vector<PB2Slot> none;
    int index = desc_->IDtoIndex(id);
    return index < 0 ? none : stores_[index].slots;
}

bool IParamBlock2::IsAnimated(ParamID id, int tabIndex) {
    const auto& s = Slots(id);
    if (tabIndex < 0 || tabIndex >= int(s.size())) return false;
    const PB2Slot& slot = s[tabIndex];
    switch (ValueKindOf(GetParamDef(id).type)) {
        case PBValueKind::Int:
            return slot.i.keys.size() >= 2;
        case PBValueKind::Point3:
            return slot.p.keys.size() >= 2;
        default:
            return slot.f.keys.size() >= 2;
    }
}

void IParamBlock2::RestoreSlots(ParamID id, std::vector<PB2Slot> slots) {
    int index = desc_->IDtoIndex(id);
    if (index < 0) return;
    const ParamDef& d = desc_->paramdefs(index);
    for (PB2Slot& s : stores_[index].slots) setRef(s, nullptr, d);
    if (!IsTabType(d.type)) slots.resize(1, defaultSlot(d));
    stores_[index].slots.clear();
    for (PB2Slot& s : slots) {
        // Restored values keep to the parameter's range, as set values do: a file may say
        // anything.
        switch (ValueKindOf(d.type)) {
            case PBValueKind::Float:
                s.f.value = clampF(d, s.f.value);
                for (auto& k : s.f.keys) k.v = clampF(d, k.v);
                break;
            case PBValueKind::Int:
                s.i.value = clampI(d, s.i.value);
                for (auto& k : s.i.keys) k.v = clampI(d, k.v);
                break;
            case PBValueKind::Point3:
                s.p.value = clampP(d, s.p.value);
                for (auto& k : s.p.keys) k.v = clampP(d, k.v);
                break;
            default:
                break;
        }
        ReferenceTarget* r = s.ref;
        s.ref = nullptr;
        stores_[index].slots.push_back(std::move(s));
        setRef(stores_[index].slots.back(), r, d);
    }
    showInMaps(id);
}

void IParamBlock2::DropDeletedTarget(ReferenceTarget* target) {
    for (int i = 0; i < desc_->Count(); ++i)
        for (PB2Slot& s : stores_[i].slots)
            if (s.ref == target) {
                s.ref = nullptr;
                showInMaps(desc_->paramdefs(i).ID);
                lastNotify_ = desc_->paramdefs(i).ID;
                NotifyDependents(FOREVER, PART_ALL,
                                 IsTabType(desc_->paramdefs(i).type) ? REFMSG_TAB_ELEMENT_NULLED : REFMSG_CHANGE);
            }
}

RefTargetHandle IParamBlock2::Clone(RemapDir& remap) {
    auto* copy = new IParamBlock2(desc_, nullptr);
    for (int i = 0; i < desc_->Count(); ++i) {
        std::vector<PB2Slot> slots = stores_[i].slots;
        const ParamDef& d = desc_->paramdefs(i);
        // Nodes are shared, not cloned; materials and maps are cloned with the block.
        if (baseType(d.type) != TYPE_INODE)
            for (PB2Slot& s : slots) s.ref = remap.CloneRef(s.ref);
        copy->RestoreSlots(d.ID, std::move(slots));
    }
    remap.AddEntry(this, copy);
    return copy;
}
