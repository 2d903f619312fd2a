// The module's start-up on Linux: the toolbar macro written into the user macro folder at
// every start and loaded at once, so that running it opens the weather panel; a folder
// name that is hostile to scripts changes nothing; no folder, no macro, and the materials
// library still answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/utility_panel.h"

namespace {

namespace fs = std::filesystem;

const std::string kMacro =
    "macroScript TarnwickWeather category:\"TarnwickFX\" buttonText:\"Weather\" tooltip:\"Tarnwick Weather - snow and "
    "rain presets\" (\r\n  on execute do ( UtilityPanel.OpenUtility TarnwickWeather )\r\n)\r\n";

struct StartupInstallTest : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("tweather_startup_" + std::to_string(::getpid()));
    std::string savedBase;
    bool hadBase = false;
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root);
        const char* base = std::getenv("TWEATHER_USER_DIR");
        hadBase = base != nullptr;
        savedBase = base ? base : "";
    }
    void TearDown() override {
        host::shutDown();
        if (hadBase)
            setenv("TWEATHER_USER_DIR", savedBase.c_str(), 1);
        else
            unsetenv("TWEATHER_USER_DIR");
        fs::remove_all(root);
    }
    void start(const std::string& base) {
        setenv("TWEATHER_USER_DIR", base.c_str(), 1);
        host::resetScriptEngine();
        std::vector<std::string> errors;
        host::startUp({WX_WEATHER_MODULE}, errors);
        ASSERT_TRUE(errors.empty()) << errors.front();
    }
    static std::string read(const fs::path& p) {
        std::ifstream file(p, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static host::script::Value run(const std::wstring& text) { return host::scriptEngine().run(text); }
};

TEST_F(StartupInstallTest, TheMacroIsRewrittenAtEachStartAndOpensThePanel) {
    const fs::path base = root / "plain";
    start(base.string());
    const fs::path macro = base / "usermacros" / "TarnwickFX-Weather.mcr";
    EXPECT_EQ(read(macro), kMacro);
    run(L"macros.run \"TarnwickFX\" \"TarnwickWeather\"");
    ClassDesc* util = host::classRegistry().findByName(L"TarnwickWeather");
    ASSERT_NE(util, nullptr);
    EXPECT_EQ(host::openUtilityClass(), util);
    host::shutDown();

    std::ofstream(macro, std::ios::binary) << "macroScript Stale ()";
    start(base.string());
    EXPECT_EQ(read(macro), kMacro);
}

TEST_F(StartupInstallTest, AHostileFolderNameStillLoadsTheMacroAndRunsNothingElse) {
    const fs::path base = root / "we\"ird\\ ) (global pwned = 1) ( name";
    start(base.string());
    EXPECT_EQ(read(base / "usermacros" / "TarnwickFX-Weather.mcr"), kMacro);
    EXPECT_EQ(run(L"pwned").kind, host::script::Kind::Undefined);
    EXPECT_TRUE(host::scriptLog().shownErrors.empty());
    run(L"macros.run \"TarnwickFX\" \"TarnwickWeather\"");
    EXPECT_EQ(host::openUtilityClass(), host::classRegistry().findByName(L"TarnwickWeather"));
}

TEST_F(StartupInstallTest, AnEmptyBaseWritesNothingAndTheMaterialsLibraryStillAnswers) {
    start("");
    EXPECT_EQ(run(L"TWeatherMtl.layerKind").s, L"Snow");
    EXPECT_EQ(host::openUtilityClass(), nullptr);
    EXPECT_THROW(run(L"macros.run \"TarnwickFX\" \"TarnwickWeather\""), host::script::ScriptError)
        << "no macro was loaded";
    EXPECT_TRUE(fs::is_empty(root));
}

}  // namespace
