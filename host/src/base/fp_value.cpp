#include "max/fp_value.h"

#include <cstring>

FPValue::FPValue(const FPValue& other) : i64(0) {
    *this = other;
}

FPValue& FPValue::operator=(const FPValue& other) {
    if (this == &other) return *this;
    if (other.type == TYPE_NAME) {
        LoadName(other.s ? std::wstring(other.s) : std::wstring());
    } else if (other.type == TYPE_FPVALUE_TAB_BV) {
        LoadFPValueTab(*other.fpv_tab);
    } else if (other.type == TYPE_STRING) {
        // Plug-in code may point `s` at its own text without a loader, as SDK code does.
        LoadString(other.s ? std::wstring(other.s) : std::wstring());
    } else if (other.type == TYPE_TSTR) {
        LoadTSTR(*other.tstr);
    } else if (other.type == TYPE_POINT3) {
        LoadPoint3(*other.p);
    } else if (other.type == TYPE_COLOR) {
        LoadColor(*other.clr);
    } else if (other.type == TYPE_VALUE) {
        LoadValueText(other.text_);
    } else {
        Free();
        type = other.type;
        std::memcpy(static_cast<void*>(&i64), &other.i64, sizeof i64);  // every scalar member fits in the widest
    }
    return *this;
}

void FPValue::Free() {
    if (type == TYPE_TSTR) delete tstr;
    if (type == TYPE_POINT3) delete p;
    if (type == TYPE_COLOR) delete clr;
    if (type == TYPE_FPVALUE_TAB_BV) delete fpv_tab;
    type = TYPE_VOID;
    i64 = 0;
    text_.clear();
}

void FPValue::LoadInt(int v) {
    Free();
    type = TYPE_INT;
    i = v;
}
void FPValue::LoadFloat(float v) {
    Free();
    type = TYPE_FLOAT;
    f = v;
}
void FPValue::LoadBool(bool v) {
    Free();
    type = TYPE_BOOL;
    i = v ? TRUE : FALSE;
}

void FPValue::LoadString(const std::wstring& text) {
    Free();
    type = TYPE_STRING;
    text_ = text;
    s = text_.c_str();
}

void FPValue::LoadTSTR(const std::wstring& text) {
    Free();
    type = TYPE_TSTR;
    tstr = new MSTR(text);
}

void FPValue::LoadPoint3(const Point3& v) {
    Free();
    type = TYPE_POINT3;
    p = new Point3(v);
}

void FPValue::LoadColor(const Color& c) {
    Free();
    type = TYPE_COLOR;
    clr = new Color(c);
}

void FPValue::LoadNode(INode* node) {
    Free();
    type = TYPE_INODE;
    n = node;
}

void FPValue::LoadValueText(const std::wstring& printed) {
    Free();
    type = TYPE_VALUE;
    v = nullptr;
    text_ = printed;
}

void FPValue::LoadName(const std::wstring& name) {
    Free();
    type = TYPE_NAME;
    text_ = name;
    s = text_.c_str();
}

void FPValue::LoadInt64(int64_t v) {
    Free();
    type = TYPE_INT64;
    i64 = v;
}

void FPValue::LoadDouble(double v) {
    Free();
    type = TYPE_DOUBLE;
    dbl = v;
}

void FPValue::LoadFPValueTab(std::vector<FPValue> items) {
    // The items may be this value's own: move them out before freeing.
    auto* tab = new std::vector<FPValue>(std::move(items));
    Free();
    type = TYPE_FPVALUE_TAB_BV;
    fpv_tab = tab;
}
