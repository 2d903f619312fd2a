#include <cmath>

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "pb_object.h"

namespace host {

namespace {

constexpr float kTwoPi = 6.28318530717958f;

enum class Kind { Box, Sphere, Cylinder, Plane };

// Adds a triangle with its own map face into channel 1 (map verts are added by the caller).
void addFace(Mesh& m, int f, int a, int b, int c, DWORD sm, MtlID mat) {
    m.faces[f].setVerts(a, b, c);
    m.faces[f].setSmGroup(sm);
    m.faces[f].setMatID(mat);
    m.faces[f].setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
}

void buildBox(Mesh& m, float l, float w, float h) {
    // Six sides of two triangles each, material ids 0-5 and a smoothing group per side, as
    // the host's box has; every side maps the whole 0..1 square.
    const Point3 c[8] = {{-w / 2, -l / 2, 0}, {w / 2, -l / 2, 0}, {-w / 2, l / 2, 0}, {w / 2, l / 2, 0},
                         {-w / 2, -l / 2, h}, {w / 2, -l / 2, h}, {-w / 2, l / 2, h}, {w / 2, l / 2, h}};
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};
    m.setNumVerts(8);
    for (int i = 0; i < 8; ++i) m.verts[i] = c[i];
    m.setNumFaces(12);
    m.setMapSupport(1);
    m.setNumMapVerts(1, 4);
    UVVert* tv = m.mapVerts(1);
    tv[0] = Point3(0, 0, 0);
    tv[1] = Point3(1, 0, 0);
    tv[2] = Point3(1, 1, 0);
    tv[3] = Point3(0, 1, 0);
    for (int s = 0; s < 6; ++s) {
        const int* q = quads[s];
        addFace(m, 2 * s, q[0], q[1], q[2], 1u << s, MtlID(s));
        addFace(m, 2 * s + 1, q[2], q[3], q[0], 1u << s, MtlID(s));
        m.faces[2 * s].setEdgeVis(2, EDGE_INVIS);
        m.faces[2 * s + 1].setEdgeVis(2, EDGE_INVIS);
        m.mapFaces(1)[2 * s].setTVerts(0, 1, 2);
        m.mapFaces(1)[2 * s + 1].setTVerts(2, 3, 0);
    }
}

void buildPlane(Mesh& m, float l, float w, int ls, int ws) {
    ls = std::max(1, ls);
    ws = std::max(1, ws);
    int nx = ws + 1, ny = ls + 1;
    m.setNumVerts(nx * ny);
    m.setMapSupport(1);
    m.setNumMapVerts(1, nx * ny);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            float u = float(i) / ws, v = float(j) / ls;
            m.verts[j * nx + i] = Point3((u - 0.5f) * w, (v - 0.5f) * l, 0.0f);
            m.mapVerts(1)[j * nx + i] = Point3(u, v, 0.0f);
        }
    m.setNumFaces(2 * ls * ws);
    int f = 0;
    for (int j = 0; j < ls; ++j)
        for (int i = 0; i < ws; ++i) {
            int a = j * nx + i, b = a + 1, c = a + nx + 1, d = a + nx;
            addFace(m, f, a, b, c, 1, 0);
            m.faces[f].setEdgeVis(2, EDGE_INVIS);
            m.mapFaces(1)[f++].setTVerts(a, b, c);
            addFace(m, f, c, d, a, 1, 0);
            m.faces[f].setEdgeVis(2, EDGE_INVIS);
            m.mapFaces(1)[f++].setTVerts(c, d, a);
        }
}

