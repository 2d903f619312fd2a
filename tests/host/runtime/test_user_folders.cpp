// The user macro and script folders on Linux: where they are for each setting of the
// environment, made on demand, empty when there is no base or it cannot be made, and
// overridden by SetDir until an empty path drops the override.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "host/text.h"
#include "host/user_folders.h"
#include "max/interface.h"

namespace {

namespace fs = std::filesystem;

// Sets or unsets variables for one test and puts them back after it.
class ScopedEnv {
public:
    void set(const char* name, const std::optional<std::string>& value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        for (auto& [name, value] : saved_)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

struct UserFoldersTest : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("tweather_user_folders_" + std::to_string(::getpid()));
    ScopedEnv env;
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    std::string dir(int which) { return host::toUtf8(GetCOREInterface()->GetDir(which)); }
};

TEST_F(UserFoldersTest, EachSettingOfTheEnvironmentPicksItsBase) {
    env.set("TWEATHER_USER_DIR", (root / "own").string());
    env.set("XDG_DATA_HOME", (root / "data").string());
    env.set("HOME", (root / "home").string());
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), (root / "own/usermacros").string());
    EXPECT_EQ(dir(APP_USER_SCRIPTS_DIR), (root / "own/userscripts").string());
    EXPECT_TRUE(fs::is_directory(root / "own/usermacros")) << "made on demand";

    env.set("TWEATHER_USER_DIR", std::nullopt);
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), (root / "data/tweather/usermacros").string());
    env.set("XDG_DATA_HOME", "");
    EXPECT_EQ(dir(APP_USER_SCRIPTS_DIR), (root / "home/.local/share/tweather/userscripts").string());
    EXPECT_EQ(dir(APP_TEMP_DIR), "") << "only the two user folders are made";

    // Set but empty: no folders at all.
    env.set("TWEATHER_USER_DIR", "");
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), "");
    EXPECT_EQ(dir(APP_USER_SCRIPTS_DIR), "");
    // A base under a plain file cannot be made.
    std::ofstream(root / "file") << "x";
    env.set("TWEATHER_USER_DIR", (root / "file/below").string());
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), "");
}

TEST_F(UserFoldersTest, AnOverrideHoldsUntilAnEmptyPathDropsIt) {
    env.set("TWEATHER_USER_DIR", (root / "own").string());
    GetCOREInterface()->SetDir(APP_USER_MACROS_DIR, L"/elsewhere/macros");
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), "/elsewhere/macros");
    GetCOREInterface()->SetDir(APP_USER_MACROS_DIR, L"");
    EXPECT_EQ(dir(APP_USER_MACROS_DIR), (root / "own/usermacros").string());
}

}  // namespace
