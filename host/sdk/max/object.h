// Objects of the geometry pipeline: ObjectState (an evaluated object plus an optional
// object-to-world TM), Object and GeomObject, TriObject (a mesh), modifiers and the
// world-space-modifier derived object. Objects are reference targets owned by whatever
// references them (nodes, derived objects); free them with DeleteThis. Main thread only.
#pragma once

#include "max/class_desc.h"
#include "max/mesh.h"
#include "max/mouse_callback.h"
#include "max/reference.h"

class INode;
class Object;
class View;
class ViewExp;
struct IPoint2;

class ObjectState {
public:
    Object* obj = nullptr;
    int mtl = 0;

    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
    // Null means identity: the object's points are already in world space.
    Matrix3* GetTM() { return hasTM_ ? &tm_ : nullptr; }
    void SetTM(Matrix3* m, Interval iv);
    BOOL TMIsIdentity() const { return !hasTM_ || tm_.IsIdentity(); }
    Interval tmValid() const { return tmValid_; }
    // Post-multiplies the current TM by m and narrows its validity.
    void ApplyTM(Matrix3* m, Interval iv);
    void CopyTM(const ObjectState& o);
    Interval Validity(TimeValue t) const;

private:
    Matrix3 tm_;
    bool hasTM_ = false;
    Interval tmValid_ = FOREVER;
};

class BaseObject : public ReferenceTarget {
public:
    virtual const MCHAR* GetObjectName(bool localized = true);
    virtual void BeginEditParams(IObjParam*, ULONG, Animatable*) {}
    virtual void EndEditParams(IObjParam*, ULONG, Animatable*) {}
    // The callback that places a new instance with the mouse; null: the class is not created
    // in viewports. The object keeps it (usually one shared static instance).
    virtual CreateMouseCallBack* GetCreateMouseCallBack() { return nullptr; }
    // Whether the object shows under the cursor p in the viewport (type HITTYPE_POINT or
    // HITTYPE_BOX, see max/graphics_window.h); 0 where it does not or cannot tell.
    virtual int HitTest(TimeValue, INode*, int /*type*/, int /*crossing*/, int /*flags*/, IPoint2*, ViewExp*) {
        return 0;
    }
};

class Object : public BaseObject {
public:
    // Evaluates the object at t; the default is the object itself, valid over
    // ObjectValidity(t).
    virtual ObjectState Eval(TimeValue t);
    virtual Object* FindBaseObject() { return this; }
    virtual int IsParticleSystem() { return FALSE; }
    virtual int IsWorldSpaceObject() { return FALSE; }
    virtual int IsRenderable() { return TRUE; }
    // Whether the points can be moved (and so baked into world space by the pipeline).
    virtual int IsDeformable() { return FALSE; }
    virtual int NumPoints() { return 0; }
    virtual Point3 GetPoint(int) { return Point3(); }
    virtual void SetPoint(int, const Point3&) {}
    virtual void PointsWereChanged() {}
    // Every object converts to its own class (ConvertToType then returns this).
    virtual int CanConvertToType(Class_ID id) { return id == ClassID(); }
    // Returns this when already of that type, else a new object the caller owns (or null).
    virtual Object* ConvertToType(TimeValue, Class_ID id) { return id == ClassID() ? this : nullptr; }
    // Box of the deformable points, transformed by tm when given; empty for objects
    // without points.
    virtual void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE);
    virtual Interval ObjectValidity(TimeValue t);
    Interval ChannelValidity(TimeValue t, int chanNum);
    void UpdateValidity(int chanNum, Interval v);  // intersects
    void SetChannelValidity(int chanNum, Interval v);
    void InvalidateChannels(ChannelMask channels);

private:
    Interval chanValid_[NUM_OBJ_CHANS] = {FOREVER, FOREVER, FOREVER, FOREVER, FOREVER, FOREVER,
                                          FOREVER, FOREVER, FOREVER, FOREVER, FOREVER};
};

class GeomObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    // The mesh a renderer uses; needDelete tells the caller to delete it.
    virtual Mesh* GetRenderMesh(TimeValue t, INode* inode, View& view, BOOL& needDelete);
};

class TriObject : public GeomObject {
public:
    Mesh mesh;
    Mesh& GetMesh() { return mesh; }
    Class_ID ClassID() override { return triObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    const MCHAR* GetObjectName(bool = true) override { return L"Mesh"; }
    int IsDeformable() override { return TRUE; }
    int NumPoints() override { return mesh.numVerts; }
    Point3 GetPoint(int i) override { return mesh.verts[i]; }
    void SetPoint(int i, const Point3& p) override { mesh.verts[i] = p; }
    void PointsWereChanged() override { mesh.InvalidateGeomCache(); }
    int CanConvertToType(Class_ID id) override { return id == triObjectClassID; }
    Object* ConvertToType(TimeValue, Class_ID id) override { return id == triObjectClassID ? this : nullptr; }
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    Mesh* GetRenderMesh(TimeValue t, INode* inode, View& view, BOOL& needDelete) override;
    RefTargetHandle Clone(RemapDir& remap) override;
};

TriObject* CreateNewTriObject();

// Per-application data of a modifier.
class LocalModData {
public:
    virtual ~LocalModData() = default;
    virtual LocalModData* Clone() = 0;
};

class ModContext {
public:
    Matrix3* tm = nullptr;
    Box3* box = nullptr;
    LocalModData* localData = nullptr;
};

class Modifier : public BaseObject {
public:
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    virtual ChannelMask ChannelsUsed() { return OBJ_CHANNELS; }
    virtual ChannelMask ChannelsChanged() { return OBJ_CHANNELS; }
    // The type the pipeline converts the input to before ModifyObject.
    virtual Class_ID InputType() { return triObjectClassID; }
    virtual Interval LocalValidity(TimeValue) { return FOREVER; }
    virtual void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) = 0;
    virtual BOOL DependOnTopology(ModContext&) { return FALSE; }
};

class WSModifier : public Modifier {
public:
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
};

// The world-space-modifier stack of a node: reference 0 is the object below, references
// 1.. the modifiers, index 0 being the top of the stack (evaluated last).
class IDerivedObject : public Object {
public:
    explicit IDerivedObject(Object* obj = nullptr);
    ~IDerivedObject() override;
    Class_ID ClassID() override { return Class_ID(WSM_DERIVOB_CLASS_ID, 0); }
    SClass_ID SuperClassID() override { return WSM_DERIVOB_CLASS_ID; }
    int NumModifiers() const { return int(mods_.size()); }
    Modifier* GetModifier(int i) { return i >= 0 && i < NumModifiers() ? mods_[i] : nullptr; }
    ModContext* GetModContext(int i) { return i >= 0 && i < NumModifiers() ? &contexts_[i] : nullptr; }
    Object* GetObjRef() { return obj_; }
    void ReferenceObject(Object* obj) { ReplaceReference(0, obj); }
    // Inserts mod before index `before` (0 = on top).
    void AddModifier(Modifier* mod, ModContext* mc = nullptr, int before = 0);
    void DeleteModifier(int i);
    Object* FindBaseObject() override { return obj_ ? obj_->FindBaseObject() : nullptr; }
    // The object below the stack; the modifiers need a node's world space and run in
    // INode::EvalWorldState.
    ObjectState Eval(TimeValue t) override;
    int NumRefs() override { return 1 + NumModifiers(); }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle t) override;

private:
    Object* obj_ = nullptr;
    std::vector<Modifier*> mods_;
    std::vector<ModContext> contexts_;
};

IDerivedObject* CreateWSDerivedObject(Object* obj);
