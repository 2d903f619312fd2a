// Automatic rollouts: BeginEditParams opens a rollout per map of a P_AUTO_UI block, shows
// the block in its controls, turns a user's edits into clamped, keyed, notified values, follows
// changes made elsewhere, and leaves nothing behind once closed.
#include <gtest/gtest.h>

#include <cmath>

#include "host/scene.h"
#include "host/ui_model.h"
#include "host/undo_history.h"
#include "max/class_desc.h"
#include "max/hold.h"
#include "max/interface.h"
#include "max/param_map2.h"

namespace {

using host::ui::ControlKind;

enum { kDepth = 1, kEnabled, kMode, kNote, kRegions, kTilt, kUnshown, kSeed, kQuality };
enum { kMainMap = 0, kMoreMap = 1 };
constexpr int kMainDialog = 9300, kMoreDialog = 9301;
// Control ids; the second dialog reuses 100/101 for another parameter on purpose.
enum {
    kDepthEdit = 100,
    kDepthSpin,
    kEnabledBox,
    kModeCombo,
    kNoteEdit,
    kRegionList,
    kRegionRemove,
    kTiltEdit,
    kTiltSpin,
    kQualityCombo = 102,
    kMissingEdit = 150
};

class MapDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"MapTest"; }
    const MCHAR* NonLocalizedClassName() override { return L"MapTest"; }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x51a2, 0x77e1); }
    const MCHAR* Category() override { return L""; }
};

MapDesc gDesc;
ParamBlockDesc2 gBlock(0, L"params", 0, &gDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);
bool gBuilt = [] {
    gBlock.AddRollout(kMainMap, kMainDialog, 0, L"Main")
        .AddRollout(kMoreMap, kMoreDialog, 0, L"More", 0, APPENDROLL_CLOSED);
    gBlock.AddParam(kDepth, L"depth", TYPE_WORLD, P_ANIMATABLE, 0)
        .Label(L"Depth")
        .Default(12.5f)
        .Range(0.0f, 100.0f)
        .Spinner(kMainMap, EDITTYPE_UNIVERSE, kDepthEdit, kDepthSpin, 0.1f);
    gBlock.AddParam(kEnabled, L"enabled", TYPE_BOOL, 0, 0)
        .Default(1)
        .Control(kMainMap, TYPE_SINGLECHECKBOX, {kEnabledBox});
    gBlock.AddParam(kMode, L"mode", TYPE_INT, 0, 0)
        .Default(20)
        .Combo(kMainMap, kModeCombo, {0, 0, 0})
        .Vals({10, 20, 30});
    gBlock.AddParam(kNote, L"note", TYPE_STRING, 0, 0).Default(L"fresh").Control(kMainMap, TYPE_EDITBOX, {kNoteEdit});
    gBlock.AddParam(kRegions, L"regions", TYPE_INODE_TAB, P_VARIABLE_SIZE, 0)
        .Control(kMainMap, TYPE_NODELISTBOX, {kRegionList, 0, 0, kRegionRemove});
    gBlock.AddParam(kTilt, L"tilt", TYPE_ANGLE, 0, 0)
        .Default(0.0f)
        .Spinner(kMainMap, EDITTYPE_FLOAT, kTiltEdit, kTiltSpin, 1.0f);
    gBlock.AddParam(kUnshown, L"unshown", TYPE_FLOAT, 0, 0)
        .Default(3.0f)
        .Spinner(kMainMap, EDITTYPE_FLOAT, kMissingEdit, kMissingEdit + 1, 1.0f);
    gBlock.AddParam(kSeed, L"seed", TYPE_INT, 0, 0)
        .Default(7)
        .Range(0, 999)
        .Spinner(kMoreMap, EDITTYPE_INT, kDepthEdit, kDepthSpin, 1.0f);
    gBlock.AddParam(kQuality, L"quality", TYPE_INT, 0, 0).Default(1).Combo(kMoreMap, kQualityCombo, {9350, 9351});
    return true;
}();

class Owner : public ReferenceTarget {
public:
    IParamBlock2* pb = nullptr;
    int changes = 0;
    Owner() { gDesc.MakeAutoParamBlocks(this); }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pb; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage m, BOOL) override {
        changes += m == REFMSG_CHANGE;
        return REF_SUCCEED;
    }
};

