// The fall object's command panel: its seven rollouts open from the shipped dialogs, a
// typed value reaches the block (clamped as the spinner does) and the particles, a pick
// button and a colour swatch stand where the table says, and closing removes them all.
#include <filesystem>

#include "fallmod_fixture.h"
#include "host/ui_model.h"

namespace {

using fallmodtest::FallModTest;

struct FallRolloutTest : FallModTest {
    void SetUp() override {
        FallModTest::SetUp();
        std::string error;
        for (const char* name : {"weather_fall.json", "snow_mod.json"}) {  // the About rollout comes with the snow
            const auto file = std::filesystem::path(WX_SOURCE_DIR) / "resources" / name;
            ASSERT_TRUE(host::ui::loadResources(file.string(), error)) << error;
        }
    }
    void TearDown() override {
        host::ui::resetUi();
        FallModTest::TearDown();
    }
};

TEST_F(FallRolloutTest, PanelDrivesTheObject) {
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    fall->BeginEditParams(ip, 0, nullptr);
    for (const wx::ParamRolloutRow& r : wx::kFallRollouts)
        EXPECT_NE(host::ui::findRollout(r.dialogId), nullptr) << "rollout " << r.dialogId;
    HWND main = host::ui::findRollout(wx::fallres::kMainDialog);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(host::ui::typeText(main, wx::fallParamRow(wx::kFallCount).controls[0], L"50000000"));
    EXPECT_EQ(fall->GetParamBlock(0)->GetInt(wx::kFallCount, 0), 10000000);
    ASSERT_TRUE(host::ui::typeText(main, wx::fallParamRow(wx::kFallVpMax).controls[0], L"123"));
    EXPECT_EQ(particlesAt(node, 0).points.size(), 123u);
    ASSERT_TRUE(host::ui::selectItem(main, wx::fallParamRow(wx::kFallType).controls[0], 2));
    EXPECT_EQ(fall->GetParamBlock(0)->GetInt(wx::kFallType, 0), int(wx::kFallSand));
    fall->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    for (const wx::ParamRolloutRow& r : wx::kFallRollouts)
        EXPECT_EQ(host::ui::findRollout(r.dialogId), nullptr) << "rollout " << r.dialogId;
}

}  // namespace
