#include "content/scenewriter/Shapes.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace ORV::Content {

Demo::MeshPart sphereMeshPart(int rings, int segments, float radius, std::int32_t materialSlot)
{
    assert(rings >= 2 && segments >= 3);
    Demo::MeshPart part;
    part.materialSlot = materialSlot;
    const float pi = std::numbers::pi_v<float>;
    for (int r = 0; r <= rings; ++r) {
        const float theta = pi * float(r) / float(rings);
        for (int s = 0; s <= segments; ++s) {
            const float phi = 2 * pi * float(s) / float(segments);
            Demo::MeshVertex v;
            v.normal = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            v.position = v.normal * radius;
            v.u = float(s) / float(segments);
            v.v = float(r) / float(rings);
            part.vertices.push_back(v);
        }
    }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const auto a = std::uint32_t(r * (segments + 1) + s), b = a + std::uint32_t(segments + 1);
            // Clockwise seen from outside: the device's front faces under
            // the demo's culling.
            part.indices.insert(part.indices.end(), {a, b, a + 1, b, b + 1, a + 1});
        }
    part.vertexCount = std::int32_t(part.vertices.size());
    part.indexCount = std::int32_t(part.indices.size());
    return part;
}

} // namespace ORV::Content
