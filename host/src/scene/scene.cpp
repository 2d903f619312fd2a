#include "host/scene.h"

#include <algorithm>

#include "max/notify.h"

namespace host {

namespace {

std::unique_ptr<Scene>& openScene() {
    static std::unique_ptr<Scene> scene;
    return scene;
}

std::vector<std::unique_ptr<Scene>>& retired() {
    static std::vector<std::unique_ptr<Scene>> list;
    return list;
}

}  // namespace

Scene::Scene() : root_(new INode()) {
    root_->scene_ = this;
    root_->SetName(L"Scene Root");
}

Scene::~Scene() {
    selection_.clear();
    // Leaves first, so no node outlives its parent.
    std::vector<INode*> nodes = allNodes();
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) delete *it;
    delete root_;
}

INode* Scene::createNode(Object* obj, const std::wstring& name, ULONG handle) {
    if (handle != 0 && findByHandle(handle)) return nullptr;
    auto* node = new INode();
    node->scene_ = this;
    node->handle_ = handle != 0 ? handle : nextHandle_;
    nextHandle_ = std::max(nextHandle_, node->handle_ + 1);
    node->parent_ = root_;
    root_->children_.push_back(node);
    byHandle_[node->handle_] = node;
    if (obj) node->ReplaceReference(0, obj);
    if (!name.empty()) {
        node->name_ = name;
    } else {
        MSTR cls = L"Object";
        if (obj) {
            const MCHAR* n = obj->GetObjectName();
            if (n && *n) cls = n;
        }
        wchar_t buf[32];
        swprintf(buf, 32, L"%03u", unsigned(node->handle_));
        node->name_ = cls + buf;
    }
    return node;
}

void Scene::deleteNode(INode* node) {
    if (!node || node == root_ || node->scene_ != this) return;
    BroadcastNotification(NOTIFY_SCENE_PRE_DELETED_NODE, node);
    INode* parent = node->parent_;
    for (INode* child : std::vector<INode*>(node->children_)) parent->AttachChild(child, 1);
    auto& sib = parent->children_;
    sib.erase(std::remove(sib.begin(), sib.end(), node), sib.end());
    selection_.erase(std::remove(selection_.begin(), selection_.end(), node), selection_.end());
    byHandle_.erase(node->handle_);
    delete node;
}

INode* Scene::findByHandle(ULONG handle) {
    auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? nullptr : it->second;
}

INode* Scene::findByName(const std::wstring& name) {
    for (INode* n : allNodes())
        if (n->name_ == name) return n;
    return nullptr;
}

std::vector<INode*> Scene::allNodes() {
    // Depth first, each node before its children and children in order, with a list of our
    // own rather than the call stack: a chain can be deeper than any stack.
    std::vector<INode*> out, pending(root_->children_.rbegin(), root_->children_.rend());
    while (!pending.empty()) {
        INode* n = pending.back();
        pending.pop_back();
        out.push_back(n);
        pending.insert(pending.end(), n->children_.rbegin(), n->children_.rend());
    }
    return out;
}

Scene& currentScene() {
    auto& s = openScene();
    if (!s) s = std::make_unique<Scene>();
    return *s;
}

void replaceScene(std::unique_ptr<Scene> next) {
    auto& s = openScene();
    if (s) retired().push_back(std::move(s));
    s = next ? std::move(next) : std::make_unique<Scene>();
}

void freeRetiredScenes() {
    // Moved out first: freeing may run code that retires more.
    auto list = std::move(retired());
    retired().clear();
    list.clear();
}

}  // namespace host
