// Malformed and hostile script text: every case must end in a clear syntax error (nothing
// runs) or a script error, never a crash or a hang.
#include <random>

#include "host/script_engine.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

struct Bad {
    const wchar_t* label;
    std::wstring text;
    const wchar_t* messagePart;
};

struct SyntaxErrors : ScriptTest, ::testing::WithParamInterface<Bad> {};

TEST_P(SyntaxErrors, FailBeforeAnythingRuns) {
    const Bad& bad = GetParam();
    std::wstring text = L"global ran = false; TWeatherMtl.bake()\n" + bad.text;
    FPValue v;
    EXPECT_FALSE(ExecuteMAXScriptScript(text.c_str(), MAXScript::ScriptSource::Dynamic, TRUE, &v, TRUE)) << bad.label;
    ASSERT_EQ(v.type, TYPE_TSTR) << bad.label;
    EXPECT_EQ(v.tstr->find(L"-- Syntax error: at line "), 0u) << bad.label << L": " << std::wstring(*v.tstr);
    EXPECT_NE(v.tstr->find(bad.messagePart), std::wstring::npos) << bad.label << L": " << std::wstring(*v.tstr);
    EXPECT_TRUE(calls.empty()) << bad.label;  // the valid first line did not run either
    EXPECT_EQ(host::scriptLog().quietErrors.size(), 1u);
}

std::wstring repeat(const std::wstring& s, int n) {
    std::wstring out;
    for (int k = 0; k < n; ++k) out += s;
    return out;
}

// The sand preset's parameter array as the weather tools build it: the uvScale pair is
// never closed, so the outer array is left open.
const std::wstring kSandPairs =
    L"#(#(#depth,3),#(#coverage,0.75),#(#noiseAmount,0.6),#(#noiseScale,80),#(#patchScale,200),#(#edgeRound,4),"
    L"#(#slopeMax,40.0),#(#drift,0.8),#(#leeDist,500),#(#resolution,4),#(#uvScale,100,#(#enabled,true))";

INSTANTIATE_TEST_SUITE_P(
    Script, SyntaxErrors,
    ::testing::Values(
        Bad{L"unterminated string", L"x = \"abc", L"unterminated string"},
        Bad{L"unterminated string after escape", L"x = \"abc\\", L"unterminated string"},
        Bad{L"unterminated verbatim", L"x = @\"C:\\temp", L"unterminated verbatim string"},
        Bad{L"unterminated comment", L"x = 1 /* no end", L"unterminated /* comment"},
        Bad{L"unterminated array", L"x = #(1, 2", L"unclosed list"},
        Bad{L"unterminated point", L"x = [1, 2", L"unclosed list"},
        Bad{L"unterminated block", L"(x = 1\ny = 2", L"unclosed '('"},
        Bad{L"sand pairs", L"TWeatherMtl.addSnow (maxOps.getNodeByHandle 1) " + kSandPairs, L"unclosed list"},
        Bad{L"stray close paren", L"x = 1)", L"unexpected ')'"},
        Bad{L"stray close bracket", L"x = 1]", L"unexpected ']'"}, Bad{L"stray comma", L"f a, b", L"unexpected ','"},
        Bad{L"two operators", L"x = 1 + * 2", L"unexpected '*'"},
        Bad{L"missing operand", L"x = 1 +", L"unexpected end of script"},
        Bad{L"try without catch", L"try (x = 1)", L"expected 'catch'"},
        Bad{L"catch alone", L"catch 1", L"unexpected 'catch'"}, Bad{L"assign to literal", L"3 = x", L"cannot assign"},
        Bad{L"point with one component", L"x = [1]", L"2 to 4 components"},
        Bad{L"point with five components", L"x = [1,2,3,4,5]", L"2 to 4 components"},
        Bad{L"bad character", L"x = 1 ` 2", L"unexpected character"},
        Bad{L"non-ASCII character", L"x = 1 \u00e9", L"unexpected character"},
        Bad{L"letter after number", L"x = 12abc", L"unexpected letter"},
        Bad{L"huge hexadecimal", L"x = 0x123456789", L"too large"},
        Bad{L"deep blocks", repeat(L"(", 5000) + L"1" + repeat(L")", 5000), L"nested too deeply"},
        Bad{L"deep arrays", repeat(L"#(", 5000) + repeat(L")", 5000), L"nested too deeply"},
        Bad{L"deep unclosed", repeat(L"[", 100000), L"nested too deeply"},
        Bad{L"deep minus", L"x = " + repeat(L"- ", 100000) + L"1", L"nested too deeply"},
        Bad{L"deep not", L"x = " + repeat(L"not ", 100000) + L"true", L"nested too deeply"},
        Bad{L"deep power", L"x = 2" + repeat(L"^2", 100000), L"nested too deeply"},
        Bad{L"long sum", L"x = 1" + repeat(L" + 1", 200000), L"tree height"},
        Bad{L"long member chain", L"x = a" + repeat(L".b", 200000), L"tree height"}));

