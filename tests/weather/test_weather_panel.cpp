// The Tarnwick Weather panel in the host's Utilities tab: its opening state, what each
// control and button does with the scene and the status box, the About rollout and where
// its Help finds the user guide.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/ui_model.h"
#include "host/utility_panel.h"
#include "max/win_ui.h"
#include "utility/user_guide.h"
#include "utility/weather_presets.h"
#include "utility/weather_util.h"
#include "weather_scene_fixture.h"

namespace {

struct WeatherPanelTest : WeatherSceneTest {
    HWND panel = nullptr;
    void SetUp() override {
        WeatherSceneTest::SetUp();
        std::string error;
        ASSERT_TRUE(host::ui::loadResources(WX_SOURCE_DIR "/resources/weather_utility.json", error)) << error;
        panel = open();
    }
    void TearDown() override {
        host::closeUtility();
        host::ui::resetUi();
        WeatherSceneTest::TearDown();
    }
    HWND open() {
        std::wstring error;
        EXPECT_TRUE(host::openUtility(wx::GetWeatherUtilDesc(), error));
        return wx::weatherPanel();
    }
    int selected(int control) { return int(SendDlgItemMessageW(panel, control, CB_GETCURSEL, 0, 0)); }
    std::wstring status() { return host::ui::controlText(panel, wx::kUtilStatus); }
    std::wstring description(size_t preset) { return wx::weatherPresets()[preset].description; }
};

TEST_F(WeatherPanelTest, OpensWithHeavySnowOnTheSelectionAndEveryBoxChecked) {
    ASSERT_NE(panel, nullptr);
    const std::vector<host::ui::Rollout> open = host::ui::rollouts();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].dialogId, 7500);
    EXPECT_EQ(open[0].title, L"Tarnwick Weather");
    EXPECT_FALSE(open[0].rolledUp);
    EXPECT_EQ(open[1].dialogId, 7701);
    EXPECT_EQ(open[1].title, L"Weather - About / Help");
    EXPECT_TRUE(open[1].rolledUp) << "About is added closed";
    const std::vector<std::wstring> presets = host::ui::listItems(panel, wx::kUtilPreset);
    ASSERT_EQ(presets.size(), 7u);
    EXPECT_EQ(presets[0], L"Light dusting");
    EXPECT_EQ(presets[6], L"Sandstorm");
    EXPECT_EQ(selected(wx::kUtilPreset), 1);
    EXPECT_EQ(host::ui::listItems(panel, wx::kUtilApplyTo),
              (std::vector<std::wstring>{L"Selected objects", L"Whole scene",
                                         L"Everything inside the Tarnwick Weather volumes"}));
    EXPECT_EQ(selected(wx::kUtilApplyTo), 0);
    for (int box : {wx::kUtilSurfaces, wx::kUtilFalling, wx::kUtilMaterials})
        EXPECT_EQ(IsDlgButtonChecked(panel, box), BST_CHECKED) << box;
    EXPECT_EQ(host::ui::controlText(panel, wx::kUtilDescription), description(1));
    EXPECT_EQ(status(), L"Pick a preset, select objects (or Whole scene), press MAKE WEATHER.");
    EXPECT_EQ(wx::lastWeatherReport(), status());

    // The description follows the list; an entry past the seven changes nothing.
    ASSERT_TRUE(host::ui::selectItem(panel, wx::kUtilPreset, 4));
    EXPECT_EQ(host::ui::controlText(panel, wx::kUtilDescription), description(4));
    SendDlgItemMessageW(panel, wx::kUtilPreset, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Hail"));
    ASSERT_TRUE(host::ui::selectItem(panel, wx::kUtilPreset, 7));
    EXPECT_EQ(host::ui::controlText(panel, wx::kUtilDescription), description(4));
}

TEST_F(WeatherPanelTest, MakeWeatherReadsAllFiveControlsAndAHalfCheckedBoxIsOff) {
    INode* ground = addPlane(L"Ground", 400, {0, 0, 0});
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilMake));
    EXPECT_EQ(status(), L"Select the objects first, or set Apply to: Whole scene.");
    EXPECT_EQ(host::ui::cursorCalls().back(), 32514) << "the wait cursor shows";

    ASSERT_TRUE(host::ui::selectItem(panel, wx::kUtilPreset, 0));
    ASSERT_TRUE(host::ui::selectItem(panel, wx::kUtilApplyTo, 1));
    CheckDlgButton(panel, wx::kUtilSurfaces, BST_INDETERMINATE);
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilFalling));  // off
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilMake));
    EXPECT_EQ(status(), L"Light dusting on 1 object: 0 snowed, 0 wet, 0 glass with drops.\r\n");
    EXPECT_FALSE(hasSnow(ground));
    EXPECT_EQ(fallCount(), 0);
    EXPECT_EQ(wx::lastWeatherReport(), status());

    // A press takes the half-checked box to off; a second press checks it.
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilSurfaces));
    EXPECT_EQ(IsDlgButtonChecked(panel, wx::kUtilSurfaces), BST_UNCHECKED);
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilSurfaces));
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilMaterials));  // off
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilMake));
    EXPECT_EQ(status().rfind(L"Light dusting on 1 object: 1 snowed, 0 wet, 0 glass with drops.\r\nShelter: ", 0), 0u);
    EXPECT_TRUE(hasSnow(ground));
    EXPECT_EQ(ground->GetMtl(), nullptr) << "materials were off";
    EXPECT_EQ(fallCount(), 0);
}

