// Triangle meshes of the graphics layer: a vertex buffer described by a
// declaration of elements, and an index buffer of 16-bit indices, or 32-bit
// ones when the vertices do not fit 16 bits. Created by the Device from client
// memory; immutable afterwards; drawn whole (subset 0) by Device::drawMesh.
#pragma once

#include "platform/gfx/detail/GlObject.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ORV::Gfx {

enum class VertexUsage : uint8_t { Position, Normal, TexCoord, Tangent, Binormal, Color };

// One vertex element: `components` floats at byte `offset` of each vertex.
struct VertexElement {
    uint16_t offset = 0;
    uint8_t components = 0; // 1..4
    VertexUsage usage = VertexUsage::Position;
    uint8_t usageIndex = 0;
};

// The shader input location every vertex element is bound to, the same for
// every program: effects declare their inputs by semantic and the effect
// compiler assigns these locations, so a mesh draws under any pass whose
// inputs it provides. -1 for an element no location serves.
int vertexAttributeLocation(VertexUsage usage, unsigned usageIndex);
constexpr int maxVertexAttributes = 16;

namespace detail {
class DeviceAccess;
}

class Mesh {
public:
    ~Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    uint32_t vertexCount() const { return vertexCount_; }
    uint32_t indexCount() const { return indexCount_; }
    uint32_t faceCount() const { return indexCount_ / 3; }
    bool wideIndices() const { return wideIndices_; }
    const std::vector<VertexElement>& declaration() const { return declaration_; }

private:
    friend class Device;
    friend class detail::DeviceAccess;
    Mesh() = default;

    std::vector<VertexElement> declaration_;
    uint32_t stride_ = 0;
    uint32_t vertexCount_ = 0;
    uint32_t indexCount_ = 0;
    bool wideIndices_ = false;
    // The array refers to the buffers, so it is declared last and goes first.
    detail::GlObject vertexBuffer_, indexBuffer_, vertexArray_;
};

} // namespace ORV::Gfx
