// The weather materials of TWeatherMtl: a snow (or sand) standard material put on a node,
// alone or as a sub-material above the node's own material ids, the material each node had
// before its first weather material (held by a reference, so a replaced material stays
// alive until restore puts it back), and the list of nodes carrying one. Materials are made
// through the host's CreateInstance and the SDK's material interfaces. Each function takes
// its published arguments and answers the text scripts see; wrong arguments throw the SDK's
// script exceptions. Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

class INode;
class Mtl;

namespace wx {

// "Snow" or "Sand": which material applySnow makes.
const std::wstring& layerKind();
void setLayerKind(const FPValue& kind);  // anything but "Snow" or "Sand" is a runtime error

// applySnow node snowId highestId snowOnly (ids 1-based, as scripts show them).
std::wstring applyWeatherMaterial(FPParams& p);
// restore node: exactly "true" when the node's earlier material was put back (kept since
// applySnow, or read from the weather material of a scene opened again), else "false".
std::wstring restoreMaterial(FPParams& p);
// What the node wore before its first weather material: the kept original, else the
// object's own material inside a snow layer that applySnow put above its ids (none under a
// snow material alone), else the node's material as it is.
Mtl* currentOriginal(INode* node);
// The snow or sand material that applySnow makes (by its name).
bool isSnowLayerMaterial(Mtl* mtl);
// coverDialog(): the scene's objects that carry a weather material, one line each.
std::wstring listWeatherMaterials();
// Forgets the kept materials and goes back to snow (a new scene).
void resetWeatherMaterials();

}  // namespace wx
