#include "max/hold.h"

#include <cassert>
#include <string>
#include <vector>

#include "host/undo_history.h"
#include "host/undo_snapshots.h"

Hold theHold;

namespace host {

namespace {

struct Step {
    std::wstring name;
    std::string snapshot;  // the scene before the step (for undo) or after it (for redo)
    std::vector<RestoreObj*> restores;
};

std::vector<Step>& undoStack() {
    static std::vector<Step> s;
    return s;
}
std::vector<Step>& redoStack() {
    static std::vector<Step> s;
    return s;
}

UndoSnapshots& snapshots() {
    static UndoSnapshots s;
    return s;
}

std::string snapshotNow() {
    assert(snapshots().take && "the scene-file code installs the undo snapshots");
    return snapshots().take ? snapshots().take() : std::string();
}

bool restoreSnapshot(const std::string& snapshot) {
    return snapshots().restore && snapshots().restore(snapshot);
}

void freeRestores(std::vector<RestoreObj*>& list) {
    for (RestoreObj* r : list) delete r;
    list.clear();
}

}  // namespace

void setUndoSnapshots(UndoSnapshots s) {
    snapshots() = s;
}

bool undo() {
    auto& stack = undoStack();
    if (stack.empty() || theHold.Holding()) return false;
    Step step = std::move(stack.back());
    stack.pop_back();
    std::string after = snapshotNow();
    if (!restoreSnapshot(step.snapshot)) return false;
    for (auto it = step.restores.rbegin(); it != step.restores.rend(); ++it) (*it)->Restore(TRUE);
    redoStack().push_back({step.name, std::move(after), std::move(step.restores)});
    return true;
}

bool redo() {
    auto& stack = redoStack();
    if (stack.empty() || theHold.Holding()) return false;
    Step step = std::move(stack.back());
    stack.pop_back();
    std::string before = snapshotNow();
    if (!restoreSnapshot(step.snapshot)) return false;
    for (RestoreObj* r : step.restores) r->Redo();
    undoStack().push_back({step.name, std::move(before), std::move(step.restores)});
    return true;
}

std::vector<std::wstring> undoStepNames() {
    std::vector<std::wstring> names;
    for (const Step& s : undoStack()) names.push_back(s.name);
    return names;
}

void clearUndo() {
    for (auto* stack : {&undoStack(), &redoStack()}) {
        for (Step& s : *stack) freeRestores(s.restores);
        stack->clear();
    }
}

}  // namespace host

Hold::~Hold() {
    for (Level& l : levels_)
        for (RestoreObj* r : l.restores) delete r;
}

void Hold::Begin() {
    ++level_;
    levels_.push_back({host::snapshotNow(), {}});
}

void Hold::Put(RestoreObj* r) {
    if (!r) return;
    if (!Holding()) {
        delete r;
        return;
    }
    levels_.back().restores.push_back(r);
}

void Hold::Accept(const MCHAR* name) {
    if (level_ == 0) return;
    Level top = std::move(levels_.back());
    levels_.pop_back();
    --level_;
    if (level_ > 0) {
        // An inner step folds into the enclosing one.
        auto& outer = levels_.back().restores;
        outer.insert(outer.end(), top.restores.begin(), top.restores.end());
        return;
    }
    // A new step makes the redo list meaningless.
    for (host::Step& s : host::redoStack()) host::freeRestores(s.restores);
    host::redoStack().clear();
    host::undoStack().push_back({name ? name : L"", std::move(top.snapshot), std::move(top.restores)});
}

void Hold::Accept(int resID) {
    Accept((L"step " + std::to_wstring(resID)).c_str());
}

void Hold::Cancel() {
    if (level_ == 0) return;
    Level top = std::move(levels_.back());
    levels_.pop_back();
    --level_;
    host::restoreSnapshot(top.snapshot);
    for (auto it = top.restores.rbegin(); it != top.restores.rend(); ++it) (*it)->Restore(FALSE);
    host::freeRestores(top.restores);
}