void buildSphere(Mesh& m, float r, int segs) {
    segs = std::max(4, segs);
    int rings = segs / 2;  // latitude bands
    // Vertices: north pole, (rings - 1) latitude rows of segs, south pole.
    int nv = 2 + (rings - 1) * segs;
    m.setNumVerts(nv);
    m.verts[0] = Point3(0.0f, 0.0f, r);
    for (int k = 1; k < rings; ++k) {
        float phi = float(k) / rings * (kTwoPi / 2);
        for (int s = 0; s < segs; ++s) {
            float th = float(s) / segs * kTwoPi;
            m.verts[1 + (k - 1) * segs + s] =
                Point3(r * std::sin(phi) * std::cos(th), r * std::sin(phi) * std::sin(th), r * std::cos(phi));
        }
    }
    m.verts[nv - 1] = Point3(0.0f, 0.0f, -r);
    int nf = 2 * segs * (rings - 1);
    m.setNumFaces(nf);
    // Map: a (segs + 1) x (rings + 1) grid, so the seam has its own column.
    m.setMapSupport(1);
    m.setNumMapVerts(1, (segs + 1) * (rings + 1));
    for (int k = 0; k <= rings; ++k)
        for (int s = 0; s <= segs; ++s)
            m.mapVerts(1)[k * (segs + 1) + s] = Point3(float(s) / segs, 1.0f - float(k) / rings, 0.0f);
    auto row = [&](int k, int s) { return k == 0 ? 0 : (k == rings ? nv - 1 : 1 + (k - 1) * segs + (s % segs)); };
    auto uv = [&](int k, int s) { return k * (segs + 1) + s; };
    int f = 0;
    for (int k = 0; k < rings; ++k)
        for (int s = 0; s < segs; ++s) {
            if (k != 0) {
                addFace(m, f, row(k, s), row(k + 1, s), row(k, s + 1), 1, 0);
                m.mapFaces(1)[f++].setTVerts(uv(k, s), uv(k + 1, s), uv(k, s + 1));
            }
            if (k != rings - 1) {
                addFace(m, f, row(k, s + 1), row(k + 1, s), row(k + 1, s + 1), 1, 0);
                m.mapFaces(1)[f++].setTVerts(uv(k, s + 1), uv(k + 1, s), uv(k + 1, s + 1));
            }
        }
}

void buildCylinder(Mesh& m, float r, float h, int sides) {
    sides = std::max(3, sides);
    // Bottom ring, top ring, bottom centre, top centre.
    m.setNumVerts(2 * sides + 2);
    for (int s = 0; s < sides; ++s) {
        float th = float(s) / sides * kTwoPi;
        m.verts[s] = Point3(r * std::cos(th), r * std::sin(th), 0.0f);
        m.verts[sides + s] = Point3(r * std::cos(th), r * std::sin(th), h);
    }
    int cb = 2 * sides, ct = 2 * sides + 1;
    m.verts[cb] = Point3(0.0f, 0.0f, 0.0f);
    m.verts[ct] = Point3(0.0f, 0.0f, h);
    m.setNumFaces(4 * sides);
    m.setMapSupport(1);
    m.setNumMapVerts(1, 2 * (sides + 1) + 1);
    for (int s = 0; s <= sides; ++s) {
        m.mapVerts(1)[s] = Point3(float(s) / sides, 0.0f, 0.0f);
        m.mapVerts(1)[sides + 1 + s] = Point3(float(s) / sides, 1.0f, 0.0f);
    }
    int cuv = 2 * (sides + 1);
    m.mapVerts(1)[cuv] = Point3(0.5f, 0.5f, 0.0f);
    int f = 0;
    for (int s = 0; s < sides; ++s) {
        int n = (s + 1) % sides;
        // Caps use material id 0 and 1, the side 2, as the host's cylinder does.
        addFace(m, f, cb, n, s, 1u << 1, 1);
        m.mapFaces(1)[f++].setTVerts(cuv, cuv, cuv);
        addFace(m, f, ct, sides + s, sides + n, 1u << 2, 0);
        m.mapFaces(1)[f++].setTVerts(cuv, cuv, cuv);
        addFace(m, f, s, n, sides + n, 1, 2);
        m.faces[f].setEdgeVis(2, EDGE_INVIS);
        m.mapFaces(1)[f++].setTVerts(s, s + 1, sides + 1 + s + 1);
        addFace(m, f, sides + n, sides + s, s, 1, 2);
        m.faces[f].setEdgeVis(2, EDGE_INVIS);
        m.mapFaces(1)[f++].setTVerts(sides + 1 + s + 1, sides + 1 + s, s);
    }
}

class PrimitiveObject;
ClassDesc2* descFor(Kind k);

