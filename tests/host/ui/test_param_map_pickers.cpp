// Colour swatches and pick-node buttons of automatic rollouts: they show the block's colour
// and node ("None" without one), a user's pick sets the parameter in a named undo step, and
// a cancelled or unfit pick sets nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/class_registry.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/ui_model.h"
#include "host/undo_history.h"
#include "max/class_desc.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_map2.h"

namespace {

using host::ui::ControlKind;

enum { kTint, kGlow, kTarget, kCamera };
constexpr int kDialog = 9400;
enum { kTintSwatch = 200, kGlowSwatch, kTargetButton, kCameraButton };
constexpr int kTargetPrompt = 9438;
const Class_ID kPickerClass(0x51a3, 0x77e2);

class PickerDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override;
    const MCHAR* ClassName() override { return L"PickerTest"; }
    const MCHAR* NonLocalizedClassName() override { return L"PickerTest"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kPickerClass; }
    const MCHAR* Category() override { return L""; }
};

PickerDesc gDesc;
ParamBlockDesc2 gBlock(0, L"params", 0, &gDesc, P_AUTO_CONSTRUCT | P_AUTO_UI, 0);
bool gBuilt = [] {
    gBlock.AddRollout(0, kDialog, 0, L"Look");
    gBlock.AddParam(kTint, L"tint", TYPE_RGBA, P_ANIMATABLE, 0)
        .Label(L"Colour")
        .Default(Color(0.9f, 0.92f, 0.95f))
        .Control(0, TYPE_COLORSWATCH, {kTintSwatch});
    gBlock.AddParam(kGlow, L"glow", TYPE_POINT3, 0, 0)
        .Label(L"Glow")
        .Default(Point3(0.1f, 0.2f, 0.3f))
        .Control(0, TYPE_COLORSWATCH, {kGlowSwatch});
    gBlock.AddParam(kTarget, L"target", TYPE_INODE, 0, 0)
        .Label(L"Target")
        .Control(0, TYPE_PICKNODEBUTTON, {kTargetButton})
        .Prompt(kTargetPrompt);
    gBlock.AddParam(kCamera, L"camera", TYPE_INODE, 0, 0)
        .Label(L"Camera")
        .Control(0, TYPE_PICKNODEBUTTON, {kCameraButton})
        .ClassFilter(kPickerClass);
    return true;
}();

// A scene object of its own class, so that a node can hold it.
class Picker : public GeomObject {
public:
    IParamBlock2* pb = nullptr;
    Picker() { gDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kPickerClass; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pb; }
};

void* PickerDesc::Create(BOOL) {
    return new Picker;
}

Picker* pickerOf(ULONG handle) {
    INode* n = GetCOREInterface()->GetINodeByHandle(handle);
    return n ? dynamic_cast<Picker*>(n->GetObjectRef()) : nullptr;
}

