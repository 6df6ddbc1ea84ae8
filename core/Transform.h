// The 15-float pose shared by scene files, animation keys and scene nodes:
// translation, rotation, the orientation along which scale applies, scale and a
// uniform sign. This header only holds the value and its flat float form; how
// poses blend belongs to the animation tracks and how they become a matrix to
// scene drawing.
#pragma once

#include "core/Math.h"

#include <cstddef>
#include <span>

namespace ORV::Core {

struct Transform {
    // Number of floats in the flat form, which is also the field order used by
    // scene files and animation keys: translation (0-2), rotation (3-6),
    // scale orientation (7-10), scale (11-13), sign (14).
    static constexpr std::size_t floatCount = 15;

    Vector3 translation; // world units
    Quaternion rotation; // (x, y, z, w), identity (0, 0, 0, 1)
    Quaternion scaleOrientation; // axes along which scale applies
    Vector3 scale{1.0f, 1.0f, 1.0f};
    float sign = 1.0f; // +1 or -1: a uniform factor on all three axes

    // The identity pose: no translation, no rotation, unit scale, sign +1.
    static Transform identity() { return {}; }

    // Converts from and to the flat form. The spans must hold exactly 15 floats.
    static Transform fromFloats(std::span<const float, floatCount> values);
    void toFloats(std::span<float, floatCount> values) const;

    friend bool operator==(const Transform&, const Transform&) = default;
};

static_assert(sizeof(Transform) == Transform::floatCount * sizeof(float), "Transform must stay 15 packed floats");

} // namespace ORV::Core
