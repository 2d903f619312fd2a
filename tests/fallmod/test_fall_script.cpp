// TWeatherMtl.makeFall and removeFall through the script bridge, as the presets and the
// Remove command call them: one fall object over the box with its pairs set, the material
// for geometry rendering, the report text, a wrong pair leaving nothing behind, and
// removal of every fall object, hidden ones too.
#include <string>

#include "fallmod_fixture.h"
#include "max/material.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"

namespace {

struct FallScriptTest : fallmodtest::FallModTest {
    void SetUp() override {
        FallModTest::SetUp();
        wx::setMaterialsInstaller(wx::installMaterialsLibrary);
        wx::resetMaterialsScript();
    }
    void TearDown() override {
        wx::uninstallMaterialsLibrary();
        wx::resetMaterialsScript();
        FallModTest::TearDown();
    }
    static std::wstring run(const std::wstring& expression, bool expectSuccess = true) {
        std::wstring result;
        EXPECT_EQ(wx::runScript(expression, &result), expectSuccess) << std::string(result.begin(), result.end());
        return result;
    }
    int nodeCount() { return ip->GetRootNode()->NumberOfChildren(); }
};

TEST_F(FallScriptTest, MakeFallPutsOneFallOverTheBox) {
    const std::wstring report =
        run(L"TWeatherMtl.makeFall [-500,-400,20] [500,600,820] #(#(#count,5000),#(#color,(color 255 51 "
            L"0)),#(#speed,80.0)) "
            L"false");
    EXPECT_EQ(report, L"Tarnwick Weather001: 5000 flakes in a 1000 x 1000 x 800 volume");
    ASSERT_EQ(nodeCount(), 1);
    INode* node = ip->GetRootNode()->GetChildNode(0);
    EXPECT_EQ(std::wstring(node->GetName()), L"Tarnwick Weather001");
    const Point3 pivot = node->GetNodeTM(0).GetTrans();
    EXPECT_FLOAT_EQ(pivot.x, 0.0f);
    EXPECT_FLOAT_EQ(pivot.y, 100.0f);
    EXPECT_FLOAT_EQ(pivot.z, 20.0f) << "the pivot is the box's bottom centre";

    IParamBlock2* pb = fallOf(node)->GetParamBlock(0);
    EXPECT_FLOAT_EQ(pb->GetFloat(wx::kFallHeight, 0), 800.0f);
    EXPECT_FLOAT_EQ(pb->GetFloat(wx::kFallSpeed, 0), 80.0f);
    const Point3 colour = pb->GetPoint3(wx::kFallColor, 0);
    EXPECT_FLOAT_EQ(colour.x, 1.0f);
    EXPECT_FLOAT_EQ(colour.y, 0.2f) << "script colours are 0-255";
    EXPECT_FLOAT_EQ(colour.z, 0.0f);
    ASSERT_NE(node->GetMtl(), nullptr);
    EXPECT_EQ(std::wstring(node->GetMtl()->GetName()), L"Tarnwick Flakes");
    EXPECT_FLOAT_EQ(node->GetMtl()->GetDiffuse().g, 0.2f) << "flakes take the fall's colour";

    EXPECT_EQ(run(L"TWeatherMtl.makeFall [0,0,0] [10.5,20,30] #(#(#type,1)) true"),
              L"Tarnwick Weather002: 20000 drops in a 10.5 x 20 x 30 volume");
    EXPECT_EQ(std::wstring(ip->GetRootNode()->GetChildNode(1)->GetMtl()->GetName()), L"Tarnwick Rain");
    EXPECT_EQ(run(L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #(#(#type,2)) false"),
              L"Tarnwick Weather003: 20000 grains in a 1 x 1 x 1 volume");
}

TEST_F(FallScriptTest, AWrongCallLeavesTheSceneAsItWas) {
    const wchar_t* wrong[] = {
        L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #(#(#bogus,1)) false",  // no such parameter
        L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #(#(#color,3)) false",  // not a colour
        L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #(#(#count,\"many\")) false",
        L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #(#count) false",  // not a pair
        L"TWeatherMtl.makeFall [0,0,0] 5 #() false",              // not a corner
        L"TWeatherMtl.makeFall [0,0,0] [1,1,1] #() 1",            // not true or false
    };
    for (const wchar_t* expression : wrong) {
        const std::wstring result = run(expression, false);
        EXPECT_EQ(result.rfind(L"ERROR", 0), 0u) << std::string(result.begin(), result.end());
        EXPECT_EQ(nodeCount(), 0) << "a failed makeFall leaves no node";
    }
}

TEST_F(FallScriptTest, RemoveFallDeletesEveryFallHiddenOnesToo) {
    EXPECT_EQ(run(L"TWeatherMtl.removeFall()"), L"0");
    run(L"TWeatherMtl.makeFall [0,0,0] [100,100,100] #() false");
    run(L"TWeatherMtl.makeFall [0,0,0] [100,100,100] #() true");
    INode* hidden = ip->GetRootNode()->GetChildNode(1);
    hidden->Hide(TRUE);
    INode* parent = ip->GetRootNode()->GetChildNode(0);
    INode* child = addFall();
    parent->AttachChild(child, 1);
    ip->CreateObjectNode(CreateNewTriObject())->SetName(L"ground");  // not a fall: stays

    EXPECT_EQ(run(L"TWeatherMtl.removeFall()"), L"3");
    ASSERT_EQ(nodeCount(), 1);
    EXPECT_EQ(std::wstring(ip->GetRootNode()->GetChildNode(0)->GetName()), L"ground");
}

}  // namespace
