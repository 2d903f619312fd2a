// The expression shapes the weather tools send through the script bridge, written out as
// the tools build them, checked argument by argument through a recorder library.
#include "host/script_engine.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

struct Shape {
    const wchar_t* label;
    std::wstring text;      // "@" stands for the box's node reference
    std::wstring recorded;  // "$" stands for the box's printed form
};

std::wstring expand(std::wstring s, const wchar_t* mark, const std::wstring& with) {
    for (size_t at = s.find(mark); at != std::wstring::npos; at = s.find(mark, at + with.size()))
        s.replace(at, 1, with);
    return s;
}

const std::wstring kSnowPairs =
    L"#(#(#depth,12.5),#(#coverage,0.9),#(#noiseAmount,0.4),#(#noiseScale,80),#(#patchScale,200),"
    L"#(#edgeRound,4),#(#slopeMax,45),#(#drift,0.5),#(#leeDist,500),#(#resolution,4),#(#maxTris,2000000),"
    L"#(#uvScale,1.5e-05),#(#groundCover,0.35),#(#groundBand,30),#(#overhang,2.5),#(#enabled,true))";
const std::wstring kSnowPairsPrinted =
    L"#(#(#depth, 12.5), #(#coverage, 0.9), #(#noiseAmount, 0.4), #(#noiseScale, 80), #(#patchScale, 200), "
    L"#(#edgeRound, 4), #(#slopeMax, 45), #(#drift, 0.5), #(#leeDist, 500), #(#resolution, 4), "
    L"#(#maxTris, 2000000), #(#uvScale, 1.5e-05), #(#groundCover, 0.35), #(#groundBand, 30), "
    L"#(#overhang, 2.5), #(#enabled, true))";
const std::wstring kFallPairs =
    L"#(#(#type,1),#(#count,5000),#(#speed,300),#(#windSpeed,20),#(#gust,0.3),#(#turbulence,15),#(#size,0.2),"
    L"#(#streak,0.02),#(#dropWidth,0.05),#(#color,(color 240 244 250)),#(#opacity,0.95),#(#shutter,0.03),"
    L"#(#sizeVar,0.6),#(#fogDensity,6.0),#(#fogColor,(color 40 48 62)),#(#collide,true),#(#lightGlow,1.5),"
    L"#(#rainGlint,1.5))";
const std::wstring kFallPairsPrinted =
    L"#(#(#type, 1), #(#count, 5000), #(#speed, 300), #(#windSpeed, 20), #(#gust, 0.3), #(#turbulence, 15), "
    L"#(#size, 0.2), #(#streak, 0.02), #(#dropWidth, 0.05), #(#color, (color 240 244 250)), #(#opacity, 0.95), "
    L"#(#shutter, 0.03), #(#sizeVar, 0.6), #(#fogDensity, 6.0), #(#fogColor, (color 40 48 62)), "
    L"#(#collide, true), #(#lightGlow, 1.5), #(#rainGlint, 1.5))";

struct CallShapes : ScriptTest, ::testing::WithParamInterface<Shape> {};

TEST_P(CallShapes, ArgumentsArriveAsSent) {
    const Shape& shape = GetParam();
    ip->SelectNode(box);
    std::wstring text = expand(shape.text, L"@", nodeRef());
    EXPECT_EQ(eval(text), L"\"done\"") << shape.label;
    ASSERT_EQ(calls.size(), 1u) << shape.label;
    EXPECT_EQ(calls[0], expand(shape.recorded, L"$", L"$Box01")) << shape.label;
}

INSTANTIATE_TEST_SUITE_P(
    Bridge, CallShapes,
    ::testing::Values(
        Shape{L"snow only", L"TWeatherMtl.applySnow @ 1 1 true", L"applySnow($, 1, 1, true)"},
        Shape{L"snow at an id", L"TWeatherMtl.applySnow @ 7 6 false", L"applySnow($, 7, 6, false)"},
        Shape{L"add snow", L"TWeatherMtl.addSnow @ " + kSnowPairs, L"addSnow($, " + kSnowPairsPrinted + L")"},
        Shape{L"gloss", L"TWeatherMtl.glossWet @", L"glossWet($)"},
        Shape{L"glass", L"TWeatherMtl.applyGlass @", L"applyGlass($)"},
        Shape{L"wet", L"TWeatherMtl.applyWet @ 0.600 0.250 true", L"applyWet($, 0.6, 0.25, true)"},
        Shape{L"fall", L"TWeatherMtl.makeFall [-10.5,-20,0] [110,220,350] " + kFallPairs + L" true",
              L"makeFall([-10.5,-20,0], [110,220,350], " + kFallPairsPrinted + L", true)"},
        Shape{L"remove snow", L"TWeatherMtl.removeSnow @", L"removeSnow($)"},
        Shape{L"restore", L"TWeatherMtl.restore @", L"restore($)"},
        Shape{L"remove fall", L"TWeatherMtl.removeFall()", L"removeFall()"},
        Shape{L"bake", L"TWeatherMtl.bake()", L"bake()"},
        Shape{L"cover", L"TWeatherMtl.coverDialog()", L"coverDialog()"},
        Shape{L"paint", L"TWeatherMtl.paint (selection as array)", L"paint(#($))"},
        Shape{L"keywords anywhere", L"TWeatherMtl.paint key:#a @ 2 other:(1 + 2)", L"paint($, 2, key:#a, other:3)"}));

