// The materials library through the bridge, with a stand-in snow modifier class registered
// under the snow modifier's script name.
#include "host/class_registry.h"
#include "host/script_engine.h"
#include "host/std_materials.h"
#include "max/class_desc.h"
#include "max/param_block2.h"
#include "script_fixture.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"

namespace scripttest {
namespace {

enum { kDepth, kCoverage, kEnabled, kUsePaint, kPaintChannel };

class SnowDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override;
    const MCHAR* ClassName() override { return L"Tarnwick Snow"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Snow"; }
    const MCHAR* InternalName() override { return L"TarnwickSnow"; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x5c21, 0x7a12); }
    const MCHAR* Category() override { return L""; }
};
SnowDesc gSnowDesc;
ParamBlockDesc2 gSnowBlock(0, L"params", 0, &gSnowDesc, P_AUTO_CONSTRUCT, 0);
bool gSnowBuilt = [] {
    gSnowBlock.AddParam(kDepth, L"depth", TYPE_WORLD, P_ANIMATABLE, 0).Default(10.0f).Range(0.0f, 1000.0f);
    gSnowBlock.AddParam(kCoverage, L"coverage", TYPE_FLOAT, 0, 0).Default(1.0f).Range(0.0f, 1.0f);
    gSnowBlock.AddParam(kEnabled, L"enabled", TYPE_BOOL, 0, 0).Default(0);
    gSnowBlock.AddParam(kUsePaint, L"usePaint", TYPE_BOOL, 0, 0).Default(0);
    gSnowBlock.AddParam(kPaintChannel, L"paintChannel", TYPE_INT, 0, 0).Default(0).Range(-2, 99);
    return true;
}();

class TestSnow : public WSModifier {
public:
    IParamBlock2* pb = nullptr;
    TestSnow() { gSnowDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return gSnowDesc.ClassID(); }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pb; }
};
void* SnowDesc::Create(BOOL) {
    return new TestSnow;
}

struct LibraryTest : MaterialsLibraryTest {
    ClassDesc* extraDesc() override { return &gSnowDesc; }
    int snowCount() {
        IDerivedObject* wsm = box->GetWSMDerivedObject();
        return wsm ? wsm->NumModifiers() : 0;
    }
};

TEST_F(LibraryTest, AddAndRemoveSnow) {
    std::wstring node = wx::nodeRef(box);
    EXPECT_EQ(call(L"TWeatherMtl.addSnow " + node + L" #(#(#depth,12.5),#(#coverage,0.75),#(#enabled,true))"),
              L"Tarnwick Snow added to Box01");
    ASSERT_EQ(snowCount(), 1);
    auto* snow = static_cast<TestSnow*>(box->GetWSMDerivedObject()->GetModifier(0));
    EXPECT_EQ(snow->pb->GetFloat(kDepth), 12.5f);
    EXPECT_EQ(snow->pb->GetFloat(kCoverage), 0.75f);
    EXPECT_EQ(snow->pb->GetInt(kEnabled), 1);

    struct Bad {
        std::wstring args, error;
    } bad[] = {
        {L"#(#(#depth,1),#(#nosuch,2))",
         L"ERROR: -- Runtime error: addSnow: the snow modifier has no parameter nosuch"},
        {L"#(#(#depth,\"deep\"))", L"ERROR: -- Unable to convert: \"deep\" to type: Float"},
        {L"#(#(#depth))", L"ERROR: -- Runtime error: addSnow: not a #(#name, value) pair: #(#depth)"},
        {L"5", L"ERROR: -- Runtime error: addSnow: the second argument must be an array of #(#name, value) pairs"},
    };
    for (auto& b : bad) {
        EXPECT_EQ(call(L"TWeatherMtl.addSnow " + node + L" " + b.args, false), b.error);
        EXPECT_EQ(snowCount(), 1);  // a failed add leaves nothing behind
    }
    // A second add replaces the first snow: one modifier, the new values.
    EXPECT_EQ(call(L"TWeatherMtl.addSnow " + node + L" #(#(#depth,3.0))"), L"Tarnwick Snow added to Box01");
    ASSERT_EQ(snowCount(), 1);
    EXPECT_EQ(static_cast<TestSnow*>(box->GetWSMDerivedObject()->GetModifier(0))->pb->GetFloat(kDepth), 3.0f);
    EXPECT_EQ(call(L"TWeatherMtl.addSnow (maxOps.getNodeByHandle 999999) #()", false),
              L"ERROR: -- Runtime error: addSnow: not a scene node: undefined");
    EXPECT_EQ(call(L"TWeatherMtl.removeSnow " + node), L"1 snow modifier(s) removed from Box01");
    EXPECT_EQ(snowCount(), 0);
    host::classRegistry().remove(&gSnowDesc);
    EXPECT_EQ(call(L"TWeatherMtl.addSnow " + node + L" #()", false),
              L"ERROR: -- Runtime error: addSnow: the snow modifier (TarnwickSnow) is not loaded");
}