class PrimitiveObject : public PBObject<GeomObject> {
public:
    PrimitiveObject(Kind kind, bool loading) : kind_(kind) {
        (void)loading;
        descFor(kind_)->MakeAutoParamBlocks(this);
    }
    Class_ID ClassID() override { return descFor(kind_)->ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = descFor(kind_)->ClassName(); }
    const MCHAR* GetObjectName(bool) override { return descFor(kind_)->ClassName(); }
    int IsDeformable() override { return FALSE; }
    int CanConvertToType(Class_ID id) override { return id == triObjectClassID; }
    Object* ConvertToType(TimeValue t, Class_ID id) override {
        if (id != triObjectClassID) return nullptr;
        TriObject* tri = CreateNewTriObject();
        build(t, tri->GetMesh());
        tri->SetChannelValidity(GEOM_CHAN_NUM, blockValidity(pblock, t));
        return tri;
    }
    // The box of the mesh kept from the last build, as the host's procedural objects keep
    // theirs: target gathering asks every node for its box, and building a mesh to measure
    // it cost more than the rest of the gathering together.
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm, BOOL) override {
        if (!meshValid_.InInterval(t)) {
            build(t, mesh_);
            meshValid_ = blockValidity(pblock, t);
        }
        box = mesh_.getBoundingBox(tm);
    }
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle target, PartID& part, RefMessage message,
                               BOOL propagate) override {
        if (message == REFMSG_CHANGE) meshValid_.SetEmpty();
        return PBObject<GeomObject>::NotifyRefChanged(changeInt, target, part, message, propagate);
    }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* copy = new PrimitiveObject(kind_, true);
        copyBlockTo(*copy, remap);
        remap.AddEntry(this, copy);
        return copy;
    }
    void build(TimeValue t, Mesh& m) {
        m.FreeAll();
        switch (kind_) {
            case Kind::Box:
                buildBox(m, pblock->GetFloat(kBoxLength, t), pblock->GetFloat(kBoxWidth, t),
                         pblock->GetFloat(kBoxHeight, t));
                break;
            case Kind::Sphere:
                buildSphere(m, pblock->GetFloat(kSphereRadius, t), pblock->GetInt(kSphereSegs, t));
                break;
            case Kind::Cylinder:
                buildCylinder(m, pblock->GetFloat(kCylRadius, t), pblock->GetFloat(kCylHeight, t),
                              pblock->GetInt(kCylSides, t));
                break;
            case Kind::Plane:
                buildPlane(m, pblock->GetFloat(kPlaneLength, t), pblock->GetFloat(kPlaneWidth, t),
                           pblock->GetInt(kPlaneLengthSegs, t), pblock->GetInt(kPlaneWidthSegs, t));
                break;
        }
    }

private:
    Kind kind_;
    Mesh mesh_;                   // the last build, for boxes
    Interval meshValid_ = NEVER;  // times mesh_ holds for
};

SimpleClassDesc boxDesc(L"Box", L"Box", GEOMOBJECT_CLASS_ID, kBoxClassID,
                        [](bool l) -> void* { return static_cast<Object*>(new PrimitiveObject(Kind::Box, l)); });
SimpleClassDesc sphereDesc(L"Sphere", L"Sphere", GEOMOBJECT_CLASS_ID, kSphereClassID,
                           [](bool l) -> void* { return static_cast<Object*>(new PrimitiveObject(Kind::Sphere, l)); });
SimpleClassDesc cylinderDesc(L"Cylinder", L"Cylinder", GEOMOBJECT_CLASS_ID, kCylinderClassID, [](bool l) -> void* {
    return static_cast<Object*>(new PrimitiveObject(Kind::Cylinder, l));
});
SimpleClassDesc planeDesc(L"Plane", L"Plane", GEOMOBJECT_CLASS_ID, kPlaneClassID,
                          [](bool l) -> void* { return static_cast<Object*>(new PrimitiveObject(Kind::Plane, l)); });

ParamBlockDesc2& boxBlock() {
    static ParamBlockDesc2 d(0, L"params", 0, &boxDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kBoxLength, L"length", TYPE_WORLD, P_ANIMATABLE, 0).Default(25.0f).Range(0.0f, 1e9f);
        d.AddParam(kBoxWidth, L"width", TYPE_WORLD, P_ANIMATABLE, 0).Default(25.0f).Range(0.0f, 1e9f);
        d.AddParam(kBoxHeight, L"height", TYPE_WORLD, P_ANIMATABLE, 0).Default(25.0f).Range(-1e9f, 1e9f);
        return true;
    }();
    (void)built;
    return d;
}

ParamBlockDesc2& sphereBlock() {
    static ParamBlockDesc2 d(0, L"params", 0, &sphereDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kSphereRadius, L"radius", TYPE_WORLD, P_ANIMATABLE, 0).Default(25.0f).Range(0.0f, 1e9f);
        d.AddParam(kSphereSegs, L"segs", TYPE_INT, P_ANIMATABLE, 0).Default(32).Range(4, 200);
        return true;
    }();
    (void)built;
    return d;
}

