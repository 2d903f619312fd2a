// Creation by mouse in the stand-in: what the host does when the user picks a class in the
// Create panel and clicks in a viewport. The class descriptor makes the object, the object's
// CreateMouseCallBack hears the events in order, and the callback's answer decides: on
// CREATE_STOP the object becomes a new selected node (named as CreateObjectNode names it) at
// the callback's matrix on the construction plane, in one undo step "Create"; on
// CREATE_ABORT, on events that run out first (the host sends MOUSE_ABORT then), or when the
// viewport is dead, nothing is created and the object is deleted. Main thread only.
#pragma once

#include <span>

#include "max/class_desc.h"
#include "max/inode.h"
#include "max/mouse_callback.h"
#include "max/view_exp.h"

namespace host {

struct CreationEvent {
    int msg = MOUSE_MOVE;
    IPoint2 m;
    int flags = 0;

    static CreationEvent move(int x, int y) { return {MOUSE_MOVE, {x, y}, 0}; }
    static CreationEvent click(int x, int y) { return {MOUSE_POINT, {x, y}, MOUSE_LBUTTON}; }
    static CreationEvent abort() { return {MOUSE_ABORT, {}, 0}; }
};

enum class CreationOutcome {
    Created,
    Aborted,     // the callback aborted, the events ran out, or the viewport died
    NotCreated,  // no descriptor, not an object class, refused by OkToCreate, or no callback
};

struct CreationResult {
    CreationOutcome outcome = CreationOutcome::NotCreated;
    INode* node = nullptr;  // the new node when Created
    int eventsUsed = 0;     // events delivered to the callback
};

CreationResult createByClicks(ClassDesc* cd, ViewExp& vpt, std::span<const CreationEvent> events);

}  // namespace host
