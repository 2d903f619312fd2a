// Shared set-up for the Weather Map's host-side tests: a fresh scene with the map's class in
// the registry and no captured scene, new maps, and shading contexts filled by hand.
#pragma once

#include <gtest/gtest.h>

#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/sample_shade_context.h"
#include "host/scene.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "weathermap/weather_map.h"

namespace mapgluetest {

struct MapGlueTest : ::testing::Test {
    Interface* ip = GetCOREInterface();

    void SetUp() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        wx::discardScene();
        host::classRegistry().add(wx::GetWeatherMapDesc());
    }
    void TearDown() override {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().remove(wx::GetWeatherMapDesc());
        wx::discardScene();
    }

    static wx::WeatherMap* newMap() { return static_cast<wx::WeatherMap*>(wx::GetWeatherMapDesc()->Create(FALSE)); }

    // A map updated at t with `mode` and the probe's inputs fixed so that a sample's value
    // depends only on the parameters the test sets.
    static void update(wx::WeatherMap* map, TimeValue t = 0) {
        Interval valid = FOREVER;
        map->Update(t, valid);
    }

    // A context for one sample whose camera space is world space unless the test moves it.
    static void aim(host::SampleShadeContext& sc, Point3 p, Point3 n, Point3 view, TimeValue t = 0, int face = 0) {
        sc.beginSample();
        sc.time = t;
        sc.faceNumber = face;
        sc.p = p;
        sc.normal = sc.origNormal = sc.geomNormal = n;
        sc.view = view;
    }

    // A flat square of `size` at height z, facing up.
    INode* addPlane(float size, float z = 0.0f) {
        INode* node = ip->CreateObjectNode(host::createPlane(size, size, 1, 1));
        node->SetPosition(0, Point3(0, 0, z));
        return node;
    }
};

}  // namespace mapgluetest
