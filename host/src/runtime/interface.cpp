#include "max/interface.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "host/class_registry.h"
#include "host/scene.h"
#include "host/scene_settings.h"
#include "host/text.h"
#include "host/user_folders.h"
#include "max/class_directory.h"
#include "max/notify.h"

INode* Interface::GetRootNode() {
    return host::currentScene().root();
}
TimeValue Interface::GetTime() {
    return host::sceneSettings().time;
}
void Interface::SetTime(TimeValue t, BOOL redraw) {
    host::sceneSettings().time = t;
    BroadcastNotification(host::kNotifyTimeChanged, &t);
    if (redraw) RedrawViews(t);
}
Interval Interface::GetAnimRange() {
    return host::sceneSettings().animRange;
}
void Interface::SetAnimRange(Interval range) {
    if (!range.Empty() && range.Start() <= range.End()) host::sceneSettings().animRange = range;
}

int Interface::GetSelNodeCount() {
    return int(host::currentScene().selection().size());
}

INode* Interface::GetSelNode(int i) {
    auto& sel = host::currentScene().selection();
    return i >= 0 && i < int(sel.size()) ? sel[i] : nullptr;
}

void Interface::SelectNode(INode* node, int clearSel) {
    auto& sel = host::currentScene().selection();
    if (clearSel) sel.clear();
    if (node && !node->IsRootNode() && std::find(sel.begin(), sel.end(), node) == sel.end()) sel.push_back(node);
    BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
}

void Interface::DeSelectNode(INode* node) {
    auto& sel = host::currentScene().selection();
    sel.erase(std::remove(sel.begin(), sel.end(), node), sel.end());
    BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
}

void Interface::ClearNodeSelection(BOOL) {
    host::currentScene().selection().clear();
    BroadcastNotification(NOTIFY_SELECTIONSET_CHANGED);
}

INode* Interface::GetINodeByHandle(ULONG handle) {
    return host::currentScene().findByHandle(handle);
}

INode* Interface::GetINodeByName(const MCHAR* name) {
    return name ? host::currentScene().findByName(name) : nullptr;
}

INode* Interface::CreateObjectNode(Object* obj) {
    INode* node = host::currentScene().createNode(obj);
    BroadcastNotification(NOTIFY_NODE_CREATED, node);
    return node;
}

void Interface::DeleteNode(INode* node, BOOL, BOOL) {
    host::currentScene().deleteNode(node);
}

void* Interface::CreateInstance(SClass_ID superID, Class_ID classID) {
    return host::classRegistry().create(superID, classID);
}

DllDir& Interface::GetDllDir() {
    static DllDir dir;
    return dir;
}

namespace {

bool progressShown() {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    return terminal;
}

}  // namespace

BOOL Interface::ProgressStart(const MCHAR* title, BOOL, LPTHREAD_START_ROUTINE fn, LPVOID arg) {
    progressTitle_ = title ? title : L"";
    progress_.push_back(L"start " + progressTitle_);
    if (progressShown()) std::fprintf(stderr, "%ls...", progressTitle_.c_str());
    if (fn) fn(arg);
    return TRUE;
}

void Interface::ProgressUpdate(int pct, BOOL, const MCHAR* title) {
    if (title) progressTitle_ = title;
    progress_.push_back(std::to_wstring(pct) + L"%");
    if (progressShown()) std::fprintf(stderr, "\r%ls: %d%%  ", progressTitle_.c_str(), pct);
}

void Interface::ProgressEnd() {
    progress_.push_back(L"end");
    if (progressShown()) std::fprintf(stderr, "\r%ls: done  \n", progressTitle_.c_str());
}

void Interface::RedrawViews(TimeValue, DWORD, ReferenceTarget*) {
    ++redraws_;
}
void Interface::ForceCompleteRedraw(BOOL) {
    ++redraws_;
}

const MCHAR* Interface::GetDir(int which) {
    for (auto& [id, path] : dirs_)
        if (id == which) return path.c_str();
    // The user folders follow the environment at each call; the text lives until the next.
    for (auto& [id, path] : userDirs_)
        if (id == which) return (path = host::fromUtf8(host::userFolder(which))).c_str();
    if (which != APP_USER_MACROS_DIR && which != APP_USER_SCRIPTS_DIR) return L"";
    userDirs_.emplace_back(which, host::fromUtf8(host::userFolder(which)));
    return userDirs_.back().second.c_str();
}

void Interface::SetDir(int which, const std::wstring& path) {
    std::erase_if(dirs_, [&](const auto& dir) { return dir.first == which; });
    if (!path.empty()) dirs_.emplace_back(which, path);
}

void Interface7::GetSelNodeTab(INodeTab& nodes) {
    nodes = host::currentScene().selection();
}

Interface* GetCOREInterface() {
    return GetCOREInterface7();
}

Interface7* GetCOREInterface7() {
    static Interface7 core;
    return &core;
}
