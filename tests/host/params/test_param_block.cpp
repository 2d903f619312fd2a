#include <gtest/gtest.h>

#include "host/scene.h"
#include "host/scene_settings.h"
#include "max/class_desc.h"
#include "max/interface.h"

namespace {

enum { kAmount = 7, kCount = 2, kEnabled = 30, kTint = 4, kLabel = 5, kTarget = 9, kTargets = 10 };

class TestDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"Test"; }
    const MCHAR* NonLocalizedClassName() override { return L"Test"; }
    SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    const MCHAR* Category() override { return L""; }
};

TestDesc gDesc;
ParamBlockDesc2 gBlock(0, L"params", 0, &gDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);
bool gBlockBuilt = [] {
    gBlock.AddRollout(0, 1800, 1900, L"Main").AddRollout(1, 1801, 1901, L"More", 0, APPENDROLL_CLOSED);
    gBlock.AddRollout(2, 1802, 1902, L"Create only", BEGIN_EDIT_CREATE);
    // Ids deliberately out of declaration order.
    gBlock.AddParam(kAmount, L"amount", TYPE_FLOAT, P_ANIMATABLE, 3001)
        .Default(1)  // an int literal on a float parameter still reads back as 1.0f
        .Range(0.0f, 10.0f)
        .Spinner(0, EDITTYPE_FLOAT, 2002, 2003, 0.1f);
    gBlock.AddParam(kCount, L"count", TYPE_INT, P_ANIMATABLE, 3002).Default(5).Range(1, 100);
    gBlock.AddParam(kEnabled, L"enabled", TYPE_BOOL, 0, 3003).Default(1).Control(1, TYPE_SINGLECHECKBOX, {2001});
    gBlock.AddParam(kTint, L"tint", TYPE_RGBA, 0, 3004).Default(Color(1.0f, 0.5f, 0.25f));
    gBlock.AddParam(kLabel, L"label", TYPE_STRING, 0, 3005).Default(L"snow");
    gBlock.AddParam(kTarget, L"target", TYPE_INODE, 0, 3006);
    gBlock.AddParam(kTargets, L"targets", TYPE_INODE_TAB, P_VARIABLE_SIZE, 3007);
    return true;
}();

// Owner that records the change messages its block sends.
class Owner : public ReferenceTarget {
public:
    IParamBlock2* pb = nullptr;
    int changes = 0;
    ParamID lastId = -1;
    Owner() { gDesc.MakeAutoParamBlocks(this); }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle h, PartID&, RefMessage m, BOOL) override {
        if (m == REFMSG_CHANGE && h == pb) {
            ++changes;
            lastId = pb->LastNotifyParamID();
        }
        return REF_SUCCEED;
    }
};

// A dependent of the owner, to see that changes travel on.
class Watcher : public ReferenceMaker {
public:
    ReferenceTarget* ref = nullptr;
    int messages = 0;
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return ref; }
    void SetReference(int, RefTargetHandle t) override { ref = t; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage m, BOOL) override {
        if (m == REFMSG_CHANGE) ++messages;
        return REF_SUCCEED;
    }
};

struct AutoKeyOff {
    ~AutoKeyOff() { AnimateOff(); }
};

TEST(ParamBlock, DescriptorKeepsIdsApartFromOrderAndNames) {
    EXPECT_EQ(gBlock.Count(), 7);
    EXPECT_EQ(gBlock.IDtoIndex(kAmount), 0);
    EXPECT_EQ(gBlock.IDtoIndex(kEnabled), 2);
    EXPECT_EQ(gBlock.IndextoID(1), kCount);
    EXPECT_EQ(gBlock.IDtoIndex(99), -1);
    EXPECT_EQ(gBlock.NameToIndex(L"tint"), 3);
    EXPECT_EQ(gBlock.NameToIndex(L"nope"), -1);
    EXPECT_EQ(gDesc.GetParamBlockDescByID(0), &gBlock);
    EXPECT_EQ(gDesc.GetParamBlockDescByName(L"params"), &gBlock);
    const ParamDef& amount = gBlock.paramdefs(0);
    EXPECT_EQ(amount.ctrl_type, TYPE_SPINNER);
    EXPECT_EQ(amount.ctrl_ids, (std::vector<int>{2002, 2003}));
    EXPECT_TRUE(amount.animatable());
}

