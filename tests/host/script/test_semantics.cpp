// What scripts evaluate to: literals, operators, calls by juxtaposition, scopes, globals,
// try/catch and conversions. Each row is script text and its printed result or error.
#include "host/script_engine.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

struct Row {
    const wchar_t* text;
    const wchar_t* result;
};

struct Evaluates : ScriptTest, ::testing::WithParamInterface<Row> {};

TEST_P(Evaluates, ToPrintedResult) {
    EXPECT_EQ(eval(GetParam().text), GetParam().result) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Literals, Evaluates,
    ::testing::Values(Row{L"42", L"42"}, Row{L"0x1F", L"31"}, Row{L"0xFFFFFFFF", L"-1"}, Row{L"7L", L"7"},
                      Row{L"0.5", L"0.5"}, Row{L".5", L"0.5"}, Row{L"5.", L"5.0"}, Row{L"1e3", L"1000.0"},
                      Row{L"2.5d2", L"250.0"}, Row{L"3000000000", L"3e+09"}, Row{L"-3", L"-3"},
                      Row{L"\"a\\\"b\\\\c\\nd\\te\\%f\"", L"\"a\\\"b\\\\c\\nd\\te%f\""},
                      Row{L"\"\\x41\\q\"", L"\"A\\\\q\""}, Row{L"@\"C:\\new\\table\"", L"\"C:\\\\new\\\\table\""},
                      Row{L"\"two\nlines\"", L"\"two\\nlines\""}, Row{L"#Depth", L"#Depth"}, Row{L"#()", L"#()"},
                      Row{L"#(1, \"a\", #b, #(true))", L"#(1, \"a\", #b, #(true))"}, Row{L"[1, 2.5]", L"[1,2.5]"},
                      Row{L"[1,2,3,4]", L"[1,2,3,4]"}, Row{L"(color 255 128 0)", L"(color 255 128 0)"},
                      Row{L"color 1 2 3 4", L"(color 1 2 3 4)"}, Row{L"on", L"true"}, Row{L"OFF", L"false"},
                      Row{L"undefined", L"undefined"}, Row{L"ok", L"OK"}, Row{L"()", L"undefined"},
                      Row{L"(1; 2\n3)", L"3"}, Row{L"x = 1 -- comment\n/* block\ncomment */ x", L"1"},
                      Row{L"x = 1 + \\\n 2", L"3"}));

INSTANTIATE_TEST_SUITE_P(
    Operators, Evaluates,
    ::testing::Values(Row{L"1 + 2 * 3", L"7"}, Row{L"(1 + 2) * 3", L"9"}, Row{L"7 / 2", L"3"}, Row{L"-7 / 2", L"-3"},
                      Row{L"7 / 2.0", L"3.5"}, Row{L"2 ^ 3 ^ 2", L"512"}, Row{L"2 ^ -1", L"0.5"},
                      Row{L"2147483647 + 1", L"-2147483648"}, Row{L"- - 4", L"4"}, Row{L"\"ab\" + \"cd\"", L"\"abcd\""},
                      Row{L"[1,2,3] * 2", L"[2,4,6]"}, Row{L"[1,2,3] - [1,1,1]", L"[0,1,2]"}, Row{L"1 == 1.0", L"true"},
                      Row{L"#a == #A", L"true"}, Row{L"\"a\" == \"A\"", L"false"}, Row{L"\"a\" < \"b\"", L"true"},
                      Row{L"3 != 4", L"true"}, Row{L"1 < 2 and 2 < 3", L"true"}, Row{L"not false or false", L"true"},
                      Row{L"false and (throw \"not evaluated\")", L"false"},
                      Row{L"true or (throw \"not evaluated\")", L"true"}, Row{L"x = #(1); y = x; y == x", L"true"},
                      Row{L"#(1) == #(1)", L"false"},
                      Row{L"\"a\" + 1", L"ERROR -- Unable to convert: 1 to type: String"},
                      Row{L"undefined + 1", L"ERROR -- No \"+\" function for undefined"},
                      Row{L"if_ = 1 < \"a\"", L"ERROR -- No \"<\" function for 1"},
                      Row{L"not 1", L"ERROR -- Type error: Need boolean, got: 1"}));

