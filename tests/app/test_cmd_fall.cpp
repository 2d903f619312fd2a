// The fall particles command through the host and the weather plug-in: what it writes
// against the particle field computed here, the counts and paths it picks, the PLY layout,
// and how it refuses bad input without leaving a file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "app/cmd_fall.h"
#include "app/particle_files.h"
#include "app/weather_module.h"
#include "fall/fall_field.h"
#include "fall/fall_params.h"
#include "file_test.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_block2.h"
#include "max/units.h"

using namespace tweather;

namespace {

struct FallSpec {
    FallSpec(const wchar_t* n, int c, float vp = 20.0f, std::string file = {})
        : name(n), count(c), vpPercent(vp), tornadoFile(std::move(file)) {}
    const wchar_t* name;
    int count;
    float vpPercent;
    std::string tornadoFile;  // empty: no tornado
};

struct Row {
    uint64_t index;
    float v[9];  // x y z vx vy vz size fade age
};

float valueOf(const wx::FallParticle& s, int k) {
    const float all[9] = {s.pos.x, s.pos.y, s.pos.z, s.vel.x, s.vel.y, s.vel.z, s.size, s.fade, s.age};
    return all[k];
}

class FallCommandTest : public FileTest {
protected:
    // A scene file with the falls (each moved off the origin and turned) and, if asked, a
    // plain mesh; saved through the host with the weather plug-in loaded.
    std::string makeScene(const std::string& name, const std::vector<FallSpec>& falls, bool mesh = false) {
        std::string warning, error;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        EXPECT_EQ(GetFrameRate(), 30) << "the frame times below assume 30 frames per second";
        ClassDesc* desc = host::classRegistry().findByName(L"WeatherFall");
        EXPECT_NE(desc, nullptr) << warning;
        for (size_t k = 0; desc && k < falls.size(); ++k) {
            auto* obj = static_cast<Object*>(desc->Create(FALSE));
            IParamBlock2* pb = obj->GetParamBlock(0);
            pb->SetValue(wx::kFallCount, 0, falls[k].count);
            pb->SetValue(wx::kFallVpPercent, 0, falls[k].vpPercent);
            pb->SetValue(wx::kFallWindSpeed, 0, 40.0f);
            if (!falls[k].tornadoFile.empty())
                pb->SetValue(wx::kFallTornadoFile, 0, host::fromUtf8(falls[k].tornadoFile).c_str());
            INode* node = GetCOREInterface()->CreateObjectNode(obj);
            node->SetName(falls[k].name);
            Matrix3 tm = RotateZMatrix(0.5f + float(k));
            tm.SetTrans(Point3(120.0f, -35.0f, 18.0f + 10.0f * float(k)));
            node->SetNodeTM(0, tm);
        }
        if (mesh) GetCOREInterface()->CreateObjectNode(CreateNewTriObject())->SetName(L"box");
        const std::string file = path(name);
        EXPECT_TRUE(host::saveScene(file, error)) << error;
        host::shutDown();
        return file;
    }

    // The particles of the named fall at t, from the field itself: the object's defaults with
    // the scene's counts, under the node's matrix as the host reads it back.
    std::vector<wx::FallParticle> expected(const std::string& scene, const FallSpec& spec, TimeValue t,
                                           wx::FallCountMode mode) {
        std::string warning, error;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        EXPECT_TRUE(host::loadScene(scene, error)) << error;
        wx::FallMatrix m;
        if (INode* node = host::currentScene().findByName(spec.name)) {
            const Matrix3 tm = node->GetObjectTM(t);
            auto v3 = [](const Point3& p) { return wx::V3{p.x, p.y, p.z}; };
            m = {v3(tm.GetRow(0)), v3(tm.GetRow(1)), v3(tm.GetRow(2)), v3(tm.GetRow(3))};
        } else {
            ADD_FAILURE() << "no node in " << scene;
        }
        host::shutDown();
        wx::FallInputs in;
        in.count = spec.count;
        in.vpPercent = spec.vpPercent;
        in.windSpeed = 40.0f;
        const wx::FallParams p = wx::makeFallParams(in, mode);
        std::vector<wx::FallParticle> out;
        for (int64_t i = 0; i < p.count; ++i) out.push_back(wx::fallWorld(p, uint64_t(i), float(t) / 4800.0f, m));
        return out;
    }

