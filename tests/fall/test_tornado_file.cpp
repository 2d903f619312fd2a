// Reading wind files: a sound file round-trips its bytes, every kind of bad file is refused
// for its own reason with no frames and no allocation beyond the file's size, and random
// damage to a sound file either loads or is refused cleanly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "fall/tornado_file.h"
#include "fall/tornado_wind.h"
#include "tornado_test_files.h"

namespace {

using namespace tornadotest;
using wx::TornadoReadError;

const std::string kHeader48 = "TTWIND 1 48 0 24 100 140";

class TornadoFile : public ScratchFolder {
protected:
    TornadoReadError read(const std::string& bytes, wx::TornadoFileData& data) {
        std::string path = file("wind.ttw");
        writeBytes(path, bytes);
        return wx::readTornadoFile(path, data);
    }
};

TEST_F(TornadoFile, FortyEightFramesLoadWithTheirValues) {
    std::vector<wx::TornadoFrame> frames = calmFrames(48);
    frames[5].spin = -1;
    frames[5].satellites = 12;
    frames[5].parentSpeed = 7.5f;
    frames[5].unused104[2] = std::nanf("");  // slots the wind never reads may hold anything
    wx::TornadoFileData data;
    ASSERT_EQ(read(windFileBytes(kHeader48, frames) + "trailing bytes are ignored", data), TornadoReadError::None);
    EXPECT_EQ(data.header.frameCount, 48);
    EXPECT_EQ(data.header.firstFrame, 0);
    EXPECT_EQ(data.header.framesPerSecond, 24.0f);
    EXPECT_EQ(data.header.unitsPerMetre, 100.0f);
    ASSERT_EQ(data.frames.size(), 48u);
    EXPECT_EQ(data.reservedBytes, 48u * 140u);
    for (int i = 0; i < 48; ++i) {
        EXPECT_EQ(data.frames[i].centreX, static_cast<float>(i));
        EXPECT_EQ(data.frames[i].time, static_cast<float>(i) / 24.0f);
        EXPECT_EQ(data.frames[i].coreRadius, 10.0f);
    }
    EXPECT_EQ(data.frames[5].spin, -1);
    EXPECT_EQ(data.frames[5].satellites, 12);
    EXPECT_EQ(data.frames[5].parentSpeed, 7.5f);
}

TEST_F(TornadoFile, ValuesAreLittleEndianAtTheirOffsets) {
    std::string record(140, '\0');
    const unsigned char one[] = {0x00, 0x00, 0x80, 0x3f};  // 1.0f
    for (std::size_t offset : {0u, 48u, 60u, 132u}) record.replace(offset, 4, reinterpret_cast<const char*>(one), 4);
    record[64] = '\xff', record[65] = '\xff', record[66] = '\xff', record[67] = '\xff';  // -1
    record[88] = 12;
    wx::TornadoFileData data;
    ASSERT_EQ(read("TTWIND 1 1 5 30 1 140\n" + record, data), TornadoReadError::None);
    const wx::TornadoFrame& f = data.frames.at(0);
    EXPECT_EQ(f.centreX, 1.0f);
    EXPECT_EQ(f.coreRadius, 1.0f);
    EXPECT_EQ(f.profileOuter, 1.0f);
    EXPECT_EQ(f.time, 1.0f);
    EXPECT_EQ(f.spin, -1);
    EXPECT_EQ(f.satellites, 12);
    EXPECT_EQ(f.centreY, 0.0f);
    EXPECT_EQ(data.header.firstFrame, 5);
    EXPECT_EQ(data.header.framesPerSecond, 30.0f);
}

// Only the first 255 bytes of the header line count; the frames start after its line feed.
TEST_F(TornadoFile, LongHeaderLines) {
    std::string frames = windFileBytes("", calmFrames(2)).substr(1);
    wx::TornadoFileData data;
    EXPECT_EQ(read("TTWIND 1 2 0 24 100 140" + std::string(400, ' ') + "x\n" + frames, data), TornadoReadError::None);
    EXPECT_EQ(data.frames.size(), 2u);
    EXPECT_EQ(read("TTWIND" + std::string(240, ' ') + "1 2 0 24 100 140\n" + frames, data),
              TornadoReadError::BadHeader);
}

struct BadFile {
    const char* name;
    std::string bytes;
    TornadoReadError error;
};

std::string nanFrames() {
    std::vector<wx::TornadoFrame> frames = calmFrames(3);
    frames[2].inflowDepth = std::nanf("");
    return windFileBytes("TTWIND 1 3 0 24 100 140", frames);
}

std::string infiniteFrames() {
    std::vector<wx::TornadoFrame> frames = calmFrames(3);
    frames[1].time = INFINITY;
    return windFileBytes("TTWIND 1 3 0 24 100 140", frames);
}

TEST_F(TornadoFile, BadFilesAreRefusedForTheirOwnReason) {
    const std::string frames3 = windFileBytes("", calmFrames(3)).substr(1);
    const BadFile cases[] = {
        {"empty", "", TornadoReadError::BadHeader},
        {"header only", "TTWIND 1 3 0 24 100 140\n", TornadoReadError::ShortFile},
        {"no line feed", "TTWIND 1 3 0 24 100 140", TornadoReadError::ShortFile},
        {"47 of 48 frames", windFileBytes(kHeader48, calmFrames(47)), TornadoReadError::ShortFile},
        {"one byte short", windFileBytes(kHeader48, calmFrames(48)).substr(0, 25 + 48 * 140 - 1),
         TornadoReadError::ShortFile},
        {"bad word", "TTWINE 1 3 0 24 100 140\n" + frames3, TornadoReadError::BadHeader},
        {"lower case", "ttwind 1 3 0 24 100 140\n" + frames3, TornadoReadError::BadHeader},
        {"five fields", "TTWIND 1 3 0 24 100\n" + frames3, TornadoReadError::BadHeader},
        {"text for a number", "TTWIND 1 three 0 24 100 140\n" + frames3, TornadoReadError::BadHeader},
        {"int beyond 32 bits", "TTWIND 1 4294967299 0 24 100 140\n" + frames3, TornadoReadError::BadHeader},
        {"version 2", "TTWIND 2 3 0 24 100 140\n" + frames3, TornadoReadError::BadVersion},
        {"version 0", "TTWIND 0 3 0 24 100 140\n" + frames3, TornadoReadError::BadVersion},
        {"record size 139", "TTWIND 1 3 0 24 100 139\n" + frames3, TornadoReadError::BadRecordSize},
        {"record size 141", "TTWIND 1 3 0 24 100 141\n" + frames3, TornadoReadError::BadRecordSize},
        {"0 frames", "TTWIND 1 0 0 24 100 140\n" + frames3, TornadoReadError::BadFrameCount},
        {"-1 frames", "TTWIND 1 -1 0 24 100 140\n" + frames3, TornadoReadError::BadFrameCount},
        {"2^31-1 frames", "TTWIND 1 2147483647 0 24 100 140\n" + frames3, TornadoReadError::ShortFile},
        {"2^32/140+1 frames (wraps in 32 bits)", "TTWIND 1 30678338 0 24 100 140\n" + frames3,
         TornadoReadError::ShortFile},
        {"fps nan", "TTWIND 1 3 0 nan 100 140\n" + frames3, TornadoReadError::BadFramesPerSecond},
        {"fps inf", "TTWIND 1 3 0 inf 100 140\n" + frames3, TornadoReadError::BadFramesPerSecond},
        {"fps overflows", "TTWIND 1 3 0 1e50 100 140\n" + frames3, TornadoReadError::BadFramesPerSecond},
        {"units per metre 0", "TTWIND 1 3 0 24 0 140\n" + frames3, TornadoReadError::BadUnitsPerMetre},
        {"units per metre -0", "TTWIND 1 3 0 24 -0.0 140\n" + frames3, TornadoReadError::BadUnitsPerMetre},
        {"units per metre nan", "TTWIND 1 3 0 24 NAN 140\n" + frames3, TornadoReadError::BadUnitsPerMetre},
        {"nan frame value", nanFrames(), TornadoReadError::BadFrameValues},
        {"infinite frame time", infiniteFrames(), TornadoReadError::BadFrameValues},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.name);
        wx::TornadoFileData data;
        data.frames = calmFrames(4);  // left over from an earlier read: must go
        EXPECT_EQ(read(c.bytes, data), c.error) << wx::tornadoReadErrorName(read(c.bytes, data));
        EXPECT_TRUE(data.frames.empty());
        EXPECT_LE(data.reservedBytes, c.bytes.size());
        EXPECT_EQ(data.header.frameCount, 0);
        EXPECT_EQ(data.header.framesPerSecond, 24.0f);
        EXPECT_EQ(data.header.unitsPerMetre, 1.0f);
    }
}

