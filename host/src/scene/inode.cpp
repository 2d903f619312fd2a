#include "max/inode.h"

#include <algorithm>
#include <cmath>

#include "host/scene.h"
#include "host/scene_settings.h"
#include "max/material.h"

namespace {

// The generation of every transform and parent in the process; starts at 1 so that a fresh
// node, which remembers generation 0, remembers nothing.
uint64_t gTransformGeneration = 1;

// Setting a transform part keys it under Auto Key; unkeyed it is a constant.
void setTrack(PointTrack& track, TimeValue t, const Point3& v) {
    ++gTransformGeneration;
    track.Set(t, v, host::sceneSettings().animateMode, [](Point3& key, const Point3& delta) { key += delta; });
}

}  // namespace

INode::~INode() {
    releaseWorldState();
}

void INode::transformsChanged() {
    ++gTransformGeneration;
}

void INode::releaseWorldState() {
    if (wsOwned_) {
        Object* o = wsOwned_;
        wsOwned_ = nullptr;
        o->DeleteThis();
    }
    ws_ = ObjectState();
    wsValid_ = NEVER;
    wsBaked_ = false;
}

void INode::InvalidateWS() {
    releaseWorldState();
    box_ = {};
}

Box3 INode::GetWorldBoxBeforeWSM(TimeValue t) {
    if (box_.generation == gTransformGeneration && box_.valid.InInterval(t)) return box_.box;
    Box3 box;
    Object* ref = GetObjectRef();
    if (!ref) return box;
    const ObjectState os = ref->Eval(t);
    Object* obj = os.obj;
    if (!obj) return box;
    Interval valid = os.Validity(t);
    const Matrix3 tm = GetObjTMBeforeWSM(t, &valid);
    const int points = obj->NumPoints();
    if (points == 0) {
        Matrix3 m = tm;
        obj->GetDeformBBox(t, box, &m);
    } else {
        for (int i = 0; i < points; ++i) {
            const Point3 p = obj->GetPoint(i) * tm;
            if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) box += p;
        }
    }
    box_ = {gTransformGeneration, valid, box};
    return box;
}

void INode::AttachChild(INode* child, int keepTM) {
    if (!child || child == this) return;
    // Only a node with children can be an ancestor of this one; a fresh node skips the walk,
    // so building a chain of n nodes stays linear.
    if (!child->children_.empty())
        for (INode* p = this; p; p = p->parent_)
            if (p == child) return;  // would make a cycle
    TimeValue t = host::sceneSettings().time;
    Matrix3 world = child->GetNodeTM(t);
    if (child->parent_) {
        auto& sib = child->parent_->children_;
        sib.erase(std::remove(sib.begin(), sib.end(), child), sib.end());
    }
    child->parent_ = this;
    children_.push_back(child);
    transformsChanged();
    if (keepTM) child->SetNodeTM(t, world);
    child->InvalidateWS();
}

void INode::Detach(TimeValue, int keepTM) {
    if (!parent_ || !scene_) return;
    scene_->root()->AttachChild(this, keepTM);
}

Matrix3 INode::localTM(TimeValue t, Interval* valid) {
    return ScaleMatrix(scale_.At(t, valid)) * EulerXYZMatrix(rot_.At(t, valid)) * TransMatrix(pos_.At(t, valid));
}

Matrix3 INode::GetNodeTM(TimeValue t, Interval* valid) {
    // From the nearest ancestor whose world transform at t is remembered (or the root) down,
    // with a list of our own rather than the call stack (a chain can be 100,000 nodes deep):
    // each product is local * parent's world, in the same order as ever.
    constexpr size_t kInline = 32;
    INode* inlineChain[kInline];
    std::vector<INode*> longChain;
    size_t depth = 0;
    const INode* known = nullptr;
    for (INode* n = this; n->parent_; n = n->parent_) {
        if (n->world_.generation == gTransformGeneration && n->world_.t == t) {
            known = n;
            break;
        }
        if (depth < kInline) {
            inlineChain[depth] = n;
        } else {
            if (longChain.empty()) longChain.assign(inlineChain, inlineChain + kInline);
            longChain.push_back(n);
        }
        ++depth;
    }
    INode* const* chain = longChain.empty() ? inlineChain : longChain.data();
    Matrix3 world = known ? known->world_.world : Matrix3(1);
    Interval worldValid = known ? known->world_.valid : FOREVER;
    for (size_t k = depth; k-- > 0;) {
        world = chain[k]->localTM(t, &worldValid) * world;
        chain[k]->world_ = {gTransformGeneration, t, world, worldValid};
    }
    if (valid) *valid &= worldValid;
    return world;
}

