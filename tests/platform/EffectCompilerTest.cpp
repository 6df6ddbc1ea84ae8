// The effect compiler: structure, reflection and GLSL of D3D9-style effects,
// and the messages for broken ones.
#include "platform/gfx/effect/EffectCompiler.h"
#include "platform/gfx/effect/detail/ConstantEvaluator.h"
#include "platform/gfx/effect/detail/EffectLexer.h"
#include "platform/gfx/effect/detail/EffectParser.h"
#include "platform/gfx/effect/detail/HlslWriter.h"

#ifndef ENABLE_HLSL
#define ENABLE_HLSL 1
#endif
#include <glslang/Public/ShaderLang.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

using namespace ORV::Gfx;

namespace {

using Compiled = ORV::Core::Result<EffectDescription>;

const EffectDefine demoDefines[] = {{"TELM", ""}, {"TELM_VER", "100"}};

std::string readSample(const std::string& name)
{
    std::ifstream file(std::string(ORV_EFFECT_SAMPLES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Serves includes from a map, or from the samples folder, and records the
// names asked for.
class TestIncludes final : public EffectIncludeHandler {
public:
    std::map<std::string, std::string> files;
    bool fromSamples = false;
    std::vector<std::string> requested;

    ORV::Core::Result<std::string> open(const std::string& name) override
    {
        requested.push_back(name);
        if (auto found = files.find(name); found != files.end()) return found->second;
        if (fromSamples) {
            std::string text = readSample(name);
            if (!text.empty()) return text;
        }
        return ORV::Core::Result<std::string>::failure("cannot open include file");
    }
};

Compiled compileSample(const std::string& name, TestIncludes* seen = nullptr)
{
    TestIncludes includes;
    includes.fromSamples = true;
    Compiled result = compileEffect(readSample(name), name, demoDefines, includes);
    if (seen) *seen = includes;
    return result;
}

Compiled compileText(const std::string& text, TestIncludes& includes)
{
    return compileEffect(text, "test.fx", demoDefines, includes);
}

Compiled compileText(const std::string& text)
{
    TestIncludes includes;
    return compileText(text, includes);
}

const EffectParameter& parameter(const EffectDescription& effect, const std::string& name)
{
    int index = effect.findParameter(name);
    EXPECT_GE(index, 0) << name;
    static EffectParameter none;
    return index < 0 ? none : effect.parameters[size_t(index)];
}

const EffectPass* findPass(const EffectTechnique& technique, const std::string& name)
{
    for (const EffectPass& pass : technique.passes)
        if (pass.name == name) return &pass;
    return nullptr;
}

// The first line of the messages must point at file:line.
void expectErrorAt(const Compiled& result, const std::string& file, int line, const std::string& words)
{
    ASSERT_FALSE(result);
    ASSERT_FALSE(result.messages().empty());
    std::string prefix = file + ":" + std::to_string(line) + ": error: ";
    EXPECT_EQ(result.messages().rfind(prefix, 0), 0u) << result.messages();
    EXPECT_NE(result.messages().find(words), std::string::npos) << result.messages();
}

// Every message line reads "file:line: error: text".
void expectWellFormedMessages(const std::string& messages)
{
    static const std::regex line(R"(^[^:\n]+:\d+: error: .*$)");
    std::istringstream lines(messages);
    std::string text;
    int count = 0;
    while (std::getline(lines, text)) {
        EXPECT_TRUE(std::regex_match(text, line)) << text;
        ++count;
    }
    EXPECT_GT(count, 0);
}

// Compiles and links the GLSL of a pass with glslang's GLSL front end, as a GL
// driver would: proves it is valid GLSL 4.50 and that the stages' interfaces
// and uniform blocks agree.
bool glslLinks(const EffectPass& pass, std::string& log)
{
    glslang::InitializeProcess();
    TBuiltInResource limits{};
    limits.maxVertexAttribs = 16;
    limits.maxDrawBuffers = 8;
    limits.maxTextureImageUnits = 16;
    limits.maxCombinedTextureImageUnits = 80;
    limits.maxVertexTextureImageUnits = 16;
    limits.maxVaryingComponents = 60;
    limits.maxVertexOutputComponents = 64;
    limits.maxFragmentInputComponents = 128;
    limits.maxClipDistances = 8;
    limits.maxCullDistances = 8;
    limits.maxCombinedClipAndCullDistances = 8;
    limits.maxVertexUniformComponents = 4096;
    limits.maxFragmentUniformComponents = 4096;
    limits.maxCombinedShaderOutputResources = 16;
    limits.maxCombinedImageUnitsAndFragmentOutputs = 16;
    limits.maxTextureCoords = 8;
    limits.maxTextureUnits = 8;
    limits.maxVaryingFloats = 64;
    limits.maxLights = 8;
    limits.maxClipPlanes = 8;
    limits.maxVertexUniformVectors = 1024;
    limits.maxFragmentUniformVectors = 1024;
    limits.maxVaryingVectors = 16;
    limits.maxVertexOutputVectors = 16;
    limits.maxFragmentInputVectors = 16;
    limits.maxSamples = 4;
    limits.maxViewports = 1;
    limits.limits = {true, true, true, true, true, true, true, true, true};
    // Both variants of the pixel shader: plain, and with the alpha-test tail.
    for (const bool alphaTest : {false, true}) {
        glslang::TShader vertex(EShLangVertex);
        glslang::TShader fragment(EShLangFragment);
        const char* vs = pass.vertexShader.glsl.c_str();
        const char* fs = pass.pixelShader.glsl.c_str();
        vertex.setStrings(&vs, 1);
        fragment.setStrings(&fs, 1);
        const std::string define = std::string("#define ") + alphaTestVariantDefine + "\n";
        if (alphaTest) fragment.setPreamble(define.c_str());
        for (glslang::TShader* s : {&vertex, &fragment}) {
            s->setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
            if (!s->parse(&limits, 450, ECoreProfile, false, false, EShMsgDefault)) {
                log = std::string(alphaTest ? "alpha-test variant: " : "") + s->getInfoLog();
                return false;
            }
        }
        glslang::TProgram program;
        program.addShader(&vertex);
        program.addShader(&fragment);
        if (!program.link(EShMsgDefault)) {
            log = std::string(alphaTest ? "alpha-test variant: " : "") + program.getInfoLog();
            return false;
        }
    }
    return true;
}

} // namespace

// --- Structure and reflection of well-formed effects -------------------------

TEST(EffectStructure, TechniquesAndPassesInSourceOrder)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    EXPECT_TRUE(result.messages().empty());
    const EffectDescription& effect = result.value();
    ASSERT_EQ(effect.techniques.size(), 2u);
    EXPECT_EQ(effect.techniques[0].name, "cartoon");
    EXPECT_EQ(effect.techniques[1].name, "cartoonSM2");
    std::vector<std::string> names;
    for (const EffectPass& pass : effect.techniques[0].passes) names.push_back(pass.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ambient", "shade", "depthdist", "emissive"}));
    ASSERT_EQ(effect.techniques[0].annotations.size(), 1u);
    EXPECT_EQ(effect.techniques[0].annotations[0].text, "toon shading, shader model 3");
    const EffectPass& sm2 = effect.techniques[1].passes.at(0);
    EXPECT_EQ(sm2.vertexShader.profile, "vs_2_0");
    EXPECT_EQ(sm2.pixelShader.entryPoint, "ambientPS");
    EXPECT_TRUE(sm2.states.empty());
}

TEST(EffectStructure, PassStatesKeepOrderValuesAndLines)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectPass* shade = findPass(result->techniques[0], "shade");
    ASSERT_TRUE(shade);
    std::vector<std::pair<RenderState, uint32_t>> states;
    for (const PassStateAssignment& s : shade->states) states.emplace_back(s.state, s.value);
    std::vector<std::pair<RenderState, uint32_t>> expected = {{RenderState::ZWriteEnable, 0},
                                                              {RenderState::ZFunc, value(Cmp::LessEqual)},
                                                              {RenderState::AlphaBlendEnable, 1},
                                                              {RenderState::SrcBlend, value(Blend::One)},
                                                              {RenderState::DestBlend, value(Blend::One)},
                                                              {RenderState::BlendOp, value(BlendOperation::Add)}};
    EXPECT_EQ(states, expected);
    EXPECT_EQ(shade->states[0].location.file, "cartoon.fx");
    EXPECT_EQ(shade->states[0].location.line, 128);
    EXPECT_EQ(shade->vertexShader.location.line, 126);

    const EffectPass* emissive = findPass(result->techniques[0], "emissive");
    ASSERT_TRUE(emissive);
    EXPECT_EQ(emissive->states.back().state, RenderState::DestBlend);
    EXPECT_EQ(emissive->states.back().value, value(Blend::InvSrcAlpha));
    const EffectPass* ambient = findPass(result->techniques[0], "ambient");
    EXPECT_EQ(ambient->states[3].state, RenderState::CullMode);
    EXPECT_EQ(ambient->states[3].value, value(Cull::CCW));
}

TEST(EffectStructure, PrefixedNamesNumbersAndMasks)
{
    Compiled result = compileSample("cutout.fx");
    ASSERT_TRUE(result) << result.messages();
    ASSERT_EQ(result->techniques.size(), 1u) << "TELM_VER is 100, so the old technique is left out";
    const EffectPass& ambient = result->techniques[0].passes[0];
    ASSERT_EQ(ambient.states.size(), 4u);
    EXPECT_EQ(ambient.states[0].value, 1u); // TRUE
    EXPECT_EQ(ambient.states[1].value, value(Cmp::Greater)); // D3DCMP_GREATER
    EXPECT_EQ(ambient.states[2].value, 128u); // 0x80
    EXPECT_EQ(ambient.states[3].value, value(Cull::None)); // D3DCULL_NONE
    const EffectPass& emissive = result->techniques[0].passes[1];
    std::map<RenderState, uint32_t> states;
    for (const PassStateAssignment& s : emissive.states) states[s.state] = s.value;
    EXPECT_EQ(states[RenderState::SrcBlend], value(Blend::One));
    EXPECT_EQ(states[RenderState::DestBlend], 2u);
    EXPECT_EQ(states[RenderState::BlendOp], value(BlendOperation::RevSubtract));
    EXPECT_EQ(states[RenderState::ColorWriteEnable], ColorWrite::Red | ColorWrite::Green | ColorWrite::Blue);
    EXPECT_EQ(states[RenderState::ZFunc], value(Cmp::Always));
    EXPECT_EQ(states[RenderState::ZEnable], 0u);
}

TEST(EffectStructure, ParametersWithSemanticsTypesAndDefaults)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectDescription& effect = result.value();

    const EffectParameter& wvp = parameter(effect, "WorldViewProj");
    EXPECT_EQ(wvp.semantic, "WorldViewProjection");
    EXPECT_EQ(wvp.type, ParameterType::Float);
    EXPECT_EQ(wvp.parameterClass, ParameterClass::MatrixColumns);
    EXPECT_EQ(wvp.rows, 4u);
    EXPECT_EQ(wvp.columns, 4u);
    EXPECT_TRUE(wvp.defaultValue.empty());
    EXPECT_EQ(wvp.location.file, "common.fxh");
    EXPECT_EQ(wvp.location.line, 7);

    const EffectParameter& diffuse = parameter(effect, "diffuseColor");
    EXPECT_EQ(diffuse.parameterClass, ParameterClass::Vector);
    EXPECT_EQ(diffuse.columns, 4u);
    EXPECT_EQ(diffuse.defaultValue, (std::vector<float>{0.8f, 0.6f, 0.4f, 1.0f}));
    ASSERT_EQ(diffuse.annotations.size(), 2u);
    EXPECT_EQ(diffuse.annotations[0].typeName, "string");
    EXPECT_EQ(diffuse.annotations[0].name, "UIName");
    EXPECT_EQ(diffuse.annotations[0].text, "Diffuse");

    const EffectParameter& bands = parameter(effect, "bands");
    EXPECT_EQ(bands.parameterClass, ParameterClass::Scalar);
    EXPECT_EQ(bands.defaultValue, std::vector<float>{3.0f});
    ASSERT_EQ(bands.annotations.size(), 3u);
    EXPECT_EQ(bands.annotations[2].name, "UIMax");
    EXPECT_EQ(bands.annotations[2].numbers, std::vector<float>{8.0f});

    EXPECT_EQ(parameter(effect, "useTexture").type, ParameterType::Bool);
    EXPECT_EQ(parameter(effect, "useTexture").defaultValue, std::vector<float>{1.0f});
    EXPECT_EQ(parameter(effect, "bandCount").type, ParameterType::Int);
    EXPECT_EQ(parameter(effect, "bandCount").semantic, "BandCount");
    EXPECT_EQ(parameter(effect, "lightColor").defaultValue, (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(parameter(effect, "fxDark").semantic, "FxDark");

    const EffectParameter& texture = parameter(effect, "diffuseTex");
    EXPECT_EQ(texture.type, ParameterType::Texture);
    EXPECT_EQ(texture.parameterClass, ParameterClass::Object);
    ASSERT_EQ(texture.annotations.size(), 1u);
    EXPECT_EQ(texture.annotations[0].text, "white.jpg");

    // Static consts and functions are no parameters.
    EXPECT_EQ(effect.findParameter("luminance"), -1);
    EXPECT_EQ(effect.findParameter("toonSteps"), -1);
    EXPECT_EQ(effect.parameters.size(), 16u);
}

TEST(EffectStructure, DefaultsFromExpressionsListsAndArrays)
{
    Compiled result = compileSample("ink.fx");
    ASSERT_TRUE(result) << result.messages();
    EXPECT_EQ(parameter(result.value(), "texelSize").defaultValue, (std::vector<float>{1.0f / 640.0f, 1.0f / 480.0f}));
    EXPECT_EQ(parameter(result.value(), "blurTexel").defaultValue, (std::vector<float>{1.0f / 256, 1.0f / 256}));

    Compiled cutout = compileSample("cutout.fx");
    ASSERT_TRUE(cutout) << cutout.messages();
    const EffectParameter& palette = parameter(cutout.value(), "palette");
    EXPECT_EQ(palette.elements, 3u);
    ASSERT_EQ(palette.defaultValue.size(), 12u);
    EXPECT_EQ(palette.defaultValue[11], 0.5f);
    const EffectParameter& uv = parameter(cutout.value(), "uvTransform");
    EXPECT_EQ(uv.parameterClass, ParameterClass::MatrixRows) << "#pragma pack_matrix(row_major)";
    ASSERT_EQ(uv.defaultValue.size(), 9u);
    EXPECT_EQ(uv.defaultValue[6], 0.5f);
    EXPECT_EQ(uv.defaultValue[7], 0.25f);
    EXPECT_EQ(parameter(cutout.value(), "legacyMatrix").parameterClass, ParameterClass::MatrixColumns);
    const EffectParameter& cutoff = parameter(cutout.value(), "cutoff");
    EXPECT_EQ(cutoff.defaultValue, std::vector<float>{0.5f}) << "a global const is a parameter";
}

TEST(EffectStructure, SamplerStatesAndTheirTextures)
{
    Compiled result = compileSample("ink.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectDescription& effect = result.value();
    const EffectParameter& depth = parameter(effect, "depthSampler");
    EXPECT_EQ(depth.type, ParameterType::Sampler2D);
    EXPECT_EQ(depth.textureParameter, effect.findParameter("depthDistTex")) << "Texture = (name) in capitals";
    std::vector<std::pair<SamplerState, uint32_t>> states;
    for (const SamplerStateAssignment& s : depth.samplerStates) states.emplace_back(s.state, s.value);
    EXPECT_EQ(states,
              (std::vector<std::pair<SamplerState, uint32_t>>{{SamplerState::MinFilter, value(TextureFilter::Point)},
                                                              {SamplerState::MagFilter, value(TextureFilter::Point)},
                                                              {SamplerState::AddressU, value(TextureAddress::Clamp)},
                                                              {SamplerState::AddressV, value(TextureAddress::Clamp)}}));
    const EffectParameter& final = parameter(effect, "finalSampler");
    EXPECT_EQ(final.samplerStates[2].value, value(TextureFilter::None));
    EXPECT_EQ(final.samplerStates[3].value, value(TextureAddress::Mirror));
    EXPECT_EQ(final.samplerStates[4].value, value(TextureAddress::Border));
    EXPECT_EQ(parameter(effect, "shadeSampler").type, ParameterType::Sampler);
}

TEST(EffectStructure, IncludesAreServedByTheHandlerByTheirWrittenNames)
{
    TestIncludes seen;
    Compiled result = compileSample("cartoon.fx", &seen);
    ASSERT_TRUE(result) << result.messages();
    EXPECT_EQ(seen.requested, (std::vector<std::string>{"common.fxh", "mathutil.fxh"}));
}

TEST(EffectStructure, UnnamedPassesAndTechniquesAreKept)
{
    Compiled result =
        compileText("float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                    "float4 ps() : COLOR { return 1; }\n"
                    "technique { pass { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
    ASSERT_EQ(result->techniques.size(), 1u);
    EXPECT_EQ(result->techniques[0].name, "");
    EXPECT_EQ(result->techniques[0].passes.at(0).name, "");
    EXPECT_EQ(result->techniques[0].passes[0].uniforms.size, 0u);
}

// --- Per-pass interface: inputs, uniforms, samplers, GLSL --------------------

TEST(EffectPasses, VertexInputsBySemanticAtFixedLocations)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectTechnique& technique = result->techniques[0];
    auto inputs = [](const EffectPass& pass) {
        std::vector<std::tuple<std::string, uint32_t, uint32_t>> list;
        for (const VertexInput& i : pass.vertexInputs) list.emplace_back(i.semantic, i.semanticIndex, i.location);
        return list;
    };
    using List = std::vector<std::tuple<std::string, uint32_t, uint32_t>>;
    EXPECT_EQ(inputs(*findPass(technique, "ambient")),
              (List{{"POSITION", 0, 0}, {"NORMAL", 0, 1}, {"TEXCOORD", 0, 8}}));
    EXPECT_EQ(inputs(*findPass(technique, "depthdist")), (List{{"POSITION", 0, 0}}));
    Compiled cutout = compileSample("cutout.fx");
    ASSERT_TRUE(cutout) << cutout.messages();
    EXPECT_EQ(inputs(cutout->techniques[0].passes[0]),
              (List{{"POSITION", 0, 0}, {"TANGENT", 0, 2}, {"COLOR", 0, 4}, {"TEXCOORD", 0, 8}}));
    EXPECT_NE(cutout->techniques[0].passes[0].vertexShader.glsl.find("layout(location = 2) in vec3"),
              std::string::npos);
}

TEST(EffectPasses, VertexInputLocationTable)
{
    EXPECT_EQ(vertexInputLocation("POSITION", 0), 0);
    EXPECT_EQ(vertexInputLocation("NORMAL", 0), 1);
    EXPECT_EQ(vertexInputLocation("COLOR", 1), 5);
    EXPECT_EQ(vertexInputLocation("COLOR", 2), -1);
    EXPECT_EQ(vertexInputLocation("TEXCOORD", 0), 8);
    EXPECT_EQ(vertexInputLocation("TEXCOORD", 7), 15);
    EXPECT_EQ(vertexInputLocation("TEXCOORD", 8), -1);
    EXPECT_EQ(vertexInputLocation("POSITION", 1), -1);
    EXPECT_EQ(vertexInputLocation("PSIZE", 0), -1);
}

TEST(EffectPasses, UniformLayoutAndMatrixWriteRule)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectDescription& effect = result.value();
    const EffectPass& shade = *findPass(effect.techniques[0], "shade");
    const UniformMember* wvp = shade.uniforms.find(effect.findParameter("WorldViewProj"));
    ASSERT_TRUE(wvp);
    EXPECT_EQ(wvp->offset, 0u);
    EXPECT_EQ(wvp->size, 64u);
    EXPECT_EQ(wvp->matrixStride, 16u);
    EXPECT_TRUE(wvp->spirvRowMajor) << "HLSL column_major is a SPIR-V RowMajor member";
    EXPECT_TRUE(wvp->writeTransposed);
    const UniformMember* flag = shade.uniforms.find(effect.findParameter("useTexture"));
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->scalar, UniformScalar::Bool);
    EXPECT_EQ(shade.uniforms.find(effect.findParameter("bandCount"))->scalar, UniformScalar::Int);
    // Every member lies inside the block and none overlap.
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const UniformMember& m : shade.uniforms.members) ranges.emplace_back(m.offset, m.offset + m.size);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_LE(ranges[i].second, shade.uniforms.size);
        if (i > 0) {
            EXPECT_LE(ranges[i - 1].second, ranges[i].first);
        }
    }
    EXPECT_EQ(shade.uniforms.members.size(), 14u) << "textures and samplers are not in the block";
    // All passes of the effect share one layout.
    for (const EffectPass& pass : effect.techniques[0].passes) EXPECT_EQ(pass.uniforms.size, shade.uniforms.size);

