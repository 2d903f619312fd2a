// FPValue: a typed value crossing the function-publishing and script boundary, as the SDK's
// ifnpub.h has it. Unlike the SDK, the stand-in's FPValue owns whatever its pointers point
// at (the TYPE_STRING text too), so a result stays readable for as long as the FPValue
// lives and copying one copies the data. Plain value type; not shared between threads.
#pragma once

#include <string>

#include "max/param_block2.h"
#include "max/point3.h"

class INode;
class Value;  // a script value; the stand-in never hands one out

// Types past TYPE_FRGBA changed numbers between SDK releases; these are the stand-in's.
constexpr ParamType2 TYPE_VOID = ParamType2(30);
constexpr ParamType2 TYPE_VALUE = ParamType2(31);
constexpr ParamType2 TYPE_TSTR = ParamType2(32);

class FPValue {
public:
    FPValue() : i(0) {}
    FPValue(const FPValue& other);
    FPValue& operator=(const FPValue& other);
    ~FPValue() { Free(); }

    void Free();  // back to TYPE_VOID, releasing owned data

    // Loaders: each replaces the value.
    void LoadInt(int v);
    void LoadFloat(float v);
    void LoadBool(bool v);                      // TYPE_BOOL in `i`, as script booleans arrive
    void LoadString(const std::wstring& text);  // TYPE_STRING
    void LoadTSTR(const std::wstring& text);    // TYPE_TSTR
    void LoadPoint3(const Point3& v);
    void LoadNode(INode* node);
    // Stand-in: a script value without a C++ type, kept as its printed text.
    void LoadValueText(const std::wstring& printed);
    const std::wstring& ValueText() const { return text_; }

    ParamType2 type = TYPE_VOID;
    union {
        int i;
        float f;
        DWORD d;
        bool b;
        const MCHAR* s;
        MSTR* tstr;
        INode* n;
        Point3* p;
        Value* v;
    };

private:
    std::wstring text_;  // storage behind `s`, and the printed form of TYPE_VALUE
};
