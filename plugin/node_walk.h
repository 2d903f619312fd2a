// Walks over a host node and everything below it, in the host's child order. Header-only
// and written against the SDK's INode alone, so the plug-in module, the command line and
// the tests may all use it. The visitor must not add or remove nodes during the walk.
#pragma once

#include "max/inode.h"

namespace wx {

// node first, then each child's subtree.
template <class Visit>
void visitNodesParentFirst(INode* node, Visit&& visit) {
    visit(node);
    for (int i = 0; i < node->NumberOfChildren(); ++i) visitNodesParentFirst(node->GetChildNode(i), visit);
}

// Each child's subtree first, then node: a node is seen after everything below it.
template <class Visit>
void visitNodesChildrenFirst(INode* node, Visit&& visit) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) visitNodesChildrenFirst(node->GetChildNode(i), visit);
    visit(node);
}

}  // namespace wx
