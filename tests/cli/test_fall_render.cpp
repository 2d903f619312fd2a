// tweather fall render as a user runs it: the exit codes, job-array chunks that render a
// range once between them, --resume keeping whole frames and redoing a cut one, and an
// interrupt mid-sequence that finishes the frame under way, leaves no temporary file and
// says so in the stats. Tiny images and few particles: these run on every CI machine.
#include <signal.h>

#include <chrono>
#include <set>
#include <thread>

#include "cli_test.h"

namespace tweather::test {
namespace {

// Bytes of a whole 16-bit RGBA PNG of stored blocks: signature 8, IHDR 25, IDAT framing
// 12 + zlib header 2 + Adler 4, IEND 12, and 5 bytes per stored block of at most 65535.
uint64_t wholePngBytes(int width, int height) {
    const uint64_t raw = uint64_t(height) * (8 * uint64_t(width) + 1);
    return 63 + raw + 5 * ((raw + 65534) / 65535);
}

bool isWholePng(const std::string& path, int width, int height) {
    std::error_code ec;
    return std::filesystem::file_size(path, ec) == wholePngBytes(width, height) && !ec;
}

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class FallRender : public CliTest {
protected:
    static void SetUpTestSuite() {
        CliTest::SetUpTestSuite();
        const ChildResult r =
            runTweather({"fall", "add", town(), "-o", fall(), "--set", "count=400"}, (shared_ / "add").string());
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    static std::string fall() { return (shared_ / "fall.scene").string(); }
    // Renders of the shared fall, 8x6 pixels unless the arguments say otherwise.
    ChildResult render(std::vector<std::string> args, bool sized = true) const {
        args.insert(args.begin(), {"fall", "render", fall()});
        if (sized) args.insert(args.end(), {"--size", "8x6"});
        return run(args);
    }
};

// Each refusal: exit 2 with one line saying what is wrong, and nothing written.
TEST_F(FallRender, BadUsageExitsTwoBeforeAnythingIsWritten) {
    // A picture to render over, and a scene with two falls.
    ASSERT_EQ(render({"-o", path("bg.png")}).exitCode, 0);
    ASSERT_EQ(run({"fall", "add", fall(), "-o", path("two.scene")}).exitCode, 0);
    const std::string two = path("two.scene");
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::string bg = path("bg.png"), out = path("out_##.png");
    const Case cases[] = {
        {{"--frames", "5-3", "-o", out}, "--frames"},
        {{"--frames", "4-", "-o", out}, "--frames"},
        {{"--frames", "1-3", "-o", path("one.png")}, "'#'"},
        {{"--chunk", "0/3", "-o", out}, "--chunk"},
        {{"--chunk", "4/3", "-o", out}, "--chunk"},
        {{"--chunk", "2", "-o", out}, "--chunk"},
        {{"-o", bg, "--over", bg}, "--over"},
        {{"-o", path("d.exr"), "--depth", path("d.exr")}, "--depth"},
        {{"-o", out, "--over", bg, "--over-render"}, "--over-render"},
        {{"-o", out, "--depth", path("d.exr"), "--over-render"}, "--over-render"},
        {{"-o", out, "--over", bg, "--size", "9x6"}, "unlike"},
        {{"-o", out, "--node", "Nowhere"}, "Nowhere"},
        {{"-o", out, "--camera", "Nowhere"}, "Nowhere"},
        {{"-o", path("out.tif")}, ".png"},
        {{"-o", out, "--backend", "tpu"}, "backend"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (std::find(args.begin(), args.end(), "--size") == args.end()) args.insert(args.end(), {"--size", "8x6"});
        args.insert(args.begin(), {"fall", "render", fall()});
        const ChildResult r = run(args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos);
    }
    // Two falls and no --node: the choice is left open.
    const ChildResult ambiguous = run({"fall", "render", two, "-o", out});
    EXPECT_EQ(ambiguous.exitCode, 2) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("--node"), std::string::npos) << ambiguous.err;
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"bg.png", "two.scene"}));
}

