// A material written down as bytes and made again from them: its class, name and every
// parameter-block value at frame 0, with the materials and maps it holds written the same
// way, inside it. This is how a node's original material rides in the node's application
// data, so it survives saving and opening in another run. Only what the SDK shows of a
// material is written: keys of animated values and references to nodes are not kept.
// Main thread only.
#pragma once

#include <string>

class Mtl;

namespace wx {

// The bytes of `mtl` (null: a record of "no material").
std::string recordMaterial(Mtl* mtl);

// Makes the recorded material again through the host's classes. False when the bytes are
// not a record or name a class the host lacks; `out` is null for a record of no material.
bool rebuildMaterial(const std::string& bytes, Mtl*& out);

}  // namespace wx