    Compiled cutout = compileSample("cutout.fx");
    ASSERT_TRUE(cutout) << cutout.messages();
    const EffectPass& leaf = cutout->techniques[0].passes[0];
    const UniformMember* rowMajor = leaf.uniforms.find(cutout->findParameter("WorldViewProj"));
    const UniformMember* legacy = leaf.uniforms.find(cutout->findParameter("legacyMatrix"));
    const UniformMember* bone = leaf.uniforms.find(cutout->findParameter("skinBone"));
    const UniformMember* uv = leaf.uniforms.find(cutout->findParameter("uvTransform"));
    const UniformMember* palette = leaf.uniforms.find(cutout->findParameter("palette"));
    ASSERT_TRUE(rowMajor && legacy && bone && uv && palette);
    EXPECT_FALSE(rowMajor->writeTransposed) << "row_major HLSL keeps the engine's rows";
    EXPECT_TRUE(legacy->writeTransposed);
    EXPECT_EQ(bone->rows, 4u);
    EXPECT_EQ(bone->columns, 3u);
    EXPECT_EQ(bone->size, 64u) << "four rows of three, one vector each";
    EXPECT_EQ(uv->size, 48u);
    EXPECT_EQ(palette->arrayStride, 16u);
    EXPECT_EQ(palette->elements, 3u);
    EXPECT_EQ(palette->size, 48u);
}

