// Which nodes weather goes on, and the boxes they take up. A node qualifies when it is
// shown, renderable and not a fall volume, and its world state is geometry (not particles)
// that can become a triangle mesh. Header-only and written against the SDK alone, so the
// plug-in module and the command line choose the same nodes.
#pragma once

#include <cmath>
#include <vector>

#include "max/box3.h"
#include "max/inode.h"
#include "max/object.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"

namespace wx {

// The node's object as its own modifiers leave it, before world-space modifiers (its snow)
// add to it: what the target filter and the boxes look at, so that weather already on a
// node changes neither, and nothing is built just to be measured.
inline Object* objectBeforeWorldModifiers(INode* node, TimeValue t) {
    Object* ref = node->GetObjectRef();
    return ref ? ref->Eval(t).obj : nullptr;
}

inline bool isWeatherTarget(INode* node, TimeValue t) {
    if (!node || node->IsRootNode() || node->IsNodeHidden(TRUE) || !node->Renderable()) return false;
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    if (!base || base->ClassID() == kWeatherFallClassID) return false;
    Object* obj = objectBeforeWorldModifiers(node, t);
    return obj && obj->SuperClassID() == GEOMOBJECT_CLASS_ID && !obj->IsParticleSystem() &&
           obj->CanConvertToType(triObjectClassID);
}

// The node's world-space deformed box at t: its points before world-space modifiers,
// through the object matrix, leaving out points that are not finite; empty for an object
// without (finite) points. The node remembers it while nothing it depends on changes, so
// gathering inside volumes reads most boxes without touching a point.
inline Box3 worldBox(INode* node, TimeValue t) {
    return node->GetWorldBoxBeforeWSM(t);
}

// Every target of the scene, depth first from root: a node before its children.
inline std::vector<INode*> sceneTargets(INode* root, TimeValue t) {
    std::vector<INode*> targets;
    visitNodesParentFirst(root, [&](INode* node) {
        if (isWeatherTarget(node, t)) targets.push_back(node);
    });
    return targets;
}

}  // namespace wx
