#include "max/matrix3.h"

#include <cmath>

void Matrix3::IdentityMatrix() {
    Zero();
    m[0][0] = m[1][1] = m[2][2] = 1.0f;
}

void Matrix3::Zero() {
    for (auto& row : m) row[0] = row[1] = row[2] = 0.0f;
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 r(0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            float s = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
            r.m[i][j] = (i == 3) ? s + b.m[3][j] : s;
        }
    return r;
}

bool Matrix3::operator==(const Matrix3& o) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (m[i][j] != o.m[i][j]) return false;
    return true;
}

Point3 Matrix3::PointTransform(const Point3& p) const {
    return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
            p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
            p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Point3 Matrix3::VectorTransform(const Point3& p) const {
    return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0], p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1],
            p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2]};
}

void Matrix3::Translate(const Point3& p) {
    *this = *this * TransMatrix(p);
}
void Matrix3::RotateX(float a) {
    *this = *this * RotateXMatrix(a);
}
void Matrix3::RotateY(float a) {
    *this = *this * RotateYMatrix(a);
}
void Matrix3::RotateZ(float a) {
    *this = *this * RotateZMatrix(a);
}
void Matrix3::Scale(const Point3& s, BOOL trans) {
    Point3 t = GetTrans();
    *this = *this * ScaleMatrix(s);
    if (!trans) SetTrans(t);
}
void Matrix3::PreTranslate(const Point3& p) {
    *this = TransMatrix(p) * *this;
}
void Matrix3::PreRotateX(float a) {
    *this = RotateXMatrix(a) * *this;
}
void Matrix3::PreRotateY(float a) {
    *this = RotateYMatrix(a) * *this;
}
void Matrix3::PreRotateZ(float a) {
    *this = RotateZMatrix(a) * *this;
}
void Matrix3::PreScale(const Point3& s, BOOL trans) {
    Point3 t = GetTrans();
    *this = ScaleMatrix(s) * *this;
    if (!trans) SetTrans(t);
}

void Matrix3::NoScale() {
    for (int i = 0; i < 3; ++i) SetRow(i, GetRow(i).Normalize());
}

void Matrix3::NoRot() {
    Point3 t = GetTrans();
    float sx = GetRow(0).Length(), sy = GetRow(1).Length(), sz = GetRow(2).Length();
    *this = ScaleMatrix(Point3(sx, sy, sz));
    SetTrans(t);
}

void Matrix3::Orthogonalize() {
    // Gram-Schmidt keeping row 0's direction and every row's length.
    Point3 r0 = GetRow(0), r1 = GetRow(1), r2 = GetRow(2);
    float l0 = r0.Length(), l1 = r1.Length(), l2 = r2.Length();
    Point3 u = r0.Normalize();
    Point3 v = (r1 - u * (u % r1)).Normalize();
    Point3 w = (u ^ v);
    if ((w % r2) < 0.0f) w = -w;
    SetRow(0, u * l0);
    SetRow(1, v * l1);
    SetRow(2, w * l2);
}

float Matrix3::Determinant3() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

BOOL Matrix3::Parity() const {
    return Determinant3() < 0.0f ? TRUE : FALSE;
}

BOOL Matrix3::Equals(const Matrix3& o, float eps) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(m[i][j] - o.m[i][j]) > eps) return FALSE;
    return TRUE;
}

BOOL Matrix3::IsIdentity(float eps) const {
    return Equals(Matrix3(1), eps);
}

void Matrix3::Invert() {
    *this = Inverse(*this);
}

// A singular 3x3 part has no inverse; the identity is returned so callers never see NaNs.
Matrix3 Inverse(const Matrix3& a) {
    const auto& m = a.m;
    float det = a.Determinant3();
    if (det == 0.0f || !std::isfinite(det)) return Matrix3(1);
    float inv = 1.0f / det;
    Matrix3 r(0);
    r.m[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) * inv;
    r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * inv;
    r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * inv;
    r.m[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) * inv;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * inv;
    r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * inv;
    r.m[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) * inv;
    r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * inv;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * inv;
    r.SetTrans(-r.VectorTransform(a.GetTrans()));
    return r;
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 r(1);
    r.SetTrans(p);
    return r;
}

Matrix3 ScaleMatrix(const Point3& s) {
    Matrix3 r(0);
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

Matrix3 RotateXMatrix(float a) {
    float c = std::cos(a), s = std::sin(a);
    return Matrix3(Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, c, s), Point3(0.0f, -s, c), Point3());
}

Matrix3 RotateYMatrix(float a) {
    float c = std::cos(a), s = std::sin(a);
    return Matrix3(Point3(c, 0.0f, -s), Point3(0.0f, 1.0f, 0.0f), Point3(s, 0.0f, c), Point3());
}

Matrix3 RotateZMatrix(float a) {
    float c = std::cos(a), s = std::sin(a);
    return Matrix3(Point3(c, s, 0.0f), Point3(-s, c, 0.0f), Point3(0.0f, 0.0f, 1.0f), Point3());
}

// Row form of Rodrigues' rotation: the transpose of the column-vector matrix
// c I + s [a]x + (1 - c) a a^T, so that the X axis gives RotateXMatrix.
Matrix3 RotAngleAxisMatrix(const Point3& axis, float angle) {
    Point3 a = axis.Normalize();
    float c = std::cos(angle), s = std::sin(angle), k = 1.0f - c;
    Matrix3 r(0);
    r.m[0][0] = c + k * a.x * a.x;
    r.m[0][1] = k * a.x * a.y + s * a.z;
    r.m[0][2] = k * a.x * a.z - s * a.y;
    r.m[1][0] = k * a.y * a.x - s * a.z;
    r.m[1][1] = c + k * a.y * a.y;
    r.m[1][2] = k * a.y * a.z + s * a.x;
    r.m[2][0] = k * a.z * a.x + s * a.y;
    r.m[2][1] = k * a.z * a.y - s * a.x;
    r.m[2][2] = c + k * a.z * a.z;
    return r;
}

Matrix3 EulerXYZMatrix(const Point3& angles) {
    return RotateXMatrix(angles.x) * RotateYMatrix(angles.y) * RotateZMatrix(angles.z);
}
