// Every name and value an effect file may assign to a render or sampler state,
// against the D3D9 names and numbers (d3d9types.h): each row is parsed in the
// spellings effect files use and named back as listings show it.
#include "core/Ascii.h"
#include "platform/gfx/RenderStates.h"
#include "platform/gfx/effect/EffectStates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ORV::Gfx;

namespace {

struct StateRow {
    const char* name;
    RenderState state;
    uint32_t d3dDefault; // the value of a new D3D9 device with a depth buffer
};

const StateRow kRenderStates[] = {
    {"ZEnable", RenderState::ZEnable, 1},
    {"ZWriteEnable", RenderState::ZWriteEnable, 1},
    {"ZFunc", RenderState::ZFunc, 4},
    {"CullMode", RenderState::CullMode, 3},
    {"Lighting", RenderState::Lighting, 1},
    {"ColorWriteEnable", RenderState::ColorWriteEnable, 15},
    {"AlphaBlendEnable", RenderState::AlphaBlendEnable, 0},
    {"SrcBlend", RenderState::SrcBlend, 2},
    {"DestBlend", RenderState::DestBlend, 1},
    {"BlendOp", RenderState::BlendOp, 1},
    {"AlphaTestEnable", RenderState::AlphaTestEnable, 0},
    {"AlphaFunc", RenderState::AlphaFunc, 8},
    {"AlphaRef", RenderState::AlphaRef, 0},
};

struct SamplerRow {
    const char* name;
    SamplerState state;
    uint32_t d3dDefault;
};

const SamplerRow kSamplerStates[] = {
    {"AddressU", SamplerState::AddressU, 1},   {"AddressV", SamplerState::AddressV, 1},
    {"AddressW", SamplerState::AddressW, 1},   {"MagFilter", SamplerState::MagFilter, 1},
    {"MinFilter", SamplerState::MinFilter, 1}, {"MipFilter", SamplerState::MipFilter, 0},
};

// A named value: the name effect files write, the D3D9 prefix of its constant,
// and the constant's number.
struct ValueRow {
    const char* name;
    uint32_t number;
};

const char* const kCmpPrefix = "D3DCMP_";
const std::vector<ValueRow> kCmp = {{"Never", 1},   {"Less", 2},     {"Equal", 3},        {"LessEqual", 4},
                                    {"Greater", 5}, {"NotEqual", 6}, {"GreaterEqual", 7}, {"Always", 8}};
const std::vector<ValueRow> kBlend = {{"Zero", 1},      {"One", 2},           {"SrcColor", 3},    {"InvSrcColor", 4},
                                      {"SrcAlpha", 5},  {"InvSrcAlpha", 6},   {"DestAlpha", 7},   {"InvDestAlpha", 8},
                                      {"DestColor", 9}, {"InvDestColor", 10}, {"SrcAlphaSat", 11}};

struct SpaceRow {
    RenderState state;
    const char* prefix;
    std::vector<ValueRow> values;
};

const SpaceRow kRenderValues[] = {
    {RenderState::ZEnable, "D3DZB_", {{"false", 0}, {"true", 1}, {"UseW", 2}}},
    {RenderState::ZFunc, kCmpPrefix, kCmp},
    {RenderState::AlphaFunc, kCmpPrefix, kCmp},
    {RenderState::CullMode, "D3DCULL_", {{"None", 1}, {"CW", 2}, {"CCW", 3}}},
    {RenderState::SrcBlend, "D3DBLEND_", kBlend},
    {RenderState::DestBlend, "D3DBLEND_", kBlend},
    {RenderState::BlendOp, "D3DBLENDOP_", {{"Add", 1}, {"Subtract", 2}, {"RevSubtract", 3}, {"Min", 4}, {"Max", 5}}},
    {RenderState::ZWriteEnable, "", {{"false", 0}, {"true", 1}}},
    {RenderState::Lighting, "", {{"false", 0}, {"true", 1}}},
    {RenderState::AlphaBlendEnable, "", {{"false", 0}, {"true", 1}}},
    {RenderState::AlphaTestEnable, "", {{"false", 0}, {"true", 1}}},
};

const std::vector<ValueRow> kAddress = {{"Wrap", 1}, {"Mirror", 2}, {"Clamp", 3}, {"Border", 4}, {"MirrorOnce", 5}};
const std::vector<ValueRow> kFilter = {{"None", 0}, {"Point", 1}, {"Linear", 2}, {"Anisotropic", 3}};

struct SamplerSpaceRow {
    SamplerState state;
    const char* prefix;
    std::vector<ValueRow> values;
};

const SamplerSpaceRow kSamplerValues[] = {
    {SamplerState::AddressU, "D3DTADDRESS_", kAddress}, {SamplerState::AddressV, "D3DTADDRESS_", kAddress},
    {SamplerState::AddressW, "D3DTADDRESS_", kAddress}, {SamplerState::MagFilter, "D3DTEXF_", kFilter},
    {SamplerState::MinFilter, "D3DTEXF_", kFilter},     {SamplerState::MipFilter, "D3DTEXF_", kFilter},
};

std::string lower(std::string text)
{
    for (char& c : text) c = ORV::Core::toLowerAscii(c);
    return text;
}

// The spellings of one value an effect file may use: as written, in either
// letter case, with its D3D9 prefix, and as its number.
std::vector<std::string> spellings(const char* prefix, const ValueRow& row)
{
    std::vector<std::string> out = {row.name, lower(row.name), ORV::Core::toUpperAscii(row.name),
                                    std::to_string(row.number)};
    if (*prefix) out.push_back(std::string(prefix) + ORV::Core::toUpperAscii(row.name));
    return out;
}

} // namespace

