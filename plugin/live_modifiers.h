// The registry of live snow modifiers: a process-wide ordered list that every snow
// modifier joins when it is made and leaves when it is destroyed. A new shelter scene
// (or its discard) invalidates them all, so each rebuilds against the scene at its next
// evaluation. Main thread only, as the host's evaluations and captures are.
#pragma once

#include <vector>

namespace wx {

// What the registry asks of a snow modifier.
class LiveSnowMod {
public:
    // Forgets the cached shell (the next evaluation rebuilds) and asks the host to
    // re-evaluate the object.
    virtual void invalidateShelter() = 0;

protected:
    ~LiveSnowMod() = default;
};

void registerSnowMod(LiveSnowMod* mod);
void unregisterSnowMod(LiveSnowMod* mod);  // removes every occurrence
const std::vector<LiveSnowMod*>& liveSnowMods();
void invalidateAllSnowMods();

}  // namespace wx
