#include <gtest/gtest.h>

#include <limits>

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/param_block2.h"

namespace {

constexpr float kPi = 3.14159265358979f;

struct FreshScene : ::testing::Test {
    Interface* ip = GetCOREInterface();
    void SetUp() override { host::replaceScene(nullptr); }
    void TearDown() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
};

// A world-space modifier that records what it sees and lifts every point by `lift`.
class LiftWSM : public WSModifier {
public:
    float lift = 10.0f;
    int calls = 0;
    Point3 firstPoint;
    bool tmWasNull = false;
    Matrix3 objectTMSeen;
    Interval validity = FOREVER;
    Class_ID ClassID() override { return Class_ID(0x77, 0x88); }
    Interval LocalValidity(TimeValue) override { return validity; }
    void ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode* node) override {
        ++calls;
        tmWasNull = os->GetTM() == nullptr;
        objectTMSeen = node->GetObjectTM(t);
        auto* tri = static_cast<TriObject*>(os->obj);
        Mesh& m = tri->GetMesh();
        firstPoint = m.verts[0];
        for (int i = 0; i < m.numVerts; ++i) m.verts[i].z += lift;
        m.InvalidateGeomCache();
        os->obj->UpdateValidity(GEOM_CHAN_NUM, Interval(t, t));
    }
};

TEST_F(FreshScene, HandlesAreUniqueAndNeverReused) {
    INode* a = ip->CreateObjectNode(host::createBox(10, 10, 10));
    INode* b = ip->CreateObjectNode(host::createSphere(5));
    EXPECT_NE(a->GetHandle(), b->GetHandle());
    EXPECT_GT(a->GetHandle(), 0u);
    ULONG bh = b->GetHandle();
    ip->DeleteNode(b);
    INode* c = ip->CreateObjectNode(nullptr);
    EXPECT_GT(c->GetHandle(), bh);
    EXPECT_EQ(ip->GetINodeByHandle(bh), nullptr);
    EXPECT_EQ(ip->GetINodeByHandle(a->GetHandle()), a);
    EXPECT_EQ(ip->GetINodeByName(a->GetName()), a);
    EXPECT_EQ(host::currentScene().createNode(nullptr, L"dup", a->GetHandle()), nullptr);
}

TEST_F(FreshScene, HierarchyTransformsAndSelection) {
    INode* parent = ip->CreateObjectNode(nullptr);
    INode* child = ip->CreateObjectNode(nullptr);
    INode* second = ip->CreateObjectNode(nullptr);
    parent->SetPosition(0, Point3(10, 0, 0));
    parent->SetRotation(0, Point3(0, 0, kPi / 2));
    parent->AttachChild(child, 0);
    parent->AttachChild(second, 0);
    EXPECT_EQ(parent->NumberOfChildren(), 2);
    EXPECT_EQ(parent->GetChildNode(1), second);
    EXPECT_EQ(child->GetParentNode(), parent);
    EXPECT_TRUE(ip->GetRootNode()->IsRootNode());
    child->SetPosition(0, Point3(1, 0, 0));
    Point3 w = child->GetNodeTM(0).GetTrans();
    EXPECT_NEAR(w.x, 10, 1e-5);
    EXPECT_NEAR(w.y, 1, 1e-5);
    // Re-parenting with keepTM keeps the world transform.
    ip->GetRootNode()->AttachChild(child, 1);
    EXPECT_EQ(child->GetParentNode(), ip->GetRootNode());
    EXPECT_TRUE(child->GetNodeTM(0).Equals(RotateZMatrix(kPi / 2) * TransMatrix(Point3(10, 1, 0)), 1e-4f));
    // SetNodeTM round-trips a rotated, scaled, mirrored transform.
    Matrix3 tm =
        ScaleMatrix(Point3(-2, 1, 3)) * EulerXYZMatrix(Point3(0.3f, -0.4f, 1.2f)) * TransMatrix(Point3(5, 6, 7));
    child->SetNodeTM(0, tm);
    EXPECT_TRUE(child->GetNodeTM(0).Equals(tm, 1e-4f));
    // Deleting a parent keeps its children, under the grandparent.
    ip->DeleteNode(parent);
    EXPECT_EQ(second->GetParentNode(), ip->GetRootNode());

    ip->SelectNode(child);
    ip->SelectNode(second, 0);
    EXPECT_EQ(ip->GetSelNodeCount(), 2);
    EXPECT_TRUE(second->Selected());
    ip->DeSelectNode(child);
    EXPECT_EQ(ip->GetSelNode(0), second);
    ip->DeleteNode(second);
    EXPECT_EQ(ip->GetSelNodeCount(), 0);
}