// Reads the GLSL the way GL does to check that mul(v, M) gives v * M for a
// matrix written with packUniform: the vertex shader multiplies with the
// uniform on the left (M * v in GLSL) and the member is row_major, so GLSL's
// result i is the dot product of memory vector i with v.
TEST(EffectPasses, MulRowVectorGivesEngineProduct)
{
    Compiled result = compileText(
        "float4x4 M;\n"
        "float4 vs(float4 p : POSITION) : POSITION { return mul(p, M); }\n"
        "float4 ps() : COLOR { return 1; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
    const EffectPass& pass = result->techniques[0].passes[0];
    const std::string& glsl = pass.vertexShader.glsl;
    ASSERT_NE(glsl.find("layout(row_major) mat4 M;"), std::string::npos) << glsl;
    ASSERT_TRUE(std::regex_search(glsl, std::regex(R"(gl_Position = [^;]*M\) \* p;)"))) << glsl;
    const UniformMember& member = pass.uniforms.members.at(0);
    ASSERT_TRUE(member.writeTransposed);

    const float engine[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<std::byte> block(pass.uniforms.size);
    packUniform(member, engine, block);
    float memory[16];
    std::memcpy(memory, block.data() + member.offset, sizeof memory);
    const float v[4] = {0.5f, -1.0f, 2.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        float gl = 0, expected = 0;
        for (int k = 0; k < 4; ++k) {
            gl += memory[i * 4 + k] * v[k]; // row_major M * v
            expected += v[k] * engine[k * 4 + i]; // (v * M)[i]
        }
        EXPECT_FLOAT_EQ(gl, expected) << i;
    }
}

TEST(EffectPasses, SamplerBindingsReachTheirTextures)
{
    Compiled result = compileSample("ink.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectDescription& effect = result.value();
    const EffectTechnique& ink = effect.techniques.at(0);
    std::vector<std::string> names;
    for (const EffectPass& p : ink.passes) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"outline", "reduce", "blurh", "blurv", "final"}));
    auto textures = [&](const EffectPass& pass) {
        std::vector<std::pair<std::string, uint32_t>> list;
        for (const SamplerBinding& s : pass.samplers)
            list.emplace_back(effect.parameters[size_t(s.textureParameter)].name, s.binding);
        return list;
    };
    using List = std::vector<std::pair<std::string, uint32_t>>;
    EXPECT_EQ(textures(*findPass(ink, "outline")), (List{{"shadeTex", 0}, {"depthDistTex", 1}}));
    EXPECT_EQ(textures(*findPass(ink, "reduce")), (List{{"finalTex", 2}}));
    EXPECT_EQ(textures(*findPass(ink, "final")), (List{{"shadeTex", 0}, {"finalTex", 2}}));
    const EffectPass& outline = *findPass(ink, "outline");
    EXPECT_NE(outline.pixelShader.glsl.find("layout(binding = 1) uniform sampler2D depthSampler;"), std::string::npos)
        << outline.pixelShader.glsl;
    EXPECT_EQ(findPass(ink, "reduce")->uniforms.size, 0u) << "reduce reads no parameter";
}

