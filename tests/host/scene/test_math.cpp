#include <gtest/gtest.h>

#include <cmath>

#include "host/scene_settings.h"
#include "max/box3.h"
#include "max/interval.h"
#include "max/matrix3.h"
#include "max/units.h"

namespace {

constexpr float kPi = 3.14159265358979f;

void expectNear(const Point3& a, const Point3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(Matrix3, RowVectorConventionAndComposition) {
    expectNear(Point3(1, 0, 0) * RotateZMatrix(kPi / 2), Point3(0, 1, 0));
    expectNear(Point3(0, 1, 0) * RotateXMatrix(kPi / 2), Point3(0, 0, 1));
    expectNear(Point3(0, 0, 1) * RotateYMatrix(kPi / 2), Point3(1, 0, 0));
    // A * B applies A first.
    Matrix3 a = RotateZMatrix(0.7f) * TransMatrix(Point3(1, 2, 3));
    Matrix3 b = ScaleMatrix(Point3(2, -1, 0.5f)) * RotateXMatrix(-0.3f);
    Point3 p(0.3f, -4, 2);
    expectNear(p * (a * b), (p * a) * b);
    expectNear(Point3(1, 0, 0) * a, Point3(std::cos(0.7f) + 1, std::sin(0.7f) + 2, 3));
    // Translate post-multiplies, PreTranslate pre-multiplies.
    Matrix3 m = RotateZMatrix(kPi / 2);
    m.Translate(Point3(5, 0, 0));
    expectNear(Point3(1, 0, 0) * m, Point3(5, 1, 0));
    Matrix3 n = RotateZMatrix(kPi / 2);
    n.PreTranslate(Point3(5, 0, 0));
    expectNear(Point3(1, 0, 0) * n, Point3(0, 6, 0));
    expectNear(VectorTransform(TransMatrix(Point3(9, 9, 9)), Point3(1, 2, 3)), Point3(1, 2, 3));
}

TEST(Matrix3, InverseAndParity) {
    Matrix3 mirror = ScaleMatrix(Point3(-1, 1, 1));
    EXPECT_TRUE(mirror.Parity());
    EXPECT_FALSE(RotateZMatrix(1.0f).Parity());
    EXPECT_FALSE(ScaleMatrix(Point3(-1, -1, 1)).Parity());  // two mirrors make a rotation

    Matrix3 m = mirror * EulerXYZMatrix(Point3(0.3f, -1.1f, 2.0f)) * ScaleMatrix(Point3(2, 3, 0.5f)) *
                TransMatrix(Point3(10, -20, 5));
    EXPECT_TRUE(m.Parity());
    Matrix3 inv = Inverse(m);
    EXPECT_TRUE(inv.Parity());
    EXPECT_TRUE((m * inv).IsIdentity(1e-5f));
    EXPECT_TRUE((inv * m).IsIdentity(1e-5f));
    Point3 p(1.5f, -2, 7);
    expectNear(p * m * inv, p, 1e-4f);
    // Inverting twice gives the matrix back.
    EXPECT_TRUE(Inverse(inv).Equals(m, 1e-4f));
    // A singular matrix inverts to the identity rather than to NaNs.
    EXPECT_TRUE(Inverse(ScaleMatrix(Point3(1, 0, 1))).IsIdentity());
}

TEST(Matrix3, AngleAxisAgreesWithAxisRotations) {
    for (float a : {0.3f, -1.2f, 2.5f}) {
        EXPECT_TRUE(RotAngleAxisMatrix(Point3(1, 0, 0), a).Equals(RotateXMatrix(a), 1e-6f));
        EXPECT_TRUE(RotAngleAxisMatrix(Point3(0, 1, 0), a).Equals(RotateYMatrix(a), 1e-6f));
        EXPECT_TRUE(RotAngleAxisMatrix(Point3(0, 0, 2), a).Equals(RotateZMatrix(a), 1e-6f));
    }
    Point3 axis = Point3(1, 1, 1).Normalize();
    expectNear(axis * RotAngleAxisMatrix(axis, 1.0f), axis);
    // Any axis: a third of a turn about (1,1,1) cycles the coordinate axes.
    expectNear(Point3(1, 0, 0) * RotAngleAxisMatrix(axis, 2 * kPi / 3), Point3(0, 1, 0));
}

TEST(Box3, EmptyGrowAndTransform) {
    Box3 b;
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_FALSE(b.Contains(Point3()));
    EXPECT_TRUE((b * RotateZMatrix(1.0f)).IsEmpty());
    b += Point3(1, 2, 3);
    EXPECT_FALSE(b.IsEmpty());
    expectNear(b.Width(), Point3(0, 0, 0));
    b += Point3(-1, 0, 5);
    expectNear(b.Center(), Point3(0, 1, 4));
    expectNear(b[7], Point3(1, 2, 5));
    expectNear(b[0], Point3(-1, 0, 3));
    Box3 r = b * RotateZMatrix(kPi / 2);
    expectNear(r.pmin, Point3(-2, -1, 3));
    expectNear(r.pmax, Point3(0, 1, 5));
    b.EnlargeBy(1);
    EXPECT_TRUE(b.Contains(Point3(1.9f, 2.9f, 5.9f)));
}

TEST(Interval, ValidityAlgebra) {
    EXPECT_EQ(FOREVER & Interval(10, 20), Interval(10, 20));
    Interval disjoint = Interval(0, 5) & Interval(6, 9);
    EXPECT_TRUE(disjoint.Empty());
    EXPECT_EQ(disjoint, NEVER);
    EXPECT_FALSE(disjoint.InInterval(TIME_NegInfinity));
    for (TimeValue t : {TIME_NegInfinity, -1, 0, 100, TIME_PosInfinity}) {
        EXPECT_FALSE(NEVER.InInterval(t));
        EXPECT_TRUE(FOREVER.InInterval(t));
    }
    Interval v = FOREVER;
    v &= Interval(50, 50);
    EXPECT_TRUE(v.InInterval(50));
    EXPECT_FALSE(v.InInterval(51));
    EXPECT_EQ(v.Duration(), 1);
    v &= FOREVER;  // never widens
    EXPECT_EQ(v, Interval(50, 50));
    Interval grow;
    grow += 7;
    grow += -3;
    EXPECT_EQ(grow, Interval(-3, 7));
    EXPECT_TRUE(Interval(0, 10).InInterval(Interval(2, 3)));
    EXPECT_FALSE(Interval(0, 10).InInterval(Interval(2, 11)));
}

TEST(Units, FrameRateAndSystemUnitScale) {
    host::SceneSettings saved = host::sceneSettings();
    host::sceneSettings() = host::SceneSettings();
    EXPECT_EQ(GetTicksPerFrame(), 160);
    EXPECT_EQ(GetFrameRate(), 30);
    SetFrameRate(25);
    EXPECT_EQ(GetTicksPerFrame(), 192);
    SetFrameRate(7);  // 4800 / 7 is not whole: ignored
    EXPECT_EQ(GetFrameRate(), 25);

    EXPECT_DOUBLE_EQ(GetSystemUnitScale(UNITS_CENTIMETERS), 1.0);
    EXPECT_DOUBLE_EQ(GetSystemUnitScale(UNITS_METERS), 0.01);
    SetSystemUnitInfo(UNITS_INCHES, 1.0f);
    EXPECT_NEAR(GetSystemUnitScale(UNITS_METERS), 0.0254, 1e-12);
    EXPECT_NEAR(GetSystemUnitScale(UNITS_CENTIMETERS), 2.54, 1e-12);
    SetSystemUnitInfo(UNITS_METERS, 2.0f);
    EXPECT_NEAR(GetSystemUnitScale(UNITS_CENTIMETERS), 200.0, 1e-9);
    EXPECT_EQ(GetSystemUnitScale(42), -1.0);
    SetSystemUnitInfo(42, 1.0f);
    SetSystemUnitInfo(UNITS_FEET, -1.0f);
    int type = -1;
    float scale = 0;
    GetSystemUnitInfo(&type, &scale);
    EXPECT_EQ(type, UNITS_METERS);
    EXPECT_EQ(scale, 2.0f);
    EXPECT_EQ(SecToTicks(1.5), 7200);
    host::sceneSettings() = saved;
}

}  // namespace
