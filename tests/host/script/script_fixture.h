// Shared set-up for the script tests: a fresh scene holding one box, a fresh interpreter,
// and a recorder struct standing in for a script library so that call shapes can be
// checked argument by argument.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "max/interface.h"
#include "max/maxscript.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"

namespace scripttest {

using host::script::Value;

struct ScriptTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    INode* box = nullptr;
    std::vector<std::wstring> calls;  // "name(arg, arg, key:arg)" in printed form

    void SetUp() override {
        host::replaceScene(nullptr);
        host::resetScriptEngine();
        box = ip->CreateObjectNode(host::createBox(10, 20, 30));
        box->SetName(L"Box01");
        auto lib = std::make_shared<host::script::StructObject>(L"Recorder");
        for (const wchar_t* fn : {L"applySnow", L"addSnow", L"glossWet", L"applyGlass", L"applyWet", L"makeFall",
                                  L"removeSnow", L"restore", L"removeFall", L"bake", L"coverDialog", L"paint"}) {
            std::wstring name = fn;
            lib->set(name, Value::function(
                               name, [this, name](host::script::Interpreter&, const host::script::CallArgs& args) {
                                   std::wstring text = name + L"(";
                                   for (size_t k = 0; k < args.positional.size(); ++k)
                                       text += (k ? L", " : L"") + host::script::toPrinted(args.positional[k]);
                                   for (auto& [key, v] : args.keywords)
                                       text += L", " + key + L":" + host::script::toPrinted(v);
                                   calls.push_back(text + L")");
                                   return Value::string(L"done");
                               }));
        }
        lib->set(L"layerKind", Value::string(L"Snow"));
        host::scriptEngine().setGlobal(L"TWeatherMtl", Value::of(lib));
    }
    void TearDown() override {
        host::resetScriptEngine();
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }

    std::wstring nodeRef() const { return L"(maxOps.getNodeByHandle " + std::to_wstring(box->GetHandle()) + L")"; }

    // Runs through the interpreter; the printed result, or the error text.
    std::wstring eval(const std::wstring& text) {
        try {
            return host::script::toPrinted(host::scriptEngine().run(text));
        } catch (const host::script::SyntaxError& e) {
            return L"SYNTAX " + e.message;
        } catch (const host::script::ScriptError& e) {
            return L"ERROR " + e.message;
        }
    }
};

// The real TWeatherMtl library instead of the recorder, with the class its materials need
// (extraDesc) registered for the test.
struct MaterialsLibraryTest : ScriptTest {
    virtual ClassDesc* extraDesc() = 0;
    void SetUp() override {
        ScriptTest::SetUp();
        host::scriptEngine().removeGlobal(L"TWeatherMtl");
        host::classRegistry().add(extraDesc());
        wx::resetMaterialsScript();
        wx::resetMaterialsLibrary();
        wx::setMaterialsInstaller(wx::installMaterialsLibrary);
    }
    void TearDown() override {
        wx::setMaterialsInstaller(nullptr);
        wx::resetMaterialsScript();
        wx::resetMaterialsLibrary();
        host::classRegistry().remove(extraDesc());
        ScriptTest::TearDown();
    }
    // Runs through the weather module's script bridge; the answer, or the error text.
    std::wstring call(const std::wstring& expression, bool expectOk = true) {
        std::wstring result;
        EXPECT_EQ(wx::runScript(expression, &result), expectOk) << expression << L" -> " << result;
        return result;
    }
};

}  // namespace scripttest
