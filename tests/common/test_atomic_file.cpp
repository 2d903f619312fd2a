// The one writer every output goes through: a target is replaced whole or not at all,
// pairs are replaced together, and a signal removes the temporary files of writes under
// way without losing the old target.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/atomic_file.h"

namespace wx {
namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("wx_atomic_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::string put(const char* name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t entries() const {
        return size_t(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()));
    }

    std::filesystem::path dir_;
};

TEST_F(AtomicFileTest, TheTargetChangesOnlyOnCommit) {
    const std::string target = put("a.txt", "old");
    std::string error;
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.open(error)) << error;
        // Larger than the writer's buffer, in pieces of several sizes.
        std::string big(3 << 20, 'x');
        file.write(big.data(), 10);
        file.write(big);
        EXPECT_EQ(read(target), "old");
        EXPECT_EQ(entries(), 2u);
        // Dropped without a commit: the old file stays and the temporary goes.
    }
    EXPECT_EQ(read(target), "old");
    EXPECT_EQ(entries(), 1u);

    AtomicFile file(target);
    ASSERT_TRUE(file.open(error)) << error;
    file.write("new");
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, APairIsReplacedTogetherOrNotAtAll) {
    const std::string mtl = put("m.mtl", "old mtl"), obj = put("m.obj", "old obj");
    std::string error;
    {
        AtomicFile first(mtl), second(obj);
        ASSERT_TRUE(first.open(error) && second.open(error)) << error;
        first.write("new mtl");
        second.write("new obj");
        // The second rename fails (its target became a folder that is not empty).
        std::filesystem::remove(obj);
        std::filesystem::create_directories(obj + "/inside");
        EXPECT_FALSE(commitTogether(first, second, error));
        EXPECT_NE(error.find("m.obj"), std::string::npos) << error;
    }
    EXPECT_EQ(read(mtl), "old mtl") << "the first file is put back";
    EXPECT_EQ(entries(), 2u) << "no temporary or backup left";

    // A first target that did not exist before does not outlive the failure either.
    std::filesystem::remove(mtl);
    {
        AtomicFile first(mtl), second(obj);
        ASSERT_TRUE(first.open(error)) << error;
        ASSERT_FALSE(second.open(error)) << "a folder is no target";
        EXPECT_FALSE(commitTogether(first, second, error));
    }
    EXPECT_FALSE(std::filesystem::exists(mtl));
    EXPECT_EQ(entries(), 1u);

    std::filesystem::remove_all(obj);
    put("m.mtl", "old mtl");
    AtomicFile first(mtl), second(obj);
    ASSERT_TRUE(first.open(error) && second.open(error)) << error;
    first.write("new mtl");
    second.write("new obj");
    ASSERT_TRUE(commitTogether(first, second, error)) << error;
    EXPECT_EQ(read(mtl), "new mtl");
    EXPECT_EQ(read(obj), "new obj");
    EXPECT_EQ(entries(), 2u);
}

TEST_F(AtomicFileTest, ModesAreKeptOrOneDefaultAndReadOnlyIsRefused) {
    std::string error;
    const std::string kept = put("kept", "old");
    ::chmod(kept.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(kept, "new", error)) << error;
    struct stat st {};
    ::stat(kept.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    ASSERT_TRUE(writeFileAtomically(path("fresh"), "new", error)) << error;
    ::stat(path("fresh").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, kOutputMode);

    const std::string locked = put("locked", "old");
    ::chmod(locked.c_str(), 0444);
    EXPECT_FALSE(writeFileAtomically(locked, "new", error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(read(locked), "old");
    EXPECT_EQ(entries(), 3u);
}

// Runs `body` in a child process and answers how it ended (a signal number, or 1000 plus
// its exit code).
template <class Body>
int inChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 1000 + WEXITSTATUS(status);
}

TEST_F(AtomicFileTest, ASignalRemovesTheTemporaryFilesAndStillEndsTheProcess) {
    const std::string a = put("a", "old a"), b = put("b", "old b");
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        // nohup and a shell's background jobs start us with HUP or INT ignored, and an
        // ignored signal stays ignored (below): nothing to catch then.
        struct sigaction inherited {};
        ::sigaction(signal, nullptr, &inherited);
        if (inherited.sa_handler == SIG_IGN) continue;
        const int ended = inChild([&] {
            std::string error;
            AtomicFile first(a), second(b);
            if (!first.open(error) || !second.open(error)) ::_exit(2);
            first.write(std::string(1 << 21, 'a'));
            second.write("b");
            ::raise(signal);
            ::_exit(3);  // not reached: the signal still ends the process
        });
        EXPECT_EQ(ended, signal);
        EXPECT_EQ(read(a), "old a");
        EXPECT_EQ(read(b), "old b");
        EXPECT_EQ(entries(), 2u) << "signal " << signal;
    }
}

TEST_F(AtomicFileTest, AnIgnoredHangUpStaysIgnored) {
    // As under nohup: the write goes on and completes.
    const std::string a = put("a", "old");
    const int ended = inChild([&] {
        ::signal(SIGHUP, SIG_IGN);
        std::string error;
        AtomicFile file(a);
        if (!file.open(error)) ::_exit(2);
        file.write("new");
        ::raise(SIGHUP);
        if (!file.commit(error)) ::_exit(3);
    });
    EXPECT_EQ(ended, 1000);
    EXPECT_EQ(read(a), "new");
}

}  // namespace
}  // namespace wx