TEST_F(ScriptTest, ErrorNamesLineAndColumn) {
    EXPECT_EQ(eval(L"x = 1\ny = (2 +\n3))"), L"SYNTAX -- Syntax error: at line 3, column 3: unexpected ')'");
}

TEST_F(ScriptTest, LongValidInputRuns) {
    // A long flat script and a wide array are fine: only depth is limited.
    std::wstring text = L"global n = 0\n";
    for (int k = 0; k < 20000; ++k) text += L"n += 1\n";
    EXPECT_EQ(eval(text), L"20000");
    std::wstring array = L"#(";
    for (int k = 0; k < 100000; ++k) array += (k ? L"," : L"") + std::to_wstring(k);
    EXPECT_EQ(eval(L"(" + array + L")).count"), L"100000");
    std::wstring big(1 << 20, L'x');
    EXPECT_EQ(eval(L"(\"" + big + L"\" + \"y\").count"), std::to_wstring((1 << 20) + 1));
    EXPECT_EQ(eval(L"x = " + std::wstring(150, L'(') + L"7" + std::wstring(150, L')') + L" * 2"), L"14");
    EXPECT_EQ(eval(L"x = " + std::wstring(250, L'(') + L"7" + std::wstring(250, L')')),
              L"SYNTAX -- Syntax error: at line 1, column 204: expression nested too deeply (more than 200 levels)");
}

TEST_F(ScriptTest, RuntimeLimitsAreErrorsNotCrashes) {
    struct Case {
        const wchar_t* text;
        const wchar_t* result;
    } cases[] = {
        {L"a = #(); a[5000000] = 1", L"ERROR -- Runtime error: Array index too large: 5000000"},
        {L"a = #(); a[0] = 1", L"ERROR -- Runtime error: Array index must be positive: 0"},
        {L"#(1,2)[1.5]", L"ERROR -- Unable to convert: 1.5 to type: Integer"},
        {L"1 / 0", L"ERROR -- Runtime error: Integer divide by zero"},
        {L"1e300 * 1e300", L"inf"},
        {L"\"abc\"[9]", L"ERROR -- Runtime error: Index out of range: 9"},
    };
    for (auto& c : cases) EXPECT_EQ(eval(c.text), c.result) << c.text;
    // An array holding itself prints to a bounded depth.
    std::wstring cyclic = eval(L"a = #(); a[1] = a; a as string");
    EXPECT_EQ(cyclic.rfind(L"\"#(#(#(", 0), 0u);
    EXPECT_NE(cyclic.find(L"#(...)"), std::wstring::npos);
    EXPECT_LT(cyclic.size(), 400u);
    // Script values count references, so an array that holds itself lives until the script
    // lets go of the loop.
    EXPECT_EQ(eval(L"a[1] = undefined"), L"undefined");
}

// Seeded mutations of well-formed texts (characters dropped, doubled or swapped for
// punctuation): every run ends in TRUE, or FALSE with the error text as the result.
TEST_F(ScriptTest, MutatedTextsFailCleanly) {
    const std::wstring seeds[] = {
        L"global TarnwickWeatherLast = \"\"\ntry (TarnwickWeatherLast = ((TWeatherMtl.addSnow " + nodeRef() +
            L" #(#(#depth,12.5),#(#enabled,true))) as string)) catch (TarnwickWeatherLast = \"ERROR: \" + "
            L"(getCurrentException()))",
        L"TWeatherMtl.makeFall [-10,-20,0] [110,220,350] #(#(#type,1),#(#color,(color 240 244 250))) true",
        L"macroScript M category:\"T\" (\n on execute do ( UtilityPanel.OpenUtility Box )\n)",
        L"try (fileIn @\"C:\\x.ms\") catch (format \"failed: %\\n\" (getCurrentException()))",
    };
    const wchar_t punctuation[] = L"()[]#\"@\\,;:.=+-*/^<>!\n -";
    std::mt19937 rng(20261208);
    int failures = 0, successes = 0;
    for (int round = 0; round < 3000; ++round) {
        std::wstring text = seeds[rng() % 4];
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text.erase(at, 1);
                    break;
                case 1:
                    text.insert(at, 1, text[at]);
                    break;
                default:
                    text[at] = punctuation[rng() % (sizeof punctuation / sizeof punctuation[0] - 1)];
            }
        }
        FPValue v;
        BOOL ok = ExecuteMAXScriptScript(text.c_str(), MAXScript::ScriptSource::Dynamic, TRUE, &v, FALSE);
        if (ok) {
            ++successes;
        } else {
            ++failures;
            ASSERT_EQ(v.type, TYPE_TSTR) << std::wstring(text);
            ASSERT_EQ(v.tstr->rfind(L"-- ", 0), 0u) << std::wstring(text);
        }
    }
    EXPECT_GT(failures, 1000);  // the mutations do break most texts
    EXPECT_GT(successes, 50);
}

}  // namespace
}  // namespace scripttest
