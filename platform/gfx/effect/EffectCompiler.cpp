#include "platform/gfx/effect/EffectCompiler.h"

#include "platform/cpu/LargeStack.h"
#include "platform/gfx/effect/detail/EffectLexer.h"
#include "platform/gfx/effect/detail/EffectParser.h"
#include "platform/gfx/effect/detail/HlslWriter.h"
#include "platform/gfx/effect/detail/ShaderTranslator.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

namespace ORV::Gfx {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool sameLayout(const UniformBlockLayout& a, const UniformBlockLayout& b)
{
    if (a.size != b.size || a.members.size() != b.members.size()) return false;
    for (size_t i = 0; i < a.members.size(); ++i) {
        const UniformMember& x = a.members[i];
        const UniformMember& y = b.members[i];
        if (x.parameter != y.parameter || x.offset != y.offset || x.size != y.size || x.arrayStride != y.arrayStride
            || x.matrixStride != y.matrixStride || x.spirvRowMajor != y.spirvRowMajor || x.scalar != y.scalar)
            return false;
    }
    return true;
}

// Compiles the shaders of all passes. A shader used by several passes is
// compiled once: glslang results by stage and entry point, GLSL by entry point
// (and, for pixel shaders, by the varyings of the vertex shader it is paired
// with, which fix its input locations).
class PassCompiler {
public:
    // The callbacks in context_ point back at this object, so it stays put.
    PassCompiler(const PassCompiler&) = delete;
    PassCompiler& operator=(const PassCompiler&) = delete;

    PassCompiler(const detail::ParsedEffect& parsed, std::string& messages) : parsed_(parsed), messages_(messages)
    {
        int samplers = 0;
        for (const EffectParameter& p : parsed.parameters)
            if (p.type >= ParameterType::Sampler && p.type <= ParameterType::SamplerCube)
                samplerBindings_[p.name] = samplers++;
        context_.parameters = &parsed.parameters;
        context_.findParameter = [this](const std::string& name) { return findParameter(name); };
        context_.samplerBinding = [this](const std::string& name) {
            auto found = samplerBindings_.find(name);
            return found == samplerBindings_.end() ? -1 : found->second;
        };
    }

    bool compilePass(const detail::ParsedTechnique& technique, const detail::ParsedPass& parsedPass, EffectPass& pass)
    {
        pass.name = parsedPass.name;
        pass.annotations = parsedPass.annotations;
        pass.states = parsedPass.states;
        pass.location = parsedPass.location;
        std::string where = " (technique '" + technique.name + "', pass '" + parsedPass.name + "')";
        const detail::CrossCompiled* vertex = stage(ShaderStage::Vertex, parsedPass.vertexShader, nullptr, where);
        if (!vertex) return false;
        const detail::CrossCompiled* pixel =
            stage(ShaderStage::Pixel, parsedPass.pixelShader, &vertex->outputSemantics, where);
        if (!pixel) return false;
        pass.vertexShader = {parsedPass.vertexShader.entryPoint, parsedPass.vertexShader.profile, vertex->glsl,
                             parsedPass.vertexShader.location};
        pass.pixelShader = {parsedPass.pixelShader.entryPoint, parsedPass.pixelShader.profile, pixel->glsl,
                            parsedPass.pixelShader.location};
        pass.vertexInputs = vertex->vertexInputs;
        if (vertex->hasUniforms && pixel->hasUniforms && !sameLayout(vertex->uniforms, pixel->uniforms)) {
            messages_ +=
                detail::formatMessage(parsedPass.location, "the vertex and pixel shaders lay out the parameters "
                                                           "differently"
                                                               + where);
            return false;
        }
        if (vertex->hasUniforms)
            pass.uniforms = vertex->uniforms;
        else if (pixel->hasUniforms)
            pass.uniforms = pixel->uniforms;
        for (const detail::CrossCompiled* stage : {vertex, pixel})
            for (const std::string& sampler : stage->samplers) {
                int parameter = findParameter(sampler);
                bool known = false;
                for (const SamplerBinding& b : pass.samplers) known = known || b.samplerParameter == parameter;
                if (!known)
                    pass.samplers.push_back({parameter, parsed_.parameters[size_t(parameter)].textureParameter,
                                             uint32_t(samplerBindings_.at(sampler))});
            }
        std::sort(pass.samplers.begin(), pass.samplers.end(),
                  [](const SamplerBinding& a, const SamplerBinding& b) { return a.binding < b.binding; });
        return true;
    }

    double frontEndMilliseconds = 0.0;
    double crossMilliseconds = 0.0;

private:
    const detail::ParsedEffect& parsed_;
    std::string& messages_;
    std::map<std::string, int> samplerBindings_;
    detail::CrossContext context_;
    std::map<std::string, std::vector<uint32_t>> spirv_;
    std::map<std::string, detail::CrossCompiled> glsl_;

    int findParameter(const std::string& name) const
    {
        for (size_t i = 0; i < parsed_.parameters.size(); ++i)
            if (parsed_.parameters[i].name == name) return int(i);
        return -1;
    }

