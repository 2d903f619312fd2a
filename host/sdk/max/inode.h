// Scene nodes: hierarchy, handle, name, an animatable transform (position, Euler XYZ
// rotation in radians and scale, each with linear keys), an object offset, display flags,
// the object reference with its world-space-modifier stack, and a material. EvalWorldState
// runs the pipeline (object, then the WSMs in stack order on a copy whose points were moved
// to world space) and keeps the result until the next evaluation that changes it. Nodes
// belong to their scene: references to a node never delete it. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "max/key_track.h"
#include "max/object.h"

class Mtl;
namespace host {
class Scene;
}

// A keyed Point3 track (position, Euler rotation in radians or scale).
using PointTrack = KeyTrack<Point3>;

class INode : public ReferenceTarget {
public:
    ~INode() override;
    Class_ID ClassID() override { return Class_ID(BASENODE_CLASS_ID, 0); }
    SClass_ID SuperClassID() override { return BASENODE_CLASS_ID; }
    bool AutoDeleteWhenUnreferenced() const override { return false; }

    const MCHAR* GetName() const { return name_.c_str(); }
    void SetName(const MCHAR* name) { name_ = name ? name : L""; }
    ULONG GetHandle() const { return handle_; }

    INode* GetParentNode() { return parent_; }
    int NumberOfChildren() const { return int(children_.size()); }
    INode* GetChildNode(int i) { return i >= 0 && i < NumberOfChildren() ? children_[i] : nullptr; }
    int IsRootNode() const { return parent_ == nullptr ? TRUE : FALSE; }
    // Re-parents child under this node (appended last). keepTM keeps its world transform
    // at the current time.
    void AttachChild(INode* child, int keepTM = 1);
    void Detach(TimeValue t, int keepTM = 1);

    // Transform. The node TM is scale, then rotation (X, then Y, then Z), then translation,
    // then the parent's node TM.
    Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr);
    void SetNodeTM(TimeValue t, const Matrix3& tm);  // decomposed into the three tracks
    // Stand-in convenience: the transform relative to the parent, decomposed the same way.
    // Importers that know each node's local matrix set it without walking up the chain.
    void SetLocalTM(TimeValue t, const Matrix3& local);
    Matrix3 GetObjTMBeforeWSM(TimeValue t, Interval* valid = nullptr);
    // Identity when world-space modifiers moved the points into world space; otherwise
    // the object TM (times the TM the modifiers applied, for objects without points).
    // Uses the last evaluation when it was at t, so the object EvalWorldState returned stays
    // alive even when its validity is shorter than an instant.
    Matrix3 GetObjTMAfterWSM(TimeValue t, Interval* valid = nullptr);
    // Outside the pipeline this is GetObjTMBeforeWSM; while this node's world-space
    // modifiers run it is identity, since their points are already in world space.
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr);
    // The tracks as they are; handing one out counts as a change to the scene's transforms.
    PointTrack& PositionTrack() { return changedTrack(pos_); }
    PointTrack& RotationTrack() { return changedTrack(rot_); }
    PointTrack& ScaleTrack() { return changedTrack(scale_); }
    const PointTrack& PositionTrack() const { return pos_; }
    const PointTrack& RotationTrack() const { return rot_; }
    const PointTrack& ScaleTrack() const { return scale_; }
    void SetPosition(TimeValue t, const Point3& p);
    void SetRotation(TimeValue t, const Point3& eulerRadians);
    void SetScale(TimeValue t, const Point3& s);
    void SetObjOffsetPos(const Point3& p);
    void SetObjOffsetRot(const Point3& eulerRadians);
    void SetObjOffsetScale(const Point3& s);
    Point3 GetObjOffsetPos() const { return offPos_; }
    Point3 GetObjOffsetRot() const { return offRot_; }
    Point3 GetObjOffsetScale() const { return offScale_; }

    // Display flags. Hidden nodes stay hidden for the renderer unless the scene renders
    // hidden objects.
    void Hide(BOOL hide) { hidden_ = hide != FALSE; }
    BOOL IsHidden(DWORD hflags = 0, BOOL forRenderer = FALSE) const;
    int IsNodeHidden(BOOL forRenderer = FALSE) const { return IsHidden(0, forRenderer); }
    int Renderable() const { return renderable_ ? TRUE : FALSE; }
    void SetRenderable(BOOL on) { renderable_ = on != FALSE; }
    int Selected();

    // Objects.
    Object* GetObjectRef() { return wsm_ ? wsm_->GetObjRef() : object_; }
    Object* GetObjOrWSMRef() { return wsm_ ? static_cast<Object*>(wsm_) : object_; }
    void SetObjectRef(Object* obj);
    IDerivedObject* GetWSMDerivedObject() { return wsm_; }
    // Stand-in convenience: puts mod on top of the node's world-space-modifier stack,
    // creating the stack when the node has none.
    void AddWSModifier(Modifier* mod);
    const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = TRUE);
    Mtl* GetMtl() { return mtl_; }
    void SetMtl(Mtl* mtl);

    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle t) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID, RefMessage message,
                               BOOL propagate) override;
    // Drops the cached evaluation (the next EvalWorldState re-runs the pipeline).
    void InvalidateWS();
    // Stand-in convenience, as the host keeps node bounds: the world box of the object as its
    // own modifiers leave it (before world-space modifiers), its finite points through the
    // object TM (an object without points: its deform box); empty without points. Remembered
    // over the validity of the object and the transform at the time asked, and forgotten
    // when the node's object, its stack or any transform changes.
    Box3 GetWorldBoxBeforeWSM(TimeValue t);

private:
    friend class host::Scene;
    INode() = default;
    void releaseWorldState();
    Matrix3 localTM(TimeValue t, Interval* valid);
    // Every node's remembered world transform is forgotten when any transform or parent in
    // any scene changes: one counter, so a change costs nothing and a chain of n nodes is
    // walked once, not n times, by the next run of GetNodeTM over it.
    static void transformsChanged();
    PointTrack& changedTrack(PointTrack& track) {
        transformsChanged();
        return track;
    }
    struct RememberedWorld {
        uint64_t generation = 0;  // 0: nothing remembered
        TimeValue t = 0;
        Matrix3 world;
        Interval valid;
    };
    RememberedWorld world_;
    struct RememberedBox {
        uint64_t generation = 0;  // of the transforms; 0: nothing remembered
        Interval valid = NEVER;
        Box3 box;
    };
    RememberedBox box_;

    ULONG handle_ = 0;
    std::wstring name_;
    INode* parent_ = nullptr;
    std::vector<INode*> children_;
    PointTrack pos_, rot_, scale_{Point3(1, 1, 1), {}};
    Point3 offPos_, offRot_, offScale_{1, 1, 1};
    bool hidden_ = false;
    bool renderable_ = true;
    Object* object_ = nullptr;       // reference 0 when there is no WSM stack
    IDerivedObject* wsm_ = nullptr;  // reference 0 when there is one
    Mtl* mtl_ = nullptr;             // reference 1
    host::Scene* scene_ = nullptr;
    // Cached pipeline result.
    ObjectState ws_;
    Object* wsOwned_ = nullptr;  // the pipeline's own copy, freed on re-evaluation
    Interval wsValid_ = NEVER;
    TimeValue wsTime_ = 0;  // when ws_ was evaluated
    bool wsBaked_ = false;  // points were moved to world space
    bool inWSM_ = false;
};
