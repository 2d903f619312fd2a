// tweather fall render as a user runs it: the exit codes, job-array chunks that render a
// range once between them, --resume keeping whole frames and redoing a cut one, and an
// interrupt mid-sequence that finishes the frame under way, leaves no temporary file and
// says so in the stats. Tiny images and few particles: these run on every CI machine.
#include <signal.h>

#include <chrono>
#include <cstdlib>
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

// The 16-bit samples of a PNG from our writer: one IDAT of stored deflate blocks, so the
// scanlines are read straight out of the blocks. Empty when the file is not of that shape.
std::vector<uint16_t> pngSamples(const std::string& bytes) {
    auto be32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    if (bytes.size() < 57 || bytes.compare(37, 4, "IDAT") != 0) return {};
    const uint32_t width = be32(16), idatBytes = be32(33);
    std::string raw;
    for (size_t at = 41 + 2; at + 5 <= 41 + idatBytes - 4;) {
        const size_t length = uint8_t(bytes[at + 1]) | (size_t(uint8_t(bytes[at + 2])) << 8);
        raw.append(bytes, at + 5, length);
        at += 5 + length;
    }
    std::vector<uint16_t> samples;
    const size_t row = 8 * size_t(width) + 1;
    for (size_t y = 0; y + row <= raw.size(); y += row)
        for (size_t i = y + 1; i + 1 < y + row; i += 2)
            samples.push_back(uint16_t((uint8_t(raw[i]) << 8) | uint8_t(raw[i + 1])));
    return samples;
}

// Samples of two pictures of one size that differ by more than `codes`.
int samplesApart(const std::string& a, const std::string& b, int codes) {
    const std::vector<uint16_t> x = pngSamples(readAll(a)), y = pngSamples(readAll(b));
    if (x.empty() || x.size() != y.size()) return -1;
    int n = 0;
    for (size_t i = 0; i < x.size(); ++i) n += std::abs(int(x[i]) - int(y[i])) > codes;
    return n;
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

// Snow on a roof is in the preview render's depth but not in the scene the splat renderer
// captures, so only the render's depth hides the flakes inside it. --over-render gives the
// picture that rendering over the preview's own picture and depth gives (to a code or two:
// the splats add up in any order), and hides flakes that the picture alone leaves.
TEST_F(FallRender, OverRenderHidesFlakesInsideTheSnowOnARoof) {
    const std::string snowed = path("snowed.scene"), scene = path("snowfall.scene");
    ASSERT_EQ(run({"snow", town(), "--on", "House A", "--on", "Carport", "--shelter", "nothing", "-o",
                   path("snowed.obj"), "--save", snowed})
                  .exitCode,
              0);
    ASSERT_EQ(run({"fall", "add", snowed, "-o", scene, "--set", "count=100000", "--set", "size=6"}).exitCode, 0);
    ASSERT_EQ(
        run({"render", scene, "-o", path("bg.exr"), "--depth", path("depth.exr"), "--time", "5", "--size", "48x32"})
            .exitCode,
        0);
    auto render = [&](std::vector<std::string> extra) {
        std::vector<std::string> all = {"fall", "render", scene, "--frames", "5", "--size", "48x32"};
        all.insert(all.end(), extra.begin(), extra.end());
        return run(all).exitCode;
    };
    ASSERT_EQ(render({"--over-render", "-o", path("over_render.png")}), 0);
    ASSERT_EQ(render({"--over", path("bg.exr"), "--depth", path("depth.exr"), "-o", path("with_depth.png")}), 0);
    ASSERT_EQ(render({"--over", path("bg.exr"), "-o", path("picture_only.png")}), 0);
    EXPECT_EQ(samplesApart(path("over_render.png"), path("with_depth.png"), 2), 0);
    EXPECT_GT(samplesApart(path("picture_only.png"), path("with_depth.png"), 2), 10);
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
