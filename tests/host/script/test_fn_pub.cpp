// Function publishing reached from scripts and from C++: dispatch by id, argument
// conversion, too few arguments (the out-of-range exception), properties, failures, any
// value arguments with the script errors a function raises about them, and a mixin
// interface on a modifier.
#include "max/class_desc.h"
#include "max/ifnpub.h"
#include "max/ms_exceptions.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

enum { kMake = 0, kShelter = 2, kStatus = 4, kFail = 5, kGetLevel = 20, kSetLevel = 21 };
constexpr Interface_ID kTestCoreID(0x6e2a0001, 0x3f7b0001);

class TestCore : public FPStaticInterface {
public:
    int level = 1;
    TestCore() : FPStaticInterface(kTestCoreID, L"TestWeather", 0, nullptr, FP_CORE) {
        AppendFunction(kMake, L"make", 0, TYPE_TSTR, 0, {{L"preset", TYPE_INT}, {L"wholeScene", TYPE_BOOL}});
        AppendFunction(kShelter, L"updateShelter", 0, TYPE_INT, 0, {});
        AppendFunction(kStatus, L"status", 0, TYPE_TSTR, 0, {{L"node", TYPE_INODE}});
        AppendFunction(kFail, L"fail", 0, TYPE_VOID, 0, {});
        AppendProperty(kGetLevel, kSetLevel, L"level", 0, TYPE_INT);
    }

protected:
    // Reads arguments by index, as dispatch code generated from a function map does.
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) override {
        switch (fid) {
            case kMake: {
                int preset = p->params[0].i;
                bool whole = p->params[1].i != 0;
                result.LoadTSTR(L"make " + std::to_wstring(preset) + (whole ? L" scene" : L" selection"));
                return FPS_OK;
            }
            case kShelter:
                result.LoadInt(7);
                return FPS_OK;
            case kStatus: {
                INode* n = p->params[0].n;
                result.LoadTSTR(n ? std::wstring(L"status ") + n->GetName() : L"status none");
                return FPS_OK;
            }
            case kFail:
                throw MAXException(L"the shelter scene is empty");
            case kGetLevel:
                result.LoadInt(level);
                return FPS_OK;
            case kSetLevel:
                level = p->params[0].i;
                return FPS_OK;
            default:
                return FPS_NO_SUCH_FUNCTION;
        }
    }
};

TestCore gCore;

TEST_F(ScriptTest, CoreInterfaceCalls) {
    std::wstring node = nodeRef();
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"TestWeather.make 2 true", L"\"make 2 scene\""},
        {L"testweather.MAKE 7 false", L"\"make 7 selection\""},
        {L"TestWeather.make 2",
         L"ERROR -- Runtime error: Argument index out of bounds, passed into a MaxSDK::Array::operator[]"},
        {L"TestWeather.make()",
         L"ERROR -- Runtime error: Argument index out of bounds, passed into a MaxSDK::Array::operator[]"},
        {L"try (TestWeather.make 1) catch (\"caught\")", L"\"caught\""},
        {L"TestWeather.make 1 true 3", L"ERROR -- Argument count error: make wanted 2, got 3"},
        {L"TestWeather.make \"1\" true", L"ERROR -- Unable to convert: \"1\" to type: Integer"},
        {L"TestWeather.make 1 #yes", L"ERROR -- Unable to convert: #yes to type: BooleanClass"},
        {L"TestWeather.make 1 true wholeScene:true",
         L"ERROR -- Runtime error: make takes no keyword argument wholescene:"},
        {L"TestWeather.updateShelter()", L"7"},
        {L"TestWeather.status " + node, L"\"status Box01\""},
        {L"TestWeather.status undefined", L"\"status none\""},
        {L"TestWeather.status 3", L"ERROR -- Unable to convert: 3 to type: node"},
        {L"TestWeather.level", L"1"},
        {L"TestWeather.level = 4; TestWeather.level", L"4"},
        {L"TestWeather.fail()", L"ERROR -- Runtime error: the shelter scene is empty"},
        {L"TestWeather.nosuch()", L"ERROR -- Unknown property: \"nosuch\" in <Interface:TestWeather>"},
        {L"f = TestWeather.make; f 3 true", L"\"make 3 scene\""},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    EXPECT_EQ(gCore.level, 4);
}

