// Reading what the fall's core functions take from the host: the parameter snapshot's
// inputs from the block at t, and a node's object-to-world matrix as plain rows. Shared by
// the particles and the render mesh. Main thread only (the block is read).
#pragma once

#include "fall/fall_field.h"
#include "max/matrix3.h"

class IParamBlock2;

namespace wx {

FallInputs readFallInputs(IParamBlock2* pb, TimeValue t);
FallMatrix fallMatrix(const Matrix3& tm);

}  // namespace wx
