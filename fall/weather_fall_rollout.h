// The fall object's "Fall - GPU render" rollout: which fall object has it open, and its
// status box, which mirrors that object's status text. Main thread only.
#pragma once

#include "max/interface.h"

namespace wx {

class WeatherFall;

// Adds the rollout for `fall` (rollup category 4000) and remembers it as edited.
void openFallRenderRollout(IObjParam* ip, WeatherFall* fall);
// Removes the rollout when `fall` is the one it was opened for, and forgets it.
void closeFallRenderRollout(IObjParam* ip, WeatherFall* fall);
// A fall object going away: the rollout no longer works on it.
void forgetFallRenderRollout(const WeatherFall* fall);
// Shows the object's status text in the open rollout, when the rollout is open for it.
void showFallRenderStatus(WeatherFall* fall);

}  // namespace wx
