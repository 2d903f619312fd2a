// Every failure ends with a non-zero exit code and one line that names the file or option
// and the reason; sizes and times that cannot work are refused while the options are read,
// before any work; memory running out ends in a message, not an abort.
#include "cli_test.h"

namespace tweather::test {
namespace {

class ExitCodes : public CliTest {};

TEST_F(ExitCodes, APluginThatIsNoModuleFailsEveryCommand) {
    const std::string notModule = put("notes.txt", "not a shared library\n");
    const std::vector<std::vector<std::string>> commands = {
        {"scene", "info", town(), "--plugin", notModule},
        {"scene", "--plugin", notModule, "convert", town(), path("out.scene")},
        {"render", town(), "-o", path("out.png"), "--size", "8x8", "--plugin", notModule},
        {"script", "-e", "1", "--plugin", notModule},
        {"snow", town(), "-o", path("out.glb"), "--plugin", notModule},
        {"fall", "add", town(), "-o", path("fall.scene"), "--plugin", notModule},
    };
    for (const auto& args : commands) {
        const ChildResult r = run(args);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("notes.txt"), std::string::npos) << r.err;
        EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"notes.txt"}) << "nothing written";
    }
}

TEST_F(ExitCodes, SceneInfoTakesTheTimeAfterTheFile) {
    const ChildResult after = run({"scene", "info", town(), "--time", "0.5"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
    const ChildResult before = run({"scene", "--time", "0.5", "info", town()});
    EXPECT_EQ(before.exitCode, 0) << before.err;
    EXPECT_EQ(after.out, before.out);
    EXPECT_FALSE(after.out.empty());
    for (const char* bad : {"inf", "nan", "-1e300"}) {
        const ChildResult r = run({"scene", "info", town(), "--time", bad});
        EXPECT_EQ(r.exitCode, 2) << bad << ": " << r.err;
        EXPECT_NE(r.err.find("--time"), std::string::npos) << r.err;
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
    }
}

TEST_F(ExitCodes, ImpossibleSizesAreRefusedBeforeTheWork) {
    for (const char* size :
         {"32769x16", "16x40000", "99999999999x1", "4294967297x1", "0x8", "-8x8", "8x", "8x8x8", " 8x8", "8X+8"}) {
        SCOPED_TRACE(size);
        ChildResult r = run({"png-test", path("card.png"), "--size", size});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("--size"), std::string::npos) << r.err;
        r = run({"render", town(), "-o", path("pic.png"), "--size", size});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
    }
    EXPECT_TRUE(namesIn(dir_).empty());
    // The largest side is fine as far as the options go.
    EXPECT_EQ(run({"png-test", path("strip.png"), "--size", "32768x1"}).exitCode, 0);
}

TEST_F(ExitCodes, APreviewSizeIsCheckedBeforeTheSnow) {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult r = run({"snow", town(), "-o", path("snow.glb"), "--stats", path("stats.json"), "--preview",
                               path("p.png"), "--preview-size", "40000x10"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("--preview-size"), std::string::npos) << r.err;
    EXPECT_TRUE(namesIn(dir_).empty()) << "the snow job ran";
    // Refused while reading the options: far quicker than snowing the town.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ExitCodes, RunningOutOfMemoryEndsInOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#else
    // 32768 x 32768 float RGBA pixels need 16 GiB; the child may have 3.
    const ChildLimits limits{RLIM_INFINITY, rlim_t(3) << 30};
    ChildResult r = run({"png-test", path("huge.png"), "--size", "32768x32768"}, limits);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("memory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("32768x32768"), std::string::npos) << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << r.err;

    // The renderer's largest picture, 8192 x 8192, needs 1.3 GiB of image; the child has 1.
    r = run({"render", town(), "-o", path("huge.exr"), "--size", "8192x8192"}, {RLIM_INFINITY, rlim_t(1) << 30});
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("memory"), std::string::npos) << r.err;
    EXPECT_TRUE(namesIn(dir_).empty());
#endif
}

TEST_F(ExitCodes, ScriptStringsHaveALimit) {
    // Each line doubles the string: 16 characters become 2^28 by the end, past the limit.
    std::string script = "s = \"0123456789abcdef\"\n";
    for (int i = 0; i < 24; ++i) script += "s = s + s\n";
    script += "s.count\n";
    const ChildResult r = run({"script", put("double.ms", script)});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("String too long"), std::string::npos) << r.err;
    EXPECT_EQ(r.signal, 0);
}

}  // namespace
}  // namespace tweather::test