class ParamMapPickers : public ::testing::Test {
protected:
    void SetUp() override {
        using host::ui::ControlResource;
        // Undo restores scenes from their saved form, which recreates objects by class.
        static const bool registered = host::classRegistry().add(&gDesc);
        ASSERT_TRUE(registered);
        host::replaceScene(nullptr);
        host::clearUndo();
        host::ui::setString(kTargetPrompt, L"Pick the target");
        host::ui::addDialogResource({kDialog,
                                     L"Look",
                                     {ControlResource{kTintSwatch, ControlKind::ColorSwatch, L""},
                                      ControlResource{kGlowSwatch, ControlKind::ColorSwatch, L""},
                                      ControlResource{kTargetButton, ControlKind::Button, L"None"},
                                      ControlResource{kCameraButton, ControlKind::Button, L"None"}}});
        owner = new Picker;
        ownNode = GetCOREInterface()->CreateObjectNode(owner);
        gDesc.BeginEditParams(GetCOREInterface(), owner, 0, nullptr);
        rollout = host::ui::findRollout(kDialog);
    }
    void TearDown() override {
        AnimateOff();
        GetCOREInterface()->SetTime(0);
        gDesc.EndEditParams(GetCOREInterface(), owner, END_EDIT_REMOVEUI, nullptr);
        host::ui::setPickResponder(nullptr);
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
    INode* namedNode(const MCHAR* name) {
        INode* n = GetCOREInterface()->CreateObjectNode(nullptr);
        n->SetName(name);
        return n;
    }
    // Answers every pick with `node` and keeps the prompts it was shown.
    void answerPicks(INode* node) {
        host::ui::setPickResponder([this, node](const std::wstring& prompt) {
            prompts.push_back(prompt);
            return node;
        });
    }

    Picker* owner = nullptr;
    INode* ownNode = nullptr;
    HWND rollout = nullptr;
    std::vector<std::wstring> prompts;
};

TEST_F(ParamMapPickers, SwatchesShowTheBlocksColourAndFollowItsChanges) {
    ASSERT_NE(rollout, nullptr);
    EXPECT_EQ(host::ui::swatchColor(rollout, kTintSwatch), Color(0.9f, 0.92f, 0.95f));
    EXPECT_EQ(host::ui::swatchColor(rollout, kGlowSwatch), Color(0.1f, 0.2f, 0.3f));
    owner->pb->SetValue(kTint, 0, Color(0.25f, 0.5f, 0.75f));  // a script, say
    EXPECT_EQ(host::ui::swatchColor(rollout, kTintSwatch), Color(0.25f, 0.5f, 0.75f));
}

TEST_F(ParamMapPickers, APickedColourIsSetInANamedUndoStep) {
    ASSERT_TRUE(host::ui::pickColor(rollout, kTintSwatch, Color(1.0f, 0.0f, 0.5f)));
    EXPECT_EQ(owner->pb->GetColor(kTint), Color(1.0f, 0.0f, 0.5f));
    EXPECT_EQ(host::undoStepNames().back(), L"Colour");
    ASSERT_TRUE(host::ui::pickColor(rollout, kGlowSwatch, Color(0.0f, 1.0f, 0.0f)));  // a Point3 parameter
    EXPECT_EQ(owner->pb->GetPoint3(kGlow), Point3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(host::undoStepNames().back(), L"Glow");
}

TEST_F(ParamMapPickers, PickButtonsAskWithThePromptAndShowThePickedNode) {
    EXPECT_EQ(host::ui::controlText(rollout, kTargetButton), L"None");
    INode* mast = namedNode(L"Mast");
    // No responder, or one that cancels: nothing is set and no undo step is made.
    const size_t steps = host::undoStepNames().size();
    ASSERT_TRUE(host::ui::pressButton(rollout, kTargetButton));
    answerPicks(nullptr);
    ASSERT_TRUE(host::ui::pressButton(rollout, kTargetButton));
    EXPECT_EQ(owner->pb->GetINode(kTarget), nullptr);
    EXPECT_EQ(host::undoStepNames().size(), steps);
    EXPECT_EQ(host::ui::controlText(rollout, kTargetButton), L"None");

    answerPicks(mast);
    ASSERT_TRUE(host::ui::pressButton(rollout, kTargetButton));
    EXPECT_EQ(prompts.back(), L"Pick the target");
    EXPECT_EQ(owner->pb->GetINode(kTarget), mast);
    EXPECT_EQ(host::ui::controlText(rollout, kTargetButton), L"Mast");
    EXPECT_EQ(host::undoStepNames().back(), L"Target");

    // Set elsewhere, or its node deleted: the button follows.
    INode* pole = namedNode(L"Pole");
    owner->pb->SetValue(kTarget, 0, pole);
    EXPECT_EQ(host::ui::controlText(rollout, kTargetButton), L"Pole");
    GetCOREInterface()->DeleteNode(pole);
    EXPECT_EQ(owner->pb->GetINode(kTarget), nullptr);
    EXPECT_EQ(host::ui::controlText(rollout, kTargetButton), L"None");
}

TEST_F(ParamMapPickers, UndoTakesPicksBackThroughTheSavedScene) {
    INode* mast = namedNode(L"Mast");
    const ULONG own = ownNode->GetHandle(), mastHandle = mast->GetHandle();
    ASSERT_TRUE(host::ui::pickColor(rollout, kTintSwatch, Color(1.0f, 0.0f, 0.5f)));
    answerPicks(mast);
    ASSERT_TRUE(host::ui::pressButton(rollout, kTargetButton));
    ASSERT_TRUE(host::undo());  // the node pick
    ASSERT_NE(pickerOf(own), nullptr);
    EXPECT_EQ(pickerOf(own)->pb->GetINode(kTarget), nullptr);
    EXPECT_EQ(pickerOf(own)->pb->GetColor(kTint), Color(1.0f, 0.0f, 0.5f));
    ASSERT_TRUE(host::redo());
    EXPECT_EQ(pickerOf(own)->pb->GetINode(kTarget), GetCOREInterface()->GetINodeByHandle(mastHandle));
    ASSERT_TRUE(host::undo());
    ASSERT_TRUE(host::undo());  // the colour pick
    EXPECT_EQ(pickerOf(own)->pb->GetColor(kTint), Color(0.9f, 0.92f, 0.95f));
}

TEST_F(ParamMapPickers, AnimatedColoursKeyFollowTheSliderAndSurviveASavedScene) {
    Interface* ip = GetCOREInterface();
    AnimateOn();
    ip->SetTime(4800);
    ASSERT_TRUE(host::ui::pickColor(rollout, kTintSwatch, Color(0.1f, 0.12f, 0.15f)));
    AnimateOff();
    // The first key keeps the old colour at frame 0; between the keys it blends linearly.
    EXPECT_EQ(owner->pb->GetColor(kTint, 0), Color(0.9f, 0.92f, 0.95f));
    EXPECT_EQ(owner->pb->GetColor(kTint, 4800), Color(0.1f, 0.12f, 0.15f));
    Interval valid = FOREVER;
    Point3 mid;
    ASSERT_TRUE(owner->pb->GetValue(kTint, 2400, mid, valid));
    EXPECT_NEAR(mid.x, 0.5f, 1e-6f);
    EXPECT_NEAR(mid.z, 0.55f, 1e-6f);
    EXPECT_EQ(valid.Start(), 2400);
    EXPECT_EQ(valid.End(), 2400);
    EXPECT_TRUE(owner->pb->IsAnimated(kTint));
    ip->SetTime(2400);
    Color shown = host::ui::swatchColor(rollout, kTintSwatch);
    EXPECT_NEAR(shown.r, 0.5f, 1e-6f);
    // A Point3 parameter that is not animatable keeps one value whatever Auto Key says.
    AnimateOn();
    ASSERT_TRUE(host::ui::pickColor(rollout, kGlowSwatch, Color(0.0f, 1.0f, 0.0f)));
    AnimateOff();
    EXPECT_FALSE(owner->pb->IsAnimated(kGlow));
    EXPECT_EQ(owner->pb->GetPoint3(kGlow, 0), Point3(0.0f, 1.0f, 0.0f));

    // The keys go to the scene file and come back.
    const ULONG own = ownNode->GetHandle();
    const std::string path = testing::TempDir() + "keyed_colour.scene";
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error)) << error;
    ASSERT_TRUE(host::loadScene(path, error)) << error;
    std::remove(path.c_str());
    Picker* loaded = pickerOf(own);
    ASSERT_NE(loaded, nullptr);
    ASSERT_NE(loaded, owner);
    EXPECT_TRUE(loaded->pb->IsAnimated(kTint));
    EXPECT_EQ(loaded->pb->GetColor(kTint, 0), Color(0.9f, 0.92f, 0.95f));
    EXPECT_EQ(loaded->pb->GetColor(kTint, 4800), Color(0.1f, 0.12f, 0.15f));
    EXPECT_EQ(loaded->pb->GetPoint3(kGlow), Point3(0.0f, 1.0f, 0.0f));
}

TEST_F(ParamMapPickers, UnfitPicksAreRefused) {
    INode* other = namedNode(L"Other");
    // The object's own node would make the block reference its owner.
    answerPicks(ownNode);
    ASSERT_TRUE(host::ui::pressButton(rollout, kTargetButton));
    EXPECT_EQ(owner->pb->GetINode(kTarget), nullptr);
    // The camera button takes only nodes of its class filter.
    answerPicks(other);
    ASSERT_TRUE(host::ui::pressButton(rollout, kCameraButton));
    EXPECT_EQ(owner->pb->GetINode(kCamera), nullptr);
    EXPECT_EQ(prompts.back(), L"Camera");  // no prompt string: the label
    INode* twin = GetCOREInterface()->CreateObjectNode(new Picker);
    answerPicks(twin);
    ASSERT_TRUE(host::ui::pressButton(rollout, kCameraButton));
    EXPECT_EQ(owner->pb->GetINode(kCamera), twin);
    EXPECT_EQ(host::ui::controlText(rollout, kCameraButton), twin->GetName());
}

}  // namespace
