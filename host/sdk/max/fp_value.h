// FPValue: a typed value crossing the function-publishing and script boundary, as the SDK's
// ifnpub.h has it. Unlike the SDK, the stand-in's FPValue owns whatever its pointers point
// at (the TYPE_STRING and TYPE_NAME text and a table's items too), so a result stays
// readable for as long as the FPValue lives and copying one copies the data. Plain value
// type; not shared between threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "max/param_block2.h"
#include "max/point3.h"

class INode;
class Value;  // a script value; the stand-in never hands one out

// Types past TYPE_FRGBA changed numbers between SDK releases; these are the stand-in's.
constexpr ParamType2 TYPE_VOID = ParamType2(30);
constexpr ParamType2 TYPE_VALUE = ParamType2(31);
constexpr ParamType2 TYPE_TSTR = ParamType2(32);
constexpr ParamType2 TYPE_NAME = ParamType2(33);  // a script #name, its text in `s`
constexpr ParamType2 TYPE_FPVALUE = ParamType2(34);
constexpr ParamType2 TYPE_INT64 = ParamType2(35);
constexpr ParamType2 TYPE_DOUBLE = ParamType2(36);
constexpr ParamType2 TYPE_COLOR = ParamType2(37);  // a colour, components 0..1, in `clr`
// Any value, by value: a script argument arrives as the FPValue of its own kind (integer
// TYPE_INT64, float TYPE_DOUBLE, true/false TYPE_BOOL, string TYPE_STRING, #name TYPE_NAME,
// scene node TYPE_INODE, undefined a null TYPE_INODE, [x,y,z] TYPE_POINT3, (color r g b)
// TYPE_COLOR with the script's 0..255 components divided by 255, array
// TYPE_FPVALUE_TAB_BV, anything else TYPE_VALUE), so the function decides what it accepts.
constexpr ParamType2 TYPE_FPVALUE_BV = ParamType2(TYPE_FPVALUE | TYPE_BY_VAL);
// An array of any values, by value: `fpv_tab` holds the items.
constexpr ParamType2 TYPE_FPVALUE_TAB_BV = ParamType2(TYPE_FPVALUE | TYPE_TAB | TYPE_BY_VAL);

class FPValue {
public:
    FPValue() : i64(0) {}
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
    void LoadColor(const Color& c);  // TYPE_COLOR
    void LoadNode(INode* node);
    void LoadName(const std::wstring& name);  // TYPE_NAME, without the '#'
    void LoadInt64(int64_t v);
    void LoadDouble(double v);
    void LoadFPValueTab(std::vector<FPValue> items);  // TYPE_FPVALUE_TAB_BV
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
        Color* clr;
        Value* v;
        int64_t i64;
        double dbl;
        std::vector<FPValue>* fpv_tab;  // the SDK's Tab<FPValue*>; here the items themselves
    };

private:
    std::wstring text_;  // storage behind `s`, and the printed form of TYPE_VALUE
};