    FallParticlesCommand command(const std::string& scene, const std::string& out, const std::string& frame) const {
        FallParticlesCommand c;
        c.scene = scene;
        c.output = path(out);
        c.frame = frame;
        return c;
    }

    static int runQuietly(const FallParticlesCommand& c, std::string* printed = nullptr) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = runFallParticles(c);
        const std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        if (printed) *printed = out;
        return rc;
    }

    static std::vector<Row> readCsv(const std::string& text, std::string& header) {
        std::istringstream in(text);
        std::getline(in, header);
        std::vector<Row> rows;
        for (std::string line; std::getline(in, line);) {
            Row r{};
            const char* at = line.c_str();
            char* end = nullptr;
            r.index = std::strtoull(at, &end, 10);
            for (float& v : r.v) {
                EXPECT_EQ(*end, ',') << line;
                v = std::strtof(end + 1, &end);
            }
            EXPECT_EQ(*end, '\0') << line;
            rows.push_back(r);
        }
        return rows;
    }

    // Every file the folder holds (the scene files and whatever a command left).
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Frame 12.5 at 30 fps is tick 2000; -7.3 is tick -1168; 0.01 rounds to tick 2.
TEST_F(FallCommandTest, CsvHoldsTheFieldAtTheFrameRoundedToATick) {
    const FallSpec spec{L"Snowfall", 50};
    const std::string scene = makeScene("one.scene", {spec});
    for (auto [frame, ticks] : {std::pair{"12.5", 2000}, {"-7.3", -1168}, {"0.01", 2}}) {
        SCOPED_TRACE(frame);
        FallParticlesCommand c = command(scene, "exact.csv", frame);
        c.exact = true;
        std::string printed;
        ASSERT_EQ(runQuietly(c, &printed), 0);
        char line[256];
        std::snprintf(line, sizeof line, "wrote %s: 50 particles of \"Snowfall\" at frame %g (%g s)\n",
                      c.output.c_str(), std::strtod(frame, nullptr), ticks / 4800.0);
        EXPECT_EQ(printed, line) << "no tornado, so no tornado line";
        std::string header;
        const std::vector<Row> rows = readCsv(read(c.output), header);
        EXPECT_EQ(header, "index,x,y,z,vx,vy,vz,size,fade,age");
        const auto want = expected(scene, spec, ticks, wx::FallCountMode::Render);
        ASSERT_EQ(rows.size(), want.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].index, i);
            for (int k = 0; k < 9; ++k)
                EXPECT_EQ(rows[i].v[k], valueOf(want[i], k))
                    << "particle " << i << " value " << k << ": nine digits bring a float back exactly";
        }
    }
}

TEST_F(FallCommandTest, FastPathAgreesWithTheReferenceAndViewportTakesItsShare) {
    const FallSpec spec{L"Rain", 50, 25.0f};
    const std::string scene = makeScene("rain.scene", {spec});
    FallParticlesCommand exact = command(scene, "exact.csv", "40");
    exact.exact = true;
    ASSERT_EQ(runQuietly(exact), 0);
    FallParticlesCommand fast = command(scene, "fast.csv", "40");
    ASSERT_EQ(runQuietly(fast), 0);
    std::string header;
    const std::vector<Row> a = readCsv(read(exact.output), header), b = readCsv(read(fast.output), header);
    ASSERT_EQ(a.size(), 50u);
    ASSERT_EQ(b.size(), 50u);
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 9; ++k) EXPECT_NEAR(a[i].v[k], b[i].v[k], 2e-3) << "particle " << i << " value " << k;

    // round(25% of 50) = 12.5, half away from zero: 13, the first 13 of the render set.
    FallParticlesCommand vp = command(scene, "vp.csv", "40");
    vp.viewport = vp.exact = true;
    std::string printed;
    ASSERT_EQ(runQuietly(vp, &printed), 0);
    EXPECT_NE(printed.find(": 13 particles of \"Rain\""), std::string::npos) << printed;
    const std::vector<Row> v = readCsv(read(vp.output), header);
    ASSERT_EQ(v.size(), 13u);
    for (size_t i = 0; i < v.size(); ++i)
        for (int k = 0; k < 9; ++k) EXPECT_EQ(v[i].v[k], a[i].v[k]);
}