class ParamMap : public ::testing::Test {
protected:
    void SetUp() override {
        using host::ui::ControlResource;
        host::replaceScene(nullptr);
        host::ui::setString(9350, L"Draft");
        host::ui::setString(9351, L"Final");
        host::ui::addDialogResource(
            {kMainDialog,
             L"Main",
             {ControlResource{kDepthEdit, ControlKind::Edit, L""},
              ControlResource{kDepthSpin, ControlKind::Spinner, L"", 0, {}, {}, kDepthEdit},
              ControlResource{kEnabledBox, ControlKind::CheckBox, L"On"},
              ControlResource{kModeCombo, ControlKind::ComboBox, L"", 0, {}, {L"a", L"b", L"c"}},
              ControlResource{kNoteEdit, ControlKind::Edit, L""},
              ControlResource{kRegionList, ControlKind::ListBox, L""},
              ControlResource{kRegionRemove, ControlKind::Button, L"Remove"},
              ControlResource{kTiltEdit, ControlKind::Edit, L""},
              ControlResource{kTiltSpin, ControlKind::Spinner, L"", 0, {}, {}, kTiltEdit}}});
        host::ui::addDialogResource({kMoreDialog,
                                     L"More",
                                     {ControlResource{kDepthEdit, ControlKind::Edit, L""},
                                      ControlResource{kDepthSpin, ControlKind::Spinner, L"", 0, {}, {}, kDepthEdit},
                                      ControlResource{kQualityCombo, ControlKind::ComboBox, L""}}});
    }
    void TearDown() override {
        AnimateOff();
        GetCOREInterface()->SetTime(0);
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
    static void open(Owner& o) { gDesc.BeginEditParams(GetCOREInterface(), &o, 0, nullptr); }
    static void close(Owner& o) { gDesc.EndEditParams(GetCOREInterface(), &o, END_EDIT_REMOVEUI, nullptr); }
    static HWND mainRollout() { return host::ui::findRollout(kMainDialog); }
    static HWND moreRollout() { return host::ui::findRollout(kMoreDialog); }
    static std::wstring text(HWND h, int id) { return host::ui::controlText(h, id); }
    static LRESULT selection(HWND h, int id) { return SendDlgItemMessageW(h, id, CB_GETCURSEL, 0, 0); }
};

TEST_F(ParamMap, OpeningShowsEveryParameterInItsControls) {
    Interface* ip = GetCOREInterface();
    INode* roof = ip->CreateObjectNode(nullptr);
    roof->SetName(L"Roof");
    INode* yard = ip->CreateObjectNode(nullptr);
    yard->SetName(L"Yard");
    Owner o;
    INode* nodes[2] = {roof, yard};
    o.pb->Append(kRegions, 2, nodes);
    o.pb->SetValue(kTilt, 0, 0.5f * 3.14159265f);
    open(o);
    ASSERT_EQ(gDesc.OpenRollouts().size(), 2u);
    HWND main = mainRollout(), more = moreRollout();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(gDesc.OpenRollouts()[0].hwnd, main);
    EXPECT_EQ(o.pb->GetMap(kMoreMap), gDesc.GetParamMap(&gBlock, kMoreMap));
    auto all = host::ui::rollouts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].title, L"Main");
    EXPECT_FALSE(all[0].rolledUp);
    EXPECT_TRUE(all[1].rolledUp);

    EXPECT_EQ(text(main, kDepthEdit), L"12.5");
    EXPECT_EQ(IsDlgButtonChecked(main, kEnabledBox), BST_CHECKED);
    EXPECT_EQ(selection(main, kModeCombo), 1);  // value 20 is the second item
    EXPECT_EQ(host::ui::listItems(main, kModeCombo), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(text(main, kNoteEdit), L"fresh");
    EXPECT_EQ(host::ui::listItems(main, kRegionList), (std::vector<std::wstring>{L"Roof", L"Yard"}));
    EXPECT_EQ(text(main, kTiltEdit), L"90.0");  // angles show degrees
    // Same control ids in the other rollout belong to its own parameter.
    EXPECT_EQ(text(more, kDepthEdit), L"7");
    // A combo box the resource leaves empty gets the parameter's items from the string table.
    EXPECT_EQ(host::ui::listItems(more, kQualityCombo), (std::vector<std::wstring>{L"Draft", L"Final"}));
    EXPECT_EQ(selection(more, kQualityCombo), 1);
    close(o);
    EXPECT_TRUE(host::ui::rollouts().empty());
    EXPECT_TRUE(gDesc.OpenRollouts().empty());
}

