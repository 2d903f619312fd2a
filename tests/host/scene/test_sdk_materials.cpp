// What a plug-in module reaches through the SDK alone: the class directory finds a class by
// id or by walking its super class's list, and the standard and multi/sub-object materials
// made with CreateInstance are set up through StdMat2 and MultiMtl exactly as the host's
// own factories set them up.
#include <gtest/gtest.h>

#include "host/builtin_objects.h"
#include "host/scene.h"
#include "host/std_materials.h"
#include "max/class_directory.h"
#include "max/interface.h"
#include "max/stdmat.h"

namespace {

struct SdkMaterials : ::testing::Test {
    Interface* ip = GetCOREInterface();
    void SetUp() override { host::replaceScene(nullptr); }
    void TearDown() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
    // The scene owns what it shows, so every material made here goes with the scene.
    void show(Mtl* mtl) { ip->CreateObjectNode(host::createBox(1, 1, 1))->SetMtl(mtl); }
    Mtl* create(ULONG classA) { return static_cast<Mtl*>(ip->CreateInstance(MATERIAL_CLASS_ID, Class_ID(classA, 0))); }
};

TEST_F(SdkMaterials, ClassDirectoryFindsClassesByIdAndByList) {
    ClassDirectory& dir = ip->GetDllDir().ClassDir();
    ClassDesc* standard = dir.FindClass(MATERIAL_CLASS_ID, Class_ID(DMTL_CLASS_ID, 0));
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(dir.FindClass(TEXMAP_CLASS_ID, Class_ID(DMTL_CLASS_ID, 0)), nullptr);  // right id, wrong super class

    SubClassList* materials = dir.GetClassList(MATERIAL_CLASS_ID);
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials->GetSuperID(), MATERIAL_CLASS_ID);
    const int at = materials->FindClass(Class_ID(MULTI_CLASS_ID, 0));
    ASSERT_GE(at, 0);
    EXPECT_EQ((*materials)[at].ClassID(), Class_ID(MULTI_CLASS_ID, 0));
    bool foundStandard = false;
    for (int i = 0; i < materials->Count(ACC_ALL); ++i) {
        EXPECT_EQ((*materials)[i].CD()->SuperClassID(), MATERIAL_CLASS_ID);
        foundStandard = foundStandard || (*materials)[i].CD() == standard;
    }
    EXPECT_TRUE(foundStandard);
    EXPECT_EQ(materials->FindClass(Class_ID(0x7fff0001, 0x7fff0002)), -1);
}

TEST_F(SdkMaterials, StandardMaterialMatchesTheHostsFactory) {
    Mtl* made = create(DMTL_CLASS_ID);
    ASSERT_NE(made, nullptr);
    auto* mtl = static_cast<StdMat2*>(made);
    mtl->SetName(L"Tarnwick Snow");
    mtl->SetDiffuse(Color(0.95f, 0.96f, 1.0f), 0);
    mtl->SetShininess(0.35f, 0);
    Mtl* factory = host::createStdMaterial(L"Tarnwick Snow", Color(0.95f, 0.96f, 1.0f), 35.0f);
    show(made);
    show(factory);
    EXPECT_EQ(host::diffuseOf(made), host::diffuseOf(factory));
    EXPECT_EQ(host::glossinessOf(made), 35.0f);  // stored in percent, exactly
    EXPECT_EQ(host::glossinessOf(made), host::glossinessOf(factory));
    EXPECT_EQ(made->GetShininess(), factory->GetShininess());
}

TEST_F(SdkMaterials, MultiMaterialSlotsServeTheirIds) {
    Mtl* a = host::createStdMaterial(L"a", Color(1, 0, 0), 10);
    Mtl* b = host::createStdMaterial(L"b", Color(0, 1, 0), 10);
    auto* multi = static_cast<MultiMtl*>(create(MULTI_CLASS_ID));
    ASSERT_NE(multi, nullptr);
    show(multi);
    multi->AddMtl(a, 0, L"first");
    multi->AddMtl(b, 4, L"second");
    ASSERT_EQ(multi->NumSubMtls(), 2);
    EXPECT_EQ(host::materialForIndex(multi, 0), a);
    EXPECT_EQ(host::materialForIndex(multi, 4), b);
    MSTR name;
    multi->GetSubMtlName(4, name);
    EXPECT_EQ(name, L"second");

    show(a);  // a stays in the scene after the multi lets go of it
    multi->RemoveMtl(0);
    ASSERT_EQ(multi->NumSubMtls(), 1);
    EXPECT_EQ(multi->GetSubMtl(0), b);
    EXPECT_EQ(host::materialForIndex(multi, 4), b);
    multi->GetSubMtlName(4, name);
    EXPECT_EQ(name, L"second");

    multi->SetNumSubMtls(3);  // new slots are empty and serve their own index
    ASSERT_EQ(multi->NumSubMtls(), 3);
    EXPECT_EQ(multi->GetSubMtl(2), nullptr);
    MSTR third = L"third";
    multi->SetSubMtlAndName(2, a, third);
    EXPECT_EQ(host::materialForIndex(multi, 2), a);
    multi->GetSubMtlName(2, name);
    EXPECT_EQ(name, L"third");
    EXPECT_EQ(host::materialForIndex(multi, 4), b);  // the first slot kept its id
}

}  // namespace