TEST(EffectPasses, GlslHasWhatTheRuntimeRelliesOn)
{
    Compiled result = compileSample("cartoon.fx");
    ASSERT_TRUE(result) << result.messages();
    const EffectPass& shade = *findPass(result->techniques[0], "shade");
    const std::string& vs = shade.vertexShader.glsl;
    const std::string& ps = shade.pixelShader.glsl;
    EXPECT_EQ(vs.rfind("#version 450", 0), 0u);
    EXPECT_NE(vs.find("gl_Position ="), std::string::npos) << "a POSITION output is the clip position";
    EXPECT_NE(vs.find("layout(binding = 0, std140) uniform"), std::string::npos);
    EXPECT_NE(ps.find("layout(location = 0) out vec4 orv_Color0;"), std::string::npos) << ps;
    // The alpha test exists only in the variant that defines its switch.
    const size_t variant = ps.find(std::string("#ifdef ") + alphaTestVariantDefine);
    ASSERT_NE(variant, std::string::npos) << ps;
    EXPECT_GT(ps.find("layout(location = 0) uniform int orv_AlphaFunc;"), variant);
    EXPECT_GT(ps.find("layout(location = 1) uniform int orv_AlphaRef;"), variant);
    EXPECT_GT(ps.find("discard"), variant);
    EXPECT_NE(ps.find("texture(diffuseSampler"), std::string::npos) << "tex2D becomes texture()";
    // Varyings meet by semantic: TEXCOORD0..2 at 0..2 on both sides.
    for (int location = 0; location < 3; ++location) {
        std::string at = "layout(location = " + std::to_string(location) + ") ";
        EXPECT_NE(vs.find(at + "out"), std::string::npos) << location;
        EXPECT_NE(ps.find(at + "in"), std::string::npos) << location;
    }
}

