#include "content/scenes/Motion.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ORV::Content {

float length(Core::Vector3 v)
{
    return std::sqrt(Core::dot(v, v));
}

Core::Vector3 normalized(Core::Vector3 v)
{
    const float l = length(v);
    return l > 0.0f ? v * (1.0f / l) : v;
}

Core::Vector3 lerp(Core::Vector3 a, Core::Vector3 b, float f)
{
    return a + (b - a) * f;
}

float lerp(float a, float b, float f)
{
    return a + (b - a) * f;
}

Core::Quaternion axisAngle(Core::Vector3 axis, float angle)
{
    const Core::Vector3 n = normalized(axis);
    const float s = std::sin(angle * 0.5f);
    return {n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f)};
}

Core::Quaternion thenRotate(const Core::Quaternion& a, const Core::Quaternion& b)
{
    // The Hamilton product b * a: a is applied first.
    return {b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
            b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z};
}

Core::Vector3 rotate(const Core::Quaternion& q, Core::Vector3 v)
{
    const Core::Vector3 u{q.x, q.y, q.z};
    const Core::Vector3 uv = Core::cross(u, v);
    return v + uv * (2 * q.w) + Core::cross(u, uv) * 2.0f;
}

Core::Quaternion basisRotation(Core::Vector3 x, Core::Vector3 y, Core::Vector3 z)
{
    // The matrix with the axes as columns, converted the usual way, branching
    // on the largest diagonal term for accuracy.
    const float m00 = x.x, m11 = y.y, m22 = z.z;
    const float trace = m00 + m11 + m22;
    Core::Quaternion q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = {(y.z - z.y) / s, (z.x - x.z) / s, (x.y - y.x) / s, 0.25f * s};
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        q = {0.25f * s, (y.x + x.y) / s, (z.x + x.z) / s, (y.z - z.y) / s};
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        q = {(y.x + x.y) / s, 0.25f * s, (z.y + y.z) / s, (z.x - x.z) / s};
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        q = {(z.x + x.z) / s, (z.y + y.z) / s, 0.25f * s, (x.y - y.x) / s};
    }
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return {q.x / n, q.y / n, q.z / n, q.w / n};
}

Core::Transform pose(Core::Vector3 translation, Core::Quaternion rotation, Core::Vector3 scale)
{
    Core::Transform t;
    t.translation = translation;
    t.rotation = rotation;
    t.scale = scale;
    return t;
}

Core::Transform lookAtPose(Core::Vector3 eye, Core::Vector3 target, Core::Vector3 up)
{
    const Core::Vector3 front = normalized(eye - target);
    assert(length(eye - target) > 0.0f);
    const Core::Vector3 right = normalized(Core::cross(up, front));
    assert(length(right) > 0.5f && "up must not lie along the view direction");
    const Core::Vector3 trueUp = Core::cross(front, right);
    const Core::Quaternion q = basisRotation(right, trueUp, front);
    return pose(eye, {-q.x, -q.y, -q.z, q.w});
}

Core::Quaternion facing(Core::Vector3 position, Core::Vector3 eye, Core::Vector3 up)
{
    // The same frame a camera at eye looking at position would have, but
    // not inverted: the quad's +z is turned onto the way to the eye.
    const Core::Transform look = lookAtPose(eye, position, up);
    return {-look.rotation.x, -look.rotation.y, -look.rotation.z, look.rotation.w};
}

float smooth(float f)
{
    f = std::clamp(f, 0.0f, 1.0f);
    return f * f * (3.0f - 2.0f * f);
}

float smoother(float f)
{
    f = std::clamp(f, 0.0f, 1.0f);
    return f * f * f * (f * (f * 6.0f - 15.0f) + 10.0f);
}

float easeOutBack(float f)
{
    // Exactly 0 before the start: the cubic's rounding would give -1e-7, and
    // a scale of that sign turns a mesh inside out.
    if (!(f > 0.0f)) return 0.0f;
    f = std::min(f, 1.0f);
    constexpr float c = 1.4f;
    const float g = f - 1.0f;
    return 1.0f + (c + 1.0f) * g * g * g + c * g * g;
}

float ramp(float t, float from, float to)
{
    return smooth((t - from) / (to - from));
}

float pulse(float t, float at, float halfLife)
{
    if (t < at) return 0.0f;
    return std::exp2(-(t - at) / halfLife);
}

Spline::Spline(std::vector<Core::Vector3> points) : points_(std::move(points))
{
    assert(points_.size() >= 2);
}

Core::Vector3 Spline::at(float s) const
{
    const std::size_t segments = points_.size() - 1;
    const float x = std::clamp(s, 0.0f, 1.0f) * float(segments);
    const std::size_t i = std::min(segments - 1, std::size_t(x));
    const float f = x - float(i);
    const Core::Vector3 p1 = points_[i], p2 = points_[i + 1];
    const Core::Vector3 p0 = i > 0 ? points_[i - 1] : p1 * 2.0f - p2;
    const Core::Vector3 p3 = i + 2 < points_.size() ? points_[i + 2] : p2 * 2.0f - p1;
    const float f2 = f * f, f3 = f2 * f;
    return (p1 * 2.0f + (p2 - p0) * f + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * f2
            + (p1 * 3.0f - p0 - p2 * 3.0f + p3) * f3)
           * 0.5f;
}

float hash01(unsigned int n)
{
    n ^= n >> 16;
    n *= 0x7feb352dU;
    n ^= n >> 15;
    n *= 0x846ca68bU;
    n ^= n >> 16;
    return float(n >> 8) * (1.0f / 16777216.0f);
}

} // namespace ORV::Content
