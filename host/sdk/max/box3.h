// Box3: axis-aligned box. An empty box has pmin = +1e30 and pmax = -1e30 in every axis, so
// growing it by any point gives that point. Plain value type; safe on any thread.
#pragma once

#include "max/matrix3.h"

class Box3 {
public:
    Point3 pmin, pmax;
    Box3() { Init(); }
    Box3(const Point3& lo, const Point3& hi) : pmin(lo), pmax(hi) {}
    void Init() {
        pmin = Point3(1e30f, 1e30f, 1e30f);
        pmax = Point3(-1e30f, -1e30f, -1e30f);
    }
    bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
    Point3 Min() const { return pmin; }
    Point3 Max() const { return pmax; }
    Point3 Center() const { return (pmin + pmax) * 0.5f; }
    Point3 Width() const { return pmax - pmin; }
    // Corner i: bit 0 picks max x, bit 1 max y, bit 2 max z.
    Point3 operator[](int i) const {
        return {(i & 1) ? pmax.x : pmin.x, (i & 2) ? pmax.y : pmin.y, (i & 4) ? pmax.z : pmin.z};
    }
    Box3& operator+=(const Point3& p);
    Box3& operator+=(const Box3& b);
    Box3 operator*(const Matrix3& tm) const;  // box of the 8 transformed corners
    int Contains(const Point3& p) const;
    void EnlargeBy(float s);
    void Scale(float s);
    void Translate(const Point3& p);
    void IncludePoints(const Point3* pts, int n, const Matrix3* tm = nullptr);
};
