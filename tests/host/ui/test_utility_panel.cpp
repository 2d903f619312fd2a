// UtilityPanel.OpenUtility and CloseUtility against utility classes defined here: the class is
// found by its scripter name, created through its descriptor and given BeginEditParams; one
// utility is open at a time; a class that is not loaded, not a utility, or makes no instance
// is a catchable script error.
#include "../script/script_fixture.h"
#include "host/class_registry.h"
#include "host/script/scene_values.h"
#include "host/ui_model.h"
#include "host/utility_panel.h"
#include "max/utility_obj.h"

namespace scripttest {
namespace {

enum { kDialog = 9100, kCloseButton = 9101, kStatus = 9102 };

// A utility the way plug-ins write one: a static instance whose BeginEditParams adds its
// rollout, and a Close button that asks the host to close it.
struct RecordingUtility : UtilityObj {
    int begins = 0, ends = 0, deletes = 0;
    HWND rollout = nullptr;
    IUtil* iu = nullptr;

    static INT_PTR proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        auto* self = reinterpret_cast<RecordingUtility*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COMMAND && LOWORD(wParam) == kCloseButton) self->iu->CloseUtility();
        return TRUE;
    }
    void BeginEditParams(Interface* ip, IUtil* util) override {
        ++begins;
        iu = util;
        rollout = ip->AddRollupPage(nullptr, MAKEINTRESOURCE(kDialog), proc, L"Recording utility",
                                    reinterpret_cast<LPARAM>(this));
    }
    void EndEditParams(Interface* ip, IUtil*) override {
        ++ends;
        ip->DeleteRollupPage(rollout);
        rollout = nullptr;
    }
    void DeleteThis() override { ++deletes; }
};

class RecordingDesc : public ClassDesc2 {
public:
    RecordingDesc(const wchar_t* name, ULONG id, SClass_ID superClass = UTILITY_CLASS_ID, bool creates = true)
        : name_(name), id_(id), super_(superClass), creates_(creates) {}
    RecordingUtility instance;
    int creates = 0;
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override {
        ++creates;
        return creates_ ? &instance : nullptr;
    }
    const MCHAR* ClassName() override { return name_; }
    const MCHAR* NonLocalizedClassName() override { return name_; }
    const MCHAR* InternalName() override { return name_; }
    SClass_ID SuperClassID() override { return super_; }
    Class_ID ClassID() override { return Class_ID(0x7e57, id_); }
    const MCHAR* Category() override { return L"Test"; }

private:
    const wchar_t* name_;
    ULONG id_;
    SClass_ID super_;
    bool creates_;
};

struct UtilityPanelTest : ScriptTest {
    RecordingDesc weather{L"PanelTestUtility", 1};
    RecordingDesc other{L"OtherUtility", 2};
    RecordingDesc broken{L"BrokenUtility", 3, UTILITY_CLASS_ID, false};

    void SetUp() override {
        ScriptTest::SetUp();
        host::ui::resetUi();
        host::ui::addDialogResource(
            {kDialog,
             L"Recording",
             {{kCloseButton, host::ui::ControlKind::Button, L"Close"}, {kStatus, host::ui::ControlKind::Static, L""}}});
        for (RecordingDesc* d : {&weather, &other, &broken}) host::classRegistry().add(d);
    }
    void TearDown() override {
        host::closeUtility();
        for (RecordingDesc* d : {&weather, &other, &broken}) host::classRegistry().remove(d);
        host::ui::resetUi();
        ScriptTest::TearDown();
    }
};