TEST_F(FreshScene, AnimatedTransformNarrowsValidity) {
    INode* n = ip->CreateObjectNode(nullptr);
    AnimateOn();
    n->SetPosition(0, Point3(0, 0, 0));
    n->SetPosition(100, Point3(100, 0, 0));
    AnimateOff();
    Interval iv = FOREVER;
    EXPECT_NEAR(n->GetNodeTM(25, &iv).GetTrans().x, 25, 1e-4);
    EXPECT_EQ(iv, Interval(25, 25));
    INode* still = ip->CreateObjectNode(nullptr);
    iv = FOREVER;
    still->GetNodeTM(25, &iv);
    EXPECT_EQ(iv, FOREVER);
}

TEST_F(FreshScene, HiddenAndRenderableFlags) {
    INode* n = ip->CreateObjectNode(nullptr);
    EXPECT_FALSE(n->IsNodeHidden());
    EXPECT_TRUE(n->Renderable());
    n->Hide(TRUE);
    n->SetRenderable(FALSE);
    EXPECT_TRUE(n->IsNodeHidden(FALSE));
    EXPECT_TRUE(n->IsNodeHidden(TRUE));
    EXPECT_FALSE(n->Renderable());
}

TEST_F(FreshScene, WorldSpaceModifiersSeeWorldPointsOnACopy) {
    INode* n = ip->CreateObjectNode(host::createBox(10, 20, 30));
    n->SetPosition(0, Point3(100, 0, 0));
    auto* wsm = new LiftWSM();
    n->AddWSModifier(wsm);
    auto* second = new LiftWSM();
    second->lift = 1.0f;
    n->AddWSModifier(second);  // on top: runs after `wsm`
    ASSERT_NE(n->GetWSMDerivedObject(), nullptr);
    EXPECT_EQ(n->GetWSMDerivedObject()->NumModifiers(), 2);
    EXPECT_EQ(n->GetWSMDerivedObject()->GetModifier(0), second);

    const ObjectState& os = n->EvalWorldState(0);
    ASSERT_NE(os.obj, nullptr);
    EXPECT_EQ(os.obj->ClassID(), triObjectClassID);
    EXPECT_EQ(wsm->calls, 1);
    EXPECT_TRUE(wsm->tmWasNull);
    EXPECT_TRUE(wsm->objectTMSeen.IsIdentity());
    // The box's first corner is (-10, -5, 0) in object space: the modifier saw it in world space.
    EXPECT_NEAR(wsm->firstPoint.x, 90, 1e-4);
    EXPECT_NEAR(second->firstPoint.z, 10, 1e-4);  // after the first lift
    Mesh& m = static_cast<TriObject*>(os.obj)->GetMesh();
    EXPECT_NEAR(m.verts[0].z, 11, 1e-4);
    EXPECT_TRUE(n->GetObjTMAfterWSM(0).IsIdentity());
    EXPECT_TRUE(n->GetObjTMBeforeWSM(0).Equals(TransMatrix(Point3(100, 0, 0))));
    EXPECT_TRUE(n->GetObjectTM(0).Equals(TransMatrix(Point3(100, 0, 0))));
    EXPECT_EQ(os.Validity(0), Interval(0, 0));
    // The base object is untouched and is what GetObjectRef finds.
    EXPECT_EQ(n->GetObjectRef()->ClassID(), kBoxClassID);
    // Evaluating again at a time the result is not valid for re-runs the pipeline; a change
    // of a modifier's input re-runs it too.
    n->EvalWorldState(5);
    EXPECT_EQ(wsm->calls, 2);
    n->GetObjectRef()->GetParamBlock(0)->SetValue(host::kBoxHeight, 0, 50.0f);
    n->EvalWorldState(5);
    EXPECT_EQ(wsm->calls, 3);
    // Without modifiers the object TM applies as it is.
    INode* plain = ip->CreateObjectNode(host::createBox(1, 1, 1));
    plain->SetPosition(0, Point3(0, 0, 5));
    EXPECT_TRUE(plain->GetObjTMAfterWSM(0).Equals(TransMatrix(Point3(0, 0, 5))));
    EXPECT_EQ(plain->EvalWorldState(0).obj, plain->GetObjectRef());
}