void INode::SetNodeTM(TimeValue t, const Matrix3& tm) {
    SetLocalTM(t, parent_ ? tm * Inverse(parent_->GetNodeTM(t)) : tm);
}

void INode::SetLocalTM(TimeValue t, const Matrix3& local) {
    Point3 s(local.GetRow(0).Length(), local.GetRow(1).Length(), local.GetRow(2).Length());
    if (local.Parity()) s.x = -s.x;
    Matrix3 r = local;
    for (int i = 0; i < 3; ++i) r.SetRow(i, s[i] != 0.0f ? local.GetRow(i) / s[i] : Point3());
    // r = RotX * RotY * RotZ in row form; see EulerXYZMatrix.
    float sy = std::clamp(-r.m[0][2], -1.0f, 1.0f);
    float y = std::asin(sy), x = 0.0f, z = 0.0f;
    if (std::fabs(sy) < 0.99999f) {
        x = std::atan2(r.m[1][2], r.m[2][2]);
        z = std::atan2(r.m[0][1], r.m[0][0]);
    } else {
        x = std::atan2(-r.m[2][1], r.m[1][1]);
    }
    setTrack(pos_, t, local.GetTrans());
    setTrack(rot_, t, Point3(x, y, z));
    setTrack(scale_, t, s);
    InvalidateWS();
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}

void INode::SetPosition(TimeValue t, const Point3& p) {
    setTrack(pos_, t, p);
    InvalidateWS();
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}
void INode::SetRotation(TimeValue t, const Point3& e) {
    setTrack(rot_, t, e);
    InvalidateWS();
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}
void INode::SetScale(TimeValue t, const Point3& s) {
    setTrack(scale_, t, s);
    InvalidateWS();
    NotifyDependents(FOREVER, PART_TM, REFMSG_CHANGE);
}
void INode::SetObjOffsetPos(const Point3& p) {
    offPos_ = p;
    InvalidateWS();
}
void INode::SetObjOffsetRot(const Point3& e) {
    offRot_ = e;
    InvalidateWS();
}
void INode::SetObjOffsetScale(const Point3& s) {
    offScale_ = s;
    InvalidateWS();
}

Matrix3 INode::GetObjTMBeforeWSM(TimeValue t, Interval* valid) {
    Matrix3 offset = ScaleMatrix(offScale_) * EulerXYZMatrix(offRot_) * TransMatrix(offPos_);
    return offset * GetNodeTM(t, valid);
}

Matrix3 INode::GetObjTMAfterWSM(TimeValue t, Interval* valid) {
    if (!wsm_ || wsm_->NumModifiers() == 0) return GetObjTMBeforeWSM(t, valid);
    if (!ws_.obj || wsTime_ != t) EvalWorldState(t);
    if (wsBaked_) return Matrix3(1);
    Matrix3* tm = ws_.GetTM();
    if (valid) *valid &= ws_.tmValid();
    return tm ? *tm : GetObjTMBeforeWSM(t, valid);
}

Matrix3 INode::GetObjectTM(TimeValue t, Interval* valid) {
    if (inWSM_) return Matrix3(1);
    return GetObjTMBeforeWSM(t, valid);
}

BOOL INode::IsHidden(DWORD, BOOL forRenderer) const {
    if (!hidden_) return FALSE;
    return forRenderer && host::sceneSettings().renderHidden ? FALSE : TRUE;
}