TEST_F(UtilityPanelTest, OpensOneUtilityAtATime) {
    EXPECT_EQ(eval(L"UtilityPanel.OpenUtility PanelTestUtility"), L"true");
    EXPECT_EQ(weather.creates, 1);
    EXPECT_EQ(weather.instance.begins, 1);
    EXPECT_EQ(host::openUtilityClass(), &weather);
    EXPECT_EQ(host::openUtilityObject(), &weather.instance);
    EXPECT_NE(host::ui::findRollout(kDialog), nullptr);

    EXPECT_EQ(eval(L"UtilityPanel.OpenUtility paneltestutility"), L"true");  // already open: nothing changes
    EXPECT_EQ(weather.creates, 1);
    EXPECT_EQ(weather.instance.begins, 1);

    EXPECT_EQ(eval(L"UtilityPanel.OpenUtility OtherUtility"), L"true");
    EXPECT_EQ(weather.instance.ends, 1);
    EXPECT_EQ(weather.instance.deletes, 1);
    EXPECT_EQ(other.instance.begins, 1);
    EXPECT_EQ(host::script::openedUtility(), &other);
    EXPECT_EQ(host::ui::rollouts().size(), 1u);

    EXPECT_EQ(eval(L"UtilityPanel.CloseUtility()"), L"OK");
    EXPECT_EQ(other.instance.ends, 1);
    EXPECT_EQ(other.instance.deletes, 1);
    EXPECT_EQ(host::openUtilityClass(), nullptr);
    EXPECT_TRUE(host::ui::rollouts().empty());
    EXPECT_EQ(eval(L"UtilityPanel.CloseUtility()"), L"OK");  // nothing open: nothing to end
    EXPECT_EQ(other.instance.ends, 1);
}

// The utility's own Close button closes it from inside its dialog procedure; removing a class
// (its module unloading) closes its utility before the descriptor goes.
TEST_F(UtilityPanelTest, ClosedFromItsRolloutOrWithItsClass) {
    ASSERT_EQ(eval(L"UtilityPanel.OpenUtility PanelTestUtility"), L"true");
    EXPECT_TRUE(host::ui::pressButton(weather.instance.rollout, kCloseButton));
    EXPECT_EQ(weather.instance.ends, 1);
    EXPECT_EQ(weather.instance.deletes, 1);
    EXPECT_EQ(host::openUtilityClass(), nullptr);
    EXPECT_TRUE(host::ui::rollouts().empty());

    ASSERT_EQ(eval(L"UtilityPanel.OpenUtility OtherUtility"), L"true");
    host::classRegistry().remove(&other);
    EXPECT_EQ(other.instance.ends, 1);
    EXPECT_EQ(host::openUtilityClass(), nullptr);
    EXPECT_EQ(eval(L"UtilityPanel.OpenUtility OtherUtility"),
              L"ERROR -- Runtime error: OpenUtility: that utility class is not loaded (got undefined). Load the "
              L"plug-in that defines it, or check the class name.");
}

TEST_F(UtilityPanelTest, BadClassesAreScriptErrors) {
    ASSERT_EQ(eval(L"UtilityPanel.OpenUtility PanelTestUtility"), L"true");
    struct Row {
        const wchar_t* text;
        const wchar_t* result;
    } rows[] = {
        {L"UtilityPanel.OpenUtility NotLoadedUtility",
         L"ERROR -- Runtime error: OpenUtility: that utility class is not loaded (got undefined). Load the "
         L"plug-in that defines it, or check the class name."},
        {L"UtilityPanel.OpenUtility Box",
         L"ERROR -- Runtime error: OpenUtility needs a utility plug-in class, got: Box"},
        {L"UtilityPanel.OpenUtility()", L"ERROR -- Argument count error: OpenUtility wanted 1, got 0"},
        {L"try (UtilityPanel.OpenUtility NotLoadedUtility) catch (#caught)", L"#caught"},
    };
    for (const Row& r : rows) EXPECT_EQ(eval(r.text), r.result) << r.text;
    // None of them disturbed the open utility.
    EXPECT_EQ(host::openUtilityClass(), &weather);
    EXPECT_EQ(weather.instance.ends, 0);

    // A descriptor that makes no instance: the open utility is closed first, as the panel does
    // when the user picks another, and then nothing is open.
    EXPECT_EQ(eval(L"UtilityPanel.OpenUtility BrokenUtility"),
              L"ERROR -- Runtime error: OpenUtility: the utility BrokenUtility could not be created");
    EXPECT_EQ(weather.instance.ends, 1);
    EXPECT_EQ(host::openUtilityClass(), nullptr);
}

}  // namespace
}  // namespace scripttest
