// The scene the host holds: the root node, every node by handle, the selection and the
// handle counter. Handles start at 1, are unique within a scene and are never reused there,
// even after a node is deleted (the counter is saved with the scene). The open scene is
// replaced as a whole by reset, new, load and undo; the replaced scene is retired and freed
// at the next message-loop pump, so code that triggered the replacement (an undo from a
// plug-in command) may still touch its own objects until it returns. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "max/inode.h"

namespace host {

class Scene {
public:
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    INode* root() { return root_; }
    // Creates a node under the root holding obj (which may be null). handle 0 takes the
    // next free handle; an explicit handle (from a file) must not be in use and moves the
    // counter past it. Returns null for a handle already in use.
    INode* createNode(Object* obj, const std::wstring& name = L"", ULONG handle = 0);
    // Deletes the node; its children move to its parent. Its objects go when no longer
    // referenced.
    void deleteNode(INode* node);
    INode* findByHandle(ULONG handle);
    INode* findByName(const std::wstring& name);
    // Every node but the root, depth first, children in order.
    std::vector<INode*> allNodes();
    ULONG nextHandle() const { return nextHandle_; }
    void setNextHandle(ULONG h) { nextHandle_ = std::max(nextHandle_, h); }
    std::vector<INode*>& selection() { return selection_; }

private:
    INode* root_;
    std::unordered_map<ULONG, INode*> byHandle_;
    ULONG nextHandle_ = 1;
    std::vector<INode*> selection_;
};

// The open scene.
Scene& currentScene();
// Makes `next` the open scene; the old one is retired (freed at the next pump or shutdown).
void replaceScene(std::unique_ptr<Scene> next);
// Frees retired scenes now.
void freeRetiredScenes();

}  // namespace host
