// The script command over a saved scene: expressions, a script file, the prompt with
// continued lines, saving afterwards, and exit codes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cmd_script.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene_file.h"
#include "host/script_engine.h"
#include "max/interface.h"
#include "max/maxscript.h"

namespace {

struct ScriptCmdTest : ::testing::Test {
    std::string dir;
    ULONG handle = 0;
    std::istringstream in;
    std::ostringstream out, err;
    void SetUp() override {
        char t[] = "/tmp/wx_script_cmd_XXXXXX";
        dir = mkdtemp(t);
        host::resetScene();
        host::resetScriptEngine();
        INode* box = GetCOREInterface()->CreateObjectNode(host::createBox(10, 20, 30));
        box->SetName(L"crate");
        handle = box->GetHandle();
        std::string error;
        ASSERT_TRUE(host::saveScene(dir + "/in.scene", error)) << error;
        host::resetScene();
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        host::resetScene();
        host::resetScriptEngine();
    }
    std::string node() const { return "(maxOps.getNodeByHandle " + std::to_string(handle) + ")"; }
};

TEST_F(ScriptCmdTest, ExpressionsThenFileThenSave) {
    std::ofstream(dir + "/edit.ms") << "global seen = " << node() << ".name\nformat \"file saw %\\n\" seen\nseen";
    tweather::ScriptOptions o;
    o.weatherPlugin = false;  // this program carries the plug-in's code itself
    o.scene = dir + "/in.scene";
    o.expressions = {node() + ".height = 75", "undefined + 1", node() + ".height"};
    o.file = dir + "/edit.ms";
    o.save = dir + "/out.scene";
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 3);  // one expression failed
    EXPECT_EQ(out.str(), "75\n75.0\nfile saw crate\n\"crate\"\nwrote " + o.save + "\n");
    EXPECT_EQ(err.str(), "-- No \"+\" function for undefined\n");

    std::string error;
    ASSERT_TRUE(host::loadScene(o.save, error)) << error;
    INode* box = GetCOREInterface()->GetINodeByHandle(handle);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetObjectRef()->GetParamBlock(0)->GetFloat(host::kBoxHeight), 75.0f);
}

TEST_F(ScriptCmdTest, PromptJoinsIncompleteLines) {
    in.str("x = 1 +\n  2\n\n#(x,\n x * 2)\ntry (\n throw \"no\"\n)\ncatch (getCurrentException())\nprint \"p\"\n(");
    tweather::ScriptOptions o;
    o.weatherPlugin = false;  // this program carries the plug-in's code itself
    o.scene = dir + "/in.scene";
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 3);  // the unclosed '(' at the end
    EXPECT_EQ(out.str(), "3\n#(3, 6)\n\"-- Runtime error: no\"\n\"p\"\n\"p\"\n");
    EXPECT_NE(err.str().find("unclosed '('"), std::string::npos) << err.str();
}

TEST_F(ScriptCmdTest, UnreadableInputs) {
    tweather::ScriptOptions o;
    o.weatherPlugin = false;  // this program carries the plug-in's code itself
    o.scene = dir + "/missing.scene";
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 1);
    o.scene.clear();
    o.file = dir + "/missing.ms";
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 1);
    o.file.clear();
    o.expressions = {"1"};
    o.save = dir + "/out.txt";
    EXPECT_EQ(tweather::runScriptCommand(o, in, out, err), 1);
    EXPECT_NE(err.str().find("unknown output type"), std::string::npos) << err.str();
}

}  // namespace
