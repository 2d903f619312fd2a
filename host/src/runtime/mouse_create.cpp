#include "host/mouse_create.h"

#include "max/hold.h"
#include "max/interface.h"
#include "max/object.h"

namespace host {

namespace {

bool isObjectClass(SClass_ID sclass) {
    switch (sclass) {
        case GEOMOBJECT_CLASS_ID:
        case CAMERA_CLASS_ID:
        case LIGHT_CLASS_ID:
        case SHAPE_CLASS_ID:
        case HELPER_CLASS_ID:
        case WSM_OBJECT_CLASS_ID:
            return true;
        default:
            return false;
    }
}

// The node goes in as its own undo step, selected alone, as a click in the Create panel does.
INode* makeNode(Object* obj, const Matrix3& onPlane, ViewExp& vpt) {
    Matrix3 planeToWorld;
    vpt.GetConstructionTM(planeToWorld);
    Interface* ip = GetCOREInterface();
    theHold.Begin();
    INode* node = ip->CreateObjectNode(obj);
    node->SetNodeTM(ip->GetTime(), onPlane * planeToWorld);
    ip->SelectNode(node);
    theHold.Accept(L"Create");
    return node;
}

}  // namespace

CreationResult createByClicks(ClassDesc* cd, ViewExp& vpt, std::span<const CreationEvent> events) {
    CreationResult result;
    Interface* ip = GetCOREInterface();
    if (!cd || !isObjectClass(cd->SuperClassID()) || !cd->OkToCreate(ip)) return result;
    auto* obj = static_cast<Object*>(cd->Create(FALSE));
    if (!obj) return result;
    CreateMouseCallBack* cb = obj->GetCreateMouseCallBack();
    if (!cb) {
        obj->MaybeAutoDelete();
        return result;
    }
    result.outcome = CreationOutcome::Aborted;
    Matrix3 mat;
    int points = 0;
    bool ended = false;  // by the callback's answer or a dead viewport
    for (const CreationEvent& e : events) {
        // A callback answers FALSE (= CREATE_STOP) for a dead viewport: that is a refusal, so
        // whatever it answers, nothing made in a viewport that has closed is kept.
        const bool alive = vpt.IsAlive() != FALSE;
        const int answer = cb->proc(&vpt, e.msg, points, e.flags, e.m, mat);
        ++result.eventsUsed;
        if (e.msg == MOUSE_POINT) ++points;
        ended = !alive || vpt.IsAlive() == FALSE;
        if (ended) break;
        if (answer == CREATE_CONTINUE) continue;
        if (answer == CREATE_STOP) {
            result.outcome = CreationOutcome::Created;
            result.node = makeNode(obj, mat, vpt);
            return result;
        }
        ended = true;  // CREATE_ABORT, and any answer the SDK does not name
        break;
    }
    // Leaving the mode before the callback finished: the host tells it, as a right click does.
    if (!ended) cb->proc(&vpt, MOUSE_ABORT, points, 0, IPoint2{}, mat);
    obj->MaybeAutoDelete();
    return result;
}

}  // namespace host