// The bridge's wrapper around every expression: the value as text, or "ERROR: " and the
// exception text.
std::wstring wrap(const std::wstring& expression) {
    return L"global TarnwickWeatherLast = \"\"\ntry (TarnwickWeatherLast = ((" + expression +
           L") as string)) catch (TarnwickWeatherLast = \"ERROR: \" + (getCurrentException()))";
}

std::wstring lastResult() {
    FPValue v;
    if (!ExecuteMAXScriptScript(L"TarnwickWeatherLast", MAXScript::ScriptSource::NonEmbedded, TRUE, &v)) return L"?";
    return v.type == TYPE_STRING ? v.s : v.type == TYPE_TSTR ? *v.tstr : L"?";
}

TEST_F(ScriptTest, WrapperTurnsValuesAndErrorsIntoText) {
    struct Case {
        std::wstring expression, result;
    } cases[] = {
        {L"TWeatherMtl.restore " + nodeRef(), L"done"},
        {L"TWeatherMtl.layerKind = \"Sand\"", L"Sand"},
        {L"maxOps.getNodeByHandle 999999", L"undefined"},
        {L"[1,2,3] + [1,1,1]", L"[2,3,4]"},
        {L"(color 255 128 0)", L"(color 255 128 0)"},
        {L"TWeatherMtl.noSuchFunction " + nodeRef(),
         L"ERROR: -- Unknown property: \"nosuchfunction\" in (struct Recorder)"},
        {L"throw \"out of snow\"", L"ERROR: -- Runtime error: out of snow"},
        {L"tornadoCommand " + nodeRef() + L" \"exportwind\" \"C:/a b/wind.bin\"",
         L"ERROR: -- Runtime error: tornadoCommand: $Box01 is not a storm"},
        {L"noSuchCommand " + nodeRef(), L"ERROR: -- Type error: Call needs function or class, got: undefined"},
    };
    for (auto& c : cases) {
        EXPECT_TRUE(ExecuteMAXScriptScript(wrap(c.expression).c_str(), MAXScript::ScriptSource::NonEmbedded, TRUE,
                                           nullptr, TRUE))
            << host::script::toPrinted(Value::string(c.expression));
        EXPECT_EQ(lastResult(), c.result);
    }
    EXPECT_EQ(eval(L"TWeatherMtl.layerKind"), L"\"Sand\"");
    EXPECT_TRUE(host::scriptLog().quietErrors.empty());  // every error was the script's own
}

TEST_F(ScriptTest, WrapperWithBrokenExpressionFailsQuietly) {
    FPValue v;
    EXPECT_FALSE(ExecuteMAXScriptScript(wrap(L"TWeatherMtl.addSnow #(1,").c_str(), MAXScript::ScriptSource::NonEmbedded,
                                        TRUE, &v, TRUE));
    ASSERT_EQ(v.type, TYPE_TSTR);
    EXPECT_NE(v.tstr->find(L"Syntax error"), std::wstring::npos);
    EXPECT_EQ(host::scriptLog().quietErrors.size(), 1u);
    EXPECT_TRUE(host::scriptLog().shownErrors.empty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(ScriptTest, InstallWrapperReportsFailureInListener) {
    std::wstring library = L"global installed = 1\nthrow \"bad line\"\ninstalled = 2";
    std::wstring text =
        L"try (" + library +
        L"\n) catch (format \"Tarnwick Weather: materials script failed: %\\n\" (getCurrentException()))";
    EXPECT_TRUE(ExecuteMAXScriptScript(text.c_str(), MAXScript::ScriptSource::NonEmbedded, TRUE, nullptr, TRUE));
    EXPECT_EQ(host::listenerText(), L"Tarnwick Weather: materials script failed: -- Runtime error: bad line\n");
    EXPECT_EQ(eval(L"installed"), L"1");
}

TEST_F(ScriptTest, TornadoExportCallShape) {
    host::scriptEngine().defineFunction(L"tornadoCommand",
                                        [this](host::script::Interpreter&, const host::script::CallArgs& a) {
                                            std::wstring text;
                                            for (auto& v : a.positional) text += host::script::toPrinted(v) + L"|";
                                            calls.push_back(text);
                                            return Value::string(L"wrote");
                                        });
    std::wstring text = L"tornadoCommand (maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) +
                        L") \"exportwind\" \"D:/wind files/storm.twind\"";
    EXPECT_EQ(eval(text), L"\"wrote\"");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], L"$Box01|\"exportwind\"|\"D:/wind files/storm.twind\"|");
}

TEST_F(ScriptTest, StartupFileInShapeKeepsBackslashes) {
    host::scriptEngine().defineFunction(L"fileIn",
                                        [this](host::script::Interpreter&, const host::script::CallArgs& a) -> Value {
                                            calls.push_back(a.positional.at(0).s);
                                            host::script::runtimeError(L"cannot open");
                                        });
    FPValue v;
    EXPECT_TRUE(ExecuteMAXScriptScript(L"try (fileIn @\"C:\\Users\\me\\new\\TarnwickFX-Weather.mcr\") catch ()",
                                       MAXScript::ScriptSource::NonEmbedded, TRUE, &v, TRUE));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], L"C:\\Users\\me\\new\\TarnwickFX-Weather.mcr");
    EXPECT_EQ(v.ValueText(), L"undefined");  // catch () answers the empty block's value
}

}  // namespace
}  // namespace scripttest