// A world-space modifier for objects without points: it moves their TM instead.
class RaiseTM : public WSModifier {
public:
    Class_ID ClassID() override { return Class_ID(0x78, 0x89); }
    Class_ID InputType() override { return Class_ID(SIMPLE_CAM_CLASS_ID, 0); }
    void ModifyObject(TimeValue, ModContext&, ObjectState* os, INode*) override {
        Matrix3 up = TransMatrix(Point3(0, 0, 7));
        os->ApplyTM(&up, FOREVER);
    }
};

TEST_F(FreshScene, WorldSpaceModifiersMoveTheTMOfObjectsWithoutPoints) {
    INode* n = ip->CreateObjectNode(host::createFreeCamera(0.5f));
    n->SetPosition(0, Point3(1, 2, 3));
    n->AddWSModifier(new RaiseTM());
    const ObjectState& os = n->EvalWorldState(0);
    EXPECT_EQ(os.obj->SuperClassID(), CAMERA_CLASS_ID);
    EXPECT_NE(os.obj, n->GetObjectRef());  // the pipeline's copy
    EXPECT_TRUE(n->GetObjTMAfterWSM(0).Equals(TransMatrix(Point3(1, 2, 10))));
    // A modifier whose input type the object cannot become is passed over.
    INode* mesh = ip->CreateObjectNode(host::createBox(1, 1, 1));
    mesh->AddWSModifier(new RaiseTM());
    EXPECT_EQ(mesh->EvalWorldState(0).obj, mesh->GetObjectRef());
    EXPECT_TRUE(mesh->GetObjTMAfterWSM(0).IsIdentity());
}

TEST_F(FreshScene, AnUncacheableResultLivesUntilTheNextEvaluation) {
    INode* n = ip->CreateObjectNode(host::createBox(1, 1, 1));
    auto* wsm = new LiftWSM();
    wsm->validity = NEVER;  // as a modifier being edited reports
    n->AddWSModifier(wsm);
    Object* first = n->EvalWorldState(0).obj;
    EXPECT_TRUE(n->GetObjTMAfterWSM(0).IsIdentity());
    EXPECT_EQ(wsm->calls, 1);  // the TM query used the evaluation it just had
    EXPECT_EQ(static_cast<TriObject*>(first)->GetMesh().numVerts, 8);
    n->EvalWorldState(0);
    EXPECT_EQ(wsm->calls, 2);  // never cached
}

