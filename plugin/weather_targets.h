// Which nodes weather goes on, and the boxes they take up. A node qualifies when it is
// shown, renderable and not a fall volume, and its world state is geometry (not particles)
// that can become a triangle mesh. Header-only and written against the SDK alone, so the
// plug-in module and the command line choose the same nodes.
#pragma once

#include <vector>

#include "max/box3.h"
#include "max/inode.h"
#include "max/object.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"

namespace wx {

inline bool isWeatherTarget(INode* node, TimeValue t) {
    if (!node || node->IsRootNode() || node->IsNodeHidden(TRUE) || !node->Renderable()) return false;
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    if (!base || base->ClassID() == kWeatherFallClassID) return false;
    Object* obj = node->EvalWorldState(t).obj;
    return obj && obj->SuperClassID() == GEOMOBJECT_CLASS_ID && !obj->IsParticleSystem() &&
           obj->CanConvertToType(triObjectClassID);
}

// The node's world-space deformed box at t (its world state's points through the object
// matrix); empty for an object without points.
inline Box3 worldBox(INode* node, TimeValue t) {
    Box3 box;
    ObjectState os = node->EvalWorldState(t);
    if (!os.obj) return box;
    Matrix3 tm = node->GetObjectTM(t);
    os.obj->GetDeformBBox(t, box, &tm);
    return box;
}

// Every qualifying node below the root, a parent before its children.
inline std::vector<INode*> sceneTargets(INode* root, TimeValue t) {
    std::vector<INode*> targets;
    visitNodesParentFirst(root, [&](INode* node) {
        if (isWeatherTarget(node, t)) targets.push_back(node);
    });
    return targets;
}

}  // namespace wx
