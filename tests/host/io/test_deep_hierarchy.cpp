// Chains of nodes deeper than any call stack: built, saved, loaded, described and listed
// in time linear in their depth, with the same transforms a shallow walk gives.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "app/cmd_scene.h"
#include "host/host_app.h"
#include "host/scene_file.h"
#include "hostile_files.h"
#include "max/interface.h"

using hostile::contains;

namespace {

constexpr int kDepth = 100000;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A chain of helper-less nodes, each moved and turned a little from its parent.
INode* buildChain() {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    INode* parent = nullptr;
    for (int i = 0; i < kDepth; ++i) {
        INode* n = ip->CreateObjectNode(nullptr);
        n->SetName((L"link" + std::to_wstring(i)).c_str());
        if (parent) parent->AttachChild(n, 0);
        n->SetPosition(0, Point3(0.001f, 0.0f, 0.0f));
        n->SetRotation(0, Point3(0.0f, 0.0f, 0.00001f));
        parent = n;
    }
    return parent;
}

TEST(DeepHierarchy, AChainIsBuiltSavedLoadedAndListedInLinearTime) {
    hostile::ScratchFolder dir;
    auto start = std::chrono::steady_clock::now();
    INode* last = buildChain();
    EXPECT_EQ(host::currentScene().allNodes().size(), size_t(kDepth));
    const Matrix3 expected = last->GetNodeTM(0);
    std::string error;
    ASSERT_TRUE(host::saveScene(dir.path + "/chain.scene", error)) << error;
    ASSERT_TRUE(host::loadScene(dir.path + "/chain.scene", error)) << error;
    INode* loaded = host::currentScene().findByName(L"link" + std::to_wstring(kDepth - 1));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetNodeTM(0).GetTrans(), expected.GetTrans());
    EXPECT_LT(secondsSince(start), 30.0) << "a quadratic walk takes many minutes here";
}

TEST(DeepHierarchy, SceneInfoNestsBoundedlyAndKeepsEveryTransform) {
    INode* last = buildChain();
    const auto start = std::chrono::steady_clock::now();
    const std::string text = tweather::describeScene(false, 0);
    const nlohmann::json doc = nlohmann::json::parse(tweather::describeScene(true, 0));
    EXPECT_LT(secondsSince(start), 60.0) << "a transform per node from the root is quadratic";
    // Down to depth 64 the entries nest; below, they are listed under the node at depth 64.
    const nlohmann::json* node = &doc["nodes"][0];
    for (int depth = 1; depth < 64; ++depth) {
        ASSERT_EQ((*node)["children"].size(), 1u) << depth;
        node = &(*node)["children"][0];
    }
    const nlohmann::json& flat = (*node)["children"];
    ASSERT_EQ(flat.size(), size_t(kDepth - 64));
    const nlohmann::json& deepest = flat.back();
    EXPECT_EQ(deepest["name"], "link" + std::to_string(kDepth - 1));
    EXPECT_EQ(deepest["parent"], flat[flat.size() - 2]["handle"]);
    const Point3 at = last->GetNodeTM(0).GetTrans();
    EXPECT_EQ(deepest["transform"][3], nlohmann::json::array({at.x, at.y, at.z}))
        << "the walk's transform is the node's own";
    const std::string lastLine = "#" + std::to_string(last->GetHandle()) + " link" + std::to_string(kDepth - 1) +
                                 " (under #" + std::to_string(last->GetParentNode()->GetHandle()) + ")";
    EXPECT_TRUE(contains(text, "\n" + std::string(128, ' ') + lastLine)) << "indented as deep as depth 65";
    EXPECT_LT(text.size(), size_t(kDepth) * 400) << "the indentation does not grow with the depth";
}

TEST(DeepHierarchy, EveryNodesTransformCostsLinearTimeOverAChain) {
    buildChain();
    // What export, render and the shelter capture do: each node's world transform in turn.
    const auto start = std::chrono::steady_clock::now();
    Point3 sum;
    for (INode* n : host::currentScene().allNodes()) sum += n->GetObjTMAfterWSM(0).GetTrans();
    EXPECT_LT(secondsSince(start), 10.0) << "each from the root is 5e9 products";
    EXPECT_GT(sum.x, 0.0f);
}

// The world transform a walk from the root gives, formed here independently of the node
// and reading the tracks without touching them.
Matrix3 fromTheRoot(INode* n, TimeValue t) {
    std::vector<const INode*> chain;
    for (; n && n->GetParentNode(); n = n->GetParentNode()) chain.push_back(n);
    Matrix3 world(1);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        world = ScaleMatrix((*it)->ScaleTrack().At(t)) * EulerXYZMatrix((*it)->RotationTrack().At(t)) *
                TransMatrix((*it)->PositionTrack().At(t)) * world;
    return world;
}

TEST(DeepHierarchy, RememberedTransformsFollowEveryChange) {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    std::vector<INode*> nodes;
    for (int i = 0; i < 8; ++i) {
        nodes.push_back(ip->CreateObjectNode(nullptr));
        if (i) nodes[size_t(i) - 1]->AttachChild(nodes.back(), 0);
        nodes.back()->SetPosition(0, Point3(1, 0, 0));
        nodes.back()->SetRotation(0, Point3(0, 0, 0.1f));
    }
    INode* last = nodes.back();
    INode* middle = nodes[3];
    auto same = [&](const char* after, TimeValue t = 0) {
        const Matrix3 got = last->GetNodeTM(t);  // remembered from the call before, unless forgotten
        const Matrix3 expected = fromTheRoot(last, t);
        for (int r = 0; r < 4; ++r) EXPECT_EQ(got.GetRow(r), expected.GetRow(r)) << after << ", row " << r;
    };
    same("built");
    middle->SetPosition(0, Point3(0, 5, 0));
    same("a middle node moved");
    middle->PositionTrack().value = Point3(0, 0, 7);
    same("its track edited in place");
    INode* elsewhere = ip->CreateObjectNode(nullptr);
    elsewhere->SetPosition(0, Point3(100, 0, 0));
    elsewhere->AttachChild(nodes[5], 0);
    same("the tail moved under another parent");
    AnimateOn();
    nodes[6]->SetPosition(4800, Point3(0, 0, 50));  // still above the last node
    AnimateOff();
    same("animated, at 0");
    same("animated, halfway", 2400);
    same("animated, at the end", 4800);
    Interval valid = FOREVER;
    last->GetNodeTM(2400, &valid);
    EXPECT_EQ(valid, Interval(2400, 2400)) << "between keys the transform holds for the instant";
    host::resetScene();
}

}  // namespace
