#include "platform/gfx/effect/detail/ShaderTranslator.h"

#include "core/Ascii.h"
#include "platform/gfx/effect/detail/EffectParser.h"
#include "platform/gfx/effect/detail/PreprocessorBounds.h"

// The HLSL front end is built into Debian's glslang, but its CMake package
// does not export ENABLE_HLSL, which guards the inline setter of the
// hlsl_functionality1 target (no class layout depends on it).
#ifndef ENABLE_HLSL
#define ENABLE_HLSL 1
#endif
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>

namespace ORV::Gfx::detail {
namespace {

// glslang keeps process-wide tables; they are made once and live until exit.
void ensureGlslang()
{
    static std::once_flag once;
    std::call_once(once, [] { glslang::InitializeProcess(); });
}

// Limits for the HLSL front end. Shader-model-3 effects stay far inside them;
// the values are those of a GL 4.5 desktop part.
const TBuiltInResource& resources()
{
    static const TBuiltInResource limits = [] {
        TBuiltInResource r{};
        r.maxLights = 32;
        r.maxClipPlanes = 6;
        r.maxTextureUnits = 32;
        r.maxTextureCoords = 32;
        r.maxVertexAttribs = 64;
        r.maxVertexUniformComponents = 4096;
        r.maxVaryingFloats = 64;
        r.maxVertexTextureImageUnits = 32;
        r.maxCombinedTextureImageUnits = 80;
        r.maxTextureImageUnits = 32;
        r.maxFragmentUniformComponents = 4096;
        r.maxDrawBuffers = 8;
        r.maxVertexUniformVectors = 1024;
        r.maxVaryingVectors = 16;
        r.maxFragmentUniformVectors = 1024;
        r.maxVertexOutputVectors = 16;
        r.maxFragmentInputVectors = 15;
        r.minProgramTexelOffset = -8;
        r.maxProgramTexelOffset = 7;
        r.maxClipDistances = 8;
        r.maxVaryingComponents = 60;
        r.maxVertexOutputComponents = 64;
        r.maxFragmentInputComponents = 128;
        r.maxCullDistances = 8;
        r.maxCombinedClipAndCullDistances = 8;
        r.maxSamples = 4;
        r.maxViewports = 16;
        r.maxCombinedShaderOutputResources = 8;
        r.maxCombinedImageUnitsAndFragmentOutputs = 8;
        r.limits.nonInductiveForLoops = true;
        r.limits.whileLoops = true;
        r.limits.doWhileLoops = true;
        r.limits.generalUniformIndexing = true;
        r.limits.generalAttributeMatrixVectorIndexing = true;
        r.limits.generalVaryingIndexing = true;
        r.limits.generalSamplerIndexing = true;
        r.limits.generalVariableIndexing = true;
        r.limits.generalConstantMatrixVectorIndexing = true;
        return r;
    }();
    return limits;
}

constexpr EShMessages hlslMessages =
    EShMessages(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslDX9Compatible | EShMsgHlslLegalization);

void setEnvironment(glslang::TShader& shader, EShLanguage language)
{
    shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
}

// glslang's log lines are "ERROR: file:line: text" or "WARNING: ...". They
// become "file:line: error: text"; the summary lines glslang adds go, and
// any other line is put at the fallback location.
std::string convertLog(const std::string& log, const SourceLocation& fallback, const std::string& context)
{
    static const std::regex located(R"(^(ERROR|WARNING): (.*?):(\d+): (.*?)\s*$)");
    static const std::regex summary(
        R"(^(ERROR: \d+ compilation errors|.*\(\d+\): error at column|SPIR-V is not generated))");
    std::string out;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos || std::regex_search(line, summary)) continue;
        std::smatch m;
        if (std::regex_match(line, m, located)) {
            if (m[1] == "WARNING") continue;
            out += m[2].str() + ":" + m[3].str() + ": error: " + m[4].str() + "\n";
        } else {
            std::string text = line.rfind("ERROR: ", 0) == 0 ? line.substr(7) : line;
            out += formatMessage(fallback, text);
        }
    }
    if (!out.empty() && !context.empty()) out += formatMessage(fallback, context);
    return out;
}

// Effect files saved by Windows editors often start with one; D3DX skips it.
constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

