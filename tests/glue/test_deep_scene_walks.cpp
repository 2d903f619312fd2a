// The utility's walks over the whole scene on a chain of nodes deeper than the call stack:
// the weather-material list and the snow bake reach the deepest node.
#include <gtest/gtest.h>

#include "host/host_app.h"
#include "host/std_materials.h"
#include "max/interface.h"
#include "utility/snow_library.h"
#include "utility/weather_materials.h"

namespace {

TEST(DeepSceneWalks, TheUtilityWalksReachTheEndOfALongChain) {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    INode* parent = nullptr;
    for (int i = 0; i < 100000; ++i) {
        INode* n = ip->CreateObjectNode(nullptr);
        if (parent) parent->AttachChild(n, 0);
        parent = n;
    }
    parent->SetName(L"deepest");
    parent->SetMtl(host::createStdMaterial(L"Tarnwick Snow", Color(1, 1, 1), 10));
    const std::wstring listed = wx::listWeatherMaterials();
    EXPECT_EQ(listed.rfind(L"1 object(s) with weather materials:", 0), 0u);
    EXPECT_NE(listed.find(L"deepest: Tarnwick Snow"), std::wstring::npos);
    EXPECT_EQ(wx::bakeSnow(0), L"Nothing to bake: no object carries Tarnwick Snow.");
    host::resetScene();
}

}  // namespace
