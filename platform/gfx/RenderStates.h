// Device render states with Direct3D 9 names, values and meaning. Plain enums,
// no GL: shared by the device, the effect compiler (pass state assignments) and
// the engine.
#pragma once

#include <cstdint>

namespace ORV::Gfx {

// The render states the device keeps. Values are set and read as uint32_t, in
// the D3D9 value space of each state (the enums below, TRUE = 1, FALSE = 0).
enum class RenderState : uint8_t {
    ZEnable, // ZBufferType
    ZWriteEnable, // bool
    ZFunc, // Cmp
    CullMode, // Cull
    Lighting, // bool: the fixed-function stand-in draws black while true
    ColorWriteEnable, // ColorWrite bit mask
    AlphaBlendEnable, // bool
    SrcBlend, // Blend
    DestBlend, // Blend
    BlendOp, // BlendOperation
    AlphaTestEnable, // bool
    AlphaFunc, // Cmp
    AlphaRef, // 0..255
    Count
};

enum class ZBufferType : uint32_t { False = 0, True = 1, UseW = 2 };
enum class Cmp : uint32_t { Never = 1, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
// Culling by winding as seen on screen: CCW culls triangles whose vertices run
// counter-clockwise in the rendered image.
enum class Cull : uint32_t { None = 1, CW = 2, CCW = 3 };
enum class Blend : uint32_t {
    Zero = 1,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor,
    SrcAlphaSat
};
enum class BlendOperation : uint32_t { Add = 1, Subtract, RevSubtract, Min, Max };

namespace ColorWrite {
constexpr uint32_t Red = 1, Green = 2, Blue = 4, Alpha = 8, All = 15;
}

// The D3D9 defaults of a new device.
uint32_t defaultRenderState(RenderState state);

template <typename Enum> constexpr uint32_t value(Enum e)
{
    return static_cast<uint32_t>(e);
}

// Clear flags.
namespace ClearFlag {
constexpr uint32_t Target = 1, ZBuffer = 2, Stencil = 4;
}

// Transform states: view, projection and world(i).
using TransformState = uint32_t;
constexpr TransformState TransformView = 2;
constexpr TransformState TransformProjection = 3;
constexpr TransformState worldMatrix(uint32_t index)
{
    return 256 + index;
}

} // namespace ORV::Gfx