int INode::Selected() {
    if (!scene_) return FALSE;
    auto& sel = scene_->selection();
    return std::find(sel.begin(), sel.end(), this) != sel.end() ? TRUE : FALSE;
}

void INode::SetObjectRef(Object* obj) {
    if (wsm_)
        wsm_->ReferenceObject(obj);
    else
        ReplaceReference(0, obj);
    InvalidateWS();
}

void INode::AddWSModifier(Modifier* mod) {
    if (!mod) return;
    if (!wsm_) ReplaceReference(0, CreateWSDerivedObject(object_));
    wsm_->AddModifier(mod, nullptr, 0);
    InvalidateWS();
}

void INode::SetMtl(Mtl* mtl) {
    ReplaceReference(1, mtl);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

RefTargetHandle INode::GetReference(int i) {
    if (i == 0) return wsm_ ? static_cast<RefTargetHandle>(wsm_) : object_;
    if (i == 1) return mtl_;
    return nullptr;
}

void INode::SetReference(int i, RefTargetHandle t) {
    if (i == 0) {
        object_ = nullptr;
        wsm_ = nullptr;
        if (t && t->SuperClassID() == WSM_DERIVOB_CLASS_ID)
            wsm_ = static_cast<IDerivedObject*>(t);
        else
            object_ = static_cast<Object*>(t);
        InvalidateWS();
    } else if (i == 1) {
        mtl_ = static_cast<Mtl*>(t);
    }
}

RefResult INode::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) InvalidateWS();
    return REF_SUCCEED;
}

const ObjectState& INode::EvalWorldState(TimeValue t, BOOL) {
    if (ws_.obj && wsValid_.InInterval(t)) return ws_;
    releaseWorldState();
    wsTime_ = t;
    Object* base = GetObjectRef();
    if (!base) return ws_;
    ObjectState os = base->Eval(t);
    if (!os.obj) return ws_;
    Interval valid = os.Validity(t);
    if (!wsm_ || wsm_->NumModifiers() == 0) {
        ws_ = os;
        wsValid_ = valid;
        return ws_;
    }
    Interval tmValid = FOREVER;
    Matrix3 objTM = GetObjTMBeforeWSM(t, &tmValid);
    Object* cur = os.obj;
    bool owned = false;
    bool placed = false;
    ObjectState state(cur);
    for (int i = wsm_->NumModifiers() - 1; i >= 0; --i) {
        Modifier* mod = wsm_->GetModifier(i);
        if (!mod) continue;
        Class_ID in = mod->InputType();
        if (!cur->CanConvertToType(in)) continue;
        Object* conv = cur->ConvertToType(t, in);
        if (!conv) continue;
        if (conv == cur && !owned) {
            // Modifiers work in place: give them a copy, never the node's own object.
            RemapDir remap;
            conv = static_cast<Object*>(cur->Clone(remap));
            if (!conv) continue;
        } else if (conv != cur && owned) {
            cur->DeleteThis();
        }
        cur = conv;
        owned = true;
        if (!placed) {
            placed = true;
            if (cur->IsDeformable()) {
                for (int p = 0; p < cur->NumPoints(); ++p) cur->SetPoint(p, cur->GetPoint(p) * objTM);
                cur->PointsWereChanged();
                wsBaked_ = true;
                state.SetTM(nullptr, tmValid);
            } else {
                state.SetTM(&objTM, tmValid);
            }
        }
        state.obj = cur;
        inWSM_ = true;
        mod->ModifyObject(t, *wsm_->GetModContext(i), &state, this);
        inWSM_ = false;
        if (state.obj != cur) {
            // The modifier replaced the object: the pipeline frees the one it handed in.
            if (state.obj)
                cur->DeleteThis();
            else
                state.obj = cur;
            cur = state.obj;
        }
        valid &= mod->LocalValidity(t);
    }
    valid &= tmValid;
    valid &= cur->ObjectValidity(t);
    ws_ = state;
    ws_.obj = cur;
    wsOwned_ = owned ? cur : nullptr;
    wsValid_ = valid;
    return ws_;
}
