// Undo: theHold collects what a command changes between Begin and Accept into one named
// step. The stand-in records a step as a snapshot of the whole scene (its scene-file JSON)
// taken at the outermost Begin, plus any RestoreObj a plug-in puts; Cancel and undo bring
// the scene back by loading that snapshot. So after a Cancel, undo or redo every node and
// object is a new instance: look nodes up again by handle (handles are kept). Main thread
// only.
#pragma once

#include <string>
#include <vector>

#include "max/max_types.h"

class RestoreObj {
public:
    virtual ~RestoreObj() = default;
    virtual void Restore(int isUndo) = 0;
    virtual void Redo() = 0;
    virtual int Size() { return 1; }
    virtual MSTR Description() { return MSTR(L"restore"); }
};

class Hold {
public:
    ~Hold();
    // Nests: only the outermost Begin/Accept pair makes a step.
    void Begin();
    void Accept(const MCHAR* name);
    void Accept(int resID);
    // Undoes everything since the matching Begin and discards it.
    void Cancel();
    int Holding() const { return level_ > 0 && suspended_ == 0 ? TRUE : FALSE; }
    // Takes ownership; dropped at once when not holding.
    void Put(RestoreObj* r);
    void Suspend() { ++suspended_; }
    void Resume() {
        if (suspended_ > 0) --suspended_;
    }
    int IsSuspended() const { return suspended_ > 0 ? TRUE : FALSE; }
    void SuperBegin() { Begin(); }
    void SuperAccept(const MCHAR* name) { Accept(name); }
    void SuperCancel() { Cancel(); }

private:
    struct Level {
        std::string snapshot;
        std::vector<RestoreObj*> restores;
    };
    std::vector<Level> levels_;
    int level_ = 0;
    int suspended_ = 0;
};

extern Hold theHold;