ParamBlockDesc2& cylinderBlock() {
    static ParamBlockDesc2 d(0, L"params", 0, &cylinderDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kCylRadius, L"radius", TYPE_WORLD, P_ANIMATABLE, 0).Default(15.0f).Range(0.0f, 1e9f);
        d.AddParam(kCylHeight, L"height", TYPE_WORLD, P_ANIMATABLE, 0).Default(25.0f).Range(-1e9f, 1e9f);
        d.AddParam(kCylSides, L"sides", TYPE_INT, P_ANIMATABLE, 0).Default(18).Range(3, 200);
        return true;
    }();
    (void)built;
    return d;
}

ParamBlockDesc2& planeBlock() {
    static ParamBlockDesc2 d(0, L"params", 0, &planeDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kPlaneLength, L"length", TYPE_WORLD, P_ANIMATABLE, 0).Default(100.0f).Range(0.0f, 1e9f);
        d.AddParam(kPlaneWidth, L"width", TYPE_WORLD, P_ANIMATABLE, 0).Default(100.0f).Range(0.0f, 1e9f);
        d.AddParam(kPlaneLengthSegs, L"lengthsegs", TYPE_INT, P_ANIMATABLE, 0).Default(4).Range(1, 1000);
        d.AddParam(kPlaneWidthSegs, L"widthsegs", TYPE_INT, P_ANIMATABLE, 0).Default(4).Range(1, 1000);
        return true;
    }();
    (void)built;
    return d;
}

ClassDesc2* descFor(Kind k) {
    // The blocks are built on first use so they exist before any instance asks for them.
    switch (k) {
        case Kind::Box:
            boxBlock();
            return &boxDesc;
        case Kind::Sphere:
            sphereBlock();
            return &sphereDesc;
        case Kind::Cylinder:
            cylinderBlock();
            return &cylinderDesc;
        case Kind::Plane:
            planeBlock();
            return &planeDesc;
    }
    return nullptr;
}

}  // namespace

Interval blockValidity(IParamBlock2* pb, TimeValue t) {
    Interval v = FOREVER;
    if (!pb) return v;
    for (int i = 0; i < pb->NumParams(); ++i) {
        const ParamDef& d = pb->GetDesc()->paramdefs(i);
        for (int k = 0; k < pb->Count(d.ID); ++k) {
            if (ValueKindOf(d.type) == PBValueKind::Float) {
                float f;
                pb->GetValue(d.ID, t, f, v, k);
            } else if (ValueKindOf(d.type) == PBValueKind::Int) {
                int n;
                pb->GetValue(d.ID, t, n, v, k);
            }
        }
    }
    return v;
}

void registerPrimitiveClasses(ClassRegistry& r) {
    for (Kind k : {Kind::Box, Kind::Sphere, Kind::Cylinder, Kind::Plane}) r.add(descFor(k));
}

Object* createBox(float length, float width, float height) {
    auto* o = new PrimitiveObject(Kind::Box, false);
    o->pblock->SetValue(kBoxLength, 0, length);
    o->pblock->SetValue(kBoxWidth, 0, width);
    o->pblock->SetValue(kBoxHeight, 0, height);
    return o;
}

Object* createSphere(float radius, int segments) {
    auto* o = new PrimitiveObject(Kind::Sphere, false);
    o->pblock->SetValue(kSphereRadius, 0, radius);
    o->pblock->SetValue(kSphereSegs, 0, segments);
    return o;
}

Object* createCylinder(float radius, float height, int sides) {
    auto* o = new PrimitiveObject(Kind::Cylinder, false);
    o->pblock->SetValue(kCylRadius, 0, radius);
    o->pblock->SetValue(kCylHeight, 0, height);
    o->pblock->SetValue(kCylSides, 0, sides);
    return o;
}

Object* createPlane(float length, float width, int lengthSegs, int widthSegs) {
    auto* o = new PrimitiveObject(Kind::Plane, false);
    o->pblock->SetValue(kPlaneLength, 0, length);
    o->pblock->SetValue(kPlaneWidth, 0, width);
    o->pblock->SetValue(kPlaneLengthSegs, 0, lengthSegs);
    o->pblock->SetValue(kPlaneWidthSegs, 0, widthSegs);
    return o;
}

}  // namespace host