TEST_F(FreshScene, PrimitivesConvertToMeshes) {
    EXPECT_EQ(host::classRegistry().find(GEOMOBJECT_CLASS_ID, Class_ID(0x11, 0))->ClassName(), std::wstring(L"Sphere"));
    for (Object* o : {host::createBox(10, 20, 30), host::createSphere(5, 16), host::createCylinder(3, 8, 12),
                      host::createPlane(40, 20, 2, 3)}) {
        INode* n = ip->CreateObjectNode(o);
        ASSERT_TRUE(o->CanConvertToType(triObjectClassID));
        auto* tri = static_cast<TriObject*>(o->ConvertToType(0, triObjectClassID));
        ASSERT_NE(tri, nullptr);
        ASSERT_NE(tri, o);
        Mesh& m = tri->GetMesh();
        EXPECT_GT(m.numFaces, 0);
        EXPECT_TRUE(m.mapSupport(1));
        EXPECT_EQ(m.Map(1).fnum, m.numFaces);
        // Closed solids: every face's outward normal points away from the centre of volume.
        Box3 box;
        o->GetDeformBBox(0, box);
        EXPECT_FALSE(box.IsEmpty());
        if (o->ClassID() != kPlaneClassID) {
            for (int f = 0; f < m.numFaces; ++f) {
                Point3 c = (m.verts[m.faces[f].v[0]] + m.verts[m.faces[f].v[1]] + m.verts[m.faces[f].v[2]]) / 3.0f;
                EXPECT_GT(m.FaceNormal(f, TRUE) % (c - box.Center()), 0.0f) << "face " << f;
            }
        }
        tri->DeleteThis();
        EXPECT_EQ(n->GetObjectRef(), o);
    }
    Box3 b;
    Object* loose = host::createBox(10, 20, 30);
    loose->GetDeformBBox(0, b);
    loose->MaybeAutoDelete();  // nothing references it
    EXPECT_NEAR(b.pmax.z, 30, 1e-5);
    EXPECT_NEAR(b.pmax.x, 10, 1e-5);
    EXPECT_NEAR(b.pmax.y, 5, 1e-5);
}

// A primitive keeps its last build for its box; an edit, or a time where an animated size
// differs, must build again.
TEST_F(FreshScene, PrimitiveBoxesFollowEditsAndAnimation) {
    Object* box = host::createBox(10, 20, 30);
    ip->CreateObjectNode(box);
    IParamBlock2* pb = box->GetParamBlock(0);
    Box3 b;
    box->GetDeformBBox(0, b);
    EXPECT_NEAR(b.pmax.z, 30, 1e-5);
    pb->SetValue(host::kBoxHeight, 0, 50.0f);
    box->GetDeformBBox(0, b);
    EXPECT_NEAR(b.pmax.z, 50, 1e-5);

    AnimateOn();
    pb->SetValue(host::kBoxHeight, 4800, 80.0f);
    AnimateOff();
    box->GetDeformBBox(0, b);
    EXPECT_NEAR(b.pmax.z, 50, 1e-4);
    box->GetDeformBBox(4800, b);
    EXPECT_NEAR(b.pmax.z, 80, 1e-4);
    box->GetDeformBBox(0, b);
    EXPECT_NEAR(b.pmax.z, 50, 1e-4);
}

TEST_F(FreshScene, CamerasLightsShapes) {
    GenCamera* cam = host::createFreeCamera(1.0f);
    INode* cn = ip->CreateObjectNode(cam);
    EXPECT_EQ(cn->EvalWorldState(0).obj->SuperClassID(), CAMERA_CLASS_ID);
    CameraState cs;
    Interval iv = FOREVER;
    EXPECT_EQ(cam->EvalCameraState(0, iv, &cs), REF_SUCCEED);
    EXPECT_FLOAT_EQ(cs.fov, 1.0f);
    EXPECT_EQ(iv, FOREVER);

    GenLight* spot = host::createLight(SPOT_LGT, Color(1, 0.5f, 0), 2.0f);
    ip->CreateObjectNode(spot);
    LightState ls;
    spot->EvalLightState(0, iv, &ls);
    EXPECT_EQ(spot->SuperClassID(), LIGHT_CLASS_ID);
    EXPECT_EQ(ls.type, SPOT_LGT);
    EXPECT_FLOAT_EQ(ls.intens, 2.0f);
    EXPECT_EQ(ls.color, Color(1, 0.5f, 0));
    EXPECT_TRUE(ls.on);
    spot->SetUseLight(FALSE);
    spot->EvalLightState(0, iv, &ls);
    EXPECT_FALSE(ls.on);
    GenLight* sun = host::createLight(DIRECT_LGT, Color(1, 1, 1), 1);
    EXPECT_EQ(sun->ClassID(), kDirLightClassID);
    sun->MaybeAutoDelete();

    Object* line = host::createLine({Point3(0, 0, 0), Point3(10, 0, 0)}, false);
    ip->CreateObjectNode(line);
    EXPECT_EQ(line->SuperClassID(), SHAPE_CLASS_ID);
    EXPECT_FALSE(line->CanConvertToType(triObjectClassID));
    EXPECT_EQ(line->ConvertToType(0, triObjectClassID), nullptr);
}