TEST_F(FallRender, NoCameraIsBadUsageInTheFallsOwnWords) {
    put("plane.obj", "v -100 -100 0\nv 100 -100 0\nv 100 100 0\nv -100 100 0\nf 1 2 3 4\n");
    ASSERT_EQ(run({"fall", "add", path("plane.obj"), "-o", path("plane.scene")}).exitCode, 0);
    const ChildResult r = run({"fall", "render", path("plane.scene"), "-o", path("x.png"), "--size", "8x6"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("needs a camera: render from a camera view, or pass a camera node"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("x.png")));
}

// A background that cannot be read stops the sequence there: the frames before it stay
// written and counted, the exit code says a file failed, and the stats say which.
TEST_F(FallRender, AnUnreadableBackgroundStopsTheSequenceWithItsCount) {
    for (const char* frame : {"0", "1"}) {
        const std::string name = std::string("bg_") + frame + ".png";
        ASSERT_EQ(render({"--frames", frame, "-o", path(name)}).exitCode, 0);
    }
    const ChildResult r = render(
        {"--frames", "0-3", "--over", path("bg_#.png"), "-o", path("w_#.png"), "--stats", path("stats.json")}, false);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bg_2.png"), std::string::npos) << r.err;
    EXPECT_TRUE(isWholePng(path("w_0.png"), 8, 6));
    EXPECT_TRUE(isWholePng(path("w_1.png"), 8, 6));
    EXPECT_FALSE(std::filesystem::exists(path("w_2.png")));
    EXPECT_FALSE(std::filesystem::exists(path("w_3.png")));
    const std::string stats = readAll(path("stats.json"));
    EXPECT_NE(stats.find("\"written\": 2"), std::string::npos) << stats;
    EXPECT_NE(stats.find("\"failed\": 1"), std::string::npos) << stats;
    EXPECT_EQ(countOf(stats, "\"result\": \"written\""), 2) << stats;
}

// Chunks 1..N of one range, run as separate jobs, write every frame exactly once.
TEST_F(FallRender, ChunksOneToNRenderTheRangeOnce) {
    constexpr int kChunks = 3;
    std::multiset<std::string> printed;
    for (int i = 1; i <= kChunks; ++i) {
        const ChildResult r = render({"--frames", "-1-5", "--chunk", std::to_string(i) + "/" + std::to_string(kChunks),
                                      "-o", path("c_###.png")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (line.find(".png: ") != std::string::npos) printed.insert(line.substr(0, line.find(": ")));
    }
    const std::vector<std::string> expected = {"c_-01.png", "c_000.png", "c_001.png", "c_002.png",
                                               "c_003.png", "c_004.png", "c_005.png"};
    EXPECT_EQ(namesIn(dir_), expected);
    EXPECT_EQ(printed.size(), expected.size());
    for (const std::string& name : expected) EXPECT_EQ(printed.count(path(name)), 1u) << name;
    // More chunks than frames: an empty chunk is no error.
    const ChildResult empty = render({"--frames", "2-3", "--chunk", "1/5", "-o", path("e_#.png")});
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_NE(empty.out.find("no frames"), std::string::npos) << empty.out;
}

TEST_F(FallRender, ResumeSkipsWholeFramesAndRedoesACutOne) {
    ASSERT_EQ(render({"--frames", "0-2", "-o", path("r_#.png")}).exitCode, 0);
    const std::string whole = readAll(path("r_1.png"));
    std::filesystem::resize_file(path("r_1.png"), whole.size() - 7);
    // A frame of another size is not the one asked for either.
    ASSERT_EQ(render({"--frames", "2", "-o", path("r_#.png"), "--size", "6x8"}, false).exitCode, 0);
    const auto before = std::filesystem::last_write_time(path("r_0.png"));

    const ChildResult r = render({"--frames", "0-2", "-o", path("r_#.png"), "--resume"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(path("r_0.png") + ": complete, skipped"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(path("r_1.png") + ": complete, skipped"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(path("r_2.png") + ": complete, skipped"), std::string::npos) << r.out;
    EXPECT_EQ(readAll(path("r_1.png")), whole);
    EXPECT_TRUE(isWholePng(path("r_2.png"), 8, 6));
    EXPECT_EQ(std::filesystem::last_write_time(path("r_0.png")), before);
}

class FallRenderInterrupt : public FallRender {
protected:
    // A sequence slow enough to interrupt part way: each frame takes a good part of a second.
    pid_t startSequence() const {
        return startTweather({"fall", "render", fall(), "--frames", "1-60", "--size", "320x240", "--set",
                              "count=200000", "-o", path("f_##.png"), "--stats", path("stats.json")},
                             log());
    }
    // Waits until the first frame is on the disk.
    bool waitForFirstFrame() const {
        for (int i = 0; i < 600; ++i) {
            if (std::filesystem::exists(path("f_01.png"))) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> odd;
        for (const std::string& name : namesIn(dir_))
            if (name.find(".tmp") != std::string::npos) odd.push_back(name);
        return odd;
    }
};

TEST_F(FallRenderInterrupt, SigintFinishesTheFrameUnderWayAndExits130) {
    const pid_t pid = startSequence();
    ASSERT_TRUE(waitForFirstFrame());
    ::kill(pid, SIGINT);
    const ChildResult r = waitTweather(pid, log());
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_TRUE(leftovers().empty());
    int frames = 0;
    for (const std::string& name : namesIn(dir_)) {
        if (name.rfind("f_", 0) != 0) continue;
        ++frames;
        EXPECT_TRUE(isWholePng(path(name), 320, 240)) << name;
    }
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 60);
    EXPECT_EQ(countOf(r.out, ".png: "), frames) << r.out;
    const std::string stats = readAll(path("stats.json"));
    EXPECT_NE(stats.find("\"interrupted\": true"), std::string::npos) << stats;
    EXPECT_NE(stats.find("\"written\": " + std::to_string(frames)), std::string::npos) << stats;
}

TEST_F(FallRenderInterrupt, ASecondInterruptEndsAtOnceWithoutTemporaryFiles) {
    const pid_t pid = startSequence();
    ASSERT_TRUE(waitForFirstFrame());
    interruptTwice(pid, SIGTERM, log());
    const ChildResult r = waitTweather(pid, log());
    EXPECT_EQ(r.signal, SIGTERM) << r.err;
    EXPECT_TRUE(leftovers().empty());
    for (const std::string& name : namesIn(dir_)) {
        if (name.rfind("f_", 0) != 0) continue;
        EXPECT_TRUE(isWholePng(path(name), 320, 240)) << name;
    }
}

}  // namespace
}  // namespace tweather::test
