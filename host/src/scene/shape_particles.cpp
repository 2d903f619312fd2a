#include "max/shape_particles.h"

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "max/view_exp.h"
#include "pb_object.h"

void ParticleSys::SetCount(int n, DWORD flags) {
    n = std::max(0, n);
    points.resize(n);
    vels.resize((flags & PARTICLE_VELS) ? n : 0);
    ages.resize((flags & PARTICLE_AGES) ? n : 0);
    radius.resize((flags & PARTICLE_RADIUS) ? n : 0);
    tension.resize((flags & PARTICLE_TENSION) ? n : 0);
}

Box3 ParticleSys::BoundBox(Matrix3* tm) const {
    Box3 b;
    for (int i = 0; i < Count(); ++i)
        if (Alive(i)) b += tm ? points[i] * *tm : points[i];
    return b;
}

void SimpleParticle::Update(TimeValue t, INode* node) {
    if (node && (tvalid != t || !valid)) UpdateParticles(t, node);
    if (!mvalid.InInterval(t)) BuildEmitter(t, mesh);
}

ObjectState SimpleParticle::Eval(TimeValue t) {
    Update(t, nullptr);
    return ObjectState(this);
}

Interval SimpleParticle::ObjectValidity(TimeValue t) {
    return mvalid & GetValidity(t);
}

RefResult SimpleParticle::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE) {
        ParticleInvalid();
        MeshInvalid();
    }
    return REF_SUCCEED;
}

void SimpleParticle::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box = parts.BoundBox(tm);
}

// Pick mode with an identity transform (the particles are world space), one marker per
// living particle until the first hit; the window's render limits are put back.
int SimpleParticle::HitTest(TimeValue, INode*, int type, int crossing, int, IPoint2* p, ViewExp* vpt) {
    if (!p || !vpt || !vpt->IsAlive()) return FALSE;
    GraphicsWindow* gw = vpt->getGW();
    if (!gw) return FALSE;
    HitRegion region;
    MakeHitRegion(region, type == HITTYPE_BOX ? RECT_RGN : POINT_RGN, crossing, 4, p);
    const DWORD savedLimits = gw->getRndLimits();
    gw->setRndLimits((savedLimits | GW_PICK) & ~GW_ILLUM);
    gw->setTransform(Matrix3(1));
    gw->setHitRegion(&region);
    gw->clearHitCode();
    for (int i = 0; i < parts.Count() && !gw->checkHitCode(); ++i)
        if (parts.Alive(i)) gw->marker(&parts.points[i], POINT_MRKR);
    const BOOL hit = gw->checkHitCode();
    gw->setRndLimits(savedLimits);
    return hit;
}

namespace host {

namespace {

ClassDesc2* lineDesc();

// A polyline through its knots (scene units, object space).
class LineShape : public PBObject<ShapeObject> {
public:
    LineShape() { lineDesc()->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kLineShapeClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Line"; }
    const MCHAR* GetObjectName(bool) override { return L"Line"; }
    int IsDeformable() override { return TRUE; }
    int NumPoints() override { return pblock->Count(kLineKnots); }
    Point3 GetPoint(int i) override { return pblock->GetPoint3(kLineKnots, 0, i); }
    void SetPoint(int i, const Point3& p) override { pblock->SetValue(kLineKnots, 0, p, i); }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new LineShape();
        copyBlockTo(*c, remap);
        remap.AddEntry(this, c);
        return c;
    }
};

SimpleClassDesc lineClassDesc(L"Line", L"line", SHAPE_CLASS_ID, kLineShapeClassID,
                              [](bool) -> void* { return static_cast<Object*>(new LineShape()); });

ClassDesc2* lineDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &lineClassDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kLineKnots, L"knots", TYPE_POINT3_TAB, P_VARIABLE_SIZE, 0);
        d.AddParam(kLineClosed, L"closed", TYPE_BOOL, 0, 0).Default(0);
        return true;
    }();
    (void)built;
    return &lineClassDesc;
}

class TriObjectDesc : public ClassDesc2 {
public:
    int IsPublic() override { return FALSE; }
    void* Create(BOOL) override { return static_cast<Object*>(CreateNewTriObject()); }
    const MCHAR* ClassName() override { return L"Editable Mesh"; }
    const MCHAR* NonLocalizedClassName() override { return L"Editable Mesh"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return triObjectClassID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"Editable_Mesh"; }
};

}  // namespace

void registerShapeClasses(ClassRegistry& r) {
    static TriObjectDesc triDesc;
    r.add(&triDesc);
    r.add(lineDesc());
}

Object* createLine(const std::vector<Point3>& knots, bool closed) {
    auto* l = new LineShape();
    l->pblock->SetCount(kLineKnots, int(knots.size()));
    for (int i = 0; i < int(knots.size()); ++i) l->pblock->SetValue(kLineKnots, 0, knots[i], i);
    l->pblock->SetValue(kLineClosed, 0, closed ? 1 : 0);
    return l;
}

}  // namespace host
