// Script files that are not files: a folder, a device that never ends, a pipe with no
// writer, and a file that opens with a byte-order mark, through fileIn and through the
// script command.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cmd_script.h"
#include "host/text.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

struct ScriptFileRefusals : ScriptTest {
    std::string dir;
    void SetUp() override {
        ScriptTest::SetUp();
        char t[] = "/tmp/wx_script_files_XXXXXX";
        dir = mkdtemp(t);
        std::filesystem::create_directory(dir + "/folder.ms");
        mkfifo((dir + "/pipe.ms").c_str(), 0600);
        std::ofstream(dir + "/marked.ms", std::ios::binary) << "\xEF\xBB\xBF"
                                                            << "global marked = 6 * 7\nmarked";
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        ScriptTest::TearDown();
    }
};

TEST_F(ScriptFileRefusals, FileInRefusesWhatIsNotAFile) {
    const std::wstring d = host::fromUtf8(dir);
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"fileIn @\"" + d + L"/folder.ms\"",
         L"ERROR -- Runtime error: fileIn: cannot read '" + d + L"/folder.ms': it is a folder, not a file"},
        {L"fileIn @\"/dev/zero\"",
         L"ERROR -- Runtime error: fileIn: cannot read '/dev/zero': it is a device, not a file"},
        {L"fileIn @\"" + d + L"/pipe.ms\"",
         L"ERROR -- Runtime error: fileIn: cannot read '" + d + L"/pipe.ms': it is a pipe, not a file"},
        {L"fileIn @\"" + d + L"/marked.ms\"", L"42"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << host::toUtf8(r.text);
}

TEST_F(ScriptFileRefusals, TheScriptCommandRefusesWhatIsNotAFile) {
    for (const std::string& file : {dir + "/folder.ms", std::string("/dev/zero"), dir + "/pipe.ms"}) {
        tweather::ScriptOptions o;
        o.weatherPlugin = false;
        o.file = file;
        std::istringstream in;
        std::ostringstream out, err;
        EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 1) << file << " is no script, not an empty one";
        EXPECT_NE(err.str().find("cannot read script '" + file + "': it is a"), std::string::npos) << err.str();
    }
    tweather::ScriptOptions o;
    o.weatherPlugin = false;
    o.file = dir + "/marked.ms";
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "42\n");
}

}  // namespace
}  // namespace scripttest
