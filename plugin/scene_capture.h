// The captured scene: one world-space copy of the scene's renderable triangles near the
// weather, with its hierarchy, shared by every consumer of shelter (snow, wet maps, the
// fall renderer). A capture walks the host's node tree, publishes the new hierarchy as
// current, keeps the one before it alive for one more capture (readers on worker
// threads may still hold it), bumps the generation and invalidates every snow modifier.
// Captures run on the host's main thread and do not nest; readers on any thread take
// the current scene through currentScene(), which they may keep as long as they need.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "max/box3.h"
#include "max/interval.h"
#include "max/max_types.h"
#include "shelter/bvh.h"

namespace wx {

// The fall object's class: its volume defines where weather is.
inline constexpr Class_ID kWeatherFallClassID{0x5BC5F19B, 0x77F64F26};

constexpr size_t kCapturePointCap = 120000000;  // points (40,000,000 triangles)

// Captures the scene at time t (no nesting: a capture started during one returns).
void captureScene(TimeValue t);

// Forgets the scene (reset, new scene): none current, generation + 1.
void discardScene();

std::shared_ptr<const ShelterBVH> currentScene();  // null before the first capture
uint64_t sceneGeneration();
int capturedTriangles();
double captureMs();
std::wstring sceneLog();  // one line per captured object
Box3 interestBox();
bool captureInProgress();

// Listens for the host's reset and new-scene notifications and discards the scene on
// each; the module registers this at initialisation and removes it at shutdown.
void registerSceneDiscardHandlers();
void unregisterSceneDiscardHandlers();

// Lowers the point cap for tests (0 restores kCapturePointCap).
void setCapturePointCapForTesting(size_t points);

}  // namespace wx