TEST_F(ParamMap, UserEditsSetTheBlockAndShowTheClampedValue) {
    Owner o;
    open(o);
    HWND main = mainRollout(), more = moreRollout();
    int before = o.changes;
    ASSERT_TRUE(host::ui::typeText(main, kDepthEdit, L"250"));
    EXPECT_EQ(o.pb->GetFloat(kDepth), 100.0f);
    EXPECT_EQ(text(main, kDepthEdit), L"100.0");
    EXPECT_GT(o.changes, before);
    EXPECT_EQ(host::undoStepNames().back(), L"Depth");
    ASSERT_TRUE(host::ui::typeText(main, kDepthEdit, L" -4 "));
    EXPECT_EQ(o.pb->GetFloat(kDepth), 0.0f);
    EXPECT_EQ(text(main, kDepthEdit), L"0.0");
    // Text that is no number, or not all of it, puts the value back.
    for (const wchar_t* bad : {L"abc", L"", L"5 cm", L"nan", L"1e999"}) {
        ASSERT_TRUE(host::ui::typeText(main, kDepthEdit, bad));
        EXPECT_EQ(o.pb->GetFloat(kDepth), 0.0f) << bad;
        EXPECT_EQ(text(main, kDepthEdit), L"0.0") << bad;
    }
    ASSERT_TRUE(host::ui::typeText(more, kDepthEdit, L"12.6"));  // an int spinner rounds
    EXPECT_EQ(o.pb->GetInt(kSeed), 13);
    EXPECT_EQ(text(more, kDepthEdit), L"13");
    EXPECT_EQ(o.pb->GetFloat(kDepth), 0.0f);
    ASSERT_TRUE(host::ui::typeText(more, kDepthEdit, L"1e12"));
    EXPECT_EQ(o.pb->GetInt(kSeed), 999);

    ASSERT_TRUE(host::ui::pressButton(main, kEnabledBox));
    EXPECT_EQ(o.pb->GetInt(kEnabled), 0);
    ASSERT_TRUE(host::ui::selectItem(main, kModeCombo, 2));
    EXPECT_EQ(o.pb->GetInt(kMode), 30);
    ASSERT_TRUE(host::ui::typeText(main, kNoteEdit, L"drifts"));
    EXPECT_EQ(std::wstring(o.pb->GetStr(kNote)), L"drifts");
    ASSERT_TRUE(host::ui::typeText(main, kTiltEdit, L"45"));
    EXPECT_NEAR(o.pb->GetFloat(kTilt), 0.785398f, 1e-6f);
    close(o);
}

TEST_F(ParamMap, EditsKeyAtTheCurrentTimeAndTheRolloutFollowsTheSlider) {
    Interface* ip = GetCOREInterface();
    Owner o;
    open(o);
    HWND main = mainRollout();
    AnimateOn();
    ip->SetTime(4800);
    ASSERT_TRUE(host::ui::typeText(main, kDepthEdit, L"40"));
    AnimateOff();
    EXPECT_TRUE(o.pb->IsAnimated(kDepth));
    EXPECT_EQ(o.pb->GetFloat(kDepth, 4800), 40.0f);
    EXPECT_EQ(o.pb->GetFloat(kDepth, 0), 12.5f);
    ip->SetTime(2400);
    EXPECT_EQ(text(main, kDepthEdit), L"26.25");
    ip->SetTime(0);
    EXPECT_EQ(text(main, kDepthEdit), L"12.5");
    close(o);
}

TEST_F(ParamMap, TheRolloutFollowsChangesMadeElsewhere) {
    Interface* ip = GetCOREInterface();
    INode* nodes[3] = {ip->CreateObjectNode(nullptr), ip->CreateObjectNode(nullptr), ip->CreateObjectNode(nullptr)};
    nodes[0]->SetName(L"A");
    nodes[1]->SetName(L"B");
    nodes[2]->SetName(L"C");
    Owner o;
    o.pb->Append(kRegions, 3, nodes);
    open(o);
    HWND main = mainRollout();
    o.pb->SetValue(kDepth, 0, 33.0f);  // as a script would
    EXPECT_EQ(text(main, kDepthEdit), L"33.0");
    o.pb->SetValue(kMode, 0, 10);
    EXPECT_EQ(selection(main, kModeCombo), 0);
    o.pb->SetValue(kMode, 0, 11);  // no item stores 11
    EXPECT_EQ(selection(main, kModeCombo), -1);
    ip->DeleteNode(nodes[1]);
    EXPECT_EQ(host::ui::listItems(main, kRegionList), (std::vector<std::wstring>{L"A", L"", L"C"}));
    // Remove drops the selected entry; with nothing selected it does nothing.
    ASSERT_TRUE(host::ui::selectItem(main, kRegionList, 0));
    ASSERT_TRUE(host::ui::pressButton(main, kRegionRemove));
    EXPECT_EQ(host::ui::listItems(main, kRegionList), (std::vector<std::wstring>{L"", L"C"}));
    ASSERT_TRUE(host::ui::pressButton(main, kRegionRemove));
    EXPECT_EQ(o.pb->Count(kRegions), 2);
    close(o);
}

