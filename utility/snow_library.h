// The snow tools of TWeatherMtl: add a snow modifier with parameters set by name, remove
// it, say how each node's snow reads painted weights, and bake snowed objects into meshes.
// The snow class is found in the host's class directory by its internal name, so any
// module's TarnwickSnow serves. Each function takes its published arguments and answers
// the text scripts see; wrong arguments throw the SDK's script exceptions. Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

namespace wx {

// addSnow node #(#(#name, value), ...): a new snow modifier on top of the node's
// world-space stack with the pairs set by internal name. Nothing is left on the node when
// a pair is wrong.
std::wstring addSnowModifier(FPParams& p, TimeValue t);
// removeSnow node: takes every snow modifier off the node.
std::wstring removeSnowModifiers(FPParams& p);
// paint #(nodes): how each node's snow reads painted weights.
std::wstring paintAdvice(FPParams& p, TimeValue t);
// bake(): each node carrying snow keeps its place in the scene while its object becomes a
// plain mesh of what a render shows of it (snow included), in the node's own space; the
// modifiers it had are collapsed into that mesh.
std::wstring bakeSnow(TimeValue t);

}  // namespace wx
