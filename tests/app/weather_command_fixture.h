// What the weather command's tests share: a small yard exported as glTF, and a run of the
// command with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cmd_weather.h"
#include "app/weather_module.h"
#include "file_test.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "max/interface.h"

class WeatherCommandFixture : public tweather::FileTest {
protected:
    // A yard as glTF: a 10 x 10 m ground and a 2 x 2 m slab 2.5 m over it.
    std::string yard() {
        std::string warning;
        std::vector<std::string> errors;
        host::startUp(tweather::modulesToLoad({}, warning), errors);
        host::resetScene();
        Interface* ip = GetCOREInterface();
        ip->CreateObjectNode(host::createPlane(1000, 1000, 4, 4))->SetName(L"Ground");
        INode* slab = ip->CreateObjectNode(host::createBox(200, 200, 10));
        slab->SetName(L"Slab");
        slab->SetPosition(0, Point3(0, 0, 250));
        std::string error;
        const std::string file = path("yard.glb");
        EXPECT_TRUE(host::exportScene(file, 0, error)) << error;
        host::shutDown();
        return file;
    }
    int run(tweather::WeatherCommand c, std::string* out = nullptr, std::string* err = nullptr) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = tweather::runWeather(c);
        const std::string o = testing::internal::GetCapturedStdout(), e = testing::internal::GetCapturedStderr();
        if (out) *out = o;
        if (err) *err = e;
        return rc;
    }
};
