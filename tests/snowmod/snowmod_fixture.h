// Shared set-up for the snow modifier's tests: a fresh scene, the modifier's class in the
// registry, the module's notification handlers listening, and a test clock for timers.
#pragma once

#include <gtest/gtest.h>

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/message_pump.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/notify.h"
#include "max/param_block2.h"
#include "max/timer.h"
#include "plugin/module_state.h"
#include "plugin/plugin_events.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "snow/snow_status.h"

namespace snowmodtest {

struct SnowModTest : ::testing::Test {
    Interface* ip = GetCOREInterface();

    void SetUp() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::useTestClock(true);
        wx::discardScene();
        host::classRegistry().add(wx::GetSnowModDesc());
        wx::registerModuleHandlers();
    }
    void TearDown() override {
        wx::unregisterModuleHandlers();
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().remove(wx::GetSnowModDesc());
        wx::discardScene();
        host::useTestClock(false);
    }

    // A flat square of `size` at height z, facing up, in `segs` x `segs` quads.
    INode* addPlane(float size, float z = 0.0f, int segs = 1) {
        INode* node = ip->CreateObjectNode(host::createPlane(size, size, segs, segs));
        node->SetPosition(0, Point3(0, 0, z));
        return node;
    }

    // A snow modifier on top of the node's stack, coarse enough to build in milliseconds.
    wx::SnowMod* addSnow(INode* node, int shelterFrom = wx::kShelterThisObject) {
        auto* mod = static_cast<wx::SnowMod*>(wx::GetSnowModDesc()->Create(FALSE));
        node->AddWSModifier(mod);
        IParamBlock2* pb = mod->GetParamBlock(0);
        pb->SetValue(wx::kSnowResolution, 0, 10.0f);
        pb->SetValue(wx::kSnowOccRays, 0, 8);
        pb->SetValue(wx::kSnowNoiseAmount, 0, 0.0f);
        pb->SetValue(wx::kSnowOccluders, 0, shelterFrom);
        return mod;
    }

    static Mesh& evalMesh(INode* node, TimeValue t = 0) {
        const ObjectState& os = node->EvalWorldState(t);
        return static_cast<TriObject*>(os.obj)->GetMesh();
    }
};

}  // namespace snowmodtest
