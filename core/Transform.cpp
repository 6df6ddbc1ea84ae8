#include "core/Transform.h"

namespace ORV::Core {

Transform Transform::fromFloats(std::span<const float, floatCount> v)
{
    Transform t;
    t.translation = {v[0], v[1], v[2]};
    t.rotation = {v[3], v[4], v[5], v[6]};
    t.scaleOrientation = {v[7], v[8], v[9], v[10]};
    t.scale = {v[11], v[12], v[13]};
    t.sign = v[14];
    return t;
}

void Transform::toFloats(std::span<float, floatCount> v) const
{
    const float flat[floatCount] = {translation.x,
                                    translation.y,
                                    translation.z,
                                    rotation.x,
                                    rotation.y,
                                    rotation.z,
                                    rotation.w,
                                    scaleOrientation.x,
                                    scaleOrientation.y,
                                    scaleOrientation.z,
                                    scaleOrientation.w,
                                    scale.x,
                                    scale.y,
                                    scale.z,
                                    sign};
    for (std::size_t i = 0; i < floatCount; ++i) v[i] = flat[i];
}

} // namespace ORV::Core
