#include "max/reference.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "max/param_block2.h"

void Animatable::GetClassName(MSTR& s, bool) const {
    s.clear();
}

MSTR Animatable::SubAnimName(int, bool) {
    return MSTR();
}

IParamBlock2* Animatable::GetParamBlockByID(BlockID id) {
    for (int i = 0; i < NumParamBlocks(); ++i) {
        IParamBlock2* pb = GetParamBlock(i);
        if (pb && pb->ID() == id) return pb;
    }
    return nullptr;
}

ReferenceMaker::~ReferenceMaker() {
    // Copy: RemoveDependent may delete targets whose teardown touches this list.
    std::vector<ReferenceTarget*> held = std::move(held_);
    held_.clear();
    for (ReferenceTarget* t : held) t->RemoveDependent(this, true);
}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle target, BOOL delOld) {
    if (which < 0 || which >= NumRefs()) return REF_FAIL;
    ReferenceTarget* old = GetReference(which);
    if (old == target) return REF_SUCCEED;
    if (target) target->AddDependent(this);
    SetReference(which, target);
    if (old) old->RemoveDependent(this, delOld != FALSE);
    return REF_SUCCEED;
}

RefResult ReferenceMaker::DeleteReference(int which) {
    return ReplaceReference(which, nullptr, TRUE);
}

RefResult ReferenceMaker::DeleteAllRefsFromMe() {
    for (int i = 0; i < NumRefs(); ++i) DeleteReference(i);
    return REF_SUCCEED;
}

RefResult ReferenceMaker::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage, BOOL) {
    return REF_SUCCEED;
}

void ReferenceMaker::DropDeletedTarget(ReferenceTarget* target) {
    for (int i = 0; i < NumRefs(); ++i)
        if (GetReference(i) == target) SetReference(i, nullptr);
}

void ReferenceMaker::forgetTarget(ReferenceTarget* target) {
    auto it = std::find(held_.begin(), held_.end(), target);
    if (it != held_.end()) held_.erase(it);
}

void ReferenceTarget::AddDependent(ReferenceMaker* maker) {
    dependents_.push_back(maker);
    maker->held_.push_back(this);
}

void ReferenceTarget::RemoveDependent(ReferenceMaker* maker, bool deleteIfUnreferenced) {
    auto it = std::find(dependents_.begin(), dependents_.end(), maker);
    if (it == dependents_.end()) return;
    dependents_.erase(it);
    maker->forgetTarget(this);
    if (deleteIfUnreferenced && dependents_.empty() && !dying_ && AutoDeleteWhenUnreferenced()) DeleteThis();
}

void ReferenceTarget::MaybeAutoDelete() {
    if (dependents_.empty() && !dying_) DeleteThis();
}

ReferenceTarget::~ReferenceTarget() {
    dying_ = true;
    std::vector<ReferenceMaker*> deps = std::move(dependents_);
    dependents_.clear();
    for (ReferenceMaker* d : deps) {
        PartID part = PART_ALL;
        d->NotifyRefChanged(FOREVER, this, part, REFMSG_TARGET_DELETED, TRUE);
        d->DropDeletedTarget(this);
        d->forgetTarget(this);
    }
}

namespace {

// Returns true when the walk was halted.
bool enumDependents(ReferenceMaker* maker, DependentEnumProc* dep, std::vector<ReferenceMaker*>& seen) {
    if (std::find(seen.begin(), seen.end(), maker) != seen.end()) return false;
    seen.push_back(maker);
    const int answer = dep->proc(maker);
    if (answer == DEP_ENUM_HALT) return true;
    if (answer == DEP_ENUM_SKIP || !maker->IsRefTarget()) return false;
    const std::vector<ReferenceMaker*> dependents = static_cast<ReferenceTarget*>(maker)->Dependents();
    for (ReferenceMaker* d : dependents)
        if (enumDependents(d, dep, seen)) return true;
    return false;
}

}  // namespace

int ReferenceTarget::DoEnumDependents(DependentEnumProc* dep) {
    std::vector<ReferenceMaker*> seen;
    return dep && enumDependents(this, dep, seen) ? 1 : 0;
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message, SClass_ID,
                                            BOOL propagate, RefTargetHandle hTarg) {
    // A depth guard keeps a reference cycle from recursing forever.
    static thread_local int depth = 0;
    if (depth > 64) return REF_STOP;
    // One broadcast passes each target on once: where references join up again (snowed
    // objects that are each other's regions) the paths would otherwise multiply, exponential
    // in the objects. A handler's own NotifyDependents starts a broadcast of its own.
    static thread_local std::unordered_set<ReferenceTarget*>* passedOn = nullptr;
    static thread_local bool propagating = false;
    std::unordered_set<ReferenceTarget*> fresh;
    std::unordered_set<ReferenceTarget*>* broadcast = propagating && passedOn ? passedOn : &fresh;
    if (!broadcast->insert(this).second) return REF_SUCCEED;
    std::unordered_set<ReferenceTarget*>* outer = passedOn;
    const bool outerPropagating = propagating;
    passedOn = broadcast;
    ++depth;
    std::vector<ReferenceMaker*> deps = dependents_;
    for (ReferenceMaker* d : deps) {
        PartID part = partID;
        propagating = false;
        RefResult r = d->NotifyRefChanged(changeInt, hTarg ? hTarg : this, part, message, propagate);
        if (r == REF_SUCCEED && propagate && d->IsRefTarget()) {
            propagating = true;
            passedOn = broadcast;
            static_cast<ReferenceTarget*>(d)->NotifyDependents(changeInt, part, message, NOTIFY_ALL, propagate,
                                                               nullptr);
        }
    }
    --depth;
    passedOn = outer;
    propagating = outerPropagating;
    return REF_SUCCEED;
}

RefTargetHandle ReferenceTarget::Clone(RemapDir&) {
    return nullptr;
}

RefTargetHandle RemapDir::FindMapping(RefTargetHandle from) {
    for (auto& [a, b] : map_)
        if (a == from) return b;
    return nullptr;
}

void RemapDir::AddEntry(RefTargetHandle from, RefTargetHandle to) {
    map_.emplace_back(from, to);
}

RefTargetHandle RemapDir::CloneRef(RefTargetHandle target) {
    if (!target) return nullptr;
    if (RefTargetHandle done = FindMapping(target)) return done;
    RefTargetHandle copy = target->Clone(*this);
    if (copy) AddEntry(target, copy);
    return copy;
}