class Includer final : public glslang::TShader::Includer {
public:
    Includer(EffectIncludeHandler& handler, FetchedIncludes& fetched) : handler_(handler), fetched_(fetched) {}

    // Quoted and angle-bracket includes alike come here (glslang asks
    // includeLocal first, whose default finds nothing), so the handler sees
    // every name once. A failure's text is what glslang reports at the
    // #include line.
    IncludeResult* includeSystem(const char* headerName, const char*, size_t depth) override
    {
        if (depth > size_t(maxEffectIncludeDepth))
            return failure("includes nest deeper than " + std::to_string(maxEffectIncludeDepth) + " levels");
        if (++served_ > maxEffectIncludes)
            return failure("more than " + std::to_string(maxEffectIncludes) + " #include directives");
        auto found = fetched_.find(headerName);
        if (found == fetched_.end()) found = fetched_.emplace(headerName, handler_.open(headerName)).first;
        if (!found->second.ok()) return failure(found->second.messages());
        auto* text = new std::string(found->second.value());
        if (text->rfind(utf8ByteOrderMark, 0) == 0) text->erase(0, utf8ByteOrderMark.size());
        // glslang looks at the last byte of an include; an empty file is
        // served as one line feed.
        if (text->empty()) *text = "\n";
        return new IncludeResult(headerName, text->data(), text->size(), text);
    }

    void releaseInclude(IncludeResult* result) override
    {
        if (result) {
            delete static_cast<std::string*>(result->userData);
            delete result;
        }
    }

private:
    // glslang treats a result without a header name as a failed include and
    // reports its data as the message.
    static IncludeResult* failure(std::string message)
    {
        auto* text = new std::string(std::move(message));
        return new IncludeResult(std::string(), text->data(), text->size(), text);
    }

    EffectIncludeHandler& handler_;
    FetchedIncludes& fetched_;
    int served_ = 0;
};

std::string semanticKey(const std::string& semantic)
{
    auto [name, index] = splitSemantic(semantic);
    if (name == "SV_POSITION") name = "POSITION";
    if (name == "SV_TARGET") name = "COLOR";
    return name + std::to_string(index);
}

void reflectBlock(spirv_cross::CompilerGLSL& compiler, const spirv_cross::Resource& block, const CrossContext& context,
                  CrossCompiled& out)
{
    const spirv_cross::SPIRType& type = compiler.get_type(block.base_type_id);
    out.hasUniforms = true;
    out.uniforms.size = uint32_t(compiler.get_declared_struct_size(type));
    for (uint32_t i = 0; i < uint32_t(type.member_types.size()); ++i) {
        const std::string& name = compiler.get_member_name(block.base_type_id, i);
        int parameter = context.findParameter(name);
        if (parameter < 0) throw std::runtime_error("uniform '" + name + "' is not an effect parameter");
        const EffectParameter& p = (*context.parameters)[size_t(parameter)];
        const spirv_cross::SPIRType& memberType = compiler.get_type(type.member_types[i]);
        UniformMember member;
        member.parameter = parameter;
        member.offset = compiler.type_struct_member_offset(type, i);
        member.size = uint32_t(compiler.get_declared_struct_member_size(type, i));
        member.rows = p.rows;
        member.columns = p.columns;
        member.elements = p.elements;
        if (!memberType.array.empty()) member.arrayStride = compiler.type_struct_member_array_stride(type, i);
        // glslang turns an HLSL RxC matrix into R SPIR-V columns of C
        // components, so memberType.columns is the HLSL row count.
        bool matrix =
            p.parameterClass == ParameterClass::MatrixRows || p.parameterClass == ParameterClass::MatrixColumns;
        bool shapeMatches = matrix ? memberType.columns == p.rows && memberType.vecsize == p.columns
                                   : memberType.columns == 1 && memberType.vecsize == p.columns;
        if (!shapeMatches || memberType.array.size() != (p.elements ? 1u : 0u))
            throw std::runtime_error("parameter '" + name + "' has an unexpected shape in the uniform block");
        if (matrix) {
            member.matrixStride = compiler.type_struct_member_matrix_stride(type, i);
            member.spirvRowMajor = compiler.has_member_decoration(block.base_type_id, i, spv::DecorationRowMajor);
            member.writeTransposed = member.spirvRowMajor;
        }
        switch (memberType.basetype) {
        case spirv_cross::SPIRType::Float: member.scalar = UniformScalar::Float; break;
        case spirv_cross::SPIRType::Int: member.scalar = UniformScalar::Int; break;
        case spirv_cross::SPIRType::UInt:
        case spirv_cross::SPIRType::Boolean:
            member.scalar = p.type == ParameterType::Bool ? UniformScalar::Bool : UniformScalar::Int;
            break;
        default: throw std::runtime_error("parameter '" + name + "' has a scalar type GL can't hold");
        }
        out.uniforms.members.push_back(member);
    }
}

