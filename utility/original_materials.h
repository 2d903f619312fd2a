// The material each node wore before its first weather material, where that material no
// longer holds it (snow replacing the whole material, wet and glass copies; a snow layer
// above the object's own ids holds the original itself). Its record rides in the node's
// application data (owner: the weather utility's class), which the host saves with
// the scene: after saving and opening again, in this run or another, restore still finds
// it, and a scene opened without this module carries it untouched. The record is the
// truth; for this run the very material is also held by a reference, so that restore gives
// back the same instance (shared with other nodes, keys and all) and not a copy.
// Main thread only.
#pragma once

class INode;
class Mtl;

namespace wx {

// Records `original` as the node's original material, unless one is kept already.
void keepOriginalMaterial(INode* node, Mtl* original);
bool hasOriginalMaterial(INode* node);
// The kept original (null: the node had none). False when nothing is kept or the record
// cannot be made again.
bool originalMaterial(INode* node, Mtl*& original);
// Takes the kept original off the books without touching the node.
void forgetOriginalMaterial(INode* node);
// Lets go of the materials held for this run (a new scene; the module going away). The
// records stay with their nodes.
void releaseHeldOriginals();

}  // namespace wx