TEST_F(ScriptTest, CoreInterfaceFromCpp) {
    ASSERT_EQ(GetCOREInterface(kTestCoreID), &gCore);
    FPValue result;
    EXPECT_EQ(gCore.Invoke(99, result), FPS_NO_SUCH_FUNCTION);
    FPParams one;
    one.params.append(FPValue());
    one.params[0].LoadInt(3);
    try {
        gCore.Invoke(kMake, result, &one);
        ADD_FAILURE() << "too few arguments must throw";
    } catch (const MaxSDK::Util::OutOfRangeException& e) {
        EXPECT_STREQ(e.GetMessage(), L"Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
    }
    {
        // A second interface with a taken id stays unregistered; a registered one leaves with
        // its descriptor.
        FPStaticInterface clash(kTestCoreID, L"Clash", 0, nullptr, FP_CORE);
        FPStaticInterface extra(Interface_ID(0x6e2a0001, 0x3f7b0002), L"ExtraInterface", 0, nullptr, FP_CORE);
        EXPECT_EQ(GetCOREInterface(kTestCoreID), &gCore);
        EXPECT_EQ(eval(L"Clash"), L"undefined");
        EXPECT_EQ(eval(L"global kept = ExtraInterface; kept"), L"<Interface:ExtraInterface>");
    }
    EXPECT_EQ(GetCOREInterface(Interface_ID(0x6e2a0001, 0x3f7b0002)), nullptr);
    EXPECT_EQ(eval(L"kept.anything"), L"ERROR -- Runtime error: interface ExtraInterface is no longer available");
}

// Arguments of any kind: describe names each FPValue's kind, reject and convert raise the
// interpreter's own errors about the value they got.
enum { kDescribe = 0, kReject = 1, kConvert = 2, kItems = 3 };

std::wstring describe(const FPValue& v) {
    switch (int(v.type)) {
        case TYPE_INT64:
            return L"int64 " + std::to_wstring(v.i64);
        case TYPE_DOUBLE:
            return L"double " + std::to_wstring(v.dbl);
        case TYPE_BOOL:
            return v.i ? L"true" : L"false";
        case TYPE_STRING:
            return L"string " + std::wstring(v.s);
        case TYPE_NAME:
            return L"name " + std::wstring(v.s);
        case TYPE_INODE:
            return v.n ? L"node " + std::wstring(v.n->GetName()) : L"no node";
        case TYPE_POINT3:
            return L"point3 " + std::to_wstring(int(v.p->z));
        case TYPE_COLOR:
            return L"color " + std::to_wstring(int(v.clr->b * 255.0f + 0.5f)) + L"/255";
        case TYPE_VALUE:
            return L"value " + v.ValueText();
        case TYPE_FPVALUE_TAB_BV: {
            std::wstring out = L"tab(";
            for (size_t k = 0; k < v.fpv_tab->size(); ++k) out += (k ? L"; " : L"") + describe((*v.fpv_tab)[k]);
            return out + L")";
        }
        default:
            return L"type " + std::to_wstring(int(v.type));
    }
}

class AnyCore : public FPStaticInterface {
public:
    AnyCore() : FPStaticInterface(Interface_ID(0x6e2a0001, 0x3f7b0003), L"AnyValues", 0, nullptr, FP_CORE) {
        AppendFunction(kDescribe, L"describe", 0, TYPE_TSTR, 0, {{L"v", TYPE_FPVALUE_BV}});
        AppendFunction(kReject, L"reject", 0, TYPE_VOID, 0, {{L"v", TYPE_FPVALUE_BV}});
        AppendFunction(kConvert, L"convert", 0, TYPE_VOID, 0, {{L"v", TYPE_FPVALUE_BV}});
        AppendFunction(kItems, L"items", 0, TYPE_INT, 0, {{L"v", TYPE_FPVALUE_TAB_BV}});
    }

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) override {
        switch (fid) {
            case kDescribe:
                result.LoadTSTR(describe(p->params[0]));
                return FPS_OK;
            case kReject:
                throw RuntimeError(L"rejected: ", p->params[0]);
            case kConvert:
                throw ConversionError(p->params[0], L"Float");
            case kItems:
                result.LoadInt(int(p->params[0].fpv_tab->size()));
                return FPS_OK;
            default:
                return FPS_NO_SUCH_FUNCTION;
        }
    }
};

AnyCore gAnyCore;

