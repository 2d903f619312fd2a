// The storm helper's wind file, read back byte by byte as an independent reader would: the
// header from the scene's range, frame rate and units; each record from the node's animated
// position and the storm's parameters; the words a reader skips written as 0; a failed
// write leaving the old file; the script function's answers and refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/storm_helper.h"
#include "host/text.h"
#include "host/wind_export.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

float floatAt(const std::string& bytes, size_t offset) {
    uint32_t bits = 0;
    for (int k = 3; k >= 0; --k) bits = bits << 8 | uint8_t(bytes[offset + size_t(k)]);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

int32_t intAt(const std::string& bytes, size_t offset) {
    uint32_t bits = 0;
    for (int k = 3; k >= 0; --k) bits = bits << 8 | uint8_t(bytes[offset + size_t(k)]);
    return int32_t(bits);
}

struct WindExportTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    fs::path dir;
    INode* storm = nullptr;

    void SetUp() override {
        host::resetScene();
        host::resetScriptEngine();
        SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
        SetFrameRate(25);
        ip->SetAnimRange(Interval(-2 * GetTicksPerFrame(), 10 * GetTicksPerFrame()));
        dir = fs::temp_directory_path() / ("wx_wind_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        storm = ip->CreateObjectNode(host::createStormHelper());
        // 10 m east per second at 25 fps: 40 cm a frame, from (1000, 2000, 300) cm.
        AnimateOn();
        storm->SetPosition(0, Point3(1000, 2000, 300));
        storm->SetPosition(25 * GetTicksPerFrame(), Point3(2000, 2000, 300));
        AnimateOff();
    }
    void TearDown() override {
        fs::remove_all(dir);
        host::resetScriptEngine();
        SetFrameRate(30);
        host::resetScene();
    }
};

TEST_F(WindExportTest, FileHoldsTheRangeAndTheStormFrameByFrame) {
    IParamBlock2* pb = storm->GetObjectRef()->GetParamBlock(0);
    pb->SetValue(host::kStormSpin, 0, -1);
    pb->SetValue(host::kStormSatellites, 0, 5);
    pb->SetValue(host::kStormParentRadius, 0, 750.0f);
    pb->SetValue(host::kStormPeakSpeed, 0, 42.5f);
    const fs::path file = dir / "storm.ttw";
    std::string error;
    ASSERT_EQ(host::exportStormWind(storm, file.string(), error), 13) << error;

    const std::string bytes = readAll(file);
    const size_t eol = bytes.find('\n');
    ASSERT_NE(eol, std::string::npos);
    EXPECT_EQ(bytes.substr(0, eol), "TTWIND 1 13 -2 25 100 140");
    ASSERT_EQ(bytes.size(), eol + 1 + 13 * 140);

    // Frame 5 is record 7 (the range starts at -2); linear keys give the middle of the move.
    const size_t r = eol + 1 + 7 * 140;
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 0), 10.0f + 10.0f * 5 / 25);  // centre, m
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 4), 20.0f);
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 8), 3.0f);       // ground height, m
    EXPECT_NEAR(floatAt(bytes, r + 12), 10.0f, 1e-3f);  // drift, m/s
    EXPECT_NEAR(floatAt(bytes, r + 16), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 20), 600.0f);  // cloud base default
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 44), 42.5f);
    EXPECT_EQ(intAt(bytes, r + 64), -1);
    EXPECT_EQ(intAt(bytes, r + 88), 5);
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 128), 750.0f);
    EXPECT_FLOAT_EQ(floatAt(bytes, r + 132), 5.0f / 25.0f);  // the frame's time, s
    for (size_t unread : {104u, 108u, 112u, 116u, 120u, 136u}) EXPECT_EQ(intAt(bytes, r + unread), 0) << unread;
}

TEST_F(WindExportTest, FailuresLeaveTheOldFileAndSaySo) {
    const fs::path file = dir / "storm.ttw";
    std::ofstream(file) << "old";
    std::string error;
    INode* box = ip->CreateObjectNode(host::createBox(1, 1, 1));
    EXPECT_EQ(host::exportStormWind(box, file.string(), error), -1);
    EXPECT_EQ(error, "that node holds no storm");
    EXPECT_EQ(host::exportStormWind(storm, (dir / "missing" / "x.ttw").string(), error), -1);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    ip->SetAnimRange(Interval(0, (host::kMaxWindFrames + 1) * GetTicksPerFrame()));
    EXPECT_EQ(host::exportStormWind(storm, file.string(), error), -1);
    EXPECT_NE(error.find("1000002 frames"), std::string::npos) << error;
    EXPECT_EQ(readAll(file), "old");
    for (const auto& e : fs::directory_iterator(dir)) EXPECT_EQ(e.path(), file) << "no temporary file left";
}

TEST_F(WindExportTest, ScriptFunctionExportsAndRefusesAnythingElse) {
    host::script::Interpreter& in = host::scriptEngine();
    const std::wstring node = L"(maxOps.getNodeByHandle " + std::to_wstring(storm->GetHandle()) + L")";
    const std::wstring path = (dir / "w.ttw").wstring();
    const host::script::Value answer = in.run(L"tornadoCommand " + node + L" \"exportwind\" \"" + path + L"\"");
    EXPECT_EQ(answer.s, L"exported 13 frames to " + path);
    EXPECT_TRUE(fs::exists(dir / "w.ttw"));

    INode* box = ip->CreateObjectNode(host::createBox(1, 1, 1));
    const std::wstring notStorm = L"(maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) + L")";
    for (const std::wstring& call :
         {L"tornadoCommand " + node + L" \"spin\" \"" + path + L"\"",
          L"tornadoCommand " + notStorm + L" \"exportwind\" \"" + path + L"\"",
          L"tornadoCommand 7 \"exportwind\" \"" + path + L"\"", L"tornadoCommand " + node + L" \"exportwind\"",
          L"tornadoCommand " + node + L" \"exportwind\" \"\""})
        EXPECT_THROW(in.run(call), host::script::ScriptError) << host::toUtf8(call);
}

}  // namespace
