// Script values for scene things: a node, and a plug-in object or modifier whose parameters
// scripts read and set by their internal names. They hold a node handle (and the object's
// address only to recognise it, never to reach it), so a value kept past a deletion
// answers "deleted scene object" instead of touching freed memory. Main thread only.
#pragma once

#include <memory>

#include "host/script/value.h"
#include "max/class_desc.h"
#include "max/inode.h"

namespace host::script {

class NodeValue : public ScriptObject {
public:
    explicit NodeValue(ULONG handle) : handle_(handle) {}
    ULONG handle() const { return handle_; }
    INode* node() const;  // null once the node is gone
    std::wstring printed() const override;
    bool getProperty(Interpreter& in, const std::wstring& name, Value& out) override;
    bool setProperty(Interpreter& in, const std::wstring& name, const Value& v) override;
    bool sameAs(const ScriptObject& other) const override;

private:
    ULONG handle_;
};

// The node's base object (modifier < 0) or one of its world-space modifiers.
class ParamHolderValue : public ScriptObject {
public:
    ParamHolderValue(ULONG handle, const Animatable* target) : handle_(handle), target_(target) {}
    Animatable* resolve() const;  // null once the node or the object is gone
    std::wstring printed() const override;
    bool getProperty(Interpreter& in, const std::wstring& name, Value& out) override;
    bool setProperty(Interpreter& in, const std::wstring& name, const Value& v) override;
    bool sameAs(const ScriptObject& other) const override;

private:
    ULONG handle_;
    const Animatable* target_;
};

Value nodeValue(INode* node);  // undefined for null

// A plug-in class as scripts name it (the value of `TarnwickWeather` in
// `UtilityPanel.OpenUtility TarnwickWeather`).
class ClassValue : public ScriptObject {
public:
    explicit ClassValue(ClassDesc* desc) : desc_(desc) {}
    ClassDesc* desc() const { return desc_; }
    std::wstring printed() const override;
    bool sameAs(const ScriptObject& other) const override;

private:
    ClassDesc* desc_;
};

// The utility the command panel shows (UtilityPanel.OpenUtility opens it through
// host/utility_panel.h); null when none.
ClassDesc* openedUtility();

// Reading and writing a parameter of `holder` by internal name (any case); false when it
// has none of that name. A value of the wrong type raises a script error.
bool readParam(Animatable* holder, const std::wstring& lowerName, Value& out);
bool writeParam(Animatable* holder, const std::wstring& lowerName, const Value& v);

}  // namespace host::script