// Replaces the generated main by orv_main and appends the alpha test (see
// alphaTestVariantDefine in EffectDescription.h), compiled only in the variant
// that defines it.
bool appendAlphaTest(std::string& glsl, const std::string& alpha)
{
    const std::string mainHeader = "\nvoid main()\n";
    size_t at = glsl.find(mainHeader);
    if (at == std::string::npos || glsl.find(mainHeader, at + 1) != std::string::npos) return false;
    glsl.replace(at, mainHeader.size(), "\nvoid orv_main()\n");
    glsl += std::string("\n#ifdef ") + alphaTestVariantDefine
            + "\n"
              "layout(location = "
            + std::to_string(alphaTestFuncLocation)
            + ") uniform int orv_AlphaFunc;\n"
              "layout(location = "
            + std::to_string(alphaTestRefLocation)
            + ") uniform int orv_AlphaRef;\n"
              "#endif\n"
              "\n"
              "void main()\n"
              "{\n"
              "    orv_main();\n"
              "#ifdef "
            + alphaTestVariantDefine
            + "\n"
              "    if (orv_AlphaFunc != 0)\n"
              "    {\n"
              "        int alpha = int(clamp("
            + alpha
            + ", 0.0, 1.0) * 255.0 + 0.5);\n"
              "        bool keep = true;\n"
              "        switch (orv_AlphaFunc)\n"
              "        {\n"
              "            case 1: keep = false; break;\n"
              "            case 2: keep = alpha < orv_AlphaRef; break;\n"
              "            case 3: keep = alpha == orv_AlphaRef; break;\n"
              "            case 4: keep = alpha <= orv_AlphaRef; break;\n"
              "            case 5: keep = alpha > orv_AlphaRef; break;\n"
              "            case 6: keep = alpha != orv_AlphaRef; break;\n"
              "            case 7: keep = alpha >= orv_AlphaRef; break;\n"
              "            default: break;\n"
              "        }\n"
              "        if (!keep)\n"
              "            discard;\n"
              "    }\n"
              "#endif\n"
              "}\n";
    return true;
}

