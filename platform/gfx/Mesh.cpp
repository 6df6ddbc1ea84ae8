#include "platform/gfx/Mesh.h"

namespace ORV::Gfx {

int vertexAttributeLocation(VertexUsage usage, unsigned usageIndex)
{
    // The effect compiler gives shader inputs the same locations by semantic.
    switch (usage) {
    case VertexUsage::Position: return usageIndex == 0 ? 0 : -1;
    case VertexUsage::Normal: return usageIndex == 0 ? 1 : -1;
    case VertexUsage::Tangent: return usageIndex == 0 ? 2 : -1;
    case VertexUsage::Binormal: return usageIndex == 0 ? 3 : -1;
    case VertexUsage::Color: return usageIndex < 2 ? 4 + int(usageIndex) : -1; // 4..5
    case VertexUsage::TexCoord: return usageIndex < 8 ? 8 + int(usageIndex) : -1; // 8..15
    }
    return -1;
}

} // namespace ORV::Gfx