TEST_F(TornadoFile, MissingFilesAndFoldersCannotBeOpened) {
    wx::TornadoFileData data;
    EXPECT_EQ(wx::readTornadoFile(file("none.ttw"), data), TornadoReadError::CannotOpen);
    EXPECT_EQ(wx::readTornadoFile(dir.string(), data), TornadoReadError::CannotOpen);
    EXPECT_EQ(wx::readTornadoFile("", data), TornadoReadError::CannotOpen);
    EXPECT_TRUE(data.frames.empty());
}

TEST(TornadoHeader, ParsesAsTheTornadoPluginWritesIt) {
    wx::TornadoHeaderFields h;
    ASSERT_TRUE(wx::parseTornadoHeader("TTWIND 1 48 -12 29.97 2.54 140\r", h));
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.frameCount, 48);
    EXPECT_EQ(h.firstFrame, -12);
    EXPECT_EQ(h.framesPerSecond, 29.97f);
    EXPECT_EQ(h.unitsPerMetre, 2.54f);
    EXPECT_EQ(h.recordSize, 140);
    EXPECT_TRUE(wx::parseTornadoHeader("TTWIND1\t48 0 24 100 +140 more", h));
    EXPECT_FALSE(wx::parseTornadoHeader(std::string("TTWIND 1 48 0 24 100\0 140", 25), h));
    EXPECT_FALSE(wx::parseTornadoHeader(" TTWIND 1 48 0 24 100 140", h));
}

