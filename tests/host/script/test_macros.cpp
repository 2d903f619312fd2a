// Script files and action items: fileIn, macroScript definitions, macros.run, and the
// utility panel opened by a macro's handler.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/class_registry.h"
#include "host/script/scene_values.h"
#include "host/script_engine.h"
#include "host/text.h"
#include "max/utility_obj.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

// A utility with no rollouts: this file checks how macros reach it, test_utility_panel.cpp what
// opening it does.
struct SilentUtility : UtilityObj {
    void BeginEditParams(Interface*, IUtil*) override {}
    void EndEditParams(Interface*, IUtil*) override {}
    void DeleteThis() override {}
};

class UtilityDesc : public ClassDesc2 {
public:
    SilentUtility instance;
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return &instance; }
    const MCHAR* ClassName() override { return L"Tarnwick Weather"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Weather"; }
    const MCHAR* InternalName() override { return L"TarnwickWeather"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x61d3, 0x2ab9); }
    const MCHAR* Category() override { return L""; }
};

struct MacroTest : ScriptTest {
    UtilityDesc utility;
    std::filesystem::path dir;
    void SetUp() override {
        ScriptTest::SetUp();
        host::classRegistry().add(&utility);
        dir = std::filesystem::temp_directory_path() / ("wx_script_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "it's \"odd\"");
    }
    void TearDown() override {
        host::classRegistry().remove(&utility);
        std::filesystem::remove_all(dir);
        ScriptTest::TearDown();
    }
    std::wstring write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return host::fromUtf8((dir / name).string());
    }
};

TEST_F(MacroTest, StartupMacroFileRegistersAndRuns) {
    std::wstring path =
        write("TarnwickFX-Weather.mcr",
              "macroScript TarnwickWeather category:\"TarnwickFX\" buttonText:\"Weather\" tooltip:\"Tarnwick Weather - "
              "snow and rain presets\" (\r\n  on execute do ( UtilityPanel.OpenUtility TarnwickWeather )\r\n)\r\n");
    std::wstring text = L"try (fileIn @\"" + path + L"\") catch ()";
    EXPECT_TRUE(ExecuteMAXScriptScript(text.c_str(), MAXScript::ScriptSource::NonEmbedded, TRUE, nullptr, TRUE));
    const auto& macros = host::scriptEngine().macros();
    ASSERT_EQ(macros.size(), 1u);
    EXPECT_EQ(macros[0].category, L"TarnwickFX");
    EXPECT_EQ(macros[0].name, L"TarnwickWeather");
    EXPECT_EQ(macros[0].buttonText, L"Weather");
    EXPECT_EQ(macros[0].toolTip, L"Tarnwick Weather - snow and rain presets");
    EXPECT_EQ(host::script::openedUtility(), nullptr);  // defining does not run the body

    EXPECT_EQ(eval(L"macros.run \"tarnwickfx\" \"TARNWICKWEATHER\""), L"OK");
    EXPECT_EQ(host::script::openedUtility(), &utility);
    EXPECT_EQ(eval(L"UtilityPanel.CloseUtility()"), L"OK");
    EXPECT_EQ(host::script::openedUtility(), nullptr);

    // Loading the file again replaces the definition instead of adding a second one.
    EXPECT_EQ(eval(L"fileIn @\"" + path + L"\""), L"1");
    EXPECT_EQ(host::scriptEngine().macros().size(), 1u);
}

TEST_F(MacroTest, MacroBodiesAndHandlers) {
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"macroScript Plain category:\"T\" (global ranPlain = 1\nranPlain += 1)", L"1"},
        {L"ranPlain", L"undefined"},
        {L"macros.run \"T\" \"Plain\"; ranPlain", L"2"},
        {L"macroScript Two category:\"T\"\n(\n on isChecked do false\n on execute do (global ranTwo = #yes)\n)", L"2"},
        {L"macros.run \"T\" \"Two\"; ranTwo", L"#yes"},
        {L"macroScript NoExec category:\"T\" ( on isEnabled do true )", L"3"},
        {L"macros.run \"T\" \"NoExec\"", L"OK"},
        {L"macros.run \"T\" \"Missing\"", L"ERROR -- Runtime error: macros.run: no macroScript Missing in category T"},
        {L"macroScript Bad category:\"T\" (on execute do (1 + undefined))", L"4"},
        {L"macros.run \"T\" \"Bad\"", L"ERROR -- No \"+\" function for 1"},
        {L"UtilityPanel.OpenUtility Box",
         L"ERROR -- Runtime error: OpenUtility needs a utility plug-in class, got: Box"},
        {L"UtilityPanel.OpenUtility \"TarnwickWeather\"",
         L"ERROR -- Runtime error: OpenUtility needs a utility plug-in class, got: \"TarnwickWeather\""},
        {L"tarnwick_weather == TarnwickWeather", L"true"},
        {L"macroScript M category:\"T\" (on execute do 1\n2)",
         L"SYNTAX -- Syntax error: at line 1, column 28: a macroScript body mixes handlers and expressions"},
        {L"macroScript M category:\"T\" (on execute 1)",
         L"SYNTAX -- Syntax error: at line 1, column 40: expected 'do' in the 'execute' handler"},
        {L"macroScript M category:\"T\"",
         L"SYNTAX -- Syntax error: at line 1, column 27: expected '(' to open the macroScript's body, found end of "
         L"script"},
        {L"macroScript M category:\"T\" (on execute do 1",
         L"SYNTAX -- Syntax error: at line 1, column 28: unclosed macroScript body: expected ')'"},
        {L"macroScript M category:3 ()", L"ERROR -- Unable to convert: 3 to type: String"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
}

TEST_F(MacroTest, FileInErrors) {
    std::wstring self = write("self.ms", "");
    write("self.ms", "global depth = depth + 1\nfileIn @\"" + host::toUtf8(self) + "\"\n");
    std::wstring odd = write("it's \"odd\"/lib.ms", "\xEF\xBB\xBFglobal fromOdd = \"caf\xC3\xA9\"\n");
    std::wstring broken = write("broken.ms", "global partial = 1\nx = (1 +\n");
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"fileIn \"" + host::script::toPrinted(Value::string(odd)).substr(1), L"\"caf\u00e9\""},
        {L"fileIn @\"/no/such/file.ms\"", L"ERROR -- Runtime error: fileIn: cannot open file: /no/such/file.ms"},
        {L"global depth = 0; fileIn @\"" + self + L"\"",
         L"ERROR -- Runtime error: scripts started from scripts nested too deeply"},
        {L"depth", L"15"},  // the outer run and fifteen nested ones
        {L"fileIn @\"" + broken + L"\"", L"ERROR -- Syntax error: at line 3, column 1: unexpected end of script"},
        {L"partial", L"undefined"},
        {L"try (fileIn @\"" + broken + L"\") catch (\"caught: \" + getCurrentException())",
         L"\"caught: -- Syntax error: at line 3, column 1: unexpected end of script\""},
        {L"fileIn 3", L"ERROR -- Unable to convert: 3 to type: String"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
}

}  // namespace
}  // namespace scripttest
