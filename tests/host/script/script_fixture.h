// Shared set-up for the script tests: a fresh scene holding one box, a fresh interpreter,
// and a recorder struct standing in for a script library so that call shapes can be
// checked argument by argument.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/builtin_objects.h"
#include "host/scene.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "max/interface.h"
#include "max/maxscript.h"

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

}  // namespace scripttest
