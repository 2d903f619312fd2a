// What render-over commands read from the host besides the scene: the last render with its
// depth (rendered or a loaded picture made the last render), the view camera, and the
// Escape key that a signal handler presses.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <vector>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/keyboard.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "host/viewport.h"
#include "max/bitmap.h"
#include "max/interface.h"
#include "max/win_ui.h"

namespace {

Bitmap* picture(int w, int h, float value) {
    BitmapInfo bi;
    bi.SetWidth(WORD(w));
    bi.SetHeight(WORD(h));
    bi.SetType(BMM_TRUE_64);
    Bitmap* bmp = TheManager->Create(&bi);
    bmp->Fill(BMM_Color_fl{value, value * 0.5f, 0.25f, 1.0f});
    return bmp;
}

TEST(LastRender, RenderedDepthIsTheZChannelAndALoadedPictureReplacesIt) {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(host::createPlane(400.0f, 400.0f, 1, 1));
    INode* cam = ip->CreateObjectNode(host::createFreeCamera(1.2f));
    cam->SetPosition(0, Point3(0, 0, 50));
    host::PreviewSettings s;
    s.width = 8;
    s.height = 6;
    host::PreviewImage img;
    std::string error;
    ASSERT_TRUE(host::renderPreview(s, img, error)) << error;
    Bitmap* last = GetCOREInterface7()->GetLastRenderedImage();
    ASSERT_NE(last, nullptr);
    ULONG type = 0;
    ASSERT_EQ(last->ChannelsPresent(), BMM_CHAN_Z);
    const float* z = static_cast<const float*>(last->GetChannel(BMM_CHAN_Z, type));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(type, BMM_CHAN_TYPE_32);
    // Looking straight down at the plane from 50 units: camera z is -50 at the centre.
    EXPECT_NEAR(z[3 * 8 + 4], -50.0f, 1e-3f);
    for (int i = 0; i < 48; ++i) EXPECT_FLOAT_EQ(z[i], -img.depth[i]);

    // A picture with a depth of its size: both become the last render (a copy).
    Bitmap* pic = picture(4, 3, 0.5f);
    std::vector<float> depth(12, 7.0f);
    depth[5] = std::numeric_limits<float>::infinity();
    ASSERT_TRUE(host::keepPictureAsLastRender(*pic, depth));
    pic->DeleteThis();
    last = GetCOREInterface7()->GetLastRenderedImage();
    ASSERT_EQ(last->Width(), 4);
    EXPECT_TRUE(last->HasAlpha());
    BMM_Color_fl px;
    ASSERT_EQ(last->GetLinearPixels(1, 2, 1, &px), 1);
    EXPECT_FLOAT_EQ(px.r, 0.5f);
    EXPECT_FLOAT_EQ(px.g, 0.25f);
    z = static_cast<const float*>(last->GetChannel(BMM_CHAN_Z, type));
    ASSERT_NE(z, nullptr);
    EXPECT_FLOAT_EQ(z[0], -7.0f);
    EXPECT_FLOAT_EQ(z[5], kBmmZBackground);
    EXPECT_EQ(host::lastRenderedDepth().width, 4);
    EXPECT_EQ(host::lastRenderedDepth().depth, depth);

    // Without a depth, or with one of another size, no depth is kept at all.
    Bitmap* plain = picture(5, 2, 1.0f);
    ASSERT_TRUE(host::keepPictureAsLastRender(*plain, std::vector<float>(3, 1.0f)));
    plain->DeleteThis();
    last = GetCOREInterface7()->GetLastRenderedImage();
    EXPECT_EQ(last->Width(), 5);
    EXPECT_EQ(last->GetChannel(BMM_CHAN_Z, type), nullptr);
    EXPECT_EQ(type, BMM_CHAN_TYPE_UNKNOWN);
    EXPECT_TRUE(host::lastRenderedDepth().depth.empty());
}

TEST(LastRender, ViewCameraIsSetByHandleAndForgottenWithItsNode) {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    EXPECT_EQ(ip->GetActiveViewExp().GetViewCamera(), nullptr);
    INode* a = ip->CreateObjectNode(host::createFreeCamera(1.0f));
    INode* b = ip->CreateObjectNode(host::createFreeCamera(1.0f));
    host::setViewCamera(b);
    EXPECT_EQ(ip->GetActiveViewExp().GetViewCamera(), b);
    host::setViewCamera(a);
    EXPECT_EQ(ip->GetActiveViewExp().GetViewCamera(), a);
    ip->DeleteNode(a);
    EXPECT_EQ(ip->GetActiveViewExp().GetViewCamera(), nullptr);
    host::setViewCamera(nullptr);
    EXPECT_EQ(ip->GetActiveViewExp().GetViewCamera(), nullptr);
}

extern "C" void pressEscapeOnSignal(int) {
    host::pressEscape();
}

TEST(Keyboard, EscapeIsDownFromASignalHandlerUntilReleased) {
    host::releaseEscape();
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
    auto previous = std::signal(SIGUSR1, pressEscapeOnSignal);
    std::raise(SIGUSR1);
    std::signal(SIGUSR1, previous);
    EXPECT_NE(GetAsyncKeyState(VK_ESCAPE) & 0x8000, 0);
    EXPECT_LT(GetAsyncKeyState(VK_ESCAPE), 0);  // the high bit, as callers test it
    EXPECT_EQ(GetAsyncKeyState('A'), 0);        // other keys read as up
    host::releaseEscape();
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
}

}  // namespace
