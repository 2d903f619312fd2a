// A fixture with a fresh folder per test and the example town written once per program,
// for tests that run tweather on real files.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tweather_child.h"

namespace tweather::test {

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared_ = std::filesystem::temp_directory_path() / ("tweather_cli_" + std::to_string(::getpid()));
        std::filesystem::create_directories(shared_);
        const ChildResult r = runTweather({"example", town()}, (shared_ / "example").string());
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(shared_); }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = shared_ / name;
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The example town, a scene file shared by the tests (never written to).
    static std::string town() { return (shared_ / "town.scene").string(); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    // Runs tweather with its logs outside the folder under test, so they never count as
    // files it left behind.
    ChildResult run(const std::vector<std::string>& args, const ChildLimits& limits = {}) const {
        return runTweather(args, log(), limits);
    }
    std::string log() const { return (shared_ / (dir_.filename().string() + "_log")).string(); }
    static unsigned modeOf(const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
    }

    static inline std::filesystem::path shared_;
    std::filesystem::path dir_;
};

}  // namespace tweather::test