TEST_F(WeatherPanelTest, EachButtonsTextLandsInTheStatusBoxAndTheLastReport) {
    addPlane(L"Ground", 400, {0, 0, 0});
    ASSERT_TRUE(host::ui::selectItem(panel, wx::kUtilApplyTo, 1));
    ASSERT_TRUE(host::ui::pressButton(panel, wx::kUtilMake));
    struct Press {
        int button;
        const wchar_t* starts;
    };
    const Press presses[] = {
        {wx::kUtilUpdateShelter, L"Shelter updated: "},
        {wx::kUtilCoverDialog, L"1 object(s) with weather materials:\r\nGround: Tarnwick Snow"},
        {wx::kUtilPaint, L"Select the objects to paint first."},
        {wx::kUtilBake, L"Baked 1 object(s) into meshes: Ground."},
        {wx::kUtilRemove, L"Removed the weather from 1 objects (1 materials restored) and 1 falling object(s)."},
    };
    for (const Press& p : presses) {
        wx::setLastWeatherReport(L"before");
        ASSERT_TRUE(host::ui::pressButton(panel, p.button)) << p.button;
        EXPECT_EQ(status().rfind(p.starts, 0), 0u) << p.button << ": " << std::string(status().begin(), status().end());
        EXPECT_EQ(wx::lastWeatherReport(), status()) << p.button;
    }
    ASSERT_EQ(host::undoStepNames().size(), 3u);
    EXPECT_EQ(host::undoStepNames()[1], L"Bake snow");
}

TEST_F(WeatherPanelTest, AScriptMakeWithThePanelClosedChangesTheLastReportOnly) {
    addPlane(L"Ground", 400, {0, 0, 0});
    host::closeUtility();
    EXPECT_TRUE(host::ui::rollouts().empty()) << "closing deletes both rollouts";
    EXPECT_EQ(wx::weatherPanel(), nullptr);
    EXPECT_EQ(wx::weatherAboutPanel(), nullptr);
    const std::wstring report = script(L"TWeather.make 1 true");
    EXPECT_EQ(report.rfind(L"Light dusting on 1 object: 1 snowed", 0), 0u);
    EXPECT_EQ(wx::lastWeatherReport(), report);
    panel = open();
    EXPECT_EQ(status(), L"Pick a preset, select objects (or Whole scene), press MAKE WEATHER.");
}

TEST_F(WeatherPanelTest, AboutShowsTheVersionAndOpensTheGuideOrTheWebPage) {
    const HWND about = wx::weatherAboutPanel();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(host::ui::controlText(about, wx::kAboutVersion), L"Tarnwick Weather 1.5.1  (built 20261028)");
    EXPECT_EQ(host::ui::controlText(about, wx::kAboutWeb), wx::kMakerWebAddress);
    ASSERT_TRUE(host::ui::pressButton(about, wx::kAboutWeb));
    ASSERT_EQ(host::ui::shellCalls().size(), 1u);
    EXPECT_EQ(host::ui::shellCalls()[0].operation, L"open");
    EXPECT_EQ(host::ui::shellCalls()[0].file, wx::kMakerWebAddress);
    ASSERT_TRUE(host::ui::pressButton(about, wx::kAboutGuide));
    ASSERT_EQ(host::ui::shellCalls().size(), 2u);
    EXPECT_EQ(host::ui::shellCalls()[1].operation, L"open");
    EXPECT_EQ(host::ui::shellCalls()[1].file, wx::userGuideTarget(wx::moduleFolder()));
}

TEST(UserGuideSearch, BesideTheProgramThenTheUsersDataThenTheSystemsThenTheWeb) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "tweather_guide_search";
    fs::remove_all(root);
    const fs::path module = root / "app" / "plugins", user = root / "user", systemA = root / "a", systemB = root / "b";
    for (const fs::path& p : {module, user / "tweather", systemA, systemB / "tweather", root / "app/share/tweather"})
        fs::create_directories(p);
    auto guideIn = [](const fs::path& folder) {
        std::ofstream(folder / "Weather_UserGuide.html") << "<html></html>";
        return fs::weakly_canonical(folder / "Weather_UserGuide.html").wstring();
    };
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldDirs = std::getenv("XDG_DATA_DIRS");
    const std::string savedData = oldData ? oldData : "", savedDirs = oldDirs ? oldDirs : "";
    setenv("XDG_DATA_HOME", user.c_str(), 1);
    setenv("XDG_DATA_DIRS", (systemA.string() + ":" + systemB.string()).c_str(), 1);

    EXPECT_EQ(wx::userGuideTarget(module.string()), wx::kMakerWebAddress) << "no guide anywhere";
    const std::wstring inSystem = guideIn(systemB / "tweather");
    EXPECT_EQ(wx::userGuideTarget(module.string()), inSystem);
    const std::wstring inUser = guideIn(user / "tweather");
    EXPECT_EQ(wx::userGuideTarget(module.string()), inUser);
    const std::wstring beside = guideIn(root / "app/share/tweather");
    EXPECT_EQ(wx::userGuideTarget(module.string()), beside);
    unsetenv("XDG_DATA_DIRS");
    const std::vector<std::string> folders = wx::userGuideFolders("");
    ASSERT_GE(folders.size(), 3u);
    EXPECT_EQ(folders[folders.size() - 2], "/usr/local/share/tweather/");
    EXPECT_EQ(folders.back(), "/usr/share/tweather/");

    if (oldData)
        setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    if (oldDirs)
        setenv("XDG_DATA_DIRS", savedDirs.c_str(), 1);
    else
        unsetenv("XDG_DATA_DIRS");
    fs::remove_all(root);
}

}  // namespace
