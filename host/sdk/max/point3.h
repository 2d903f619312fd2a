// Point3, Point2, Color and AColor: the SDK's small float vectors.
// Point3 ^ Point3 is the cross product and % the dot product, as in the SDK.
// Plain value types; safe on any thread.
#pragma once

#include <cmath>
#include <type_traits>

class Point3 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;
    constexpr Point3() = default;
    template <class A, class B, class C>
    requires std::is_arithmetic_v<A> && std::is_arithmetic_v<B> && std::is_arithmetic_v<C>
    constexpr Point3(A X, B Y, C Z) : x(float(X)), y(float(Y)), z(float(Z)) {}
    static constexpr Point3 Origin() { return {0.0f, 0.0f, 0.0f}; }
    static constexpr Point3 XAxis() { return {1.0f, 0.0f, 0.0f}; }
    static constexpr Point3 YAxis() { return {0.0f, 1.0f, 0.0f}; }
    static constexpr Point3 ZAxis() { return {0.0f, 0.0f, 1.0f}; }

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }
    Point3 Normalize() const;  // unit copy; a zero vector stays zero
    Point3& Set(float X, float Y, float Z) {
        x = X;
        y = Y;
        z = Z;
        return *this;
    }

    Point3 operator-() const { return {-x, -y, -z}; }
    Point3 operator+(const Point3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    Point3 operator-(const Point3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    Point3 operator*(const Point3& b) const { return {x * b.x, y * b.y, z * b.z}; }
    Point3 operator/(const Point3& b) const { return {x / b.x, y / b.y, z / b.z}; }
    Point3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Point3 operator/(float s) const { return {x / s, y / s, z / s}; }
    Point3& operator+=(const Point3& b) {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    Point3& operator-=(const Point3& b) {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
    Point3& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    Point3& operator/=(float s) {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }
    // Cross and dot products.
    Point3 operator^(const Point3& b) const { return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x}; }
    float operator%(const Point3& b) const { return x * b.x + y * b.y + z * b.z; }
    bool operator==(const Point3& b) const { return x == b.x && y == b.y && z == b.z; }
    bool operator!=(const Point3& b) const { return !(*this == b); }
};
inline Point3 operator*(float s, const Point3& p) {
    return p * s;
}
inline float Length(const Point3& p) {
    return p.Length();
}
inline float DotProd(const Point3& a, const Point3& b) {
    return a % b;
}
inline Point3 CrossProd(const Point3& a, const Point3& b) {
    return a ^ b;
}
inline Point3 Point3::Normalize() const {
    float len = Length();
    return len > 0.0f ? *this / len : Point3();
}
inline Point3 Normalize(const Point3& p) {
    return p.Normalize();
}
inline Point3 FNormalize(const Point3& p) {
    return p.Normalize();
}

class Point2 {
public:
    float x = 0.0f, y = 0.0f;
    constexpr Point2() = default;
    constexpr Point2(float X, float Y) : x(X), y(Y) {}
};

// Colour without alpha, components nominally 0..1 (not clamped).
class Color {
public:
    float r = 0.0f, g = 0.0f, b = 0.0f;
    constexpr Color() = default;
    constexpr Color(float R, float G, float B) : r(R), g(G), b(B) {}
    explicit constexpr Color(const Point3& p) : r(p.x), g(p.y), b(p.z) {}
    operator Point3() const { return {r, g, b}; }
    bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b; }
};

class AColor {
public:
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
    constexpr AColor() = default;
    constexpr AColor(float R, float G, float B, float A = 1.0f) : r(R), g(G), b(B), a(A) {}
    constexpr AColor(const Color& c, float A = 1.0f) : r(c.r), g(c.g), b(c.b), a(A) {}
};
