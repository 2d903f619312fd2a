// Creation by mouse: the host feeds a new object's CreateMouseCallBack every mouse event in
// the viewport until it answers CREATE_STOP (keep the object, made into a node at `mat`) or
// CREATE_ABORT (delete it). `mat` is the new node's transform relative to the construction
// plane; the callback edits it (usually its translation) as the mouse moves. Main thread only.
#pragma once

#include "max/ipoint2.h"
#include "max/matrix3.h"

class ViewExp;

// Mouse messages.
constexpr int MOUSE_ABORT = 0;
constexpr int MOUSE_IDLE = 0;
constexpr int MOUSE_POINT = 1;
constexpr int MOUSE_MOVE = 2;
constexpr int MOUSE_DBLCLICK = 3;
constexpr int MOUSE_INIT = 4;
constexpr int MOUSE_UNINIT = 5;
constexpr int MOUSE_FREEMOVE = 6;
constexpr int MOUSE_KEYBOARD = 7;
constexpr int MOUSE_PROPCLICK = 8;
constexpr int MOUSE_SNAPCLICK = 9;

// Mouse flags: buttons and keys held.
constexpr int MOUSE_SHIFT = 1 << 0;
constexpr int MOUSE_CTRL = 1 << 1;
constexpr int MOUSE_ALT = 1 << 2;
constexpr int MOUSE_LBUTTON = 1 << 3;
constexpr int MOUSE_MBUTTON = 1 << 4;
constexpr int MOUSE_RBUTTON = 1 << 5;

// What CreateMouseCallBack::proc answers. CREATE_STOP is 0, so a callback answering FALSE
// stops creation: the host tells a refusal apart by the viewport it sent (see IsAlive).
constexpr int CREATE_CONTINUE = 1;
constexpr int CREATE_STOP = 0;
constexpr int CREATE_ABORT = -1;

class CreateMouseCallBack {
public:
    virtual ~CreateMouseCallBack() = default;
    // `point` counts the clicks so far: 0 until the first MOUSE_POINT has been answered.
    // `m` is the cursor in screen pixels.
    virtual int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) = 0;
};
