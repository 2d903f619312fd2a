// Fetching the wind through the object's cache: the status texts of every outcome, the
// temporary export file of a picked node, and when a file is read again (changed) or not
// (unchanged, even when it was refused).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "fall/tornado_cache.h"
#include "tornado_test_files.h"

namespace {

using namespace tornadotest;

class TornadoFetch : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        const char* old = std::getenv("TMPDIR");
        oldTmp = old ? old : "";
        hadTmp = old != nullptr;
        ::setenv("TMPDIR", dir.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp)
            ::setenv("TMPDIR", oldTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        ScratchFolder::TearDown();
    }
    bool fetch(const wx::TornadoFetchInputs& in) { return cache.fetch(in, wind, status, mainStatus); }
    wx::TornadoFetchInputs withFile(const std::string& path) {
        wx::TornadoFetchInputs in;
        in.filePath = path;
        return in;
    }
    void expectNothingLoaded() const {
        EXPECT_EQ(wind.frames, nullptr);
        EXPECT_EQ(wind.frameCount, 0);
        EXPECT_EQ(wind.framesPerSecond, 24.0f);
        EXPECT_EQ(wind.unitsPerMetre, 100.0f);
        EXPECT_EQ(wind.influence, 1.0f);
        EXPECT_EQ(wind.carriedFor, 3.0f);
        EXPECT_EQ(wind.reach, 30000.0f);
    }

    wx::TornadoWindCache cache;
    wx::TornadoWind wind;
    std::string status = "no tornado";
    std::string mainStatus = "not rendered yet";
    std::string oldTmp;
    bool hadTmp = false;
};

TEST_F(TornadoFetch, FortyEightFramesWithDefaultParameters) {
    std::string path = file("storm.ttw");
    writeBytes(path, windFileBytes("TTWIND 1 48 0 24 100 140", calmFrames(48)));
    ASSERT_TRUE(fetch(withFile(path)));
    EXPECT_EQ(status, "tornado: 48 frames from 0, 100 units/m, influence 1.00, reach 30000");
    EXPECT_EQ(wind.frameCount, 48);
    ASSERT_NE(wind.frames, nullptr);
    EXPECT_EQ(wind.frames[47].centreX, 47.0f);
    EXPECT_EQ(mainStatus, "not rendered yet");

    wx::TornadoFetchInputs in = withFile(path);
    in.influence = 1.5f;
    in.carriedFor = 0.5f;
    in.reach = 2500.4f;
    ASSERT_TRUE(fetch(in));
    EXPECT_EQ(status, "tornado: 48 frames from 0, 100 units/m, influence 1.50, reach 2500");
    EXPECT_EQ(wind.influence, 1.5f);
    EXPECT_EQ(wind.carriedFor, 0.5f);
    EXPECT_EQ(wind.reach, 2500.4f);
    EXPECT_EQ(cache.readCount(), 1);  // unchanged file: read once
}

TEST_F(TornadoFetch, InfluenceZeroSwitchesOffWithoutTouchingTheStatus) {
    std::string path = file("storm.ttw");
    writeBytes(path, windFileBytes("TTWIND 1 48 0 24 100 140", calmFrames(48)));
    wx::TornadoFetchInputs in = withFile(path);
    in.influence = 0.0f;
    EXPECT_FALSE(fetch(in));
    EXPECT_EQ(status, "no tornado");
    expectNothingLoaded();
    ASSERT_TRUE(fetch(withFile(path)));
    for (float off : {-1.0f, std::nanf("")}) {
        in.influence = off;
        EXPECT_FALSE(fetch(in));
    }
    EXPECT_EQ(status, "tornado: 48 frames from 0, 100 units/m, influence 1.00, reach 30000");
    expectNothingLoaded();
}

TEST_F(TornadoFetch, NothingToReadSaysWhy) {
    EXPECT_FALSE(fetch({}));
    EXPECT_EQ(status, "tornado: no node / file");
    expectNothingLoaded();
    std::string missing = file("later.ttw");
    EXPECT_FALSE(fetch(withFile(missing)));
    EXPECT_EQ(status, "tornado: no file yet " + missing);
    writeBytes(missing, windFileBytes("TTWIND 1 2 0 24 100 140", calmFrames(2)));
    EXPECT_TRUE(fetch(withFile(missing)));  // picked up once it exists
    EXPECT_FALSE(fetch(withFile(dir.string())));
    EXPECT_EQ(status, "tornado: cannot read " + dir.string());
    expectNothingLoaded();
}

