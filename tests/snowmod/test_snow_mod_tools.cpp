// The "Snow - Tools" rollout: it opens with the modifier's rollouts, mirrors the status
// text, and its buttons gather the scene, make the snow material and start painting.
#include <filesystem>

#include "host/std_materials.h"
#include "host/ui_model.h"
#include "max/material.h"
#include "snow/snow_mod_tools_state.h"
#include "snowmod_fixture.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"

namespace snowmodtest {
namespace {

struct SnowToolsTest : SnowModTest {
    void SetUp() override {
        SnowModTest::SetUp();
        const auto file = std::filesystem::path(WX_SOURCE_DIR) / "resources" / "snow_mod.json";
        std::string error;
        ASSERT_TRUE(host::ui::loadResources(file.string(), error)) << error;
        wx::setMaterialsInstaller(wx::installMaterialsLibrary);
        wx::resetMaterialsScript();
    }
    void TearDown() override {
        wx::uninstallMaterialsLibrary();
        wx::resetMaterialsScript();
        host::ui::resetUi();
        SnowModTest::TearDown();
    }
    static HWND tools() { return host::ui::findRollout(wx::kSnowToolsDialog); }
};

TEST_F(SnowToolsTest, OpensWithTheModifierAndFollowsItsStatus) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterWholeScene);
    mod->BeginEditParams(ip, 0, nullptr);
    ASSERT_NE(tools(), nullptr);
    EXPECT_EQ(wx::editedSnowMod(), mod);
    EXPECT_EQ(host::ui::controlText(tools(), wx::kSnowToolsStatus), L"Not evaluated yet.");
    evalMesh(plane);
    EXPECT_EQ(host::ui::controlText(tools(), wx::kSnowToolsStatus), mod->statusText());

    // Update shelter gathers the scene now; the next evaluation builds against it.
    ASSERT_TRUE(host::ui::pressButton(tools(), wx::kSnowToolsUpdateShelter));
    EXPECT_NE(wx::currentScene(), nullptr);
    evalMesh(plane);
    EXPECT_NE(host::ui::controlText(tools(), wx::kSnowToolsStatus).find(L"Shelter: whole scene"), std::wstring::npos);

    mod->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    EXPECT_EQ(tools(), nullptr);
    EXPECT_EQ(wx::editedSnowMod(), nullptr);
    evalMesh(plane, 4800);  // publishing with no rollout open touches nothing
}

TEST_F(SnowToolsTest, SnowMaterialRaisesTheIdAboveTheMeshAndAppliesIt) {
    INode* plane = addPlane(200);
    plane->SetMtl(host::createStdMaterial(L"Grass", Color(0.2f, 0.5f, 0.2f), 10.0f));
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    IParamBlock2* pb = mod->GetParamBlock(0);
    pb->SetValue(wx::kSnowMatID, 0, 1);
    evalMesh(plane);
    const int highest = mod->highestInputMatID();
    mod->BeginEditParams(ip, 0, nullptr);
    ASSERT_TRUE(host::ui::pressButton(tools(), wx::kSnowToolsSnowMaterial));
    EXPECT_EQ(pb->GetInt(wx::kSnowMatID, 0), highest + 1) << "raised above the mesh's own ids";
    const std::wstring shown = host::ui::controlText(tools(), wx::kSnowToolsStatus);
    EXPECT_EQ(shown.substr(shown.size() - 2), L"\r\n");
    EXPECT_EQ(shown.rfind(L"ERROR", 0), std::wstring::npos) << shown;
    ASSERT_NE(plane->GetMtl(), nullptr);
    EXPECT_GT(plane->GetMtl()->NumSubMtls(), highest) << "a snow material at the snow id";

    ASSERT_TRUE(host::ui::pressButton(tools(), wx::kSnowToolsPaint));
    EXPECT_EQ(host::ui::controlText(tools(), wx::kSnowToolsStatus), L"Select the objects to paint first.");
    mod->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
}

TEST_F(SnowToolsTest, TheParameterRolloutsDriveTheModifier) {
    INode* plane = addPlane(200);
    wx::SnowMod* mod = addSnow(plane, wx::kShelterNothing);
    mod->BeginEditParams(ip, 0, nullptr);
    for (const wx::ParamRolloutRow& r : wx::kSnowRollouts)
        EXPECT_NE(host::ui::findRollout(r.dialogId), nullptr) << "rollout " << r.dialogId;
    HWND main = host::ui::findRollout(wx::snowres::kMainDialog);
    ASSERT_NE(main, nullptr);
    // Depth typed past its range is clamped, as the spinner does; the check box turns snow off.
    ASSERT_TRUE(host::ui::typeText(main, wx::snowParamRow(wx::kSnowDepth).controls[0], L"2000000"));
    EXPECT_EQ(mod->GetParamBlock(0)->GetFloat(wx::kSnowDepth, 0), 1000000.0f);
    ASSERT_TRUE(host::ui::pressButton(main, wx::snowParamRow(wx::kSnowEnabled).controls[0]));
    evalMesh(plane);
    EXPECT_EQ(host::ui::controlText(tools(), wx::kSnowToolsStatus), L"Snow is off.");
    ASSERT_TRUE(host::ui::selectItem(host::ui::findRollout(wx::snowres::kShelterDialog),
                                     wx::snowParamRow(wx::kSnowOccluders).controls[0], 1));
    EXPECT_EQ(mod->GetParamBlock(0)->GetInt(wx::kSnowOccluders, 0), int(wx::kShelterThisObject));
    mod->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    EXPECT_EQ(host::ui::findRollout(wx::snowres::kMainDialog), nullptr);
    EXPECT_EQ(tools(), nullptr);
}

}  // namespace
}  // namespace snowmodtest