INSTANTIATE_TEST_SUITE_P(
    Conversions, Evaluates,
    ::testing::Values(Row{L"42 as string", L"\"42\""}, Row{L"0.5 as string", L"\"0.5\""},
                      Row{L"1.0 as string", L"\"1.0\""}, Row{L"#snow as string", L"\"snow\""},
                      Row{L"true as string", L"\"true\""}, Row{L"[1,2,3] as string", L"\"[1,2,3]\""},
                      Row{L"(color 255 0 0) as string", L"\"(color 255 0 0)\""},
                      Row{L"undefined as string", L"\"undefined\""},
                      Row{L"#(\"a\", #b) as string", L"\"#(\\\"a\\\", #b)\""}, Row{L"\"12\" as integer", L"12"},
                      Row{L"\"x\" as integer", L"undefined"}, Row{L"3.9 as integer", L"3"},
                      Row{L"\"2.5\" as float", L"2.5"}, Row{L"\"Depth\" as name", L"#Depth"},
                      Row{L"1e10 as integer", L"ERROR -- Unable to convert: 1e+10 to type: Integer"},
                      Row{L"1 as foo", L"ERROR -- Unable to convert: 1 to type: foo"},
                      Row{L"x = 2; x as string + \"!\"", L"\"2!\""}));

INSTANTIATE_TEST_SUITE_P(
    MembersAndIndexes, Evaluates,
    ::testing::Values(Row{L"p = [1,2,3]; p.y", L"2.0"}, Row{L"p = [1,2,3]; p.z = 9; p", L"[1,2,9]"},
                      Row{L"c = (color 10 20 30); c.g", L"20.0"}, Row{L"#(4,5,6)[2]", L"5"},
                      Row{L"a = #(7,8,9); i = 3; a[i]", L"9"}, Row{L"a = #(7,8,9); a[a.count]", L"9"},
                      Row{L"#(4,5,6)[2.0]", L"5"}, Row{L"a = #(1); a[3] = 3; a", L"#(1, undefined, 3)"},
                      Row{L"a = #(1,2); a[1] += 10; a", L"#(11, 2)"}, Row{L"#(1,2,3).count", L"3"},
                      Row{L"\"abc\".count", L"3"}, Row{L"\"abc\"[2]", L"\"b\""}, Row{L"a = #(#(1,2)); a[1][2]", L"2"},
                      Row{L"p = [1,2]; p.z", L"ERROR -- Unknown property: \"z\" in [1,2]"},
                      Row{L"undefined.x", L"ERROR -- Unknown property: \"x\" in undefined"}));

// Reading past the end is an error at the read, where the script went wrong, rather than an
// undefined that fails somewhere later; assignment still grows the array.
INSTANTIATE_TEST_SUITE_P(
    IndexOutOfRange, Evaluates,
    ::testing::Values(Row{L"#(4,5,6)[4]", L"ERROR -- Runtime error: Array index out of range: 4 (count 3)"},
                      Row{L"#()[1]", L"ERROR -- Runtime error: Array index out of range: 1 (count 0)"},
                      Row{L"#(1,2)[1e300]", L"ERROR -- Runtime error: Array index out of range: 1e+300 (count 2)"},
                      Row{L"#(1,2)[0]", L"ERROR -- Runtime error: Array index must be positive: 0"},
                      Row{L"#(1,2)[-1]", L"ERROR -- Runtime error: Array index must be positive: -1"},
                      Row{L"#(1,2)[1.5]", L"ERROR -- Unable to convert: 1.5 to type: Integer"},
                      Row{L"#(1,2)[\"1\"]", L"ERROR -- Unable to convert: \"1\" to type: Integer"},
                      Row{L"a = #(1,2); a[3] += 1", L"ERROR -- Runtime error: Array index out of range: 3 (count 2)"},
                      Row{L"a = #(1,2); try (a[3]) catch (\"caught: \" + getCurrentException())",
                          L"\"caught: -- Runtime error: Array index out of range: 3 (count 2)\""},
                      Row{L"5[1]", L"ERROR -- No \"get\" function for 5"}));