TEST_F(TornadoFetch, BadFileIsNotReadAgainUntilItChanges) {
    std::string path = file("bad.ttw");
    writeBytes(path, "TTWIND 1 2147483647 0 24 100 140\n" + std::string(280, '\0'));
    EXPECT_FALSE(fetch(withFile(path)));
    EXPECT_EQ(status, "tornado: cannot read " + path);
    EXPECT_EQ(cache.data().reservedBytes, 0u);
    EXPECT_FALSE(fetch({}));  // the user clears the path for a moment
    EXPECT_FALSE(fetch(withFile(path)));
    EXPECT_EQ(status, "tornado: cannot read " + path);  // still refused, without a second read
    EXPECT_EQ(cache.readCount(), 1);
    expectNothingLoaded();

    writeBytes(path, windFileBytes("TTWIND 1 2 0 24 100 140", calmFrames(2)));
    ASSERT_TRUE(fetch(withFile(path)));
    EXPECT_EQ(cache.readCount(), 2);
    EXPECT_EQ(status, "tornado: 2 frames from 0, 100 units/m, influence 1.00, reach 30000");
}

TEST_F(TornadoFetch, RewrittenFileIsReadAgain) {
    std::string path = file("storm.ttw");
    writeBytes(path, windFileBytes("TTWIND 1 2 0 24 100 140", calmFrames(2)));
    ASSERT_TRUE(fetch(withFile(path)));
    // Same size, new contents: told apart by the write time.
    std::vector<wx::TornadoFrame> moved = calmFrames(2);
    moved[1].centreX = 99.0f;
    writeBytes(path, windFileBytes("TTWIND 1 2 7 24 100 140", moved));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    ASSERT_TRUE(fetch(withFile(path)));
    EXPECT_EQ(wind.firstFrame, 7);
    EXPECT_EQ(wind.frames[1].centreX, 99.0f);
    // More frames with the write time put back: told apart by the size.
    auto written = std::filesystem::last_write_time(path);
    writeBytes(path, windFileBytes("TTWIND 1 3 0 24 50 140", calmFrames(3)));
    std::filesystem::last_write_time(path, written);
    ASSERT_TRUE(fetch(withFile(path)));
    EXPECT_EQ(wind.frameCount, 3);
    EXPECT_EQ(status, "tornado: 3 frames from 0, 50 units/m, influence 1.00, reach 30000");
    // Rewritten into a bad file: refused, and the old frames are gone with it.
    writeBytes(path, "TTWIND 1 3 0 24 50 139\n");
    EXPECT_FALSE(fetch(withFile(path)));
    EXPECT_EQ(status, "tornado: cannot read " + path);
    EXPECT_TRUE(cache.data().frames.empty());
    EXPECT_EQ(cache.readCount(), 4);
}

TEST_F(TornadoFetch, PickedNodeExportsIntoTheTemporaryFolder) {
    const std::string expected = dir.string() + "/TarnwickWeather/tornado_42.ttw";
    EXPECT_EQ(wx::tornadoExportPath(42), expected);
    std::vector<std::string> exported;
    wx::TornadoFetchInputs in;
    in.nodeHandle = 42;
    in.runExport = [&](const std::string& path) {
        exported.push_back(path);
        writeBytes(path, windFileBytes("TTWIND 1 4 10 24 100 140", calmFrames(4)));
        return std::string("wrote 4 frames");
    };
    EXPECT_FALSE(fetch(in));  // no export asked for: the file is not there yet
    EXPECT_TRUE(exported.empty());
    EXPECT_EQ(status, "tornado: no file yet " + expected);
    EXPECT_EQ(mainStatus, "not rendered yet");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "TarnwickWeather"));

    in.requestExport = true;
    ASSERT_TRUE(fetch(in));
    EXPECT_EQ(exported, std::vector<std::string>{expected});
    EXPECT_EQ(mainStatus, "tornado: wrote 4 frames");
    EXPECT_EQ(status, "tornado: 4 frames from 10, 100 units/m, influence 1.00, reach 30000");

    // A user's file wins over the node, and no export runs for it.
    std::string own = file("own.ttw");
    writeBytes(own, windFileBytes("TTWIND 1 2 0 24 100 140", calmFrames(2)));
    in.filePath = own;
    ASSERT_TRUE(fetch(in));
    EXPECT_EQ(exported.size(), 1u);
    EXPECT_EQ(wind.frameCount, 2);
}

TEST_F(TornadoFetch, TemporaryFolderHasOneSeparator) {
    ::setenv("TMPDIR", (dir.string() + "/").c_str(), 1);
    EXPECT_EQ(wx::tornadoTempFolder(), dir.string() + "/TarnwickWeather");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(wx::tornadoTempFolder(), "/tmp/TarnwickWeather");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(wx::tornadoExportPath(7), "/tmp/TarnwickWeather/tornado_7.ttw");
}

}  // namespace
