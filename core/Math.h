// Single-precision vector and matrix types shared by every layer, with the
// conventions of the whole engine: matrices are row-major and apply to row
// vectors (p' = p * M), view space is right-handed, quaternions are (x, y, z, w).
// Plain values only; nothing here allocates or touches a device.
#pragma once

#include <cstdint>

namespace ORV::Core {

// pi is the single-precision arccos(-1); halfPi and twoPi are derived from it in
// single precision (pi * 0.5f and pi + pi). They are computed once, during
// static initialisation, like the other process-wide constants.
extern const float pi;
extern const float halfPi;
extern const float twoPi;

struct Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    friend bool operator==(const Vector3&, const Vector3&) = default;
};

struct Vector4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
    friend bool operator==(const Vector4&, const Vector4&) = default;
};

struct Quaternion {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    friend bool operator==(const Quaternion&, const Quaternion&) = default;
};

inline Vector3 operator+(Vector3 a, Vector3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 operator-(Vector3 a, Vector3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 operator*(Vector3 a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}
inline float dot(Vector3 a, Vector3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// 4 x 4 row-major matrix; m[r][c] is element _(r+1)(c+1) in D3D naming.
struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Matrix identity() { return {}; }
    static Matrix zero()
    {
        Matrix r;
        for (auto& row : r.m)
            for (float& e : row) e = 0.0f;
        return r;
    }
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

// a * b: applying the result equals applying a, then b (row vectors).
Matrix operator*(const Matrix& a, const Matrix& b);
Matrix transpose(const Matrix& a);

// p * M for the point (x, y, z, 1); returns the homogeneous result.
Vector4 transformPoint(Vector3 p, const Matrix& m);

// Inverts m in place through its adjugate; false, and m unchanged, when the
// determinant's magnitude is below 0.0005.
bool invertMatrix(Matrix& m);

} // namespace ORV::Core
