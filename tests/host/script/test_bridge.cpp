// The script bridge over the host: result rules, installation once per run, and texts
// with quotes, backslashes and new lines passing through unchanged and running nothing.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "host/script_engine.h"
#include "host/text.h"
#include "script_fixture.h"
#include "utility/script_bridge.h"

namespace scripttest {
namespace {

struct BridgeTest : ScriptTest {
    int installs = 0;
    void SetUp() override {
        ScriptTest::SetUp();
        wx::resetMaterialsScript();
        // Stands in for the materials library: echo answers its argument, as a text.
        wx::setMaterialsInstaller([this] {
            ++installs;
            host::scriptEngine().defineFunction(L"echo",
                                                [](host::script::Interpreter&, const host::script::CallArgs& a) {
                                                    return a.positional.empty() ? Value::undefined() : a.positional[0];
                                                });
        });
    }
    void TearDown() override {
        wx::setMaterialsInstaller(nullptr);
        wx::resetMaterialsScript();
        ScriptTest::TearDown();
    }
};

TEST_F(BridgeTest, ResultRules) {
    struct Row {
        std::wstring expression;
        bool ok;
        std::wstring result;
    } rows[] = {
        {L"echo \"true\"", true, L"true"},
        {L"echo 42", true, L"42"},
        {L"echo \"ERROR\"", false, L"ERROR"},
        {L"echo \"ERROR: anything\"", false, L"ERROR: anything"},
        {L"echo \"ERRORS\"", false, L"ERRORS"},  // the first five characters decide
        {L"echo \"ERRO\"", true, L"ERRO"},       // shorter than five: passes
        {L"echo \"error\"", true, L"error"},
        {L"echo \" ERROR\"", true, L" ERROR"},
        {L"undefined + 1", false, L"ERROR: -- No \"+\" function for undefined"},
        {L"TWeatherMtl.restore " + nodeRef(), true, L"done"},
        {L"echo #(1, (", false, L""},  // a syntax error: the wrapper does not run
    };
    for (auto& r : rows) {
        std::wstring result = L"stale";
        EXPECT_EQ(wx::runScript(r.expression, &result), r.ok) << r.expression;
        EXPECT_EQ(result, r.result) << r.expression;
        // Without asking for the text, the answer is the same.
        EXPECT_EQ(wx::runScript(r.expression), r.ok) << r.expression;
    }
    EXPECT_EQ(installs, 1);  // installed by the first run, once
    std::wstring text;
    EXPECT_TRUE(wx::runScript(L"echo \"true\"", &text));
    EXPECT_TRUE(text == L"true");  // a restore counts only this exact text
    EXPECT_TRUE(wx::runScript(L"echo \"true \"", &text));
    EXPECT_FALSE(text == L"true");
}

TEST_F(BridgeTest, InstallRemovesLeftoverAndRunsOnce) {
    auto dir = std::filesystem::temp_directory_path() / ("wx_bridge_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "TarnwickWeather_Materials.ms") << "old copy";
    std::ofstream(dir / "other.ms") << "keep";
    ip->SetDir(APP_USER_SCRIPTS_DIR, host::fromUtf8(dir.string()));
    EXPECT_FALSE(wx::materialsScriptInstalled());
    EXPECT_TRUE(wx::runScript(L"echo 1"));
    EXPECT_TRUE(wx::runScript(L"echo 2"));
    EXPECT_TRUE(wx::materialsScriptInstalled());
    EXPECT_EQ(installs, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "TarnwickWeather_Materials.ms"));
    EXPECT_TRUE(std::filesystem::exists(dir / "other.ms"));
    wx::installMaterialsScript();  // callers that must reinstall call it directly
    EXPECT_EQ(installs, 2);
    ip->SetDir(APP_USER_SCRIPTS_DIR, L"");
    std::filesystem::remove_all(dir);
}

// Hostile texts: each must arrive as sent, and nothing in it may run.
const std::wstring kHostile[] = {
    L"plain",
    L"quote\" + (global pwned = 1) + \"",
    L"back\\slash\\",
    L"C:\\Users\\me\\new\\table.ms",
    L"line\nbreak\r\n(global pwned = 2)",
    L"tab\tand %percent% \\% \\n",
    L"\") ; global pwned = 3 ; (\"",
    L"@\"verbatim\"",
    L"-- comment\n/* block",
    L"\\\"",
    L"caf\u00e9 \u96ea",
};

TEST_F(BridgeTest, HostileTextsSurviveAndRunNothing) {
    for (const std::wstring& text : kHostile) {
        std::wstring result;
        EXPECT_TRUE(wx::runScript(L"echo " + wx::scriptString(text), &result));
        EXPECT_EQ(result, text);
        EXPECT_EQ(eval(L"pwned"), L"undefined");
    }
}

TEST_F(BridgeTest, HostilePathsInBuiltCommands) {
    std::vector<std::wstring> seen;
    auto record = [&seen](host::script::Interpreter&, const host::script::CallArgs& a) {
        for (auto& v : a.positional) seen.push_back(host::script::toPrinted(v));
        return Value::string(L"recorded");
    };
    host::scriptEngine().defineFunction(L"tornadoCommand", record);
    host::scriptEngine().defineFunction(L"fileIn", record);
    for (const std::wstring& path : kHostile) {
        seen.clear();
        EXPECT_TRUE(wx::runScript(wx::tornadoExportExpression(box, path)));
        std::wstring forward = path;
        std::replace(forward.begin(), forward.end(), L'\\', L'/');
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(seen[0], L"$Box01");
        EXPECT_EQ(seen[1], L"\"exportwind\"");
        EXPECT_EQ(seen[2], host::script::toPrinted(Value::string(forward)));
        seen.clear();
        EXPECT_TRUE(ExecuteMAXScriptScript(wx::fileInExpression(path).c_str(), MAXScript::ScriptSource::NonEmbedded,
                                           TRUE, nullptr, TRUE));
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0], host::script::toPrinted(Value::string(path)));
        EXPECT_EQ(eval(L"pwned"), L"undefined");
    }
    EXPECT_EQ(wx::nodeRef(box), L"(maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) + L")");
    EXPECT_EQ(wx::nodeRef(nullptr), L"undefined");
}

}  // namespace
}  // namespace scripttest
