// ExecuteMAXScriptScript's contract (results, quiet errors, the log) and scripts reaching
// scene nodes, objects and modifiers through the host.
#include <thread>

#include "host/script_engine.h"
#include "max/class_desc.h"
#include "max/param_block2.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

BOOL run(const std::wstring& text, FPValue* result = nullptr, BOOL quiet = TRUE, BOOL logQuiet = TRUE) {
    return ExecuteMAXScriptScript(text.c_str(), MAXScript::ScriptSource::NonEmbedded, quiet, result, logQuiet);
}

TEST_F(ScriptTest, ResultTypes) {
    FPValue v;
    ASSERT_TRUE(run(L"\"snow\"", &v));
    ASSERT_EQ(v.type, TYPE_STRING);
    EXPECT_STREQ(v.s, L"snow");
    FPValue copy = v;  // the copy owns its own text
    v.LoadInt(1);
    EXPECT_STREQ(copy.s, L"snow");
    FPValue byHand;  // set the way SDK code sets it, without a loader
    byHand.type = TYPE_STRING;
    byHand.s = L"static text";
    FPValue copied(byHand);
    EXPECT_STREQ(copied.s, L"static text");
    EXPECT_NE(copied.s, byHand.s);
    ASSERT_TRUE(run(L"6 * 7", &v));
    EXPECT_EQ(v.type, TYPE_INT);
    EXPECT_EQ(v.i, 42);
    ASSERT_TRUE(run(L"0.25", &v));
    EXPECT_EQ(v.type, TYPE_FLOAT);
    EXPECT_EQ(v.f, 0.25f);
    ASSERT_TRUE(run(L"1 < 2", &v));
    EXPECT_EQ(v.type, TYPE_BOOL);
    EXPECT_EQ(v.i, TRUE);
    ASSERT_TRUE(run(L"[1,2,3]", &v));
    ASSERT_EQ(v.type, TYPE_POINT3);
    EXPECT_EQ(*v.p, Point3(1, 2, 3));
    ASSERT_TRUE(run(L"maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()), &v));
    ASSERT_EQ(v.type, TYPE_INODE);
    EXPECT_EQ(v.n, box);
    ASSERT_TRUE(run(L"#(1, #a)", &v));
    EXPECT_EQ(v.type, TYPE_VALUE);
    EXPECT_EQ(v.ValueText(), L"#(1, #a)");
}

TEST_F(ScriptTest, ErrorsByMode) {
    struct Mode {
        BOOL quiet, logQuiet;
        size_t shown, logged;
    } modes[] = {{FALSE, TRUE, 1, 0}, {TRUE, TRUE, 0, 1}, {TRUE, FALSE, 0, 0}};
    for (const Mode& m : modes) {
        host::resetScriptEngine();
        FPValue v;
        EXPECT_FALSE(run(L"x = 1\nundefined + x", &v, m.quiet, m.logQuiet));
        ASSERT_EQ(v.type, TYPE_TSTR);
        EXPECT_EQ(*v.tstr, L"-- No \"+\" function for undefined");
        EXPECT_EQ(host::scriptLog().shownErrors.size(), m.shown);
        EXPECT_EQ(host::scriptLog().quietErrors.size(), m.logged);
        EXPECT_EQ(host::listenerText().empty(), m.shown == 0);
        EXPECT_TRUE(run(L"x == 1"));  // what ran before the error stays done
    }
    EXPECT_TRUE(run(L"try (undefined + 1) catch (\"handled\")"));  // caught: success
    ASSERT_EQ(host::scriptLog().runs.size(), 3u);
    EXPECT_FALSE(host::scriptLog().runs[0].succeeded);
    EXPECT_EQ(host::scriptLog().runs[2].text, L"try (undefined + 1) catch (\"handled\")");
    EXPECT_EQ(ExecuteMAXScriptScript(nullptr, MAXScript::ScriptSource::Dynamic), FALSE);
}

TEST_F(ScriptTest, OnlyTheMainThreadRunsScripts) {
    host::scriptEngine();  // the engine now belongs to this thread
    BOOL ok = TRUE;
    FPValue v;
    std::thread([&] { ok = run(L"global fromThread = 1", &v); }).join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(*v.tstr, L"-- Runtime error: scripts run only on the main thread");
    EXPECT_EQ(eval(L"fromThread"), L"undefined");
}

TEST_F(ScriptTest, NativeFunctionMayRunScriptsMidRun) {
    host::scriptEngine().defineFunction(L"nested", [](host::script::Interpreter&, const host::script::CallArgs& a) {
        FPValue v;
        ExecuteMAXScriptScript(a.positional.at(0).s.c_str(), MAXScript::ScriptSource::Dynamic, TRUE, &v);
        return Value::string(v.type == TYPE_STRING ? v.s : *v.tstr);
    });
    EXPECT_EQ(eval(L"(local keep = 1; r = nested \"(local keep = 2; keep as string)\"; r + (keep as string))"),
              L"\"21\"");
    EXPECT_EQ(eval(L"(nested \"nested \\\"nested \\\\\\\"undefined + 1\\\\\\\"\\\"\")"),
              L"\"-- No \\\"+\\\" function for undefined\"");
    host::scriptEngine().defineFunction(L"forever", [](host::script::Interpreter&, const host::script::CallArgs&) {
        FPValue v;
        ExecuteMAXScriptScript(L"forever()", MAXScript::ScriptSource::Dynamic, TRUE, &v);
        return Value::string(v.type == TYPE_STRING ? std::wstring(v.s) : *v.tstr);
    });
    EXPECT_EQ(eval(L"forever()"), L"\"-- Runtime error: scripts started from scripts nested too deeply\"");
}

// A world-space modifier with one parameter block, for parameter access by name.
enum { kAmount, kAngle, kShare, kOn, kTint, kTag, kTarget, kSteps };
class TestModDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"ScriptTestMod"; }
    const MCHAR* NonLocalizedClassName() override { return L"ScriptTestMod"; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x5c21, 0x7a10); }
    const MCHAR* Category() override { return L""; }
};
TestModDesc gModDesc;
ParamBlockDesc2 gModBlock(0, L"params", 0, &gModDesc, P_AUTO_CONSTRUCT, 0);
bool gModBlockBuilt = [] {
    gModBlock.AddParam(kAmount, L"depthAmount", TYPE_WORLD, P_ANIMATABLE, 0).Default(2.0f).Range(0.0f, 100.0f);
    gModBlock.AddParam(kAngle, L"slopeMax", TYPE_ANGLE, 0, 0).Default(0.5f);
    gModBlock.AddParam(kShare, L"coverage", TYPE_PCNT_FRAC, 0, 0).Default(0.5f);
    gModBlock.AddParam(kOn, L"enabled", TYPE_BOOL, 0, 0).Default(1);
    gModBlock.AddParam(kTint, L"tint", TYPE_RGBA, 0, 0).Default(Color(1.0f, 0.5f, 0.0f));
    gModBlock.AddParam(kTag, L"tag", TYPE_STRING, 0, 0).Default(L"x");
    gModBlock.AddParam(kTarget, L"target", TYPE_INODE, 0, 0);
    gModBlock.AddParam(kSteps, L"steps", TYPE_INT, 0, 0).Default(3).Range(1, 10);
    return true;
}();

