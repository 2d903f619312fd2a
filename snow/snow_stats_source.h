// What a snow modifier answers through GetInterface(kSnowStatsInterfaceID): the statistics
// of its last build, for programs that load the plug-in module (the command line) and so
// cannot name the modifier's class. A cached or failed evaluation keeps the figures of the
// build before it. Main thread only, as evaluations are.
#pragma once

#include "max/max_types.h"
#include "snow/snow_types.h"

namespace wx {

inline constexpr Interface_ID kSnowStatsInterfaceID{0x5A1E3C27, 0x0B6D94F2};

class SnowStatsSource : public BaseInterface {
public:
    virtual SnowStats lastStats() const = 0;
};

}  // namespace wx
