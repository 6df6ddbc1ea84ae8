// The states an effect pass or a sampler_state block may assign, with their
// D3D9 names and values, and the name tables the effect compiler reads them with.
// No GL: the device applies the values; this only names and parses them.
#pragma once

#include "platform/gfx/RenderStates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ORV::Gfx {

// Sampler states of a sampler_state block (D3DSAMP_*), values in the D3D9 value
// space of each state.
enum class SamplerState : uint8_t {
    AddressU, // TextureAddress
    AddressV, // TextureAddress
    AddressW, // TextureAddress
    MagFilter, // TextureFilter
    MinFilter, // TextureFilter
    MipFilter, // TextureFilter
    Count
};

enum class TextureFilter : uint32_t { None = 0, Point = 1, Linear = 2, Anisotropic = 3 };
enum class TextureAddress : uint32_t { Wrap = 1, Mirror, Clamp, Border, MirrorOnce };

// The D3D9 value a sampler starts with (Wrap, Point, Point, None).
uint32_t defaultSamplerState(SamplerState state);

// Effect-file names, compared without regard to letter case as the D3DX effect
// compiler does ("ZWriteEnable", "zwriteenable").
std::optional<RenderState> findRenderStateName(std::string_view name);
std::optional<SamplerState> findSamplerStateName(std::string_view name);

// The value of one assignment, written as an effect file writes it: a value
// name of the state's type ("LessEqual", "CCW", "SrcAlpha", with or without its
// D3D prefix such as "D3DCMP_"), true/false for boolean states, a decimal or hex
// number, or for ColorWriteEnable names joined by '|' ("RED | GREEN").
// Empty when the text is not a value of that state; error says why.
std::optional<uint32_t> parseRenderStateValue(RenderState state, std::string_view text, std::string& error);
std::optional<uint32_t> parseSamplerStateValue(SamplerState state, std::string_view text, std::string& error);

// Names for listings: "ZWriteEnable", and "LessEqual" / "true" / "0x0000000f".
const char* renderStateName(RenderState state);
const char* samplerStateName(SamplerState state);
std::string renderStateValueName(RenderState state, uint32_t value);
std::string samplerStateValueName(SamplerState state, uint32_t value);

} // namespace ORV::Gfx
