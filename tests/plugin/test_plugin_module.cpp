// The weather plug-in as the host sees it: a shared library found through its exports,
// its classes in the registry, its notification handlers for its whole life, and the
// start-up install of the toolbar macro.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/module_loader.h"
#include "host/notifications.h"
#include "host/text.h"
#include "host/ui_model.h"
#include "max/interface.h"
#include "max/material.h"
#include "max/notify.h"
#include "max/plugin_api.h"

namespace {

struct PluginModuleTest : ::testing::Test {
    std::filesystem::path macros = std::filesystem::temp_directory_path() / "tweather_plugin_macros";
    void SetUp() override {
        std::filesystem::remove_all(macros);
        std::filesystem::create_directories(macros);
    }
    void TearDown() override {
        host::shutDown();
        GetCOREInterface()->SetDir(APP_USER_MACROS_DIR, L"");
        std::filesystem::remove_all(macros);
    }
};

TEST_F(PluginModuleTest, ExportsItsClassesAndListensWhileLoaded) {
    const int before = host::notificationCount();
    GetCOREInterface()->SetDir(APP_USER_MACROS_DIR, host::fromUtf8(macros.string()));
    std::vector<std::string> errors;
    host::startUp({WX_WEATHER_MODULE}, errors);
    ASSERT_TRUE(errors.empty()) << errors.front();
    ASSERT_EQ(host::moduleLoader().modules().size(), 1u);
    const host::LoadedModule& m = host::moduleLoader().modules().front();
    EXPECT_EQ(m.description, L"Tarnwick Weather - snow and rain by TarnwickFX");
    EXPECT_EQ(m.version, ULONG(VERSION_3DSMAX));
    EXPECT_EQ(host::notificationCount() - before, 6);

    auto classDesc = reinterpret_cast<LibClassDescFn>(dlsym(m.handle, "LibClassDesc"));
    ASSERT_NE(classDesc, nullptr);
    EXPECT_EQ(classDesc(-1), nullptr);
    EXPECT_EQ(classDesc(4), nullptr);
    ClassDesc* snow = classDesc(0);
    ASSERT_NE(snow, nullptr);
    EXPECT_STREQ(snow->ClassName(), L"Tarnwick Snow");
    EXPECT_STREQ(snow->InternalName(), L"TarnwickSnow");
    EXPECT_EQ(snow->SuperClassID(), SClass_ID(WSM_CLASS_ID));
    EXPECT_EQ(snow->ClassID(), Class_ID(0xF9ACCCC3, 0x6D42BD1F));
    EXPECT_NE(snow->HInstance(), nullptr);
    EXPECT_EQ(host::classRegistry().findByName(L"TarnwickSnow"), snow);
    EXPECT_NE(host::ui::findDialogResource(7550), nullptr) << "its dialogs came with it";
    auto numberClasses = reinterpret_cast<LibNumberClassesFn>(dlsym(m.handle, "LibNumberClasses"));
    ASSERT_NE(numberClasses, nullptr);
    EXPECT_EQ(numberClasses(), 4);
    ClassDesc* util = classDesc(3);
    ASSERT_NE(util, nullptr);
    EXPECT_STREQ(util->ClassName(), L"Tarnwick Weather");
    EXPECT_STREQ(util->InternalName(), L"TarnwickWeather");
    EXPECT_STREQ(util->Category(), L"TarnwickFX");
    EXPECT_EQ(util->SuperClassID(), SClass_ID(UTILITY_CLASS_ID));
    EXPECT_EQ(util->ClassID(), Class_ID(0x3BF8AFDB, 0x61F084E1));
    EXPECT_EQ(util->Create(FALSE), util->Create(FALSE)) << "the one static instance, never a new one";
    EXPECT_EQ(host::classRegistry().findByName(L"TarnwickWeather"), util);
    EXPECT_NE(host::ui::findDialogResource(7701), nullptr);
    ClassDesc* map = classDesc(2);
    ASSERT_NE(map, nullptr);
    EXPECT_STREQ(map->ClassName(), L"Weather Map");
    EXPECT_STREQ(map->NonLocalizedClassName(), L"Weather Map");
    EXPECT_STREQ(map->InternalName(), L"WeatherMap");
    EXPECT_STREQ(map->Category(), TEXMAP_CAT_3D);
    EXPECT_EQ(map->SuperClassID(), SClass_ID(TEXMAP_CLASS_ID));
    EXPECT_EQ(map->ClassID(), Class_ID(0xD7661B99, 0x85E20DB5));
    EXPECT_TRUE(map->IsPublic());
    EXPECT_EQ(host::classRegistry().findByName(L"WeatherMap"), map);
    EXPECT_NE(host::ui::findDialogResource(2602), nullptr);
    ClassDesc* fall = classDesc(1);
    ASSERT_NE(fall, nullptr);
    EXPECT_STREQ(fall->ClassName(), L"Tarnwick Weather");
    EXPECT_STREQ(fall->InternalName(), L"WeatherFall");
    EXPECT_STREQ(fall->Category(), L"TarnwickFX");
    EXPECT_EQ(fall->SuperClassID(), SClass_ID(GEOMOBJECT_CLASS_ID));
    EXPECT_EQ(fall->ClassID(), Class_ID(0x5BC5F19B, 0x77F64F26));
    EXPECT_TRUE(fall->IsPublic());
    EXPECT_EQ(host::classRegistry().findByName(L"WeatherFall"), fall);
    EXPECT_NE(host::ui::findDialogResource(2205), nullptr);

    // Start-up wrote the toolbar macro, byte for byte, and the materials library answers.
    std::ifstream file(macros / "TarnwickFX-Weather.mcr", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(),
              "macroScript TarnwickWeather category:\"TarnwickFX\" buttonText:\"Weather\" tooltip:\"Tarnwick Weather - "
              "snow and rain presets\" (\r\n  on execute do ( UtilityPanel.OpenUtility TarnwickWeather )\r\n)\r\n");

    host::shutDown();
    EXPECT_EQ(host::notificationCount(), before) << "every handler removed at shutdown";
    EXPECT_EQ(host::classRegistry().findByName(L"TarnwickSnow"), nullptr);
    EXPECT_EQ(host::classRegistry().findByName(L"WeatherFall"), nullptr);
}

}  // namespace
