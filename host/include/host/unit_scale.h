// System unit scales in metres. Pure function.
#pragma once

#include "max/units.h"

namespace host {
// Metres in one unit of `type`, or a negative value for an unknown type.
double metresPerUnit(int type);
}  // namespace host