    const detail::CrossCompiled* stage(ShaderStage kind, const detail::ParsedShader& shader,
                                       const std::vector<std::string>* vertexOutputs, const std::string& where)
    {
        std::string key = (kind == ShaderStage::Vertex ? "vs:" : "ps:") + shader.entryPoint;
        if (!shader.arguments.empty()) key += "(" + shader.argumentsText + ")";
        std::string glslKey = key;
        if (vertexOutputs)
            for (const std::string& semantic : *vertexOutputs) glslKey += "," + semantic;
        if (auto found = glsl_.find(glslKey); found != glsl_.end()) return &found->second;
        auto compiled = spirv_.find(key);
        if (compiled == spirv_.end()) {
            auto start = Clock::now();
            // With compile arguments, glslang compiles a wrapper that binds
            // them to the function's uniform parameters.
            std::string entry = shader.entryPoint;
            detail::HlslChunk wrapper;
            if (!shader.arguments.empty()) {
                entry = "orv_entry" + std::to_string(spirv_.size());
                std::string error;
                if (!detail::makeEntryWrapper(parsed_, shader, entry, wrapper, error)) {
                    messages_ += detail::formatMessage(shader.location, error + where);
                    return nullptr;
                }
            }
            std::string hlsl = detail::writeHlsl(parsed_, entry, shader.arguments.empty() ? nullptr : &wrapper);
            std::vector<uint32_t> spirv;
            bool ok = detail::compileHlsl(hlsl, kind, entry, shader.location, spirv, messages_);
            frontEndMilliseconds += millisecondsSince(start);
            if (!ok) return nullptr;
            compiled = spirv_.emplace(key, std::move(spirv)).first;
        }
        auto start = Clock::now();
        detail::CrossContext context = context_;
        context.vertexOutputs = vertexOutputs;
        detail::CrossCompiled out;
        std::string error;
        bool ok = detail::crossCompile(compiled->second, kind, context, out, error);
        crossMilliseconds += millisecondsSince(start);
        if (!ok) {
            messages_ +=
                detail::formatMessage(shader.location, std::string(kind == ShaderStage::Vertex ? "vertex" : "pixel")
                                                           + " shader '" + shader.entryPoint + "': " + error + where);
            return nullptr;
        }
        return &glsl_.emplace(glslKey, std::move(out)).first->second;
    }
};

Core::Result<EffectDescription> compileOnThisThread(std::string_view source, std::string_view sourceName,
                                                    std::span<const EffectDefine> defines,
                                                    EffectIncludeHandler& includes, EffectCompileTimings* timings)
{
    std::string messages;
    EffectCompileTimings spent;
    auto failed = [&] {
        // Messages are built a line at a time, each line ending in a newline;
        // a Result's last line has none.
        if (!messages.empty() && messages.back() == '\n') messages.pop_back();
        if (timings) *timings = spent;
        return Core::Result<EffectDescription>::failure(std::move(messages));
    };
    std::string name = sourceName.empty() ? std::string("effect") : std::string(sourceName);

    auto start = Clock::now();
    std::string preprocessed;
    bool ok = detail::preprocessEffect(source, name, defines, includes, preprocessed, messages);
    spent.preprocess = millisecondsSince(start);
    if (!ok) return failed();

    start = Clock::now();
    detail::LexedEffect lexed = detail::lexEffect(preprocessed, name);
    detail::ParsedEffect parsed;
    ok = detail::parseEffect(lexed, parsed, messages);
    spent.frontEnd = millisecondsSince(start);
    if (!ok) return failed();

    EffectDescription effect;
    effect.parameters = parsed.parameters;
    PassCompiler passes(parsed, messages);
    for (const detail::ParsedTechnique& parsedTechnique : parsed.techniques) {
        EffectTechnique technique;
        technique.name = parsedTechnique.name;
        technique.annotations = parsedTechnique.annotations;
        technique.location = parsedTechnique.location;
        for (const detail::ParsedPass& parsedPass : parsedTechnique.passes) {
            EffectPass pass;
            ok = passes.compilePass(parsedTechnique, parsedPass, pass);
            if (!ok) break;
            technique.passes.push_back(std::move(pass));
        }
        if (!ok) break;
        effect.techniques.push_back(std::move(technique));
    }
    spent.frontEnd += passes.frontEndMilliseconds;
    spent.crossCompile = passes.crossMilliseconds;
    if (!ok) {
        if (messages.empty()) messages = detail::formatMessage({name, 1}, "the effect failed to compile");
        return failed();
    }
    if (timings) *timings = spent;
    return effect;
}

} // namespace

Core::Result<EffectDescription> compileEffect(std::string_view source, std::string_view sourceName,
                                              std::span<const EffectDefine> defines, EffectIncludeHandler& includes,
                                              EffectCompileTimings* timings)
{
    // glslang and SPIRV-Cross recurse once per level of an expression or a
    // statement; the parser's bounds on what reaches them are set against
    // this stack, eight times the usual main-thread one.
    constexpr std::size_t compilerStackBytes = std::size_t(64) << 20;
    std::optional<Core::Result<EffectDescription>> result;
    Platform::runWithStack(compilerStackBytes, [&] {
        result.emplace(compileOnThisThread(source, sourceName, defines, includes, timings));
    });
    return std::move(*result);
}

} // namespace ORV::Gfx