INSTANTIATE_TEST_SUITE_P(
    Calls, Evaluates,
    ::testing::Values(Row{L"TWeatherMtl.paint 1 + 2",
                          L"ERROR -- Unable to convert: 2 to type: String"},  // (paint 1) + 2
                      Row{L"TWeatherMtl.paint (1 + 2)", L"\"done\""},
                      Row{L"TWeatherMtl.paint 1 as string", L"\"done\""},
                      Row{L"x = TWeatherMtl.bake; x()", L"\"done\""}, Row{L"TWeatherMtl.bake", L"bake()"},
                      Row{L"nosuch 1", L"ERROR -- Type error: Call needs function or class, got: undefined"},
                      Row{L"nosuch()", L"ERROR -- Type error: Call needs function or class, got: undefined"},
                      Row{L"3 4", L"ERROR -- Type error: Call needs function or class, got: 3"},
                      Row{L"color 1 2", L"ERROR -- Argument count error: color wanted 3 or 4, got 2"},
                      Row{L"print 1 to:2", L"ERROR -- Runtime error: print takes no keyword argument to:"}));

INSTANTIATE_TEST_SUITE_P(
    ScopesAndErrors, Evaluates,
    ::testing::Values(Row{L"g = 1; (g = 2); g", L"2"},           // assignment reaches the existing global
                      Row{L"(fresh = 2); fresh", L"undefined"},  // an undeclared name inside a block is local
                      Row{L"(global made = 3); made", L"3"},     // global declared inside a block
                      Row{L"global k = 5; global k; k", L"5"},   // re-declaration keeps the value
                      Row{L"global k = 5; global k = 6; k", L"6"}, Row{L"global a = 1, b = a + 1; b", L"2"},
                      Row{L"x = 1; (local x = 2; x)", L"2"}, Row{L"x = 1; (local x = 2); x", L"1"},
                      Row{L"try (throw \"boom\") catch (getCurrentException())", L"\"-- Runtime error: boom\""},
                      Row{L"try (1 + undefined) catch (getCurrentException())", L"\"-- No \\\"+\\\" function for 1\""},
                      Row{L"try 5 catch 6", L"5"}, Row{L"try\n(throw 1)\ncatch\n7", L"7"},
                      Row{L"try (try (throw \"in\") catch (throw())) catch (\"out: \" + getCurrentException())",
                          L"\"out: -- Runtime error: in\""},
                      Row{L"try (throw \"a\") catch (try (throw \"b\") catch ()); getCurrentException()", L"undefined"},
                      Row{L"try ((local v = 1); throw \"x\") catch (v)", L"undefined"},
                      Row{L"throw()", L"ERROR -- Runtime error: throw() with no argument outside a catch"},
                      Row{L"throw #(1, 2)", L"ERROR -- Runtime error: #(1, 2)"}));

TEST_F(ScriptTest, FormatAndPrintWriteToListener) {
    EXPECT_EQ(eval(L"format \"% of %: %\\n\" 3 \"boxes\" #(1, \"a\")"), L"OK");
    EXPECT_EQ(eval(L"format \"100\\% done\""), L"OK");
    EXPECT_EQ(eval(L"print \"quoted\""), L"\"quoted\"");
    EXPECT_EQ(eval(L"print 2.5"), L"2.5");
    EXPECT_EQ(host::listenerText(), L"3 of boxes: #(1, \"a\")\n100% done\"quoted\"\n2.5\n");
    EXPECT_EQ(eval(L"format \"%\" to:s"),
              L"ERROR -- Runtime error: format: output streams (to:) are not supported by this host");
    EXPECT_EQ(eval(L"format 3"), L"ERROR -- Unable to convert: 3 to type: String");
}

TEST_F(ScriptTest, NamesAreCaseInsensitive) {
    EXPECT_EQ(eval(L"GLOBAL MixedCase = 4; mixedcase + MIXEDCASE"), L"8");
    EXPECT_EQ(eval(L"MAXOPS.GETNODEBYHANDLE " + std::to_wstring(box->GetHandle())), L"$Box01");
    EXPECT_EQ(eval(L"twEATHERmtl.LAYERKIND"), L"\"Snow\"");
}

TEST_F(ScriptTest, AStoppedRunLeavesNoScopeBehind) {
    EXPECT_EQ(eval(L"(local inner = 1; throw \"stop\")"), L"ERROR -- Runtime error: stop");
    EXPECT_EQ(eval(L"inner"), L"undefined");
    EXPECT_EQ(eval(L"leaked = 2; leaked"), L"2");  // top level again: this is a global
    EXPECT_EQ(eval(L"leaked"), L"2");
}

}  // namespace
}  // namespace scripttest
