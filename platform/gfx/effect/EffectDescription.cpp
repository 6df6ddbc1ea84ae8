#include "platform/gfx/effect/EffectDescription.h"

#include <algorithm>
#include <cstring>

namespace ORV::Gfx {

const UniformMember* UniformBlockLayout::find(int parameter) const
{
    for (const UniformMember& member : members)
        if (member.parameter == parameter) return &member;
    return nullptr;
}

int EffectDescription::findParameter(std::string_view name) const
{
    for (size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i].name == name) return int(i);
    return -1;
}

int vertexInputLocation(std::string_view semantic, uint32_t index)
{
    struct Fixed {
        const char* name;
        uint32_t first;
        uint32_t count;
        int location;
    };
    static constexpr Fixed table[] = {
        {"POSITION", 0, 1, 0}, {"NORMAL", 0, 1, 1},      {"TANGENT", 0, 1, 2},      {"BINORMAL", 0, 1, 3},
        {"COLOR", 0, 2, 4},    {"BLENDWEIGHT", 0, 1, 6}, {"BLENDINDICES", 0, 1, 7}, {"TEXCOORD", 0, 8, 8},
    };
    for (const Fixed& f : table)
        if (semantic == f.name && index >= f.first && index < f.first + f.count)
            return f.location + int(index - f.first);
    return -1;
}

void packUniform(const UniformMember& member, std::span<const float> values, std::span<std::byte> block)
{
    const uint32_t elements = std::max<uint32_t>(member.elements, 1);
    const uint32_t perElement = member.rows * member.columns;
    const bool matrix = member.matrixStride != 0;
    for (uint32_t e = 0; e < elements; ++e) {
        for (uint32_t r = 0; r < member.rows; ++r) {
            for (uint32_t c = 0; c < member.columns; ++c) {
                size_t source = size_t(e) * perElement + size_t(r) * member.columns + c;
                if (source >= values.size()) return;
                size_t offset = size_t(member.offset) + size_t(e) * member.arrayStride;
                if (matrix)
                    offset += member.writeTransposed ? size_t(c) * member.matrixStride + r * 4u
                                                     : size_t(r) * member.matrixStride + c * 4u;
                else
                    offset += c * 4u;
                if (offset + 4 > block.size()) continue;
                float value = values[source];
                std::byte bytes[4];
                if (member.scalar == UniformScalar::Float) {
                    std::memcpy(bytes, &value, 4);
                } else if (member.scalar == UniformScalar::Int) {
                    // Out-of-range and NaN values become 0 rather than undefined.
                    int32_t integer = value >= -2147483648.0f && value < 2147483648.0f ? int32_t(value) : 0;
                    std::memcpy(bytes, &integer, 4);
                } else {
                    uint32_t flag = value != 0.0f ? 1u : 0u;
                    std::memcpy(bytes, &flag, 4);
                }
                std::memcpy(block.data() + offset, bytes, 4);
            }
        }
    }
}

} // namespace ORV::Gfx
