// Function-published interfaces as script values: core interfaces are globals by their
// internal names, and a plug-in object's mixin functions are its members (obj.fn, or
// obj.<interface>.fn). Arguments convert to the declared parameter types (TYPE_FPVALUE_BV:
// each to the FPValue of its own kind); whatever the function throws becomes a script
// error, in the interpreter's own words for the SDK's RuntimeError and ConversionError.
// Main thread only.
#pragma once

#include <functional>
#include <string>

#include "host/script/value.h"
#include "max/ifnpub.h"

class Animatable;

namespace host::script {

// Finds the interface again at each use; null once it is gone.
using InterfaceResolver = std::function<FPInterface*()>;

// The core interface with this internal name (any case), or undefined.
Value coreInterfaceValue(const std::wstring& lowerName);

// A member of `holder`'s mixin interface: one of its functions (bound, to be called), a
// property (read now), or the interface itself. False when the holder has none.
bool mixinMember(Interpreter& in, Animatable* holder, InterfaceResolver resolve, const std::wstring& lowerName,
                 Value& out);
bool setMixinProperty(Interpreter& in, Animatable* holder, const std::wstring& lowerName, const Value& v);

// Calls `fid` on the interface `resolve` finds, converting arguments and the result.
Value callPublished(const InterfaceResolver& resolve, FunctionID fid, const CallArgs& args);

// Script value to and from FPValue by declared type (raises a script error on mismatch).
void toFPValue(const Value& v, ParamType2 type, FPValue& out);
Value fromFPValue(const FPValue& v);

}  // namespace host::script