// Flips, cuts and extends a sound file many times (fixed seed): every result loads with
// finite frames and finite wind, or is refused with nothing kept and nothing over-reserved.
TEST_F(TornadoFile, DamagedFilesLoadOrAreRefusedCleanly) {
    std::vector<wx::TornadoFrame> frames = calmFrames(3);
    for (auto& f : frames) {
        f.peakSpeed = 60.0f;
        f.inflow = 8.0f;
        f.updraft = 20.0f;
        f.satellites = 4;
        f.satelliteSpeed = 10.0f;
        f.wobble = 5.0f;
        f.wobbleFreq = 0.3f;
        f.parentRadius = 500.0f;
    }
    const std::string sound = windFileBytes("TTWIND 1 3 0 24 100 140", frames);
    const int cases = std::getenv("WX_QUICK_TESTS") ? 200 : 2000;
    std::mt19937 rng(20261208u);
    int loaded = 0;
    for (int n = 0; n < cases; ++n) {
        std::string bytes = sound;
        switch (rng() % 4) {
            case 0:  // damage the header, where a few bytes change everything
                for (int k = 1 + rng() % 3; k > 0; --k) bytes[rng() % 25] = static_cast<char>(rng());
                break;
            case 1:  // damage anywhere
                for (int k = 1 + rng() % 8; k > 0; --k)
                    bytes[rng() % bytes.size()] ^= static_cast<char>(1 << rng() % 8);
                break;
            case 2:
                bytes.resize(rng() % bytes.size());
                break;
            default:
                for (int k = 1 + rng() % 200; k > 0; --k) bytes.push_back(static_cast<char>(rng()));
                break;
        }
        SCOPED_TRACE(n);
        wx::TornadoFileData data;
        TornadoReadError e = read(bytes, data);
        EXPECT_LE(data.reservedBytes, bytes.size());
        if (e != TornadoReadError::None) {
            ASSERT_TRUE(data.frames.empty());
            continue;
        }
        ++loaded;
        ASSERT_EQ(data.frames.size(), static_cast<std::size_t>(data.header.frameCount));
        ASSERT_TRUE(std::isfinite(data.header.framesPerSecond));
        ASSERT_TRUE(std::isfinite(data.header.unitsPerMetre) && data.header.unitsPerMetre != 0.0f);
        wx::TornadoWind wind;
        wind.frames = data.frames.data();
        wind.frameCount = data.header.frameCount;
        wind.firstFrame = data.header.firstFrame;
        wind.unitsPerMetre = data.header.unitsPerMetre;
        for (float T : {-1e9f, 0.0f, 1.5f, 2.0f, 1e9f})
            for (wx::V3 p : {wx::V3{0, 0, 0}, wx::V3{1500, -300, 2000}, wx::V3{-1e6f, 1e6f, 1e5f}}) {
                wx::V3 v = wx::sampleTornadoWind(wind, T, p);
                ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
            }
    }
    EXPECT_GT(loaded, cases / 10);  // the damage must leave some files sound, or nothing was tried
}

}  // namespace
