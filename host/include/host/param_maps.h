// The host's open parameter maps as a whole. Main thread only.
#pragma once

#include "max/param_map2.h"

namespace host {
// Shows every open map's values again at the current time (the time slider moved).
void refreshParamMaps();
}  // namespace host