TEST(ParamBlock, DefaultsTypesAndClamping) {
    Owner o;
    ASSERT_NE(o.pb, nullptr);
    EXPECT_EQ(o.pb->GetOwner(), &o);
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount), 1.0f);
    EXPECT_EQ(o.pb->GetInt(kCount), 5);
    EXPECT_EQ(o.pb->GetInt(kEnabled), 1);
    EXPECT_EQ(o.pb->GetColor(kTint), Color(1.0f, 0.5f, 0.25f));
    EXPECT_STREQ(o.pb->GetStr(kLabel), L"snow");

    EXPECT_TRUE(o.pb->SetValue(kAmount, 0, 25.0f));
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount), 10.0f);  // clamped to the range
    EXPECT_TRUE(o.pb->SetValue(kAmount, 0, -3.0f));
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount), 0.0f);
    EXPECT_TRUE(o.pb->SetValue(kCount, 0, 1000));
    EXPECT_EQ(o.pb->GetInt(kCount), 100);
    EXPECT_TRUE(o.pb->SetValue(kEnabled, 0, 7));
    EXPECT_EQ(o.pb->GetInt(kEnabled), 1);  // a bool stays 0 or 1

    // Wrong type or unknown id: refused, nothing changed, zero read back.
    EXPECT_FALSE(o.pb->SetValue(kCount, 0, 2.5f));
    EXPECT_EQ(o.pb->GetInt(kCount), 100);
    EXPECT_FALSE(o.pb->SetValue(99, 0, 1.0f));
    float f = 42.0f;
    Interval iv = FOREVER;
    EXPECT_FALSE(o.pb->GetValue(kCount, 0, f, iv));
    EXPECT_EQ(f, 0.0f);
    EXPECT_FALSE(o.pb->SetValue(kTint, 0, 1.0f, 1));  // no element 1

    o.pb->Reset();
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount), 1.0f);
}

TEST(ParamBlock, KeysAndValidity) {
    AutoKeyOff guard;
    Owner o;
    Interval iv = FOREVER;
    float v = 0.0f;
    o.pb->GetValue(kAmount, 100, v, iv);
    EXPECT_EQ(iv, FOREVER);  // constant

    AnimateOn();
    o.pb->SetValue(kAmount, 0, 2.0f);
    o.pb->SetValue(kAmount, 1000, 6.0f);
    o.pb->SetValue(kCount, 1000, 25);
    AnimateOff();
    EXPECT_TRUE(o.pb->IsAnimated(kAmount));
    iv = FOREVER;
    o.pb->GetValue(kAmount, 250, v, iv);
    EXPECT_FLOAT_EQ(v, 3.0f);
    EXPECT_EQ(iv, Interval(250, 250));
    int n = 0;
    iv = FOREVER;
    o.pb->GetValue(kCount, 500, n, iv);
    EXPECT_EQ(n, 15);  // from the old value keyed at 0 (5) to 25
    EXPECT_EQ(iv, Interval(500, 500));
    // Outside the keys the value holds, valid up to the first or from the last key.
    iv = FOREVER;
    o.pb->GetValue(kAmount, 5000, v, iv);
    EXPECT_FLOAT_EQ(v, 6.0f);
    EXPECT_EQ(iv, Interval(1000, TIME_PosInfinity));
    // Never widened: a narrowed interval stays narrowed after a constant parameter.
    iv = Interval(10, 20);
    o.pb->GetValue(kEnabled, 15, n, iv);
    EXPECT_EQ(iv, Interval(10, 20));
    // Auto Key off on an animated parameter moves the whole curve.
    o.pb->SetValue(kAmount, 500, 5.0f);  // was 4.0 at 500
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount, 0), 3.0f);
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount, 1000), 7.0f);
    // Keyed values are clamped too.
    AnimateOn();
    o.pb->SetValue(kAmount, 2000, 50.0f);
    EXPECT_FLOAT_EQ(o.pb->GetFloat(kAmount, 2000), 10.0f);
}