TEST(EffectStateTables, EveryRenderStateNameAndDefault)
{
    for (const StateRow& row : kRenderStates) {
        EXPECT_EQ(findRenderStateName(row.name), row.state) << row.name;
        EXPECT_EQ(findRenderStateName(lower(row.name)), row.state) << row.name;
        EXPECT_EQ(findRenderStateName(ORV::Core::toUpperAscii(row.name)), row.state) << row.name;
        EXPECT_STREQ(renderStateName(row.state), row.name);
        EXPECT_EQ(defaultRenderState(row.state), row.d3dDefault) << row.name;
    }
    EXPECT_EQ(std::size(kRenderStates), size_t(RenderState::Count)) << "a state without a row";
}

TEST(EffectStateTables, EverySamplerStateNameAndDefault)
{
    for (const SamplerRow& row : kSamplerStates) {
        EXPECT_EQ(findSamplerStateName(row.name), row.state) << row.name;
        EXPECT_EQ(findSamplerStateName(lower(row.name)), row.state) << row.name;
        EXPECT_STREQ(samplerStateName(row.state), row.name);
        EXPECT_EQ(defaultSamplerState(row.state), row.d3dDefault) << row.name;
    }
    EXPECT_EQ(std::size(kSamplerStates), size_t(SamplerState::Count)) << "a state without a row";
}

TEST(EffectStateTables, EveryRenderStateValueInEverySpelling)
{
    for (const SpaceRow& space : kRenderValues) {
        const char* state = renderStateName(space.state);
        for (const ValueRow& row : space.values) {
            for (const std::string& text : spellings(space.prefix, row)) {
                std::string error;
                EXPECT_EQ(parseRenderStateValue(space.state, text, error), row.number)
                    << state << " = " << text << ": " << error;
            }
            EXPECT_EQ(renderStateValueName(space.state, row.number), row.name) << state << " " << row.number;
        }
        // One past the last value is out of range.
        std::string error;
        EXPECT_FALSE(parseRenderStateValue(space.state, std::to_string(space.values.back().number + 1), error))
            << state;
    }
}

TEST(EffectStateTables, EveryColorWriteChannelAndEveryMask)
{
    const ValueRow channels[] = {{"Red", 1}, {"Green", 2}, {"Blue", 4}, {"Alpha", 8}};
    for (uint32_t mask = 0; mask <= 15; ++mask) {
        std::string joined, prefixed;
        for (const ValueRow& channel : channels) {
            if (!(mask & channel.number)) continue;
            joined += (joined.empty() ? "" : " | ") + std::string(channel.name);
            prefixed += (prefixed.empty() ? "" : "|") + std::string("D3DCOLORWRITEENABLE_")
                        + ORV::Core::toUpperAscii(channel.name);
        }
        std::string error;
        if (mask) {
            EXPECT_EQ(parseRenderStateValue(RenderState::ColorWriteEnable, joined, error), mask) << joined << error;
            EXPECT_EQ(parseRenderStateValue(RenderState::ColorWriteEnable, prefixed, error), mask) << prefixed;
        }
        EXPECT_EQ(parseRenderStateValue(RenderState::ColorWriteEnable, std::to_string(mask), error), mask);
        char hexName[8];
        std::snprintf(hexName, sizeof hexName, "0x%x", mask);
        EXPECT_EQ(renderStateValueName(RenderState::ColorWriteEnable, mask), hexName);
    }
}

TEST(EffectStateTables, EverySamplerStateValueInEverySpelling)
{
    for (const SamplerSpaceRow& space : kSamplerValues) {
        const char* state = samplerStateName(space.state);
        for (const ValueRow& row : space.values) {
            for (const std::string& text : spellings(space.prefix, row)) {
                std::string error;
                EXPECT_EQ(parseSamplerStateValue(space.state, text, error), row.number)
                    << state << " = " << text << ": " << error;
            }
            EXPECT_EQ(samplerStateValueName(space.state, row.number), row.name) << state << " " << row.number;
        }
        std::string error;
        EXPECT_FALSE(parseSamplerStateValue(space.state, std::to_string(space.values.back().number + 1), error))
            << state;
    }
}

TEST(EffectStateTables, AlphaRefTakesEveryByteAndNothingAbove)
{
    for (uint32_t value = 0; value <= 255; ++value) {
        std::string error;
        EXPECT_EQ(parseRenderStateValue(RenderState::AlphaRef, std::to_string(value), error), value) << error;
    }
    std::string error;
    EXPECT_FALSE(parseRenderStateValue(RenderState::AlphaRef, "256", error));
}
