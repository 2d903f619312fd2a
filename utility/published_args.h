// Reading the arguments of the materials library's published functions. Every argument is
// declared TYPE_FPVALUE_BV, so it arrives as the FPValue of its own kind and each function
// states what it accepts, reporting a wrong argument in the words scripts have always seen.
// Parameters of a plug-in object are found by internal name in any case, as scripts name
// them, and written with the interpreter's conversions. Errors are the SDK's script
// exceptions (max/ms_exceptions.h). Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

class Animatable;
class INode;

namespace wx {

// Argument k (0-based) of function `fn`: "fn: a node is needed" when missing, "fn: not a
// scene node: <value>" for anything but a live node.
INode* nodeArg(FPParams& p, int k, const wchar_t* fn);
INode* nodeOf(const FPValue& v, const wchar_t* fn);
// "fn: argument N must be an integer" / "... must be true or false" (N counts from 1).
int intArg(FPParams& p, int k, const wchar_t* fn);
bool boolArg(FPParams& p, int k, const wchar_t* fn);
// "fn: argument N must be a number" for anything but a finite integer or float.
float floatArg(FPParams& p, int k, const wchar_t* fn);
// True for an array argument (TYPE_FPVALUE_TAB_BV).
bool isArray(const FPValue& v);

// Writes `v` to the parameter named `name` of one of holder's blocks at time t. False when
// there is none; throws ConversionError when v does not fit the parameter's type.
bool writeParamByName(Animatable* holder, const std::wstring& name, const FPValue& v, TimeValue t);

// An integer-like parameter read by name: found, and whether it reads as an integer or as
// true/false in scripts.
struct ParamReading {
    bool found = false;
    bool isInt = false;
    bool isBool = false;
    int value = 0;
};
ParamReading readParamByName(Animatable* holder, const std::wstring& name, TimeValue t);

}  // namespace wx