TEST(ParamBlock, NotifiesOwnerAndItsDependents) {
    auto* o = new Owner();
    Watcher w;
    w.ReplaceReference(0, o);
    o->pb->SetValue(kCount, 0, 9);
    EXPECT_EQ(o->changes, 1);
    EXPECT_EQ(o->lastId, kCount);
    EXPECT_EQ(w.messages, 1);
    o->pb->SetValue(kLabel, 0, L"rain");
    EXPECT_EQ(o->lastId, kLabel);
    EXPECT_EQ(w.messages, 2);
    // Dropping the only reference deletes the owner (and its block with it).
    w.DeleteReference(0);
    EXPECT_EQ(w.ref, nullptr);
}

TEST(ParamBlock, NodeSlotsEmptyWhenTheNodeIsDeleted) {
    host::replaceScene(nullptr);
    Interface* ip = GetCOREInterface();
    INode* a = ip->CreateObjectNode(nullptr);
    INode* b = ip->CreateObjectNode(nullptr);
    Owner o;
    EXPECT_TRUE(o.pb->SetValue(kTarget, 0, a));
    INode* nodes[2] = {a, b};
    o.pb->Append(kTargets, 2, nodes);
    EXPECT_EQ(o.pb->Count(kTargets), 2);
    EXPECT_EQ(o.pb->GetINode(kTargets, 0, 1), b);
    EXPECT_FALSE(o.pb->SetValue(kTarget, 0, 1.0f));
    int before = o.changes;
    ip->DeleteNode(a);
    EXPECT_EQ(o.pb->GetINode(kTarget), nullptr);
    EXPECT_EQ(o.pb->GetINode(kTargets, 0, 0), nullptr);
    EXPECT_EQ(o.pb->GetINode(kTargets, 0, 1), b);
    EXPECT_EQ(o.pb->Count(kTargets), 2);  // the slot stays, empty
    EXPECT_GT(o.changes, before);
    // A node referenced by a block is not deleted when the block lets go of it.
    o.pb->Delete(kTargets, 0, 2);
    EXPECT_EQ(o.pb->Count(kTargets), 0);
    EXPECT_EQ(ip->GetINodeByHandle(b->GetHandle()), b);
    host::replaceScene(nullptr);
    host::freeRetiredScenes();
}

TEST(ParamBlock, AutomaticRolloutsFollowTheEditFlags) {
    Owner o;
    gDesc.BeginEditParams(GetCOREInterface(), &o, 0, nullptr);
    ASSERT_EQ(gDesc.OpenRollouts().size(), 2u);
    EXPECT_EQ(gDesc.OpenRollouts()[0].rollout.dialogId, 1800);
    EXPECT_EQ(gDesc.OpenRollouts()[1].rollout.title, L"More");
    EXPECT_EQ(gDesc.OpenRollouts()[1].rollout.rollupFlags, APPENDROLL_CLOSED);
    gDesc.EndEditParams(GetCOREInterface(), &o, END_EDIT_REMOVEUI, nullptr);
    EXPECT_TRUE(gDesc.OpenRollouts().empty());
    gDesc.BeginEditParams(GetCOREInterface(), &o, BEGIN_EDIT_CREATE, nullptr);
    EXPECT_EQ(gDesc.OpenRollouts().size(), 3u);
    gDesc.EndEditParams(GetCOREInterface(), &o, END_EDIT_REMOVEUI, nullptr);
}

}  // namespace