TEST_F(ScriptTest, AnyValueArguments) {
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {L"AnyValues.describe 3", L"\"int64 3\""},
        {L"AnyValues.describe 2.5", L"\"double 2.500000\""},
        {L"AnyValues.describe " + nodeRef(), L"\"node Box01\""},
        {L"AnyValues.describe #(1, #a, \"s\", false, undefined, [1,2,3], #(), (color 1 2 3))",
         L"\"tab(int64 1; name a; string s; false; no node; point3 3; tab(); color 3/255)\""},
        {L"AnyValues.reject #(#depth)", L"ERROR -- Runtime error: rejected: #(#depth)"},
        {L"AnyValues.reject #(1.5, \"a\", (color 1 2 3), undefined)",
         L"ERROR -- Runtime error: rejected: #(1.5, \"a\", (color 1 2 3), undefined)"},
        {L"AnyValues.convert \"deep\"", L"ERROR -- Unable to convert: \"deep\" to type: Float"},
        {L"try (AnyValues.convert #x) catch (\"caught\")", L"\"caught\""},
        {L"AnyValues.items #(1, 2, 3)", L"3"},
        {L"AnyValues.items 5", L"ERROR -- Unable to convert: 5 to type: Array"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
}

TEST(FPValueTables, CopiesOwnTheirItems) {
    FPValue copy;
    {
        std::vector<FPValue> inner(1);
        inner[0].LoadName(L"depth");
        std::vector<FPValue> items(2);
        items[0].LoadFPValueTab(std::move(inner));
        items[1].LoadString(L"deep");
        FPValue original;
        original.LoadFPValueTab(std::move(items));
        copy = original;
    }
    ASSERT_EQ(copy.type, TYPE_FPVALUE_TAB_BV);
    ASSERT_EQ(copy.fpv_tab->size(), 2u);
    EXPECT_EQ(std::wstring((*(*copy.fpv_tab)[0].fpv_tab)[0].s), L"depth");
    EXPECT_EQ(std::wstring((*copy.fpv_tab)[1].s), L"deep");
    copy = (*copy.fpv_tab)[1];  // an item replaces the table that holds it
    EXPECT_EQ(std::wstring(copy.s), L"deep");
}

// A modifier publishing a mixin interface.
enum { kReport = 0, kScaleBy = 1 };
class MixinDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"MixinMod"; }
    const MCHAR* NonLocalizedClassName() override { return L"MixinMod"; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x5c21, 0x7a11); }
    const MCHAR* Category() override { return L""; }
};
MixinDesc gMixinClass;
FPInterfaceDesc gMixinDesc(Interface_ID(0x6e2a0001, 0x3f7b0010), L"weatherFall", 0, &gMixinClass, FP_MIXIN);
bool gMixinBuilt = [] {
    gMixinDesc.AppendFunction(kReport, L"report", 0, TYPE_TSTR, 0, {});
    gMixinDesc.AppendFunction(kScaleBy, L"scaleBy", 0, TYPE_FLOAT, 0, {{L"factor", TYPE_FLOAT}});
    return true;
}();

class MixinMod : public WSModifier, public FPMixinInterface {
public:
    float size = 2.0f;
    Class_ID ClassID() override { return gMixinClass.ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = L"MixinMod"; }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    FPInterfaceDesc* GetDesc() override { return &gMixinDesc; }

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue, FPValue& result, FPParams* p) override {
        if (fid == kReport) {
            result.LoadTSTR(L"size " + std::to_wstring(int(size)));
            return FPS_OK;
        }
        if (fid == kScaleBy) {
            size *= p->params[0].f;
            result.LoadFloat(size);
            return FPS_OK;
        }
        return FPS_NO_SUCH_FUNCTION;
    }
};

TEST_F(ScriptTest, MixinOnModifier) {
    box->AddWSModifier(new MixinMod);
    std::wstring mod = L"(" + nodeRef() + L".modifiers[1])";
    struct Row {
        std::wstring text, result;
    } rows[] = {
        {mod + L".report()", L"\"size 2\""},
        {mod + L".weatherFall.report()", L"\"size 2\""},
        {mod + L".scaleBy 2.5", L"5.0"},
        {L"global m = " + mod + L"; m.report()", L"\"size 5\""},
        {mod + L".scaleBy()",
         L"ERROR -- Runtime error: Argument index out of bounds, passed into a MaxSDK::Array::operator[]"},
        {mod + L".nosuch", L"ERROR -- Unknown property: \"nosuch\" in MixinMod:MixinMod"},
    };
    for (auto& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    EXPECT_EQ(eval(L"global r = m.report"), L"report()");
    ip->DeleteNode(box);
    box = nullptr;
    EXPECT_EQ(eval(L"r()"), L"ERROR -- Runtime error: the published interface is no longer available");
}

}  // namespace
}  // namespace scripttest
