#include "platform/gfx/effect/EffectStates.h"

#include "core/Ascii.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <span>

namespace ORV::Gfx {
namespace {

using Core::equalsIgnoringCase;

struct NamedValue {
    const char* name;
    uint32_t value;
};

// The value space of a state: its named values and the D3D prefix its names may
// carry in effect files ("D3DCMP_LESSEQUAL").
struct ValueSpace {
    const char* prefix;
    std::span<const NamedValue> names;
    bool isBool;
    bool isMask;
};

constexpr NamedValue boolNames[] = {{"false", 0}, {"true", 1}};
constexpr NamedValue zBufferNames[] = {{"false", 0}, {"true", 1}, {"UseW", 2}};
constexpr NamedValue cmpNames[] = {{"Never", 1},   {"Less", 2},     {"Equal", 3},        {"LessEqual", 4},
                                   {"Greater", 5}, {"NotEqual", 6}, {"GreaterEqual", 7}, {"Always", 8}};
constexpr NamedValue cullNames[] = {{"None", 1}, {"CW", 2}, {"CCW", 3}};
constexpr NamedValue blendNames[] = {{"Zero", 1},      {"One", 2},           {"SrcColor", 3},    {"InvSrcColor", 4},
                                     {"SrcAlpha", 5},  {"InvSrcAlpha", 6},   {"DestAlpha", 7},   {"InvDestAlpha", 8},
                                     {"DestColor", 9}, {"InvDestColor", 10}, {"SrcAlphaSat", 11}};
constexpr NamedValue blendOpNames[] = {{"Add", 1}, {"Subtract", 2}, {"RevSubtract", 3}, {"Min", 4}, {"Max", 5}};
constexpr NamedValue colorWriteNames[] = {{"Red", 1}, {"Green", 2}, {"Blue", 4}, {"Alpha", 8}};
constexpr NamedValue filterNames[] = {{"None", 0}, {"Point", 1}, {"Linear", 2}, {"Anisotropic", 3}};
constexpr NamedValue addressNames[] = {{"Wrap", 1}, {"Mirror", 2}, {"Clamp", 3}, {"Border", 4}, {"MirrorOnce", 5}};
constexpr NamedValue noNames[] = {{"", 0}};

constexpr ValueSpace boolSpace{"", boolNames, true, false};
constexpr ValueSpace zBufferSpace{"D3DZB_", zBufferNames, true, false};
constexpr ValueSpace cmpSpace{"D3DCMP_", cmpNames, false, false};
constexpr ValueSpace cullSpace{"D3DCULL_", cullNames, false, false};
constexpr ValueSpace blendSpace{"D3DBLEND_", blendNames, false, false};
constexpr ValueSpace blendOpSpace{"D3DBLENDOP_", blendOpNames, false, false};
constexpr ValueSpace colorWriteSpace{"D3DCOLORWRITEENABLE_", colorWriteNames, false, true};
constexpr ValueSpace numberSpace{"", std::span<const NamedValue>(noNames, 0), false, false};
constexpr ValueSpace filterSpace{"D3DTEXF_", filterNames, false, false};
constexpr ValueSpace addressSpace{"D3DTADDRESS_", addressNames, false, false};

struct RenderStateInfo {
    RenderState state;
    const char* name;
    const ValueSpace* values;
    uint32_t maximum; // largest accepted numeric value
};

// Each entry names its state, so a state the device gains later is simply
// not assignable from effects until it is listed here.
constexpr RenderStateInfo renderStates[] = {
    {RenderState::ZEnable, "ZEnable", &zBufferSpace, 2},
    {RenderState::ZWriteEnable, "ZWriteEnable", &boolSpace, 1},
    {RenderState::ZFunc, "ZFunc", &cmpSpace, 8},
    {RenderState::CullMode, "CullMode", &cullSpace, 3},
    {RenderState::Lighting, "Lighting", &boolSpace, 1},
    {RenderState::ColorWriteEnable, "ColorWriteEnable", &colorWriteSpace, 15},
    {RenderState::AlphaBlendEnable, "AlphaBlendEnable", &boolSpace, 1},
    {RenderState::SrcBlend, "SrcBlend", &blendSpace, 11},
    {RenderState::DestBlend, "DestBlend", &blendSpace, 11},
    {RenderState::BlendOp, "BlendOp", &blendOpSpace, 5},
    {RenderState::AlphaTestEnable, "AlphaTestEnable", &boolSpace, 1},
    {RenderState::AlphaFunc, "AlphaFunc", &cmpSpace, 8},
    {RenderState::AlphaRef, "AlphaRef", &numberSpace, 255},
};

const RenderStateInfo* findRenderState(RenderState state)
{
    for (const RenderStateInfo& info : renderStates)
        if (info.state == state) return &info;
    return nullptr;
}

struct SamplerStateInfo {
    const char* name;
    const ValueSpace* values;
    uint32_t maximum;
    uint32_t initial;
};

constexpr std::array<SamplerStateInfo, size_t(SamplerState::Count)> samplerStates = {{
    {"AddressU", &addressSpace, 5, 1},
    {"AddressV", &addressSpace, 5, 1},
    {"AddressW", &addressSpace, 5, 1},
    {"MagFilter", &filterSpace, 3, 1},
    {"MinFilter", &filterSpace, 3, 1},
    {"MipFilter", &filterSpace, 3, 0},
}};

std::string_view trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::optional<uint32_t> parseNumber(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || text.empty()) return std::nullopt;
    // D3DX accepts integer suffixes and a float written as an integer value.
    std::string_view rest(end, text.data() + text.size() - end);
    if (!rest.empty() && rest != "u" && rest != "U" && rest != "l" && rest != "L" && rest != ".0" && rest != ".0f"
        && rest != ".")
        return std::nullopt;
    return value;
}

std::optional<uint32_t> parseOne(const ValueSpace& space, std::string_view text)
{
    if (auto number = parseNumber(text)) return number;
    if (space.isBool || space.isMask || !space.names.empty()) {
        std::string_view bare = text;
        std::string_view prefix = space.prefix;
        if (!prefix.empty() && bare.size() > prefix.size() && equalsIgnoringCase(bare.substr(0, prefix.size()), prefix))
            bare.remove_prefix(prefix.size());
        for (const NamedValue& named : space.names)
            if (equalsIgnoringCase(bare, named.name)) return named.value;
        if (space.isBool || space.names.data() == zBufferNames) {
            if (equalsIgnoringCase(text, "true")) return 1;
            if (equalsIgnoringCase(text, "false")) return 0;
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> parseValue(const ValueSpace& space, uint32_t maximum, std::string_view stateName,
                                   std::string_view text, std::string& error)
{
    text = trim(text);
    std::optional<uint32_t> result;
    if (space.isMask) {
        uint32_t mask = 0;
        bool ok = !text.empty();
        std::string_view rest = text;
        while (ok) {
            size_t bar = rest.find('|');
            std::optional<uint32_t> part = parseOne(space, trim(rest.substr(0, bar)));
            if (!part) {
                ok = false;
                break;
            }
            mask |= *part;
            if (bar == std::string_view::npos) break;
            rest.remove_prefix(bar + 1);
        }
        if (ok) result = mask;
    } else {
        result = parseOne(space, text);
    }
    if (!result) {
        // Appended piece by piece: GCC 12 warns (-Wrestrict, falsely) about
        // "'" + std::string(...) at -O2.
        error.assign(1, '\'');
        error.append(text).append("' is not a value of ").append(stateName);
        return std::nullopt;
    }
    if (*result > maximum) {
        error = "value " + std::to_string(*result) + " is out of range for " + std::string(stateName) + " (0.."
                + std::to_string(maximum) + ")";
        return std::nullopt;
    }
    return result;
}

std::string valueName(const ValueSpace& space, uint32_t value)
{
    if (space.isMask) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", value);
        return text;
    }
    for (const NamedValue& named : space.names)
        if (named.value == value) return named.name;
    return std::to_string(value);
}

} // namespace

uint32_t defaultSamplerState(SamplerState state)
{
    return samplerStates[size_t(state)].initial;
}

std::optional<RenderState> findRenderStateName(std::string_view name)
{
    for (const RenderStateInfo& info : renderStates)
        if (equalsIgnoringCase(name, info.name)) return info.state;
    return std::nullopt;
}

std::optional<SamplerState> findSamplerStateName(std::string_view name)
{
    for (size_t i = 0; i < samplerStates.size(); ++i)
        if (equalsIgnoringCase(name, samplerStates[i].name)) return SamplerState(i);
    return std::nullopt;
}

std::optional<uint32_t> parseRenderStateValue(RenderState state, std::string_view text, std::string& error)
{
    const RenderStateInfo* info = findRenderState(state);
    if (!info) {
        error = "the state can't be assigned in an effect";
        return std::nullopt;
    }
    return parseValue(*info->values, info->maximum, info->name, text, error);
}

std::optional<uint32_t> parseSamplerStateValue(SamplerState state, std::string_view text, std::string& error)
{
    const SamplerStateInfo& info = samplerStates[size_t(state)];
    return parseValue(*info.values, info.maximum, info.name, text, error);
}

const char* renderStateName(RenderState state)
{
    const RenderStateInfo* info = findRenderState(state);
    return info ? info->name : "?";
}

const char* samplerStateName(SamplerState state)
{
    return samplerStates[size_t(state)].name;
}

std::string renderStateValueName(RenderState state, uint32_t value)
{
    const RenderStateInfo* info = findRenderState(state);
    return info ? valueName(*info->values, value) : std::to_string(value);
}

std::string samplerStateValueName(SamplerState state, uint32_t value)
{
    return valueName(*samplerStates[size_t(state)].values, value);
}

} // namespace ORV::Gfx
