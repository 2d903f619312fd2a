#include "plugin/live_modifiers.h"

#include <algorithm>

namespace wx {
namespace {

std::vector<LiveSnowMod*>& registry() {
    static std::vector<LiveSnowMod*> mods;
    return mods;
}

}  // namespace

void registerSnowMod(LiveSnowMod* mod) { registry().push_back(mod); }

void unregisterSnowMod(LiveSnowMod* mod) {
    auto& mods = registry();
    mods.erase(std::remove(mods.begin(), mods.end(), mod), mods.end());
}

const std::vector<LiveSnowMod*>& liveSnowMods() { return registry(); }

void invalidateAllSnowMods() {
    // A modifier may leave the registry while it is told (its node deleted): walk a copy.
    const std::vector<LiveSnowMod*> mods = registry();
    for (LiveSnowMod* mod : mods) {
        const auto& now = registry();
        if (std::find(now.begin(), now.end(), mod) != now.end()) mod->invalidateShelter();
    }
}

}  // namespace wx
