#include <gtest/gtest.h>

#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/message_pump.h"
#include "host/module_loader.h"
#include "host/notifications.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/notify.h"
#include "max/timer.h"

namespace {

const Class_ID kPyramid(0x5eed0001, 0x7e570002);

struct ModuleTest : ::testing::Test {
    void TearDown() override {
        host::moduleLoader().unloadAll();
        host::useTestClock(false);
    }
};

TEST_F(ModuleTest, LoadsCreatesEvaluatesAndUnloads) {
    int baseline = host::notificationCount();
    std::vector<std::string> errors;
    Interface* ip = GetCOREInterface();
    int redraws = ip->RedrawCount();
    host::startUp({WX_TEST_MODULE}, errors);
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(host::moduleLoader().modules().size(), 1u);
    const host::LoadedModule& m = host::moduleLoader().modules()[0];
    EXPECT_EQ(m.description, L"Host test module");
    EXPECT_EQ(m.version, VERSION_3DSMAX);
    EXPECT_EQ(host::notificationCount(), baseline + 2);
    // The module's start-up handler called back into the host.
    EXPECT_EQ(ip->RedrawCount(), redraws + 1);

    ClassDesc* cd = host::classRegistry().find(GEOMOBJECT_CLASS_ID, kPyramid);
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(host::classRegistry().findByName(L"TestPyramid"), cd);
    EXPECT_EQ(host::classRegistry().findByName(L"Test_Pyramid"), cd);
    auto* obj = static_cast<Object*>(ip->CreateInstance(GEOMOBJECT_CLASS_ID, kPyramid));
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(ip->CreateInstance(GEOMOBJECT_CLASS_ID, Class_ID(1, 2)), nullptr);
    auto* byName = static_cast<Object*>(host::classRegistry().createByName(L"TestPyramid"));
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->ClassID(), kPyramid);
    byName->MaybeAutoDelete();
    INode* node = ip->CreateObjectNode(obj);
    IParamBlock2* pb = obj->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_FLOAT_EQ(pb->GetFloat(3), 10.0f);
    pb->SetValue(3, 0, 5000.0f);
    EXPECT_FLOAT_EQ(pb->GetFloat(3), 1000.0f);  // clamped by the module's range
    const ObjectState& os = node->EvalWorldState(0);
    ASSERT_TRUE(os.obj->CanConvertToType(triObjectClassID));
    auto* tri = static_cast<TriObject*>(os.obj->ConvertToType(0, triObjectClassID));
    EXPECT_EQ(tri->GetMesh().numFaces, 6);
    EXPECT_FLOAT_EQ(tri->GetMesh().getBoundingBox().pmax.x, 500.0f);
    tri->DeleteThis();

    // A file-open notification makes the module start a 30 ms timer that redraws once.
    host::useTestClock(true);
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    EXPECT_EQ(host::pendingTimerCount(), 1);
    redraws = ip->RedrawCount();
    host::advanceTestClock(29);
    EXPECT_EQ(host::pumpMessages(), 0);
    host::advanceTestClock(1);
    EXPECT_EQ(host::pumpMessages(), 1);
    EXPECT_EQ(ip->RedrawCount(), redraws + 1);
    EXPECT_EQ(host::pendingTimerCount(), 0);

    // Shutdown removes the scene's module objects, the handlers and the class.
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);  // leaves a timer pending
    host::moduleLoader().unloadAll();
    EXPECT_EQ(host::notificationCount(), baseline);
    EXPECT_EQ(host::pendingTimerCount(), 0);
    EXPECT_EQ(host::classRegistry().find(GEOMOBJECT_CLASS_ID, kPyramid), nullptr);
    EXPECT_EQ(ip->GetRootNode()->NumberOfChildren(), 0);
}

TEST_F(ModuleTest, RefusesBadModules) {
    std::string error;
    EXPECT_FALSE(host::moduleLoader().load(WX_TEST_MODULE_OLD_SDK, error));
    EXPECT_NE(error.find("SDK version 0x5DC03C00"), std::string::npos) << error;
    EXPECT_EQ(host::classRegistry().find(GEOMOBJECT_CLASS_ID, kPyramid), nullptr);
    EXPECT_FALSE(host::moduleLoader().load("/nonexistent/module.so", error));
    EXPECT_NE(error.find("/nonexistent/module.so"), std::string::npos);
    // Not a module: a shared object without the exports.
    EXPECT_FALSE(host::moduleLoader().load("libm.so.6", error));
    EXPECT_NE(error.find("lacks"), std::string::npos) << error;
    EXPECT_TRUE(host::moduleLoader().modules().empty());
    EXPECT_TRUE(host::acceptsLibVersion(VERSION_3DSMAX));
    EXPECT_EQ(VERSION_3DSMAX, 0x65904000u);
}

}  // namespace
