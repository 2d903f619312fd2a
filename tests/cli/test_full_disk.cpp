// A disk that fills during a write, for every kind of file tweather writes: the command
// fails with a message that says so, and the file it was replacing is as it was, with no
// temporary file left beside it. A file size limit in the child stands in for the disk.
#include "cli_test.h"

namespace tweather::test {
namespace {

struct FullDiskCase {
    const char* name;
    std::vector<std::string> outputs;  // written by the command; the first is the one that fills
    std::vector<std::string> (*args)(const std::string& dir, const std::string& town);
    rlim_t limitBytes;  // below the size of the first output
};

std::string in(const std::string& dir, const char* name) {
    return dir + "/" + name;
}

const FullDiskCase kCases[] = {
    {"png",
     {"out.png"},
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"png-test", in(d, "out.png"), "--size", "256x256"};
     },
     64 << 10},
    {"exr",
     {"out.exr"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"render", town, "-o", in(d, "out.exr"), "--size", "96x64"};
     },
     2 << 10},
    {"glb",
     {"out.glb"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"scene", "convert", town, in(d, "out.glb")};
     },
     4 << 10},
    {"gltf",
     {"out.gltf"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"scene", "convert", town, in(d, "out.gltf")};
     },
     4 << 10},
    {"obj_and_mtl",
     {"out.obj", "out.mtl"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"scene", "convert", town, in(d, "out.obj")};
     },
     4 << 10},
    {"scene",
     {"out.scene"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"scene", "convert", town, in(d, "out.scene")};
     },
     4 << 10},
    // The stats file would fit under the limit, but after a failed output neither it nor
    // the saved scene may appear.
    {"snow_glb",
     {"out.glb"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{
             "snow", town, "-o", in(d, "out.glb"), "--stats", in(d, "stats.json"), "--save", in(d, "saved.scene")};
     },
     8 << 10},
    {"fall_scene",
     {"out.scene"},
     [](const std::string& d, const std::string& town) {
         return std::vector<std::string>{"fall", "add", town, "-o", in(d, "out.scene"), "--set", "count=100"};
     },
     4 << 10},
};

class FullDisk : public CliTest, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDisk, FailsSayingSoAndLeavesTheOldFile) {
    const FullDiskCase& c = GetParam();
    for (const std::string& name : c.outputs) put(name, "the old " + name + " that must survive\n");
    const std::vector<std::string> before = namesIn(dir_);

    const ChildResult r = run(c.args(dir_.string(), town()), {c.limitBytes, RLIM_INFINITY});

    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("full"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.outputs.front()), std::string::npos) << "the message names the file: " << r.err;
    EXPECT_EQ(r.out.find("wrote"), std::string::npos) << "no success claimed: " << r.out;
    for (const std::string& name : c.outputs)
        EXPECT_EQ(readAll(path(name)), "the old " + name + " that must survive\n") << name;
    EXPECT_EQ(namesIn(dir_), before) << "nothing new beside the targets";
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FullDisk, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The particle files of a fall (CSV text and binary PLY) and the run-off files.
class FullDiskFall : public CliTest {
protected:
    std::string fallScene() {
        const std::string scene = (shared_ / "fall.scene").string();
        if (!std::filesystem::exists(scene)) {
            const ChildResult r = runTweather({"fall", "add", town(), "-o", scene, "--set", "count=20000"},
                                              (shared_ / "fall_add").string());
            EXPECT_EQ(r.exitCode, 0) << r.err;
        }
        return scene;
    }
    void expectFullAndOld(const std::vector<std::string>& args, const std::string& name) {
        put(name, "old\n");
        const ChildResult r = run(args, {4 << 10, RLIM_INFINITY});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("full"), std::string::npos) << r.err;
        EXPECT_EQ(readAll(path(name)), "old\n");
        EXPECT_EQ(namesIn(dir_), std::vector<std::string>{name});
        std::filesystem::remove(path(name));
    }
};

TEST_F(FullDiskFall, ParticleAndRunoffFiles) {
    const std::string scene = fallScene();
    expectFullAndOld({"fall", "particles", scene, "--frame", "0", "-o", path("p.ply")}, "p.ply");
    expectFullAndOld({"fall", "particles", scene, "--frame", "0", "-o", path("p.csv")}, "p.csv");
    expectFullAndOld({"fall", "mesh", scene, "--frame", "0", "-o", path("m.obj")}, "m.obj");
}

}  // namespace
}  // namespace tweather::test