TEST_F(ParamMap, DisabledAndMissingControlsDoNothing) {
    Owner o;
    open(o);
    HWND main = mainRollout();
    IParamMap2* map = gDesc.GetParamMap(&gBlock, kMainMap);
    ASSERT_NE(map, nullptr);
    map->Enable(kDepth, FALSE);
    int before = o.changes;
    EXPECT_FALSE(host::ui::typeText(main, kDepthEdit, L"50"));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, kDepthSpin)));
    EXPECT_EQ(o.pb->GetFloat(kDepth), 12.5f);
    EXPECT_EQ(o.changes, before);
    // The dialog has no control for this parameter: nothing to type into, the value stays settable.
    EXPECT_FALSE(host::ui::typeText(main, kMissingEdit, L"9"));
    EXPECT_TRUE(o.pb->SetValue(kUnshown, 0, 4.0f));
    EXPECT_EQ(o.pb->GetFloat(kUnshown), 4.0f);
    map->Enable(kDepth, TRUE);
    EXPECT_TRUE(host::ui::typeText(main, kDepthEdit, L"50"));
    EXPECT_EQ(o.pb->GetFloat(kDepth), 50.0f);
    close(o);
}

TEST_F(ParamMap, ClosedRolloutsAndDeletedBlocksLeaveNothingDangling) {
    Owner o;
    open(o);
    close(o);
    EXPECT_EQ(o.pb->GetMap(kMainMap), nullptr);
    EXPECT_TRUE(o.pb->SetValue(kDepth, 0, 5.0f));  // must not reach the freed map
    EXPECT_EQ(o.pb->GetFloat(kDepth), 5.0f);

    // A rollout closed by someone else leaves the map inert until EndEditParams.
    open(o);
    GetCOREInterface()->DeleteRollupPage(mainRollout());
    EXPECT_EQ(gDesc.GetParamMap(&gBlock, kMainMap)->GetHWnd(), nullptr);
    EXPECT_TRUE(o.pb->SetValue(kDepth, 0, 6.0f));
    close(o);
    EXPECT_TRUE(host::ui::rollouts().empty());

    // The object drops its block (deleting it) while the rollouts show it.
    open(o);
    HWND main = mainRollout();
    o.DeleteReference(0);
    ASSERT_EQ(o.pb, nullptr);
    EXPECT_EQ(gDesc.GetParamMap(&gBlock, kMainMap)->GetParamBlock(), nullptr);
    EXPECT_TRUE(host::ui::typeText(main, kDepthEdit, L"7"));
    EXPECT_TRUE(host::ui::pressButton(main, kEnabledBox));
    close(o);
    EXPECT_TRUE(host::ui::rollouts().empty());
}

TEST_F(ParamMap, RolloutsKeptOpenMoveToTheNextObjectOfTheClass) {
    Owner a, b;
    b.pb->SetValue(kDepth, 0, 70.0f);
    open(a);
    HWND main = mainRollout();
    gDesc.EndEditParams(GetCOREInterface(), &a, 0, nullptr);  // the panel keeps the rollouts
    open(b);
    EXPECT_EQ(mainRollout(), main);
    EXPECT_EQ(host::ui::rollouts().size(), 2u);
    EXPECT_EQ(text(main, kDepthEdit), L"70.0");
    ASSERT_TRUE(host::ui::typeText(main, kDepthEdit, L"80"));
    EXPECT_EQ(b.pb->GetFloat(kDepth), 80.0f);
    EXPECT_EQ(a.pb->GetFloat(kDepth), 12.5f);
    a.pb->SetValue(kDepth, 0, 1.0f);  // the other object no longer shows
    EXPECT_EQ(text(main, kDepthEdit), L"80.0");
    EXPECT_EQ(a.pb->GetMap(kMainMap), nullptr);
    close(a);  // not a's rollouts any more
    EXPECT_EQ(host::ui::rollouts().size(), 2u);
    close(b);
    EXPECT_TRUE(host::ui::rollouts().empty());
}

}  // namespace
