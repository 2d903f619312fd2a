// Shared set-up for the fall object's tests: a fresh scene with the fall class in the
// registry, a fall object on a node, and its particles read back from the host's arrays.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "fall/weather_fall.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/param_block2.h"

namespace fallmodtest {

struct FallModTest : ::testing::Test {
    Interface* ip = GetCOREInterface();

    void SetUp() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().add(wx::GetFallDesc());
    }
    void TearDown() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().remove(wx::GetFallDesc());
    }

    static wx::WeatherFall* newFall() { return static_cast<wx::WeatherFall*>(wx::GetFallDesc()->Create(FALSE)); }

    INode* addFall(wx::WeatherFall* fall = nullptr) { return ip->CreateObjectNode(fall ? fall : newFall()); }

    static wx::WeatherFall* fallOf(INode* node) { return static_cast<wx::WeatherFall*>(node->GetObjectRef()); }

    // The particles the host sees on the node at t: world positions and velocities (per tick).
    struct Particles {
        std::vector<Point3> points, vels;
    };
    static Particles particlesAt(INode* node, TimeValue t) {
        node->EvalWorldState(t);
        wx::WeatherFall* fall = fallOf(node);
        return {fall->parts.points, fall->parts.vels};
    }
};

}  // namespace fallmodtest
