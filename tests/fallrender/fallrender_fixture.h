// Shared set-up for the render command tests: a fresh scene with the fall class, a ground
// plane, a camera looking down at it from above the fall, the CPU backend, and a scratch
// folder for the images.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fall/weather_fall.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/keyboard.h"
#include "host/scene.h"
#include "host/viewport.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "render/png_writer.h"

namespace fallrendertest {

struct FallRenderTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    INode* fallNode = nullptr;
    INode* camera = nullptr;
    INode* ground = nullptr;
    std::filesystem::path dir;

    void SetUp() override {
        setenv("WX_FALL_BACKEND", "cpu", 1);
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        host::classRegistry().add(wx::GetFallDesc());
        host::releaseEscape();
        host::setViewCamera(nullptr);
        wx::discardScene();
        dir = std::filesystem::temp_directory_path() /
              ("tweather_fallrender_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);

        ground = ip->CreateObjectNode(host::createPlane(4000.0f, 4000.0f, 2, 2));
        ground->SetName(L"Ground");
        fallNode = ip->CreateObjectNode(static_cast<wx::WeatherFall*>(wx::GetFallDesc()->Create(FALSE)));
        fallNode->SetName(L"Fall");
        fallNode->SetPosition(0, Point3(0.0f, 0.0f, 10.0f));
        setInt(wx::kFallCount, 2000);
        camera = ip->CreateObjectNode(host::createFreeCamera(1.2f));
        camera->SetName(L"Cam");
        camera->SetPosition(0, Point3(0.0f, 0.0f, 2000.0f));  // looking down -Z at the fall
    }
    void TearDown() override {
        host::releaseEscape();
        host::setViewCamera(nullptr);
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        wx::discardScene();
        host::classRegistry().remove(wx::GetFallDesc());
        std::filesystem::remove_all(dir);
        unsetenv("WX_FALL_BACKEND");
    }

    wx::WeatherFall* fall() const { return static_cast<wx::WeatherFall*>(fallNode->GetObjectRef()); }
    IParamBlock2* block() const { return fall()->GetParamBlock(0); }
    void setInt(ParamID id, int v) const { block()->SetValue(id, 0, v); }
    void setFloat(ParamID id, float v) const { block()->SetValue(id, 0, v); }
    std::wstring path(const std::string& name) const { return (dir / name).wstring(); }
    std::string narrow(const std::string& name) const { return (dir / name).string(); }

    // A uniform background picture written as a PNG.
    void writeBackground(const std::string& name, int w, int h, float grey = 0.25f) const {
        std::vector<float> px(size_t(w) * h * 4, grey);
        for (size_t i = 3; i < px.size(); i += 4) px[i] = 1.0f;
        ASSERT_TRUE(wx::writePng16(narrow(name), px.data(), w, h));
    }
    std::wstring status() const { return fall()->statusText(); }
};

inline bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace fallrendertest