TEST(EffectPasses, VaryingsMatchWhateverOrderEachSideDeclares)
{
    Compiled result = compileText(
        "struct V { float4 p : POSITION; float4 c : COLOR0; float2 a : TEXCOORD3; float3 b : TEXCOORD1; };\n"
        "V vs(float4 p : POSITION) { V o; o.p = p; o.c = p; o.a = p.xy; o.b = p.xyz; return o; }\n"
        "float4 ps(float3 b : TEXCOORD1, float4 c : COLOR0, float2 a : TEXCOORD3) : COLOR { return c + b.x + a.y; }\n"
        "technique t { pass p { VertexShader = compile vs_3_0 vs(); PixelShader = compile ps_3_0 ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
    const EffectPass& pass = result->techniques[0].passes[0];
    // Sorted semantics: COLOR0 0, TEXCOORD1 1, TEXCOORD3 2.
    EXPECT_NE(pass.vertexShader.glsl.find("layout(location = 0) out vec4 _entryPointOutput_c;"), std::string::npos)
        << pass.vertexShader.glsl;
    EXPECT_NE(pass.pixelShader.glsl.find("layout(location = 0) in vec4 c;"), std::string::npos)
        << pass.pixelShader.glsl;
    EXPECT_NE(pass.pixelShader.glsl.find("layout(location = 1) in vec3 b;"), std::string::npos);
    EXPECT_NE(pass.pixelShader.glsl.find("layout(location = 2) in vec2 a;"), std::string::npos);
    std::string log;
    EXPECT_TRUE(glslLinks(pass, log)) << log;
}

TEST(EffectPasses, EveryPassOfEverySampleIsValidLinkableGlsl)
{
    for (const char* name : {"cartoon.fx", "ink.fx", "cutout.fx"}) {
        Compiled result = compileSample(name);
        ASSERT_TRUE(result) << name << "\n" << result.messages();
        for (const EffectTechnique& technique : result->techniques)
            for (const EffectPass& pass : technique.passes) {
                std::string log;
                EXPECT_TRUE(glslLinks(pass, log)) << name << " " << technique.name << "/" << pass.name << "\n"
                                                  << log << "\n"
                                                  << pass.vertexShader.glsl << pass.pixelShader.glsl;
            }
    }
}

TEST(EffectPasses, PixelOnlyIntrinsicsInPixelOnlyHelpers)
{
    // ddx in a helper that only the pixel shader calls must not fail the
    // vertex shader, which is compiled from its own call tree.
    Compiled result = compileText(
        "float edge(float x) { return abs(ddx(x)) + abs(ddy(x)); }\n"
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps(float2 uv : TEXCOORD0) : COLOR { return edge(uv.x); }\n"
        "float4 vs2(float4 p : POSITION, out float2 uv : TEXCOORD0) : POSITION { uv = p.xy; return p; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs2(); PixelShader = compile ps_2_a ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
}

TEST(EffectPasses, SemanticsIgnoreLetterCase)
{
    Compiled result = compileText(
        "static const float factor = 0.5;\n"
        "struct V { float4 p : position; float2 uv : texcoord1; };\n"
        "V vs(float4 p : Position, float2 uv : TexCoord1) { V o; o.p = p * factor; o.uv = uv; return o; }\n"
        "float4 ps(float2 uv : TEXCOORD1) : color0 { return uv.xyxy; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
    const EffectPass& pass = result->techniques[0].passes[0];
    ASSERT_EQ(pass.vertexInputs.size(), 2u);
    EXPECT_EQ(pass.vertexInputs[0].semantic, "POSITION");
    EXPECT_EQ(pass.vertexInputs[1].semantic, "TEXCOORD");
    EXPECT_EQ(pass.vertexInputs[1].semanticIndex, 1u);
    EXPECT_EQ(pass.vertexInputs[1].location, 9u);
    EXPECT_NE(pass.vertexShader.glsl.find("gl_Position"), std::string::npos);
    std::string log;
    EXPECT_TRUE(glslLinks(pass, log)) << log;
}

TEST(EffectPasses, ColourTargetsDepthAndPixelPosition)
{
    Compiled result = compileText(
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "void ps(float2 pixel : VPOS, out float4 c0 : COLOR0, out float4 c1 : COLOR1, out float d : DEPTH)\n"
        "{ c0 = pixel.xyxy; c1 = 1; d = 0.5; }\n"
        "float3 ps3() : COLOR { return 1; }\n"
        "technique t {\n"
        "  pass mrt { VertexShader = compile vs_3_0 vs(); PixelShader = compile ps_3_0 ps(); }\n"
        "  pass rgb { VertexShader = compile vs_3_0 vs(); PixelShader = compile ps_3_0 ps3(); }\n"
        "}\n");
    ASSERT_TRUE(result) << result.messages();
    const std::string& mrt = result->techniques[0].passes[0].pixelShader.glsl;
    EXPECT_NE(mrt.find("layout(location = 0) out vec4 orv_Color0;"), std::string::npos) << mrt;
    EXPECT_NE(mrt.find("layout(location = 1) out vec4"), std::string::npos) << mrt;
    EXPECT_NE(mrt.find("gl_FragDepth = 0.5"), std::string::npos) << mrt;
    EXPECT_NE(mrt.find("gl_FragCoord"), std::string::npos) << mrt;
    const std::string& rgb = result->techniques[0].passes[1].pixelShader.glsl;
    EXPECT_NE(rgb.find("clamp(1.0, 0.0, 1.0)"), std::string::npos) << "no alpha written: alpha 1 is tested" << rgb;
    for (const EffectPass& pass : result->techniques[0].passes) {
        std::string log;
        EXPECT_TRUE(glslLinks(pass, log)) << log;
    }
}

TEST(EffectPasses, CompileArgumentsBindUniformParameters)
{
    Compiled result = compileText(
        "float4 tint;\n"
        "void vs(float4 p : POSITION, uniform float scale, out float4 o : POSITION, out float2 uv : TEXCOORD0)\n"
        "{ o = p * scale; uv = p.xy; }\n"
        "float4 ps(float2 uv : TEXCOORD0, uniform bool lit, uniform float k) : COLOR\n"
        "{ return lit ? tint * k : float4(uv, 0, 1); }\n"
        "technique t {\n"
        "  pass lit { VertexShader = compile vs_2_0 vs(2.0); PixelShader = compile ps_2_0 ps(true, 0.5); }\n"
        "  pass unlit { VertexShader = compile vs_2_0 vs(2.0); PixelShader = compile ps_2_0 ps(false, 1); }\n"
        "}\n");
    ASSERT_TRUE(result) << result.messages();
    const EffectTechnique& technique = result->techniques[0];
    const EffectPass& lit = technique.passes[0];
    const EffectPass& unlit = technique.passes[1];
    EXPECT_EQ(lit.pixelShader.entryPoint, "ps");
    EXPECT_NE(lit.vertexShader.glsl.find("gl_Position"), std::string::npos) << lit.vertexShader.glsl;
    EXPECT_NE(lit.pixelShader.glsl.find("tint"), std::string::npos) << lit.pixelShader.glsl;
    EXPECT_EQ(unlit.pixelShader.glsl.find("tint"), std::string::npos) << "false folds the tint away";
    EXPECT_EQ(lit.vertexShader.glsl, unlit.vertexShader.glsl);
    for (const EffectPass& pass : technique.passes) {
        std::string log;
        EXPECT_TRUE(glslLinks(pass, log)) << log;
    }
}

// --- Preprocessing ----------------------------------------------------------

TEST(EffectPreprocessing, DefinesSelectCode)
{
    const std::string source =
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps() : COLOR { return TELM_VER / 100.0; }\n"
        "#ifdef TELM\n"
        "technique telm { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n"
        "#else\n"
        "technique other { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n"
        "#endif\n";
    Compiled result = compileText(source);
    ASSERT_TRUE(result) << result.messages();
    EXPECT_EQ(result->techniques.at(0).name, "telm");
    NoEffectIncludes none;
    const EffectDefine onlyVersion[] = {{"TELM_VER", "100"}};
    Compiled without = compileEffect(source, "test.fx", onlyVersion, none);
    ASSERT_TRUE(without) << without.messages();
    EXPECT_EQ(without->techniques.at(0).name, "other");
}

TEST(EffectPreprocessing, LinesSurviveCommentsContinuationsAndIncludes)
{
    TestIncludes includes;
    includes.files["a.fxh"] = "// a\n\nfloat4 fromA;\n";
    Compiled result = compileText("/* one\n"
                                  "   two\n"
                                  "   three */\n"
                                  "#define PLUS(a, b) \\\n"
                                  "    ((a) + (b))\n"
                                  "#include \"a.fxh\"\n"
                                  "float4 vs(float4 p : POSITION) : POSITION { return PLUS(p, fromA); }\n"
                                  "float4 ps() : COLOR { return 1; }\n"
                                  "float4 afterInclude;\n"
                                  "technique t { pass p { VertexShader = compile vs_2_0 vs();\n"
                                  "  PixelShader = compile ps_2_0 ps(); } }\n",
                                  includes);
    ASSERT_TRUE(result) << result.messages();
    const EffectDescription& effect = result.value();
    EXPECT_EQ(parameter(effect, "fromA").location.file, "a.fxh");
    EXPECT_EQ(parameter(effect, "fromA").location.line, 3);
    EXPECT_EQ(parameter(effect, "afterInclude").location.file, "test.fx");
    EXPECT_EQ(parameter(effect, "afterInclude").location.line, 9);
    EXPECT_EQ(effect.techniques[0].passes[0].pixelShader.location.line, 11);
}

TEST(EffectPreprocessing, ByteOrderMarksAndWindowsLineEndings)
{
    TestIncludes includes;
    includes.files["a.fxh"] = "\xEF\xBB\xBF"
                              "float4 fromA;\r\n";
    std::string source = "\xEF\xBB\xBF"
                         "#include \"a.fxh\"\r\n"
                         + readSample("ink.fx");
    for (size_t at = 0; (at = source.find('\n', at)) != std::string::npos; at += 2) source.replace(at, 1, "\r\n");
    Compiled result = compileText(source, includes);
    ASSERT_TRUE(result) << result.messages();
    EXPECT_EQ(parameter(result.value(), "fromA").location.line, 1);
    EXPECT_EQ(parameter(result.value(), "texelSize").location.line, 34) << "line 33 of ink.fx, one line down";
    Compiled stray = compileText("float4 a;\n\x01 float4 b;\n");
    expectErrorAt(stray, "test.fx", 2, "unexpected");
}

TEST(EffectPreprocessing, EmptyIncludeFileIsFine)
{
    TestIncludes includes;
    includes.files["empty.fxh"] = "";
    Compiled result = compileText(
        "#include \"empty.fxh\"\n"
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps() : COLOR { return 1; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n",
        includes);
    ASSERT_TRUE(result) << result.messages();
}

// --- Broken effects: messages at the right line -----------------------------

TEST(EffectErrors, HlslErrorPointsIntoTheSource)
{
    Compiled result = compileText(
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "\n"
        "float4 ps() : COLOR\n"
        "{\n"
        "    return undefinedThing;\n"
        "}\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n");
    expectErrorAt(result, "test.fx", 5, "undefinedThing");
    expectWellFormedMessages(result.messages());
    EXPECT_NE(result.messages().find("test.fx:7: error: pixel shader 'ps' failed to compile"), std::string::npos)
        << result.messages();
}

TEST(EffectErrors, HlslErrorInsideAnIncludePointsIntoTheInclude)
{
    TestIncludes includes;
    includes.files["helpers.fxh"] = "// helpers\nfloat helper(float x)\n{\n    return x +* 2;\n}\n";
    Compiled result = compileText(
        "#include \"helpers.fxh\"\n"
        "float4 vs(float4 p : POSITION) : POSITION { return p * helper(1); }\n"
        "float4 ps() : COLOR { return 1; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n",
        includes);
    expectErrorAt(result, "helpers.fxh", 4, "");
    expectWellFormedMessages(result.messages());
}

TEST(EffectErrors, UnknownStateNamesItsLine)
{
    Compiled result = compileText("float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                                  "float4 ps() : COLOR { return 1; }\n"
                                  "technique t\n"
                                  "{\n"
                                  "    pass p\n"
                                  "    {\n"
                                  "        VertexShader = compile vs_2_0 vs();\n"
                                  "        PixelShader = compile ps_2_0 ps();\n"
                                  "        FillMode = Wireframe;\n"
                                  "    }\n"
                                  "}\n");
    expectErrorAt(result, "test.fx", 9, "unknown state 'FillMode'");
}

TEST(EffectErrors, CommentsAboveAnErrorKeepItsLine)
{
    // Each prefix is three lines long, so the bad state is on line 7.
    const char* const prefixes[] = {
        "/* a block comment\n   over three\n   lines */\n",
        "// one\n// two\n// three\n",
        "/* one */ /* and\n two */\n// three\n",
    };
    for (const char* prefix : prefixes) {
        Compiled result = compileText(std::string(prefix)
                                      + "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                                        "float4 ps() : COLOR { return 1; }\n"
                                        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = "
                                        "compile ps_2_0 ps();\n"
                                        "    FillMode = Wireframe; } }\n");
        expectErrorAt(result, "test.fx", 7, "unknown state 'FillMode'");
    }
}

TEST(EffectErrors, LineDirectivesAtTheEdgesOfAnIntStillGiveMessages)
{
    const std::string effect = "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                               "float4 ps() : COLOR { return 1; }\n"
                               "technique t { pass p {\n"
                               "    VertexShader = compile vs_2_0 vs();\n"
                               "    PixelShader = compile ps_2_0 ps();\n"
                               "    FillMode = Wireframe; } }\n";
    for (const char* number : {"2147483647", "-2147483648", "2147483648", "1073741825"}) {
        Compiled result = compileText(std::string("#line ") + number + "\n" + effect);
        EXPECT_FALSE(result) << number;
        EXPECT_FALSE(result.messages().empty()) << number;
    }
    // The largest number kept still numbers the lines after it.
    Compiled kept = compileText("#line 1073741824\n" + effect);
    EXPECT_NE(kept.messages().find(":1073741829: "), std::string::npos) << kept.messages();
}

TEST(EffectErrors, BadStateValuesNameTheirLine)
{
    const std::string head = "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                             "float4 ps() : COLOR { return 1; }\n"
                             "technique t { pass p {\n"
                             "VertexShader = compile vs_2_0 vs();\n";
    struct Case {
        const char* assignment;
        const char* words;
    };
    const Case cases[] = {
        {"ZFunc = Sideways;", "'Sideways' is not a value of ZFunc"},
        {"CullMode = LessEqual;", "'LessEqual' is not a value of CullMode"},
        {"AlphaRef = 256;", "out of range"},
        {"ZWriteEnable = 2;", "out of range"},
        {"SrcBlend = <someParameter>;", "not a value of SrcBlend"},
        {"ColorWriteEnable = RED | PURPLE;", "not a value of ColorWriteEnable"},
        {"Texture[0] = <t>;", "indexed state"},
        {"ZEnable = ;", "needs a value"},
        {"VertexShader = compile vs_2_0 vs();", "assigned twice"},
        {"PixelShader = compile vs_2_0 ps();", "not a Direct3D 9 pixel shader profile"},
        {"PixelShader = compile ps_2_0 ps(true);", "no definition of 'ps' has 1 uniform parameters"},
        {"PixelShader = compile ps_2_0 ps(,);", "an argument of 'ps' is empty"},
        {"PixelShader = NULL;", "fixed-function"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.assignment);
        Compiled result = compileText(head + c.assignment + "\n} }\n");
        expectErrorAt(result, "test.fx", 5, c.words);
    }
}

TEST(EffectErrors, SamplerStateFaults)
{
    Compiled unknown = compileText("texture t;\n"
                                   "sampler2D s = sampler_state {\n"
                                   "    Texture = <t>;\n"
                                   "    SRGBTexture = true;\n"
                                   "};\n");
    expectErrorAt(unknown, "test.fx", 4, "unknown sampler state 'SRGBTexture'");
    Compiled notTexture = compileText("float4 t;\nsampler2D s = sampler_state { Texture = <t>; };\n");
    expectErrorAt(notTexture, "test.fx", 2, "not a texture parameter");
    Compiled badFilter =
        compileText("texture t;\nsampler2D s = sampler_state {\n Texture = <t>;\n MinFilter = Wrap; };\n");
    expectErrorAt(badFilter, "test.fx", 4, "not a value of MinFilter");
}

TEST(EffectErrors, StructuralFaults)
{
    struct Case {
        std::string source;
        int line;
        const char* words;
    };
    const std::string shaders = "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                                "float4 ps() : COLOR { return 1; }\n";
    const Case cases[] = {
        {"", 1, "no technique"},
        {shaders, 2, "no technique"},
        {shaders + "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }\n",
         3, "technique 't' is never closed"},
        {shaders + "technique t { pass p {\n VertexShader = compile vs_2_0 vs(); } }\n", 3, "no pixel shader"},
        {shaders
             + "technique t { pass p { VertexShader = compile vs_2_0 vs();\n PixelShader = compile ps_2_0 nope(); } "
               "}\n",
         4, "'nope' is not defined"},
        {"float4 x = float4(1, 2);\n", 1, "has 2 values where 4 are needed"},
        {"float4 x = someOther * 2;\n", 1, "not a constant expression"},
        {"struct S { float a; };\nS light;\n", 2, "struct parameters are not supported"},
        {"\n\nmystery thing;\n", 3, "unknown type 'mystery'"},
        {"float4 a;\nfloat4 a;\n", 2, "declared twice"},
        {"texture a;\nfloat4 b;\nfloat a;\n", 3, "declared twice (first at line 1)"},
        {"float4 a;\nsampler2D s;\nsampler2D s;\n", 3, "declared twice (first at line 2)"},
        {"float x[0];\n", 1, "array size"},
        {"cbuffer b { float4 x; };\n", 1, "not supported"},
        {"float4 f(float4 p : POSITION) : POSITION\n{\n return p;\n", 2, "'{' is never closed"},
        {"float4 a\n", 2, "expected ';'"},
        {"\n#error this effect is broken\n", 2, "this effect is broken"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Compiled result = compileText(c.source);
        expectErrorAt(result, "test.fx", c.line, c.words);
        expectWellFormedMessages(result.messages());
    }
}

TEST(EffectErrors, InterfaceFaults)
{
    Compiled unwritten = compileText(
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps(float2 uv : TEXCOORD5) : COLOR { return uv.x; }\n"
        "technique t { pass p {\n VertexShader = compile vs_2_0 vs();\n PixelShader = compile ps_2_0 ps(); } }\n");
    expectErrorAt(unwritten, "test.fx", 5, "TEXCOORD5 is not written by the vertex shader");
    Compiled badInput = compileText(
        "float4 vs(float4 p : POSITION, float s : PSIZE) : POSITION { return p * s; }\n"
        "float4 ps() : COLOR { return 1; }\n"
        "technique t { pass p {\n VertexShader = compile vs_2_0 vs();\n PixelShader = compile ps_2_0 ps(); } }\n");
    expectErrorAt(badInput, "test.fx", 4, "vertex input semantic PSIZE0 is not supported");
    Compiled dx10 = compileText(
        "Texture2D t; SamplerState s;\n"
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps(float2 uv : TEXCOORD0) : COLOR { return t.Sample(s, uv); }\n"
        "float4 vs2(float4 p : POSITION, out float2 uv : TEXCOORD0) : POSITION { uv = p.xy; return p; }\n"
        "technique t { pass p {\n VertexShader = compile vs_2_0 vs2();\n PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_FALSE(dx10);
    expectWellFormedMessages(dx10.messages());
}

TEST(EffectErrors, MissingIncludeNamesTheDirective)
{
    Compiled result = compileText("float4 a;\n#include \"missing.fxh\"\n");
    expectErrorAt(result, "test.fx", 2, "missing.fxh");
    expectWellFormedMessages(result.messages());
}

TEST(EffectErrors, RecursiveIncludeStopsWithAMessage)
{
    TestIncludes includes;
    includes.files["self.fxh"] = "float4 x;\n#include \"self.fxh\"\n";
    Compiled result = compileText("#include \"self.fxh\"\n", includes);
    ASSERT_FALSE(result);
    EXPECT_NE(result.messages().find("deeper than 32"), std::string::npos) << result.messages().substr(0, 400);
    EXPECT_LE(includes.requested.size(), size_t(maxEffectIncludeDepth) + 1);
}

TEST(EffectErrors, IncludeNestingLimitIsExact)
{
    const std::string shaders =
        "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 ps() : COLOR { return 1; }\n"
        "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n";
    for (int depth : {maxEffectIncludeDepth, maxEffectIncludeDepth + 1}) {
        TestIncludes includes;
        for (int i = 1; i < depth; ++i)
            includes.files["level" + std::to_string(i) + ".fxh"] =
                "#include \"level" + std::to_string(i + 1) + ".fxh\"\n";
        includes.files["level" + std::to_string(depth) + ".fxh"] = "float4 deepest;\n";
        Compiled result = compileText("#include \"level1.fxh\"\n" + shaders, includes);
        if (depth <= maxEffectIncludeDepth) {
            ASSERT_TRUE(result) << result.messages();
            EXPECT_EQ(parameter(result.value(), "deepest").location.file, "level" + std::to_string(depth) + ".fxh");
        } else {
            expectErrorAt(result, "level" + std::to_string(maxEffectIncludeDepth) + ".fxh", 1, "deeper than 32");
        }
    }
}

// Truncated and damaged copies of a real effect: a result or messages, never
// a crash, and every message is located.
TEST(EffectErrors, TruncatedAndDamagedSourcesFailCleanly)
{
    const std::string source = readSample("ink.fx");
    ASSERT_FALSE(source.empty());
    std::mt19937 random(1234);
    for (int round = 0; round < 24; ++round) {
        std::string damaged = source.substr(0, random() % source.size());
        if (round % 2) {
            damaged = source;
            for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = "{}<>;:=\"#(\n"[random() % 11];
        }
        Compiled result = compileText(damaged);
        if (!result) expectWellFormedMessages(result.messages());
    }
}

TEST(EffectErrors, MessagesEndWithoutANewlineAndTimingsAreReported)
{
    TestIncludes includes;
    EffectCompileTimings timings;
    timings.preprocess = timings.frontEnd = timings.crossCompile = -1.0;
    Compiled failed = compileEffect("float4 a;\nfloat4 a;\n", "test.fx", demoDefines, includes, &timings);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.messages().rfind("test.fx:2: error: ", 0), 0u) << failed.messages();
    EXPECT_NE(failed.messages().back(), '\n');
    expectWellFormedMessages(failed.messages());
    // Failed in the parser: the steps it reached are timed, the rest are zero.
    EXPECT_GE(timings.preprocess, 0.0);
    EXPECT_GE(timings.frontEnd, 0.0);
    EXPECT_EQ(timings.crossCompile, 0.0);

    Compiled result = compileEffect(readSample("cutout.fx"), "cutout.fx", demoDefines, includes, &timings);
    ASSERT_TRUE(result) << result.messages();
    EXPECT_TRUE(result.messages().empty());
    EXPECT_GT(timings.frontEnd, 0.0);
    EXPECT_GT(timings.crossCompile, 0.0);
}

TEST(EffectStructure, KeywordsStatesAndSemanticsIgnoreLetterCase)
{
    Compiled result = compileText(
        "TEXTURE tex;\n"
        "sampler s = SAMPLER_STATE { texture = <tex>; MINFILTER = linear; addressu = D3DTADDRESS_clamp; };\n"
        "float4 vs(float4 p : position) : Position { return p; }\n"
        "float4 ps() : color { return tex2D(s, float2(0, 0)); }\n"
        "TECHNIQUE t { PASS p { zenable = TRUE; cullmode = d3dcull_none;\n"
        "  vertexshader = compile VS_2_0 vs(); PIXELSHADER = compile Ps_2_0 ps(); } }\n");
    ASSERT_TRUE(result) << result.messages();
    const EffectParameter& sampler = parameter(result.value(), "s");
    EXPECT_EQ(sampler.textureParameter, result->findParameter("tex"));
    ASSERT_EQ(sampler.samplerStates.size(), 2u);
    EXPECT_EQ(sampler.samplerStates[0].state, SamplerState::MinFilter);
    EXPECT_EQ(sampler.samplerStates[0].value, uint32_t(TextureFilter::Linear));
    EXPECT_EQ(sampler.samplerStates[1].state, SamplerState::AddressU);
    EXPECT_EQ(sampler.samplerStates[1].value, uint32_t(TextureAddress::Clamp));
    const EffectPass& pass = result->techniques.at(0).passes.at(0);
    ASSERT_EQ(pass.states.size(), 2u);
    EXPECT_EQ(pass.states[0].state, RenderState::ZEnable);
    EXPECT_EQ(pass.states[0].value, 1u);
    EXPECT_EQ(pass.states[1].state, RenderState::CullMode);
    EXPECT_EQ(pass.states[1].value, uint32_t(Cull::None));
    ASSERT_EQ(pass.vertexInputs.size(), 1u);
    EXPECT_EQ(pass.vertexInputs[0].semantic, "POSITION");
}

// --- Constant expressions ------------------------------------------------------

namespace {

// The value of text as one whole constant expression, or nothing.
std::optional<std::vector<float>> constant(std::string_view text)
{
    detail::LexedEffect lexed = detail::lexEffect(text, "test.fx");
    lexed.tokens.pop_back(); // End
    size_t at = 0;
    detail::ConstantValue value;
    if (!detail::evaluateConstant(lexed.tokens, at, value) || at != lexed.tokens.size()) return std::nullopt;
    return value;
}

std::optional<detail::NumericType> typeNamed(std::string_view text)
{
    detail::LexedEffect lexed = detail::lexEffect(text, "test.fx");
    lexed.tokens.pop_back();
    return detail::numericType(lexed.tokens);
}

using Floats = std::vector<float>;

} // namespace

TEST(ConstantEvaluator, NumbersInTheirWrittenForms)
{
    EXPECT_EQ(constant("2"), Floats{2.0f});
    EXPECT_EQ(constant("1.5f"), Floats{1.5f});
    EXPECT_EQ(constant(".25"), Floats{0.25f});
    EXPECT_EQ(constant("3u"), Floats{3.0f});
    EXPECT_EQ(constant("0x10"), Floats{16.0f});
    EXPECT_EQ(constant("0x1F"), Floats{31.0f}); // F is a hexadecimal digit, not a float suffix
    EXPECT_EQ(constant("0xffu"), Floats{255.0f});
    EXPECT_EQ(constant("1e2"), Floats{100.0f});
    EXPECT_EQ(constant("1e-3"), Floats{1e-3f});
    EXPECT_EQ(constant("2.5E+1f"), Floats{25.0f});
    EXPECT_EQ(constant("true"), Floats{1.0f});
    EXPECT_EQ(constant("false"), Floats{0.0f});
}

TEST(ConstantEvaluator, PrecedenceSignsAndParentheses)
{
    EXPECT_EQ(constant("1 + 2 * 3"), Floats{7.0f});
    EXPECT_EQ(constant("(1 + 2) * 3"), Floats{9.0f});
    EXPECT_EQ(constant("8 / 2 / 2"), Floats{2.0f}) << "left to right";
    EXPECT_EQ(constant("1 - 2 - 3"), Floats{-4.0f}) << "left to right";
    EXPECT_EQ(constant("-(2 - 3)"), Floats{1.0f});
    EXPECT_EQ(constant("- -2"), Floats{2.0f});
    EXPECT_EQ(constant("1.0 / 640"), Floats{1.0f / 640.0f});
}

TEST(ConstantEvaluator, VectorsListsAndConstructors)
{
    EXPECT_EQ(constant("float3(1, 2, 3) * 2"), (Floats{2, 4, 6}));
    EXPECT_EQ(constant("{1, 2} + {10, 20}"), (Floats{11, 22}));
    EXPECT_EQ(constant("1 - float2(1, 2)"), (Floats{0, -1}));
    EXPECT_EQ(constant("{ float2(1, 2), 3, }"), (Floats{1, 2, 3})) << "flattened, trailing comma";
    EXPECT_EQ(constant("float4x4(1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1)").value_or(Floats{}).size(), 16u);
    EXPECT_EQ(constant("{}"), Floats{});
    EXPECT_FALSE(constant("float2(1, 2) + float3(1, 2, 3)")) << "sizes differ";
    EXPECT_FALSE(constant("texture(1)")) << "not a numeric type";
}

TEST(ConstantEvaluator, RejectsWhatIsNotConstant)
{
    EXPECT_FALSE(constant("a + 1"));
    EXPECT_FALSE(constant("1 +"));
    EXPECT_FALSE(constant("(1"));
    EXPECT_FALSE(constant("{1, 2"));
    EXPECT_FALSE(constant("1.5.2"));
    EXPECT_FALSE(constant("\"text\""));
    EXPECT_FALSE(constant("1 2")) << "stops after the first expression";
}

TEST(ConstantEvaluator, NestingIsBounded)
{
    auto nested = [](int depth) { return std::string(size_t(depth), '(') + "1" + std::string(size_t(depth), ')'); };
    EXPECT_EQ(constant(nested(20)), Floats{1.0f});
    EXPECT_FALSE(constant(nested(5000))) << "refused, not a stack overflow";
    EXPECT_FALSE(constant(std::string(5000, '-') + "1"));
}

TEST(ConstantEvaluator, NumericTypeNames)
{
    auto matches = [](std::string_view text, ParameterType type, uint32_t rows, uint32_t columns, bool isMatrix) {
        std::optional<detail::NumericType> t = typeNamed(text);
        return t && t->type == type && t->rows == rows && t->columns == columns && t->isMatrix == isMatrix;
    };
    EXPECT_TRUE(matches("float", ParameterType::Float, 1, 1, false));
    EXPECT_TRUE(matches("half2", ParameterType::Float, 1, 2, false));
    EXPECT_TRUE(matches("int4", ParameterType::Int, 1, 4, false));
    EXPECT_TRUE(matches("dword", ParameterType::Int, 1, 1, false));
    EXPECT_TRUE(matches("bool3", ParameterType::Bool, 1, 3, false));
    EXPECT_TRUE(matches("float4x3", ParameterType::Float, 4, 3, true));
    EXPECT_TRUE(matches("vector", ParameterType::Float, 1, 4, false));
    EXPECT_TRUE(matches("matrix", ParameterType::Float, 4, 4, true));
    EXPECT_TRUE(matches("vector<int, 3>", ParameterType::Int, 1, 3, false));
    EXPECT_TRUE(matches("matrix<float, 2, 3>", ParameterType::Float, 2, 3, true));
    EXPECT_FALSE(typeNamed("float5"));
    EXPECT_FALSE(typeNamed("float0"));
    EXPECT_FALSE(typeNamed("float4x5"));
    EXPECT_FALSE(typeNamed("vector<float, 5>"));
    EXPECT_FALSE(typeNamed("Float"));
    EXPECT_FALSE(typeNamed("sampler2D"));
}

// --- HLSL per entry point ------------------------------------------------------

namespace {

struct Parsed {
    detail::ParsedEffect effect;
    std::string messages;
    bool ok = false;
};

Parsed parse(std::string_view text)
{
    Parsed parsed;
    parsed.ok = detail::parseEffect(detail::lexEffect(text, "test.fx"), parsed.effect, parsed.messages);
    return parsed;
}

bool mentions(const std::string& hlsl, const std::string& word)
{
    return std::regex_search(hlsl, std::regex("\\b" + word + "\\b"));
}

} // namespace

TEST(HlslWriter, EachEntryPointGetsOnlyTheFunctionsItReaches)
{
    Parsed parsed = parse("float4 tint;\n"
                          "float helper(float x) { return x; }\n"
                          "float helper(float2 x) { return x.x; }\n"
                          "float shade(float x) { return helper(x); }\n"
                          "float pixelOnly(float2 uv) { return ddx(uv.x); }\n"
                          "float fromStatic() { return 2; }\n"
                          "static float scale = fromStatic();\n"
                          "float4 vs(float4 p : POSITION) : POSITION { return p * shade(scale); }\n"
                          "float4 ps(float2 uv : TEXCOORD0) : COLOR { return tint * pixelOnly(uv); }\n"
                          "technique t { pass p { VertexShader = compile vs_2_0 vs();\n"
                          "                       PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.messages;
    std::string vertex = detail::writeHlsl(parsed.effect, "vs");
    EXPECT_TRUE(mentions(vertex, "shade"));
    EXPECT_NE(vertex.find("float helper(float x)"), std::string::npos) << "every overload of a reached name";
    EXPECT_NE(vertex.find("float helper(float2 x)"), std::string::npos) << vertex;
    EXPECT_TRUE(mentions(vertex, "fromStatic")) << "called by a static initialiser";
    EXPECT_TRUE(mentions(vertex, "tint")) << "declarations are always kept";
    EXPECT_FALSE(mentions(vertex, "pixelOnly")) << vertex;
    EXPECT_FALSE(mentions(vertex, "ps")) << vertex;

    std::string pixel = detail::writeHlsl(parsed.effect, "ps");
    EXPECT_TRUE(mentions(pixel, "pixelOnly"));
    EXPECT_FALSE(mentions(pixel, "shade")) << pixel;
    EXPECT_FALSE(mentions(pixel, "vs")) << pixel;
}

TEST(HlslWriter, LineDirectivesPointIntoTheSource)
{
    Parsed parsed = parse("float4 a;\n"
                          "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"
                          "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                          "float4 ps() : COLOR { return a; }\n"
                          "technique t { pass p { VertexShader = compile vs_2_0 vs();\n"
                          "                       PixelShader = compile ps_2_0 ps(); } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.messages;
    std::string hlsl = detail::writeHlsl(parsed.effect, "vs");
    // Line 1 is where the text starts; the 40-line gap is a directive, not 40
    // empty lines.
    EXPECT_NE(hlsl.find("#line 1 \"test.fx\""), std::string::npos) << hlsl;
    EXPECT_NE(hlsl.find("#line 42 \"test.fx\"\n float4 vs"), std::string::npos) << hlsl;
}

TEST(HlslWriter, EntryWrapperBindsCompileArgumentsToUniformParameters)
{
    Parsed parsed = parse("float4 ps(uniform bool lit, float2 uv : TEXCOORD0, uniform float k) : COLOR\n"
                          "{ return lit ? k : uv.x; }\n"
                          "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                          "technique t { pass p { VertexShader = compile vs_2_0 vs();\n"
                          "                       PixelShader = compile ps_2_0 ps(true, 2.0 * 3); } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.messages;
    const detail::ParsedShader& shader = parsed.effect.techniques.at(0).passes.at(0).pixelShader;
    detail::HlslChunk wrapper;
    std::string error;
    ASSERT_TRUE(detail::makeEntryWrapper(parsed.effect, shader, "entry", wrapper, error)) << error;
    EXPECT_EQ(wrapper.functionName, "entry");
    std::string text;
    for (const detail::Token& t : wrapper.tokens) text += t.text + " ";
    EXPECT_EQ(text, "float4 entry ( float2 uv : TEXCOORD0 ) : COLOR { return ps ( (true) , uv , (2.0 * 3) ) ; } ");
    std::string hlsl = detail::writeHlsl(parsed.effect, "entry", &wrapper);
    EXPECT_TRUE(mentions(hlsl, "entry"));
    EXPECT_TRUE(mentions(hlsl, "ps")) << "reached through the wrapper";

    detail::ParsedShader tooMany = shader;
    tooMany.arguments.push_back(tooMany.arguments.back());
    detail::HlslChunk unused;
    EXPECT_FALSE(detail::makeEntryWrapper(parsed.effect, tooMany, "entry", unused, error));
    EXPECT_NE(error.find("no definition of 'ps' has 3 uniform parameters"), std::string::npos) << error;
}

// --- Uniform packing ---------------------------------------------------------

TEST(UniformPacking, MatricesTransposedOrNot)
{
    const float m[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    UniformMember member;
    member.offset = 16;
    member.size = 64;
    member.rows = member.columns = 4;
    member.matrixStride = 16;
    std::vector<std::byte> block(96, std::byte{0xAB});
    member.writeTransposed = false;
    packUniform(member, m, block);
    float out[16];
    std::memcpy(out, block.data() + 16, 64);
    EXPECT_EQ(std::vector<float>(out, out + 16), std::vector<float>(m, m + 16));
    member.writeTransposed = true;
    packUniform(member, m, block);
    std::memcpy(out, block.data() + 16, 64);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out[c * 4 + r], m[r * 4 + c]);
    for (size_t i : {0u, 15u, 80u, 95u}) EXPECT_EQ(block[i], std::byte{0xAB}) << "bytes outside the member stay";
}

TEST(UniformPacking, PaddedMatrixArraysAndScalars)
{
    // float3x3, column_major: three vectors of stride 16, holding columns.
    UniformMember m3;
    m3.rows = m3.columns = 3;
    m3.matrixStride = 16;
    m3.size = 48;
    m3.writeTransposed = true;
    std::vector<std::byte> block(48, std::byte{0});
    const float values[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    packUniform(m3, values, block);
    float out[12];
    std::memcpy(out, block.data(), 48);
    EXPECT_EQ(std::vector<float>(out, out + 12), (std::vector<float>{1, 4, 7, 0, 2, 5, 8, 0, 3, 6, 9, 0}));

    // float2 a[3] with the 16-byte array stride; only two elements given.
    UniformMember array;
    array.columns = 2;
    array.elements = 3;
    array.arrayStride = 16;
    array.size = 48;
    std::vector<std::byte> arrayBlock(48, std::byte{0});
    const float two[4] = {1, 2, 3, 4};
    packUniform(array, two, arrayBlock);
    std::memcpy(out, arrayBlock.data(), 48);
    EXPECT_EQ(std::vector<float>(out, out + 12), (std::vector<float>{1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0}));

    UniformMember flag;
    flag.scalar = UniformScalar::Bool;
    flag.offset = 4;
    flag.size = 4;
    UniformMember count = flag;
    count.scalar = UniformScalar::Int;
    count.offset = 8;
    std::vector<std::byte> small(12, std::byte{0});
    const float half[1] = {0.5f};
    const float seven[1] = {7.9f};
    packUniform(flag, half, small);
    packUniform(count, seven, small);
    uint32_t flagValue = 0;
    int32_t countValue = 0;
    std::memcpy(&flagValue, small.data() + 4, 4);
    std::memcpy(&countValue, small.data() + 8, 4);
    EXPECT_EQ(flagValue, 1u);
    EXPECT_EQ(countValue, 7);
    const float huge[1] = {1e30f};
    packUniform(count, huge, small);
    std::memcpy(&countValue, small.data() + 8, 4);
    EXPECT_EQ(countValue, 0) << "out of range becomes 0, not undefined";

    // A member that would run past the buffer writes nothing there.
    UniformMember late;
    late.columns = 4;
    late.offset = 8;
    std::vector<std::byte> shortBlock(12, std::byte{0});
    packUniform(late, two, shortBlock);
    float first = 0;
    std::memcpy(&first, shortBlock.data() + 8, 4);
    EXPECT_EQ(first, 1.0f);
}

// --- State names and values -------------------------------------------------

TEST(EffectStateNames, NamesAndValuesIgnoreCaseAndPrefixes)
{
    EXPECT_EQ(findRenderStateName("zwriteenable"), RenderState::ZWriteEnable);
    EXPECT_EQ(findRenderStateName("ALPHAREF"), RenderState::AlphaRef);
    EXPECT_FALSE(findRenderStateName("StencilEnable"));
    EXPECT_EQ(findSamplerStateName("addressw"), SamplerState::AddressW);
    std::string error;
    EXPECT_EQ(parseRenderStateValue(RenderState::ZFunc, "lessequal", error), value(Cmp::LessEqual));
    EXPECT_EQ(parseRenderStateValue(RenderState::ZFunc, "D3DCMP_NOTEQUAL", error), value(Cmp::NotEqual));
    EXPECT_EQ(parseRenderStateValue(RenderState::ZEnable, "TRUE", error), 1u);
    EXPECT_EQ(parseRenderStateValue(RenderState::ZEnable, "UseW", error), 2u);
    EXPECT_EQ(parseRenderStateValue(RenderState::AlphaRef, "255", error), 255u);
    EXPECT_FALSE(parseRenderStateValue(RenderState::AlphaRef, "-1", error));
    EXPECT_FALSE(parseRenderStateValue(RenderState::AlphaRef, "1.5", error));
    EXPECT_EQ(parseRenderStateValue(RenderState::ColorWriteEnable, "0xF", error), 15u);
    EXPECT_EQ(parseRenderStateValue(RenderState::ColorWriteEnable, "Alpha|red", error), 9u);
    EXPECT_FALSE(parseRenderStateValue(RenderState::ColorWriteEnable, "RED |", error));
    EXPECT_FALSE(parseRenderStateValue(RenderState::CullMode, "D3DCMP_LESS", error)) << "prefix of another state";
    EXPECT_EQ(parseSamplerStateValue(SamplerState::MinFilter, "D3DTEXF_ANISOTROPIC", error), 3u);
    EXPECT_EQ(renderStateValueName(RenderState::SrcBlend, value(Blend::InvSrcAlpha)), "InvSrcAlpha");
    EXPECT_EQ(renderStateValueName(RenderState::ZWriteEnable, 0), "false");
    EXPECT_EQ(defaultSamplerState(SamplerState::AddressU), value(TextureAddress::Wrap));
    EXPECT_EQ(defaultSamplerState(SamplerState::MipFilter), value(TextureFilter::None));
}
