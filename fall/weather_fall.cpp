// The fall object as the host sees it: its one parameter block, cloning, change messages,
// the mixin, the emitter box, and the status texts. The particles themselves are computed
// in weather_fall_particles.cpp.
#include "fall/weather_fall.h"

#include "fall/weather_fall_rollout.h"

#include "max/inode.h"
#include "max/mesh.h"
#include "max/param_block2.h"

namespace wx {

WeatherFall::WeatherFall() {
    GetFallDesc()->MakeAutoParamBlocks(this);
}

WeatherFall::~WeatherFall() {
    forgetFallRenderRollout(this);
}

void WeatherFall::GetClassName(MSTR& s, bool) const {
    s = L"WeatherFall";
}
const MCHAR* WeatherFall::GetObjectName(bool) {
    return L"Tarnwick Weather";
}

RefTargetHandle WeatherFall::GetReference(int i) {
    return i == 0 ? pblock_ : nullptr;
}

void WeatherFall::SetReference(int i, RefTargetHandle t) {
    if (i == 0) pblock_ = static_cast<IParamBlock2*>(t);
}

Animatable* WeatherFall::SubAnim(int i) {
    return i == 0 ? pblock_ : nullptr;
}

MSTR WeatherFall::SubAnimName(int i, bool) {
    return i == 0 ? MSTR(L"Parameters") : MSTR();
}

IParamBlock2* WeatherFall::GetParamBlockByID(BlockID id) {
    return pblock_ && pblock_->ID() == id ? pblock_ : nullptr;
}

RefTargetHandle WeatherFall::Clone(RemapDir& remap) {
    auto* copy = new WeatherFall();
    copy->ReplaceReference(0, remap.CloneRef(pblock_));
    BaseClone(this, copy, remap);
    return copy;
}

// Any parameter change leaves both caches stale: the particles and the emitter box.
RefResult WeatherFall::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE) {
        valid = FALSE;
        stampKey_ = 0;
        mvalid.SetEmpty();
    }
    return REF_SUCCEED;
}

void WeatherFall::BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) {
    SimpleParticle::BeginEditParams(ip, flags, prev);
    GetFallDesc()->BeginEditParams(ip, this, flags, prev);
    openFallRenderRollout(ip, this);
}

void WeatherFall::EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) {
    closeFallRenderRollout(ip, this);
    GetFallDesc()->EndEditParams(ip, this, flags, next);
    SimpleParticle::EndEditParams(ip, flags, next);
}

BaseInterface* WeatherFall::GetInterface(Interface_ID id) {
    if (id == kWeatherFallFPInterfaceID) return static_cast<WeatherFallFP*>(this);
    return SimpleParticle::GetInterface(id);
}

// The host asks for the object at t without naming a node; the particles find their node
// themselves and keep their arrays when nothing they depend on has changed.
ObjectState WeatherFall::Eval(TimeValue t) {
    UpdateParticles(t, nullptr);
    if (!mvalid.InInterval(t)) BuildEmitter(t, mesh);
    return ObjectState(this);
}

// The particles are recomputed for every other instant the host asks about.
Interval WeatherFall::GetValidity(TimeValue t) {
    return Interval(t, t);
}

namespace {

class FirstNodeProc : public DependentEnumProc {
public:
    INode* node = nullptr;
    int proc(ReferenceMaker* maker) override {
        if (maker->SuperClassID() != BASENODE_CLASS_ID) return DEP_ENUM_CONTINUE;
        node = static_cast<INode*>(maker);
        return DEP_ENUM_HALT;
    }
};

}  // namespace

INode* WeatherFall::findNode() {
    FirstNodeProc finder;
    DoEnumDependents(&finder);
    return finder.node;
}

std::wstring WeatherFall::fallStatus() {
    return status_ + meshStatus_ + runoffStatus_ + L" | " + tornadoStatus_;
}

}  // namespace wx