void crossCompileOrThrow(std::vector<uint32_t> spirv, ShaderStage stage, const CrossContext& context,
                         CrossCompiled& out)
{
    spirv_cross::CompilerGLSL compiler(std::move(spirv));
    spirv_cross::ShaderResources resources = compiler.get_shader_resources();
    const char* stageName = stage == ShaderStage::Vertex ? "vertex" : "pixel";
    auto builtin = [&](const spirv_cross::Resource& r) {
        return compiler.has_decoration(r.id, spv::DecorationBuiltIn);
    };
    auto semanticOf = [&](const spirv_cross::Resource& r) {
        const std::string& s = compiler.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE);
        if (s.empty())
            throw std::runtime_error(std::string(stageName) + " shader variable '" + r.name + "' has no semantic");
        return s;
    };

    if (!resources.storage_buffers.empty() || !resources.storage_images.empty() || !resources.separate_images.empty()
        || !resources.separate_samplers.empty() || !resources.push_constant_buffers.empty())
        throw std::runtime_error(std::string(stageName)
                                 + " shader uses Direct3D 10 resources (Texture2D, SamplerState, buffers); "
                                   "use sampler2D and tex2D");

    if (stage == ShaderStage::Vertex) {
        for (const spirv_cross::Resource& input : resources.stage_inputs) {
            if (builtin(input)) continue;
            auto [name, index] = splitSemantic(semanticOf(input));
            if (name == "SV_POSITION") name = "POSITION";
            int location = vertexInputLocation(name, index);
            if (location < 0)
                throw std::runtime_error("vertex input semantic " + name + std::to_string(index)
                                         + " is not supported (POSITION, NORMAL, TANGENT, BINORMAL, COLOR0-1, "
                                           "BLENDWEIGHT, BLENDINDICES, TEXCOORD0-7)");
            for (const VertexInput& other : out.vertexInputs)
                if (other.location == uint32_t(location))
                    throw std::runtime_error("vertex input semantic " + name + std::to_string(index)
                                             + " is used twice");
            compiler.set_decoration(input.id, spv::DecorationLocation, uint32_t(location));
            out.vertexInputs.push_back({name, index, uint32_t(location)});
        }
        std::sort(out.vertexInputs.begin(), out.vertexInputs.end(),
                  [](const VertexInput& a, const VertexInput& b) { return a.location < b.location; });
        // Varyings take locations in the order of their semantics, so a pixel
        // shader finds each by semantic whatever order either side declares.
        std::vector<std::pair<std::string, uint32_t>> outputs;
        for (const spirv_cross::Resource& output : resources.stage_outputs)
            if (!builtin(output)) outputs.emplace_back(semanticKey(semanticOf(output)), output.id);
        std::sort(outputs.begin(), outputs.end());
        for (size_t i = 0; i < outputs.size(); ++i) {
            if (i > 0 && outputs[i].first == outputs[i - 1].first)
                throw std::runtime_error("vertex output semantic " + outputs[i].first + " is written twice");
            compiler.set_decoration(outputs[i].second, spv::DecorationLocation, uint32_t(i));
            out.outputSemantics.push_back(outputs[i].first);
        }
    } else {
        for (const spirv_cross::Resource& input : resources.stage_inputs) {
            if (builtin(input)) continue;
            std::string key = semanticKey(semanticOf(input));
            const std::vector<std::string>& produced = *context.vertexOutputs;
            auto found = std::find(produced.begin(), produced.end(), key);
            if (found == produced.end())
                throw std::runtime_error("pixel shader input " + key + " is not written by the vertex shader");
            compiler.set_decoration(input.id, spv::DecorationLocation, uint32_t(found - produced.begin()));
        }
    }

    std::string alpha = "1.0";
    if (stage == ShaderStage::Pixel) {
        for (const spirv_cross::Resource& output : resources.stage_outputs) {
            if (builtin(output)) continue;
            auto [name, index] = splitSemantic(semanticOf(output));
            if ((name != "COLOR" && name != "SV_TARGET") || index > 3)
                throw std::runtime_error("pixel shader output semantic " + name + std::to_string(index)
                                         + " is not supported (COLOR0-3, DEPTH)");
            compiler.set_decoration(output.id, spv::DecorationLocation, index);
            if (index == 0) {
                compiler.set_name(output.id, "orv_Color0");
                uint32_t size = compiler.get_type(output.type_id).vecsize;
                if (size == 4) alpha = "orv_Color0.a";
            }
        }
    }

    if (resources.uniform_buffers.size() > 1) throw std::runtime_error("more than one uniform block");
    for (const spirv_cross::Resource& block : resources.uniform_buffers) {
        compiler.set_decoration(block.id, spv::DecorationBinding, uniformBlockBinding);
        compiler.unset_decoration(block.id, spv::DecorationDescriptorSet);
        reflectBlock(compiler, block, context, out);
    }
    for (const spirv_cross::Resource& sampler : resources.sampled_images) {
        std::string name = compiler.get_name(sampler.id);
        int binding = context.samplerBinding(name);
        if (binding < 0) throw std::runtime_error("sampler '" + name + "' is not a sampler parameter");
        compiler.set_decoration(sampler.id, spv::DecorationBinding, uint32_t(binding));
        compiler.unset_decoration(sampler.id, spv::DecorationDescriptorSet);
        out.samplers.push_back(name);
    }

    spirv_cross::CompilerGLSL::Options options;
    options.version = 450;
    options.es = false;
    options.vulkan_semantics = false;
    compiler.set_common_options(options);
    out.glsl = compiler.compile();
    if (stage == ShaderStage::Pixel && !appendAlphaTest(out.glsl, alpha))
        throw std::runtime_error("the generated fragment shader has no single main function");
}

} // namespace

std::pair<std::string, uint32_t> splitSemantic(std::string_view semantic)
{
    std::string name = Core::toUpperAscii(semantic);
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    uint32_t index = 0;
    if (digits < name.size() && name.size() - digits <= 3)
        index = uint32_t(std::stoul(name.substr(digits)));
    else
        digits = name.size();
    name.resize(digits);
    return {name, index};
}

