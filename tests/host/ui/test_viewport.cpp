#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/viewport.h"

namespace {

TEST(Viewport, TopViewMapsPixelsOntoTheGround) {
    // 200 x 100 pixels over 1000 units: 5 units per pixel, screen y running along -Y.
    host::Viewport vp = host::Viewport::top(200, 100, 1000.0f, Point3(30.0f, -40.0f, 0.0f));
    EXPECT_FALSE(vp.IsPerspView());
    IPoint2 out;
    Point3 centre = vp.SnapPoint(IPoint2{100, 50}, out);
    EXPECT_NEAR(centre.x, 30.0f, 1e-3f);
    EXPECT_NEAR(centre.y, -40.0f, 1e-3f);
    EXPECT_EQ(centre.z, 0.0f);
    Point3 corner = vp.GetPointOnCP(IPoint2{0, 0});
    EXPECT_NEAR(corner.x, 30.0f - 500.0f, 1e-3f);
    EXPECT_NEAR(corner.y, -40.0f + 250.0f, 1e-3f);
    Point3 p = vp.SnapPoint(IPoint2{150, 80}, out);
    EXPECT_NEAR(p.x, 30.0f + 250.0f, 1e-3f);
    EXPECT_NEAR(p.y, -40.0f - 150.0f, 1e-3f);
    EXPECT_EQ(out, (IPoint2{150, 80}));
}

TEST(Viewport, PerspectiveSnapsLandOnThePlaneUnderTheirPixel) {
    host::Viewport vp =
        host::Viewport::perspective(320, 240, Point3(0.0f, -800.0f, 600.0f), Point3(100.0f, 50.0f, 0.0f), 0.9f);
    ASSERT_TRUE(vp.IsPerspView());
    IPoint2 out;
    Point3 target = vp.SnapPoint(IPoint2{160, 120}, out);
    EXPECT_NEAR(target.x, 100.0f, 0.05f);
    EXPECT_NEAR(target.y, 50.0f, 0.05f);
    // Lower half of the screen sees the ground in front of the eye: every snap lies on z = 0
    // and shows at the pixel it came from.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> x(0, 319), y(121, 239);
    for (int i = 0; i < 200; ++i) {
        IPoint2 m{x(rng), y(rng)}, back;
        Point3 p = vp.SnapPoint(m, back);
        EXPECT_EQ(p.z, 0.0f);
        float sx = 0.0f, sy = 0.0f;
        ASSERT_TRUE(vp.worldToScreen(p, sx, sy));
        EXPECT_NEAR(sx, float(m.x), 0.02f);
        EXPECT_NEAR(sy, float(m.y), 0.02f);
        EXPECT_EQ(back, m);
    }
}

TEST(Viewport, RaysThatMissThePlaneStillGiveAFinitePointOnIt) {
    // Looking level: the top row points at the sky and never meets the ground ahead.
    host::Viewport vp =
        host::Viewport::perspective(100, 100, Point3(0.0f, 0.0f, 10.0f), Point3(0.0f, 100.0f, 10.0f), 0.8f);
    IPoint2 out;
    Point3 p = vp.SnapPoint(IPoint2{50, 0}, out);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_GT(p.y, 0.0f);  // in front of the eye, not behind it
}

TEST(Viewport, SnapsToAGivenPlaneInThatPlanesCoordinates) {
    host::Viewport vp = host::Viewport::top(200, 200, 200.0f);
    Matrix3 plane = RotateZMatrix(0.5f) * TransMatrix(Point3(10.0f, 0.0f, 50.0f));
    IPoint2 out;
    Point3 local = vp.SnapPoint(IPoint2{120, 100}, out, &plane);
    EXPECT_EQ(local.z, 0.0f);
    Point3 world = local * plane;
    EXPECT_NEAR(world.x, 20.0f, 1e-3f);
    EXPECT_NEAR(world.y, 0.0f, 1e-3f);
    EXPECT_NEAR(world.z, 50.0f, 1e-3f);
    // The viewport's own construction plane is used when none is given.
    vp.setConstructionTM(plane);
    Point3 onCP = vp.SnapPoint(IPoint2{120, 100}, out);
    EXPECT_NEAR((onCP - local).Length(), 0.0f, 1e-3f);
}

TEST(Viewport, ClosingKillsIt) {
    host::Viewport vp = host::Viewport::top(10, 10, 10.0f);
    EXPECT_TRUE(vp.IsAlive());
    vp.close();
    EXPECT_FALSE(vp.IsAlive());
}

}  // namespace
