// Matrix3: 4 rows x 3 columns with the SDK's row-vector convention: p' = p * M, rows 0-2 are
// the images of the X, Y and Z axes and row 3 the translation, so A * B applies A then B
// (objectTM = objectOffsetTM * nodeTM). Angles are radians, positive counter-clockwise
// looking from the +axis toward the origin. A default Matrix3 is the identity here (the
// SDK leaves it uninitialised). Plain value type; safe on any thread.
#pragma once

#include "max/max_types.h"
#include "max/point3.h"

class Matrix3 {
public:
    Matrix3() { IdentityMatrix(); }
    explicit Matrix3(int init) { init ? IdentityMatrix() : Zero(); }
    Matrix3(const Point3& u, const Point3& v, const Point3& n, const Point3& t) {
        SetRow(0, u);
        SetRow(1, v);
        SetRow(2, n);
        SetRow(3, t);
    }

    void IdentityMatrix();
    void Zero();
    Point3 GetRow(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
    void SetRow(int i, const Point3& p) {
        m[i][0] = p.x;
        m[i][1] = p.y;
        m[i][2] = p.z;
    }
    Point3 GetTrans() const { return GetRow(3); }
    void SetTrans(const Point3& p) { SetRow(3, p); }
    float* operator[](int i) { return m[i]; }
    const float* operator[](int i) const { return m[i]; }

    // Post-multiplying edits: the new transform applies after the existing one.
    void Translate(const Point3& p);
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void Scale(const Point3& s, BOOL trans = FALSE);
    // Pre-multiplying edits: the new transform applies before the existing one.
    void PreTranslate(const Point3& p);
    void PreRotateX(float angle);
    void PreRotateY(float angle);
    void PreRotateZ(float angle);
    void PreScale(const Point3& s, BOOL trans = FALSE);

    void NoTrans() { SetRow(3, Point3()); }
    void NoScale();  // rows normalised to unit length
    void NoRot();    // keeps only the row lengths on the diagonal
    void Orthogonalize();
    void Invert();
    // TRUE when the 3x3 part has a negative determinant (an odd number of mirrored axes).
    BOOL Parity() const;
    float Determinant3() const;
    BOOL IsIdentity(float eps = 0.0f) const;
    BOOL Equals(const Matrix3& o, float eps = 1e-6f) const;
    void ValidateFlags() {}
    Point3 PointTransform(const Point3& p) const;
    Point3 VectorTransform(const Point3& v) const;

    Matrix3 operator*(const Matrix3& b) const;
    Matrix3& operator*=(const Matrix3& b) { return *this = *this * b; }
    bool operator==(const Matrix3& o) const;

    float m[4][3];
};

inline Point3 operator*(const Point3& p, const Matrix3& a) {
    return a.PointTransform(p);
}
inline Point3 operator*(const Matrix3& a, const Point3& p) {
    return a.PointTransform(p);
}
inline Point3 VectorTransform(const Matrix3& a, const Point3& v) {
    return a.VectorTransform(v);
}
Matrix3 Inverse(const Matrix3& a);
Matrix3 TransMatrix(const Point3& p);
Matrix3 ScaleMatrix(const Point3& s);
Matrix3 RotateXMatrix(float angle);
Matrix3 RotateYMatrix(float angle);
Matrix3 RotateZMatrix(float angle);
// Rotation about a unit axis; for the X axis it equals RotateXMatrix(angle).
Matrix3 RotAngleAxisMatrix(const Point3& axis, float angle);
// The rotation of Euler angles applied X, then Y, then Z (radians).
Matrix3 EulerXYZMatrix(const Point3& angles);