bool preprocessEffect(std::string_view source, const std::string& sourceName, std::span<const EffectDefine> defines,
                      EffectIncludeHandler& includes, std::string& output, std::string& messages)
{
    // glslang's preprocessor serves the effect language as it is: in HLSL
    // mode it keeps string literals (annotations), serves #include through an
    // includer, and marks every include boundary with #line "file", which
    // lets our parser and glslang's later messages name the include file.
    // glslang calls preprocess-only use "not officially supported"; the effect
    // tests pin the behaviour relied on (lines, includes, defines, strings).
    ensureGlslang();
    SourceLocation top{sourceName, 1};
    if (source.size() > size_t(INT_MAX) / 2) {
        messages += formatMessage(top, "the effect source is too large");
        return false;
    }
    if (source.substr(0, utf8ByteOrderMark.size()) == utf8ByteOrderMark) source.remove_prefix(utf8ByteOrderMark.size());
    std::string preamble;
    for (const EffectDefine& define : defines) {
        bool valid = !define.name.empty() && !std::isdigit(static_cast<unsigned char>(define.name[0]))
                     && std::all_of(define.name.begin(), define.name.end(),
                                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; })
                     && define.definition.find_first_of("\r\n") == std::string::npos;
        if (!valid) {
            messages += formatMessage(top, "invalid define '" + define.name + "'");
            return false;
        }
        preamble += "#define " + define.name + " " + define.definition + "\n";
    }
    FetchedIncludes fetched;
    if (!checkPreprocessorBounds(preamble, source, sourceName, includes, fetched, messages)) return false;
    glslang::TShader shader(EShLangFragment);
    const char* text = source.data();
    int length = int(source.size());
    const char* name = sourceName.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    shader.setPreamble(preamble.c_str());
    setEnvironment(shader, EShLangFragment);
    Includer includer(includes, fetched);
    bool ok = shader.preprocess(&resources(), 100, ENoProfile, false, false, hlslMessages, &output, includer);
    std::string log = convertLog(shader.getInfoLog(), top, "");
    if (!ok) {
        messages += log.empty() ? formatMessage(top, "preprocessing failed") : log;
        return false;
    }
    return true;
}

bool compileHlsl(const std::string& hlsl, ShaderStage stage, const std::string& entryPoint, const SourceLocation& at,
                 std::vector<uint32_t>& spirv, std::string& messages)
{
    ensureGlslang();
    EShLanguage language = stage == ShaderStage::Vertex ? EShLangVertex : EShLangFragment;
    std::string context = std::string(stage == ShaderStage::Vertex ? "vertex" : "pixel") + " shader '" + entryPoint
                          + "' failed to compile";
    glslang::TShader shader(language);
    const char* text = hlsl.c_str();
    int length = int(hlsl.size());
    const char* name = at.file.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    shader.setEntryPoint(entryPoint.c_str());
    setEnvironment(shader, language);
    shader.setEnvTargetHlslFunctionality1(); // semantics in the SPIR-V
    shader.setAutoMapBindings(true);
    shader.setAutoMapLocations(true);
    if (!shader.parse(&resources(), 100, false, hlslMessages)) {
        std::string log = convertLog(shader.getInfoLog(), at, context);
        messages += log.empty() ? formatMessage(at, context) : log;
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(hlslMessages) || !program.mapIO()) {
        std::string log = convertLog(program.getInfoLog(), at, context);
        messages += log.empty() ? formatMessage(at, context) : log;
        return false;
    }
    glslang::SpvOptions options;
    options.disableOptimizer = false; // HLSL needs glslang's legalisation passes
    options.validate = false;
    spv::SpvBuildLogger logger;
    spirv.clear();
    glslang::GlslangToSpv(*program.getIntermediate(language), spirv, &logger, &options);
    if (spirv.empty()) {
        messages += formatMessage(at, context + ": " + logger.getAllMessages());
        return false;
    }
    return true;
}

bool crossCompile(std::vector<uint32_t> spirv, ShaderStage stage, const CrossContext& context, CrossCompiled& out,
                  std::string& error)
{
    // SPIRV-Cross reports faults by exception; they end here.
    try {
        crossCompileOrThrow(std::move(spirv), stage, context, out);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

} // namespace ORV::Gfx::detail