class Drizzle : public SimpleParticle {
public:
    int updates = 0;
    Class_ID ClassID() override { return Class_ID(0x99, 0x1); }
    void UpdateParticles(TimeValue t, INode*) override {
        ++updates;
        parts.SetCount(3, PARTICLE_AGES | PARTICLE_VELS);
        for (int i = 0; i < 3; ++i) {
            parts.points[i] = Point3(float(i), 0.0f, float(t));
            parts.ages[i] = i == 1 ? -1 : t;
        }
        tvalid = t;
        valid = TRUE;
    }
    void BuildEmitter(TimeValue, Mesh& m) override {
        m.setNumVerts(1);
        mvalid = FOREVER;
    }
    Interval GetValidity(TimeValue t) override { return Interval(t, t); }
};

TEST_F(FreshScene, SimpleParticleUpdatesOncePerTime) {
    auto* p = new Drizzle();
    INode* n = ip->CreateObjectNode(p);
    EXPECT_TRUE(p->IsParticleSystem());
    EXPECT_EQ(p->SuperClassID(), GEOMOBJECT_CLASS_ID);
    p->Update(10, n);
    p->Update(10, n);
    EXPECT_EQ(p->updates, 1);
    EXPECT_EQ(p->NumParticles(), 3);
    EXPECT_EQ(p->parts.vels.size(), 3u);
    EXPECT_TRUE(p->parts.radius.empty());
    EXPECT_FALSE(p->parts.Alive(1));
    Box3 b = p->parts.BoundBox();
    EXPECT_FLOAT_EQ(b.pmax.x, 2.0f);
    EXPECT_FLOAT_EQ(b.pmin.x, 0.0f);
    EXPECT_EQ(p->ObjectValidity(10), Interval(10, 10));
    EXPECT_EQ(p->ParticlePosition(10, 7), Point3());  // out of range reads as the origin
}

}  // namespace

namespace {

void expectBox(const Box3& b, const Point3& lo, const Point3& hi) {
    EXPECT_NEAR(b.pmin.x, lo.x, 1e-3f);
    EXPECT_NEAR(b.pmin.y, lo.y, 1e-3f);
    EXPECT_NEAR(b.pmin.z, lo.z, 1e-3f);
    EXPECT_NEAR(b.pmax.x, hi.x, 1e-3f);
    EXPECT_NEAR(b.pmax.y, hi.y, 1e-3f);
    EXPECT_NEAR(b.pmax.z, hi.z, 1e-3f);
}

}  // namespace