TEST_F(FallCommandTest, PlyIsItsHeaderThenNineLittleEndianFloatsAParticle) {
    const FallSpec spec{L"Sand", 50};
    const std::string scene = makeScene("sand.scene", {spec});
    FallParticlesCommand c = command(scene, "out.ply", "3");
    c.exact = true;
    ASSERT_EQ(runQuietly(c), 0);
    const std::string bytes = read(c.output);
    const std::string header =
        "ply\nformat binary_little_endian 1.0\nelement vertex 50\n"
        "property float x\nproperty float y\nproperty float z\n"
        "property float vx\nproperty float vy\nproperty float vz\n"
        "property float size\nproperty float fade\nproperty float age\nend_header\n";
    ASSERT_EQ(bytes.substr(0, header.size()), header);
    ASSERT_EQ(bytes.size(), header.size() + 50u * 36u);
    const auto want = expected(scene, spec, 3 * 160, wx::FallCountMode::Render);
    for (size_t i = 0; i < 50; ++i)
        for (int k = 0; k < 9; ++k) {
            const unsigned char* at =
                reinterpret_cast<const unsigned char*>(bytes.data()) + header.size() + 36 * i + 4 * k;
            const uint32_t bits =
                uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
            float v;
            std::memcpy(&v, &bits, 4);
            EXPECT_EQ(v, valueOf(want[i], k)) << "particle " << i << " value " << k;
        }
}

TEST_F(FallCommandTest, SeveralFallsNeedNodeAndTheNamedOneIsWritten) {
    const std::string scene = makeScene("two.scene", {{L"North", 20, 20.0f, path("north.ttw")}, {L"South", 30}}, true);
    FallParticlesCommand c = command(scene, "out.csv", "1");
    EXPECT_EQ(runQuietly(c), 2) << "several falls and no --node";
    c.node = "North";
    std::string printed;
    ASSERT_EQ(runQuietly(c, &printed), 0);
    EXPECT_NE(printed.find(": 20 particles of \"North\""), std::string::npos) << printed;
    EXPECT_NE(printed.find("\ntornado: no file yet " + path("north.ttw") + "\n"), std::string::npos)
        << "a fall with a tornado set says how its wind stands: " << printed;
    c.node = "South";
    ASSERT_EQ(runQuietly(c, &printed), 0);
    EXPECT_NE(printed.find(": 30 particles of \"South\""), std::string::npos) << printed;
    for (const char* bad : {"West", "box"}) {
        c.node = bad;
        EXPECT_EQ(runQuietly(c), 2) << bad << ": names no fall";
    }
}

TEST_F(FallCommandTest, BadInputFailsWithItsCodeAndLeavesNoFile) {
    const std::string scene = makeScene("one.scene", {{L"Snowfall", 50}});
    const std::string empty = makeScene("empty.scene", {}, true);
    const std::vector<std::string> before = files();
    struct Case {
        const char* what;
        FallParticlesCommand c;
        int rc;
    };
    std::vector<Case> cases = {
        {"missing scene", command(path("nowhere.scene"), "out.csv", "1"), 1},
        {"scene with no fall", command(empty, "out.csv", "1"), 1},
        {"missing folder", command(scene, "no/such/out.csv", "1"), 1},
        {"wrong extension", command(scene, "out.txt", "1"), 2},
        {"frame not a number", command(scene, "out.csv", "ten"), 2},
        {"frame not finite", command(scene, "out.csv", "nan"), 2},
        {"frame past the ticks", command(scene, "out.csv", "1e9"), 2},
        {"node names nothing", command(scene, "out.ply", "1"), 2},
    };
    cases.back().c.node = "Nothing";
    for (const Case& k : cases) {
        EXPECT_EQ(runQuietly(k.c), k.rc) << k.what;
        EXPECT_EQ(files(), before) << k.what << ": nothing is left behind";
    }
}

}  // namespace
