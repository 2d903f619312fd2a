// tweather killed while it writes a large file: whatever the moment, the target holds
// either its old bytes or the whole new file, never a part. After SIGTERM, SIGINT or
// SIGHUP no temporary file is left; after SIGKILL (which no program can catch) at most one
// whose name says it is a temporary of that process. A command that runs the host takes a
// first SIGINT or SIGTERM as the Escape key, so it gets a second one, which ends it.
#include <signal.h>

#include <chrono>
#include <thread>

#include "cli_test.h"

namespace tweather::test {
namespace {

// A flat grid of quads as OBJ text: a mesh large enough that writing it takes a while.
std::string gridObj(int side) {
    std::string text = "o grid\n";
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * (side + 1) + x + 1, b = a + 1, c = a + side + 2, d = a + side + 1;
            text += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
                    std::to_string(d) + "\n";
        }
    return text;
}

struct KillCase {
    const char* name;
    const char* target;
    std::vector<std::string> (*args)(const std::string& dir);
    bool runsHost;
};

const KillCase kCases[] = {
    {"png", "out.png",
     [](const std::string& d) {
         return std::vector<std::string>{"png-test", d + "/out.png", "--size", "2048x2048"};
     },
     false},
    {"glb", "out.glb",
     [](const std::string& d) {
         return std::vector<std::string>{"scene", "convert", d + "/../grid.obj", d + "/out.glb"};
     },
     true},
    {"obj", "out.obj",
     [](const std::string& d) {
         return std::vector<std::string>{"scene", "convert", d + "/../grid.obj", d + "/out.obj"};
     },
     true},
};

class KillWhileWriting : public CliTest, public ::testing::WithParamInterface<KillCase> {
protected:
    static void SetUpTestSuite() {
        CliTest::SetUpTestSuite();
        std::ofstream(shared_ / "grid.obj") << gridObj(300);
    }
};

bool isTempOf(const std::string& name, const std::string& target, pid_t pid) {
    const std::string prefix = target + ".tmp-" + std::to_string(pid) + "-";
    return name.rfind(prefix, 0) == 0;
}

TEST_P(KillWhileWriting, OldFileOrWholeNewFileAndNoTemporaryLeft) {
    const KillCase& c = GetParam();
    const std::string target = path(c.target);
    // The whole new file, for the kills that come too late.
    const auto start = std::chrono::steady_clock::now();
    const ChildResult full = run(c.args(dir_.string()));
    const double fullMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(full.exitCode, 0) << full.err;
    const std::string newBytes = readAll(target);
    ASSERT_GT(newBytes.size(), size_t(1) << 20);
    const std::string oldBytes = "the old file, which a kill must not lose\n";

    // Moments spread over the run (as a share of its whole time), late ones mostly in the
    // write itself.
    struct Kill {
        int signal;
        double atShare;
    };
    const Kill kills[] = {{SIGTERM, 0.4}, {SIGTERM, 0.8}, {SIGINT, 0.6}, {SIGHUP, 0.7}, {SIGKILL, 0.75}};
    int interrupted = 0;
    for (const Kill& k : kills) {
        for (const std::string& name : namesIn(dir_)) std::filesystem::remove(dir_ / name);
        put(c.target, oldBytes);
        if (std::string(c.target) == "out.obj") put("out.mtl", oldBytes);
        const std::vector<std::string> before = namesIn(dir_);

        const pid_t pid = startTweather(c.args(dir_.string()), log());
        const int afterMs = int(k.atShare * fullMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        if (c.runsHost && (k.signal == SIGINT || k.signal == SIGTERM))
            interruptTwice(pid, k.signal, log());
        else
            ::kill(pid, k.signal);
        const ChildResult r = waitTweather(pid, log());
        const std::string now = readAll(target);
        SCOPED_TRACE("signal " + std::to_string(k.signal) + " after " + std::to_string(afterMs) + " ms");
        EXPECT_TRUE(now == oldBytes || now == newBytes) << "a part of a file: " << now.size() << " bytes";
        // A signal may land after the rename, while the program is ending (slow under a
        // sanitizer's exit checks): killed, with the whole new file in place. Only a kill
        // that left the old file shows the write was cut short.
        if (r.signal == k.signal && now == oldBytes) ++interrupted;
        for (const std::string& name : namesIn(dir_)) {
            if (std::find(before.begin(), before.end(), name) != before.end()) continue;
            if (k.signal == SIGKILL)
                EXPECT_TRUE(isTempOf(name, c.target, pid) || isTempOf(name, "out.mtl", pid)) << name;
            else
                ADD_FAILURE() << "left behind: " << name;
        }
    }
    EXPECT_GE(interrupted, 2) << "too few kills landed before the write ended to prove anything";
}

INSTANTIATE_TEST_SUITE_P(LargeFiles, KillWhileWriting, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tweather::test
