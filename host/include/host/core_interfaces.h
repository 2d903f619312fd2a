// The host's registry of core function-published interfaces (FP_CORE descriptors register
// themselves on construction and leave on destruction). The script interpreter finds them
// there by internal name. Main thread only.
#pragma once

#include <vector>

#include "max/ifnpub.h"

namespace host {
// Core interfaces in registration order.
const std::vector<FPInterfaceDesc*>& coreInterfaces();
}  // namespace host