TEST_F(LibraryTest, ApplySnowAndRestore) {
    Mtl* wood = host::createStdMaterial(L"wood", Color(0.5f, 0.3f, 0.1f), 20);
    box->SetMtl(wood);
    std::wstring node = wx::nodeRef(box);
    EXPECT_EQ(call(L"TWeatherMtl.applySnow " + node + L" 3 2 false"), L"Tarnwick Snow added at id 3 on Box01");
    Mtl* multi = box->GetMtl();
    EXPECT_EQ(host::materialForIndex(multi, 0), wood);
    EXPECT_EQ(host::materialForIndex(multi, 1), wood);
    EXPECT_EQ(std::wstring(host::materialForIndex(multi, 2)->GetName()), L"Tarnwick Snow");

    // Applying again (sand this time) wraps the original, not the weather material.
    call(L"TWeatherMtl.layerKind = \"Sand\"");
    EXPECT_EQ(call(L"TWeatherMtl.applySnow " + node + L" 1 1 true"), L"Tarnwick Sand replaces the material of Box01");
    EXPECT_EQ(std::wstring(box->GetMtl()->GetName()), L"Tarnwick Sand");
    EXPECT_EQ(call(L"TWeatherMtl.layerKind = \"Mud\"", false),
              L"ERROR: -- Runtime error: layerKind is \"Snow\" or \"Sand\", not \"Mud\"");
    EXPECT_EQ(call(L"TWeatherMtl.layerKind"), L"Sand");

    // The original, no longer on the node, was kept alive and comes back.
    EXPECT_EQ(call(L"TWeatherMtl.restore " + node), L"true");
    EXPECT_EQ(box->GetMtl(), wood);
    EXPECT_EQ(host::diffuseOf(box->GetMtl()), Color(0.5f, 0.3f, 0.1f));
    EXPECT_EQ(call(L"TWeatherMtl.restore " + node), L"false");  // nothing more to put back

    EXPECT_EQ(call(L"TWeatherMtl.applySnow " + node + L" 2 2 false", false),
              L"ERROR: -- Runtime error: applySnow: the snow id must be above the object's highest material id");
    EXPECT_EQ(call(L"TWeatherMtl.applySnow " + node + L" 0 1 true", false),
              L"ERROR: -- Runtime error: applySnow: material ids must be 1 to 65535");
    EXPECT_EQ(box->GetMtl(), wood);
}

TEST_F(LibraryTest, CoverListAndPaintAdvice) {
    EXPECT_EQ(call(L"TWeatherMtl.coverDialog()"), L"No weather materials in the scene.");
    INode* plain = ip->CreateObjectNode(host::createBox(1, 1, 1));
    plain->SetName(L"Shed");
    box->SetMtl(host::createStdMaterial(L"wood", Color(0.5f, 0.3f, 0.1f), 20));
    call(L"TWeatherMtl.applySnow " + wx::nodeRef(box) + L" 2 1 false");
    EXPECT_EQ(call(L"TWeatherMtl.coverDialog()"),
              L"1 object(s) with weather materials:\r\nBox01: Tarnwick Snow in Box01 + Tarnwick Snow\r\n");

    EXPECT_EQ(call(L"TWeatherMtl.paint (selection as array)"), L"Select the objects to paint first.");
    call(L"TWeatherMtl.addSnow " + wx::nodeRef(box) + L" #(#(#usePaint,true),#(#paintChannel,3))");
    ip->SelectNode(box);
    ip->SelectNode(plain, 0);
    EXPECT_EQ(call(L"TWeatherMtl.paint (selection as array)"),
              L"Box01: paint map channel 3; white = snow, black = none. Painted colour is in use.\r\n"
              L"Shed: no Tarnwick Snow yet; add snow before painting.\r\n");
    call(L"(maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) + L").modifiers[1].usePaint = false");
    call(L"(maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) + L").modifiers[1].paintChannel = 0");
    ip->DeSelectNode(plain);
    EXPECT_EQ(call(L"TWeatherMtl.paint (selection as array)"),
              L"Box01: paint vertex colours (map channel 0); white = snow, black = none. Turn on \"Use painted "
              L"colour (white = snow)\" to use it.\r\n");
    EXPECT_EQ(call(L"TWeatherMtl.paint 3", false),
              L"ERROR: -- Runtime error: paint: the argument must be an array of nodes");
}

TEST_F(LibraryTest, BakeCollapsesSnowIntoTheObjectInPlace) {
    EXPECT_EQ(call(L"TWeatherMtl.bake()"), L"Nothing to bake: no object carries Tarnwick Snow.");
    box->SetPosition(0, Point3(100, 0, 0));
    Mtl* wood = host::createStdMaterial(L"wood", Color(0.5f, 0.3f, 0.1f), 20);
    box->SetMtl(wood);
    call(L"TWeatherMtl.addSnow " + wx::nodeRef(box) + L" #(#(#depth,5))");
    const int before = int(ip->GetRootNode()->NumberOfChildren());
    const ULONG handle = box->GetHandle();
    EXPECT_EQ(call(L"TWeatherMtl.bake()"), L"Baked 1 object(s) into meshes: Box01.");
    EXPECT_EQ(snowCount(), 0);
    EXPECT_EQ(ip->GetRootNode()->NumberOfChildren(), before) << "no copy beside the object";
    INode* baked = ip->GetINodeByName(L"Box01");
    ASSERT_EQ(baked, box);
    EXPECT_EQ(baked->GetHandle(), handle);
    EXPECT_EQ(baked->GetMtl(), wood);
    EXPECT_EQ(baked->GetWSMDerivedObject(), nullptr);
    ASSERT_EQ(baked->GetObjectRef()->ClassID(), triObjectClassID);
    const Mesh& mesh = static_cast<TriObject*>(baked->GetObjectRef())->GetMesh();
    ASSERT_GT(mesh.numVerts, 0);
    Box3 bounds;
    for (int v = 0; v < mesh.numVerts; ++v) bounds += mesh.verts[v];
    EXPECT_NEAR(bounds.Center().x, 0.0f, 1e-3f) << "in the node's own space: the node still moves it";
    EXPECT_NEAR(baked->GetObjectTM(0).GetTrans().x, 100.0f, 1e-4f);
    EXPECT_EQ(call(L"TWeatherMtl.bake()"), L"Nothing to bake: no object carries Tarnwick Snow.");
}

}  // namespace
}  // namespace scripttest