class TestMod : public WSModifier {
public:
    IParamBlock2* pb = nullptr;
    TestMod() { gModDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return gModDesc.ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = L"ScriptTestMod"; }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pb; }
};

TEST_F(ScriptTest, ParametersByInternalName) {
    auto* mod = new TestMod;
    box->AddWSModifier(mod);
    std::wstring node = nodeRef();
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {node + L".length", L"10.0"},
        {node + L".WIDTH = 4.5", L"4.5"},
        {node + L".baseObject.width", L"4.5"},
        {node + L".modifiers.count", L"1"},
        {L"m = " + node + L".modifiers[1]; m.DepthAmount", L"2.0"},
        {L"m.depthAmount = 250", L"250"},  // clamped to the range, as spinners do
        {L"m.depthAmount", L"100.0"},
        {L"m.slopeMax = 45; m.slopeMax", L"45.0"},
        {L"m.coverage", L"50.0"},
        {L"m.enabled = false; m.enabled", L"false"},
        {L"m.tint", L"(color 255 127.5 0)"},
        {L"m.tint = (color 0 51 255); m.tint", L"(color 0 51 255)"},
        {L"m.tag = \"a\\\"b\"; m.tag", L"\"a\\\"b\""},
        {L"m.target", L"undefined"},
        {L"m.target = " + node + L"; m.target", L"$Box01"},
        {L"m.steps = 4.9; m.steps", L"4"},
        {L"m.steps = \"many\"", L"ERROR -- Unable to convert: \"many\" to type: Integer"},
        {L"m.tint = [1,2,3]", L"ERROR -- Unable to convert: [1,2,3] to type: Color"},
        {L"m.nosuch", L"ERROR -- Unknown property: \"nosuch\" in ScriptTestMod:ScriptTestMod"},
        {node + L".name = \"Renamed\"; " + node + L".name", L"\"Renamed\""},
        {node + L".inode.handle == " + std::to_wstring(box->GetHandle()), L"true"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    EXPECT_FLOAT_EQ(mod->pb->GetFloat(kAngle), 45.0f * 3.14159265f / 180.0f);
    EXPECT_EQ(mod->pb->GetINode(kTarget), box);
    EXPECT_EQ(mod->pb->GetInt(kOn), 0);

    // A value kept past its node's deletion reports it instead of reaching freed memory.
    EXPECT_EQ(eval(L"global keptNode = " + node), L"$Renamed");
    ip->DeleteNode(box);
    box = nullptr;
    EXPECT_EQ(eval(L"m.depthAmount"), L"ERROR -- Runtime error: Attempt to access deleted scene object");
    EXPECT_EQ(eval(L"keptNode.name"), L"ERROR -- Runtime error: Attempt to access deleted scene object");
    EXPECT_EQ(eval(L"keptNode"), L"<Deleted scene node>");
}

TEST_F(ScriptTest, NodeLookupAndSelection) {
    INode* other = ip->CreateObjectNode(host::createSphere(5));
    other->SetName(L"my sphere");
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"maxOps.getNodeByHandle " + std::to_wstring(other->GetHandle()), L"$'my sphere'"},
        {L"maxOps.getNodeByHandle 0", L"undefined"},
        {L"maxOps.getNodeByHandle 4294967296", L"undefined"},
        {L"maxOps.getNodeByHandle (-3)", L"undefined"},
        {L"maxOps.getNodeByHandle 1.5", L"ERROR -- Unable to convert: 1.5 to type: Integer"},
        {L"maxOps.getNodeByHandle \"1\"", L"ERROR -- Unable to convert: \"1\" to type: Integer"},
        {L"maxOps.getNodeByHandle()", L"ERROR -- Argument count error: getNodeByHandle wanted 1, got 0"},
        {L"selection as array", L"#()"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    ip->SelectNode(other);
    ip->SelectNode(box, 0);
    EXPECT_EQ(eval(L"s = selection as array"), L"#($'my sphere', $Box01)");
    ip->ClearNodeSelection();
    EXPECT_EQ(eval(L"s.count"), L"2");  // a snapshot, not the live selection
    EXPECT_EQ(eval(L"selection.count"), L"0");
}

// The selection indexes like the array it converts to: 1-based, in selection order, live.
TEST_F(ScriptTest, SelectionIndexing) {
    INode* other = ip->CreateObjectNode(host::createSphere(5));
    other->SetName(L"my sphere");
    EXPECT_EQ(eval(L"selection[1]"), L"ERROR -- Runtime error: Array index out of range: 1 (count 0)");
    ip->SelectNode(other);
    ip->SelectNode(box, 0);
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"selection[1]", L"$'my sphere'"},
        {L"selection[2].name", L"\"Box01\""},
        {L"selection[selection.count]", L"$Box01"},
        {L"(selection as array)[2]", L"$Box01"},
        {L"(selection as array).count", L"2"},
        {L"selection[3]", L"ERROR -- Runtime error: Array index out of range: 3 (count 2)"},
        {L"selection[0]", L"ERROR -- Runtime error: Array index must be positive: 0"},
        {L"selection[1] = 5", L"ERROR -- No \"put\" function for $selection"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    ip->ClearNodeSelection();
    ip->SelectNode(box);
    EXPECT_EQ(eval(L"selection[1]"), L"$Box01");
}

}  // namespace
}  // namespace scripttest
