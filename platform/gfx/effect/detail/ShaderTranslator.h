// glslang and SPIRV-Cross behind two calls: effect HLSL to SPIR-V for one
// entry point, and SPIR-V to GLSL 4.50 with the interface fixed up for GL
// (locations by semantic, explicit bindings, alpha test) and reflected.
#pragma once

#include "platform/gfx/effect/EffectCompiler.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ORV::Gfx::detail {

// Runs glslang's preprocessor over the effect source with the defines and the
// include handler. The output marks include boundaries with #line directives.
bool preprocessEffect(std::string_view source, const std::string& sourceName, std::span<const EffectDefine> defines,
                      EffectIncludeHandler& includes, std::string& output, std::string& messages);

// Compiles the HLSL of one entry point. Messages from glslang keep the file
// and line of the #line directives in hlsl; lines without one get `at`.
bool compileHlsl(const std::string& hlsl, ShaderStage stage, const std::string& entryPoint, const SourceLocation& at,
                 std::vector<uint32_t>& spirv, std::string& messages);

struct CrossCompiled {
    std::string glsl;
    std::vector<VertexInput> vertexInputs; // vertex stage
    std::vector<std::string> outputSemantics; // vertex stage: varyings by location ("TEXCOORD0")
    bool hasUniforms = false;
    UniformBlockLayout uniforms;
    std::vector<std::string> samplers; // sampler parameter names the stage reads
};

struct CrossContext {
    const std::vector<EffectParameter>* parameters = nullptr;
    std::function<int(const std::string&)> findParameter;
    std::function<int(const std::string&)> samplerBinding; // -1 when name is no sampler parameter
    const std::vector<std::string>* vertexOutputs = nullptr; // pixel stage: the paired vertex shader's
};

// SPIR-V to GLSL 4.50 core. On failure error holds one message (no location).
bool crossCompile(std::vector<uint32_t> spirv, ShaderStage stage, const CrossContext& context, CrossCompiled& out,
                  std::string& error);

// "TEXCOORD1" -> ("TEXCOORD", 1); "color" -> ("COLOR", 0).
std::pair<std::string, uint32_t> splitSemantic(std::string_view semantic);

} // namespace ORV::Gfx::detail
