// Wind files and frames for the tornado tests: a calm frame (no wind anywhere) that each
// test stirs one term of, byte-level file writers, and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fall/tornado_frame.h"

namespace tornadotest {

// No wind anywhere: every strength is 0, and the divisors (core radius, profile exponents,
// cloud base) are sound so that the terms a test switches on are the only ones.
inline wx::TornadoFrame calmFrame() {
    wx::TornadoFrame f{};
    f.cloudBase = 1000.0f;
    f.leanPower = 1.0f;
    f.coreRadius = 10.0f;
    f.profileInner = 1.0f;
    f.profileOuter = 1.0f;
    f.spin = 1;
    f.inflowDepth = 100.0f;
    f.updraftWidth = 2.0f;
    f.satelliteCore = 1.0f;
    f.satelliteOrbit = 2.0f;
    return f;
}

// Four bytes of v, least significant first, whatever the machine's order.
inline void putLE(std::string& bytes, std::size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xffu);
}
inline void putFloatLE(std::string& bytes, std::size_t offset, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putLE(bytes, offset, v);
}

// The record as the tornado plug-in writes it: the struct's fields laid out by hand.
inline std::string frameBytes(const wx::TornadoFrame& f) {
    std::string b(140, '\0');
    const float floats[] = {f.centreX,    f.centreY,    f.groundZ,      f.driftX,      f.driftY,     f.cloudBase,
                            f.leanX,      f.leanY,      f.leanPower,    f.wobble,      f.wobbleFreq, f.peakSpeed,
                            f.coreRadius, f.coreGrowth, f.profileInner, f.profileOuter};
    for (int i = 0; i < 16; ++i) putFloatLE(b, 4 * i, floats[i]);
    putLE(b, 64, static_cast<uint32_t>(f.spin));
    const float mid[] = {f.inflow, f.inflowDepth, f.updraft, f.updraftWidth, f.downdraft};
    for (int i = 0; i < 5; ++i) putFloatLE(b, 68 + 4 * i, mid[i]);
    putLE(b, 88, static_cast<uint32_t>(f.satellites));
    putFloatLE(b, 92, f.satelliteSpeed);
    putFloatLE(b, 96, f.satelliteCore);
    putFloatLE(b, 100, f.satelliteOrbit);
    putFloatLE(b, 124, f.parentSpeed);
    putFloatLE(b, 128, f.parentRadius);
    putFloatLE(b, 132, f.time);
    return b;
}

inline std::string windFileBytes(const std::string& headerLine, const std::vector<wx::TornadoFrame>& frames) {
    std::string bytes = headerLine + "\n";
    for (const wx::TornadoFrame& f : frames) bytes += frameBytes(f);
    return bytes;
}

// n calm frames, frame i at time i / 24 s with its funnel i metres along X.
inline std::vector<wx::TornadoFrame> calmFrames(int n) {
    std::vector<wx::TornadoFrame> frames(n, calmFrame());
    for (int i = 0; i < n; ++i) {
        frames[i].time = static_cast<float>(i) / 24.0f;
        frames[i].centreX = static_cast<float>(i);
    }
    return frames;
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with the test.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "wx_tornado_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                           std::to_string(::getpid());
        for (char& c : name)
            if (c == '/') c = '_';
        dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::filesystem::path dir;
};

}  // namespace tornadotest