// The remembered world box is read again and again between edits; each kind of edit must
// reach it.
TEST_F(FreshScene, NodeWorldBoxFollowsMovesEditsStacksAndAnimation) {
    Object* box = host::createBox(10, 20, 30);  // x -10..10, y -5..5, z 0..30
    INode* n = ip->CreateObjectNode(box);
    expectBox(n->GetWorldBoxBeforeWSM(0), {-10, -5, 0}, {10, 5, 30});
    n->SetPosition(0, Point3(100, 0, 0));
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, -5, 0}, {110, 5, 30});

    // A parent's move carries the child's box along.
    INode* parent = ip->CreateObjectNode(nullptr);
    parent->AttachChild(n, 1);
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, -5, 0}, {110, 5, 30});
    parent->SetPosition(0, Point3(0, 50, 0));
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, 45, 0}, {110, 55, 30});
    parent->SetScale(0, Point3(2, 2, 2));
    expectBox(n->GetWorldBoxBeforeWSM(0), {180, 40, 0}, {220, 60, 60});
    parent->SetScale(0, Point3(1, 1, 1));
    n->SetObjOffsetPos(Point3(0, 0, 5));
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, 45, 5}, {110, 55, 35});
    n->SetObjOffsetPos(Point3(0, 0, 0));

    // Parameter edits, with and without a world-space stack between object and node; the
    // stack's own lift is not part of the box.
    box->GetParamBlock(0)->SetValue(host::kBoxHeight, 0, 50.0f);
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, 45, 0}, {110, 55, 50});
    auto* lift = new LiftWSM();
    n->AddWSModifier(lift);
    n->EvalWorldState(0);
    expectBox(n->GetWorldBoxBeforeWSM(0), {90, 45, 0}, {110, 55, 50});
    box->GetParamBlock(0)->SetValue(host::kBoxWidth, 0, 40.0f);
    expectBox(n->GetWorldBoxBeforeWSM(0), {80, 45, 0}, {120, 55, 50});
    n->GetWSMDerivedObject()->DeleteModifier(0);
    box->GetParamBlock(0)->SetValue(host::kBoxLength, 0, 30.0f);
    expectBox(n->GetWorldBoxBeforeWSM(0), {80, 35, 0}, {120, 65, 50});
    n->SetObjectRef(host::createBox(2, 2, 2));
    expectBox(n->GetWorldBoxBeforeWSM(0), {99, 49, 0}, {101, 51, 2});

    // Animated size and position: each time asked gets its own box, in any order.
    Object* grows = host::createBox(10, 10, 10);
    INode* a = ip->CreateObjectNode(grows);
    AnimateOn();
    grows->GetParamBlock(0)->SetValue(host::kBoxHeight, 4800, 90.0f);
    a->SetPosition(4800, Point3(0, 0, 100));
    AnimateOff();
    for (int pass = 0; pass < 2; ++pass) {
        expectBox(a->GetWorldBoxBeforeWSM(0), {-5, -5, 0}, {5, 5, 10});
        expectBox(a->GetWorldBoxBeforeWSM(2400), {-5, -5, 50}, {5, 5, 100});
        expectBox(a->GetWorldBoxBeforeWSM(4800), {-5, -5, 100}, {5, 5, 190});
    }
}

// Points that are not finite stay out of the box; a mesh edit announced to the node's
// dependents reaches it.
TEST_F(FreshScene, NodeWorldBoxLeavesOutNonFinitePointsAndFollowsMeshEdits) {
    TriObject* tri = CreateNewTriObject();
    Mesh& m = tri->GetMesh();
    m.setNumVerts(3);
    m.setVert(0, 0, 0, 0);
    m.setVert(1, 4, 0, 0);
    m.setVert(2, std::numeric_limits<float>::quiet_NaN(), 1, 1);
    INode* n = ip->CreateObjectNode(tri);
    expectBox(n->GetWorldBoxBeforeWSM(0), {0, 0, 0}, {4, 0, 0});
    m.setVert(2, 0, 3, 2);
    tri->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
    expectBox(n->GetWorldBoxBeforeWSM(0), {0, 0, 0}, {4, 3, 2});
    // Without points the box is empty.
    EXPECT_TRUE(ip->CreateObjectNode(CreateNewTriObject())->GetWorldBoxBeforeWSM(0).IsEmpty());
}
