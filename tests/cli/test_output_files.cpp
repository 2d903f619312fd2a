// What tweather does with the files it replaces: their permission bits stay, a read-only
// one or a folder is refused before any work, a link planted where the old exporter put
// its temporary file is not followed, and an output that names an input or another output
// of the same command is refused with nothing written.
#include "cli_test.h"

namespace tweather::test {
namespace {

class OutputFiles : public CliTest {};

TEST_F(OutputFiles, KeepTheTargetsModeAndGiveNewFilesOneMode) {
    const std::string kept = put("kept.scene", "old\n");
    ::chmod(kept.c_str(), 0600);
    ASSERT_EQ(run({"scene", "convert", town(), kept}).exitCode, 0);
    EXPECT_EQ(modeOf(kept), 0600u);
    EXPECT_NE(readAll(kept), "old\n");

    for (const char* name : {"new.scene", "new.glb", "new.obj", "new.mtl", "new.png"}) ::unlink(path(name).c_str());
    ASSERT_EQ(run({"scene", "convert", town(), path("new.scene")}).exitCode, 0);
    ASSERT_EQ(run({"scene", "convert", town(), path("new.glb")}).exitCode, 0);
    ASSERT_EQ(run({"scene", "convert", town(), path("new.obj")}).exitCode, 0);
    ASSERT_EQ(run({"png-test", path("new.png"), "--size", "8x8"}).exitCode, 0);
    for (const char* name : {"new.scene", "new.glb", "new.obj", "new.mtl", "new.png"})
        EXPECT_EQ(modeOf(path(name)), 0644u) << name;
}

TEST_F(OutputFiles, RefuseAReadOnlyTargetOrAFolderBeforeAnyWork) {
    const std::string locked = put("locked.glb", "read-only\n");
    ::chmod(locked.c_str(), 0444);
    ChildResult r = run({"scene", "convert", town(), locked});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(locked), "read-only\n");
    EXPECT_EQ(modeOf(locked), 0444u);

    // The .mtl an OBJ export would rewrite counts as much as the OBJ itself.
    const std::string lockedMtl = put("pair.mtl", "read-only\n");
    ::chmod(lockedMtl.c_str(), 0444);
    r = run({"scene", "convert", town(), path("pair.obj")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("pair.mtl"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("pair.obj")));

    std::filesystem::create_directory(path("folder.png"));
    r = run({"png-test", path("folder.png"), "--size", "8x8"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.png")));
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"folder.png", "locked.glb", "pair.mtl"}));
}

TEST_F(OutputFiles, APlantedLinkIsNotFollowed) {
    // The old exporter wrote through "<target>.tmp-export"; a link there once sent the
    // export into any file the user could write.
    const std::string victim = put("victim.txt", "precious\n");
    std::filesystem::create_symlink(victim, path("out.glb.tmp-export"));
    ASSERT_EQ(run({"scene", "convert", town(), path("out.glb")}).exitCode, 0);
    EXPECT_EQ(readAll(victim), "precious\n");
    EXPECT_EQ(readAll(path("out.glb")).substr(0, 4), "glTF");
}

struct Clash {
    const char* name;
    std::vector<std::string> (*args)(const std::string& dir, const std::string& town);
    std::vector<const char*> mentions;  // what the message must name
};

std::string at(const std::string& dir, const char* name) {
    return dir + "/" + name;
}

const Clash kClashes[] = {
    {"snow_stats_is_the_output",
     [](const std::string& d, const std::string& t) {
         return std::vector<std::string>{"snow", t, "-o", at(d, "a.obj"), "--stats", at(d, "a.obj")};
     },
     {"--stats", "-o"}},
    {"snow_output_is_the_input",
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"snow", at(d, "in.obj"), "-o", at(d, "./in.obj")};
     },
     {"-o", "input"}},
    {"snow_output_mtl_is_an_occluder",
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"snow", at(d, "in.obj"),  "-o",          at(d, "in.gltf"),
                                         "-o",   at(d, "occ.obj"), "--occluders", at(d, "occ.mtl")};
     },
     {"occ.mtl", "--occluders"}},
    {"snow_two_outputs_one_file",
     [](const std::string& d, const std::string& t) {
         return std::vector<std::string>{"snow", t, "-o", at(d, "x.glb"), "-o", at(d, "sub/../x.glb")};
     },
     {"sub/../x.glb", "same file"}},
    {"render_depth_is_the_output",
     [](const std::string& d, const std::string& t) {
         return std::vector<std::string>{"render", t, "-o", at(d, "pic.exr"), "--depth", at(d, "pic.exr")};
     },
     {"--depth", "-o"}},
    {"convert_onto_its_input_through_a_link",
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"scene", "convert", at(d, "in.obj"), at(d, "alias.obj")};
     },
     {"OUT", "IN"}},
    {"fall_add_onto_its_scene",
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"fall", "add", at(d, "copy.scene"), "-o", at(d, "copy.scene")};
     },
     {"-o", "scene"}},
    {"script_saves_over_its_script",
     [](const std::string& d, const std::string&) {
         return std::vector<std::string>{"script", at(d, "run.ms"), "--save", at(d, "run.ms")};
     },
     {"--save", "script"}},
};

class OutputClash : public CliTest, public ::testing::WithParamInterface<Clash> {};

TEST_P(OutputClash, RefusedBeforeAnyWorkWithNothingWritten) {
    const Clash& c = GetParam();
    put("in.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    put("occ.mtl", "newmtl m\n");
    put("run.ms", "1 + 1\n");
    std::filesystem::copy_file(town(), path("copy.scene"));
    std::filesystem::create_directory(path("sub"));
    std::filesystem::create_symlink(path("in.obj"), path("alias.obj"));
    const std::vector<std::string> before = namesIn(dir_);
    const std::string inBytes = readAll(path("in.obj")), mtlBytes = readAll(path("occ.mtl"));

    const ChildResult r = run(c.args(dir_.string(), town()));
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    for (const char* word : c.mentions) EXPECT_NE(r.err.find(word), std::string::npos) << word << " in: " << r.err;
    EXPECT_EQ(namesIn(dir_), before);
    EXPECT_EQ(readAll(path("in.obj")), inBytes);
    EXPECT_EQ(readAll(path("occ.mtl")), mtlBytes);
}

INSTANTIATE_TEST_SUITE_P(Commands, OutputClash, ::testing::ValuesIn(kClashes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tweather::test
