#include "platform/gfx/CompiledEffect.h"

#include "platform/gfx/Device.h"
#include "platform/gfx/Texture.h"
#include "platform/gfx/detail/DeviceAccess.h"
#include "platform/gfx/detail/Gl.h"
#include "platform/gfx/detail/GlObject.h"

#include <algorithm>
#include <cassert>

namespace ORV::Gfx {

using detail::DeviceAccess;
using detail::GlKind;
using detail::GlObject;

struct CompiledEffect::PassRuntime {
    GlObject program;
    // The alpha-test variant, linked at the first beginPass with alpha test on.
    GlObject alphaTestProgram;
    bool hasAlphaTest = false; // the pixel shader has an alpha-test variant
    bool alphaTestLinkTried = false; // a failed link is not tried again
    // The vertex shader with an empty pixel shader, for draws with every
    // colour channel masked: such a draw keeps only depth, and the pixel
    // shader's work would be thrown away (the chain's depth-only pass draws
    // whole scenes so). Only for pixel shaders that keep every fragment and
    // leave its depth alone; linked at the first beginPass that could use it.
    GlObject depthOnlyProgram;
    bool depthOnlyAllowed = false;
    bool depthOnlyLinkTried = false;
    GlObject uniformBuffer;
    std::vector<std::byte> block;
    bool blockDirty = true;
    std::vector<GlObject> samplers; // one per SamplerBinding of the pass
};

namespace {

GLint wrapMode(uint32_t address)
{
    switch (static_cast<TextureAddress>(address)) {
    case TextureAddress::Wrap: return GL_REPEAT;
    case TextureAddress::Mirror: return GL_MIRRORED_REPEAT;
    case TextureAddress::Clamp: return GL_CLAMP_TO_EDGE;
    case TextureAddress::Border: return GL_CLAMP_TO_BORDER;
    case TextureAddress::MirrorOnce: return GL_MIRROR_CLAMP_TO_EDGE;
    }
    return GL_REPEAT;
}

GLint minificationFilter(uint32_t minFilter, uint32_t mipFilter)
{
    const bool linear = minFilter != value(TextureFilter::Point) && minFilter != value(TextureFilter::None);
    switch (static_cast<TextureFilter>(mipFilter)) {
    case TextureFilter::None: return linear ? GL_LINEAR : GL_NEAREST;
    case TextureFilter::Point: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

// A GL sampler object with the D3D9 sampler states of a sampler parameter:
// the defaults, then the sampler_state assignments in order.
GlObject createSampler(const EffectParameter& sampler)
{
    uint32_t states[size_t(SamplerState::Count)];
    for (size_t i = 0; i < size_t(SamplerState::Count); ++i) states[i] = defaultSamplerState(SamplerState(i));
    for (const SamplerStateAssignment& a : sampler.samplerStates) states[size_t(a.state)] = a.value;

    GlObject object = detail::createGlObject(GlKind::Sampler);
    const GLuint name = object.get();
    GL_CHECK(glSamplerParameteri(name, GL_TEXTURE_WRAP_S, wrapMode(states[size_t(SamplerState::AddressU)])));
    GL_CHECK(glSamplerParameteri(name, GL_TEXTURE_WRAP_T, wrapMode(states[size_t(SamplerState::AddressV)])));
    GL_CHECK(glSamplerParameteri(name, GL_TEXTURE_WRAP_R, wrapMode(states[size_t(SamplerState::AddressW)])));
    GL_CHECK(glSamplerParameteri(
        name, GL_TEXTURE_MIN_FILTER,
        minificationFilter(states[size_t(SamplerState::MinFilter)], states[size_t(SamplerState::MipFilter)])));
    const uint32_t mag = states[size_t(SamplerState::MagFilter)];
    GL_CHECK(glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER,
                                 mag == value(TextureFilter::Point) || mag == value(TextureFilter::None) ? GL_NEAREST
                                                                                                         : GL_LINEAR));
    return object;
}

// The shader with `define` defined right after its #version line.
std::string withDefine(const std::string& glsl, const char* define)
{
    const size_t lineEnd = glsl.find('\n');
    std::string out = lineEnd == std::string::npos ? glsl + "\n" : glsl.substr(0, lineEnd + 1);
    out += std::string("#define ") + define + "\n";
    if (lineEnd != std::string::npos) out.append(glsl, lineEnd + 1);
    return out;
}

bool programUsesLocation(GLuint program, GLint location)
{
    GLint count = 0;
    GL_CHECK(glGetProgramInterfaceiv(program, GL_UNIFORM, GL_ACTIVE_RESOURCES, &count));
    for (GLint i = 0; i < count; ++i) {
        const GLenum property = GL_LOCATION;
        GLint found = -1;
        GL_CHECK(glGetProgramResourceiv(program, GL_UNIFORM, GLuint(i), 1, &property, 1, nullptr, &found));
        if (found == location) return true;
    }
    return false;
}

// Whether a draw with this pixel shader and no colour writes keeps the same
// depth as one without the shader: it discards nothing and writes no depth.
// The alpha test appended to the shader (compiled only in its variant) is
// not the shader's own.
bool onlyColorLeavesPixelShader(const std::string& glsl)
{
    const std::string_view own =
        std::string_view(glsl).substr(0, glsl.find(std::string("\n#ifdef ") + alphaTestVariantDefine));
    for (const char* word : {"discard", "gl_FragDepth", "gl_SampleMask"})
        if (own.find(word) != std::string_view::npos) return false;
    return true;
}

// A pixel shader that runs nothing, in the language version of `like`.
std::string emptyPixelShader(const std::string& like)
{
    return like.substr(0, like.find('\n')) + "\nvoid main() {}\n";
}

size_t valueCount(const EffectParameter& p)
{
    return size_t(p.rows) * p.columns * std::max<uint32_t>(p.elements, 1);
}

} // namespace

std::unique_ptr<CompiledEffect> CompiledEffect::create(Device& device, std::string_view source,
                                                       std::string_view sourceName,
                                                       std::span<const EffectDefine> defines,
                                                       EffectIncludeHandler& includes, std::string* messages)
{
    Core::Result<EffectDescription> compiled = compileEffect(source, sourceName, defines, includes);
    if (!compiled) {
        if (messages) *messages = compiled.messages() + '\n';
        return nullptr;
    }
    if (messages) messages->clear();
    return create(device, std::move(compiled).value());
}

std::unique_ptr<CompiledEffect> CompiledEffect::create(Device& device, EffectDescription description)
{
    std::unique_ptr<CompiledEffect> effect(new CompiledEffect(device, std::move(description)));
    effect->link();
    return effect;
}

CompiledEffect::CompiledEffect(Device& device, EffectDescription description)
    : device_(device), description_(std::move(description))
{
    for (const EffectParameter& p : description_.parameters) {
        std::vector<float> initial(valueCount(p), 0.0f);
        std::copy_n(p.defaultValue.begin(), std::min(p.defaultValue.size(), initial.size()), initial.begin());
        values_.push_back(std::move(initial));
    }
    textures_.assign(description_.parameters.size(), nullptr);
}

CompiledEffect::~CompiledEffect()
{
    if (activePass_ >= 0) DeviceAccess::setPassProgram(device_, 0);
}

void CompiledEffect::link()
{
    for (const EffectTechnique& technique : description_.techniques) {
        std::vector<PassRuntime> runtimes;
        bool valid = !technique.passes.empty();
        for (const EffectPass& pass : technique.passes) {
            PassRuntime runtime;
            std::string log;
            runtime.program = detail::linkProgram(pass.vertexShader.glsl, pass.pixelShader.glsl, &log);
            if (!runtime.program) {
                valid = false;
                linkMessages_ += technique.name + "/" + pass.name + ": " + log + "\n";
            } else {
                runtime.hasAlphaTest = pass.pixelShader.glsl.find(alphaTestVariantDefine) != std::string::npos;
                runtime.depthOnlyAllowed = onlyColorLeavesPixelShader(pass.pixelShader.glsl);
            }
            runtime.block.assign(pass.uniforms.size, std::byte{0});
            if (pass.uniforms.size) {
                runtime.uniformBuffer = detail::createGlObject(GlKind::Buffer);
                GL_CHECK(glNamedBufferStorage(runtime.uniformBuffer.get(), GLsizeiptr(pass.uniforms.size), nullptr,
                                              GL_DYNAMIC_STORAGE_BIT));
            }
            for (const SamplerBinding& binding : pass.samplers) {
                runtime.samplers.push_back(binding.samplerParameter >= 0 ? createSampler(
                                               description_.parameters[size_t(binding.samplerParameter)])
                                                                         : GlObject());
            }
            runtimes.push_back(std::move(runtime));
        }
        passes_.push_back(std::move(runtimes));
        techniqueValid_.push_back(valid);
    }
}

TechniqueHandle CompiledEffect::findNextValidTechnique(TechniqueHandle after) const
{
    for (size_t i = size_t(after.index + 1); i < techniqueValid_.size(); ++i)
        if (techniqueValid_[i]) return {int(i)};
    return {};
}

void CompiledEffect::setTechnique(TechniqueHandle technique)
{
    if (technique.index < int(description_.techniques.size())) technique_ = technique;
}

EffectDesc CompiledEffect::desc() const
{
    return {uint32_t(description_.parameters.size()), uint32_t(description_.techniques.size())};
}

ParameterHandle CompiledEffect::parameter(uint32_t index) const
{
    return index < description_.parameters.size() ? ParameterHandle{int(index)} : ParameterHandle{};
}

ParameterHandle CompiledEffect::parameterByName(std::string_view name) const
{
    return {description_.findParameter(name)};
}

ParameterDesc CompiledEffect::parameterDesc(ParameterHandle parameter) const
{
    if (!parameter || parameter.index >= int(description_.parameters.size())) return {};
    const EffectParameter& p = description_.parameters[size_t(parameter.index)];
    return {p.name, p.semantic, p.parameterClass, p.type, p.rows, p.columns, p.elements};
}

PassHandle CompiledEffect::passByName(TechniqueHandle technique, std::string_view name) const
{
    if (!technique || technique.index >= int(description_.techniques.size())) return {};
    const auto& passes = description_.techniques[size_t(technique.index)].passes;
    for (size_t i = 0; i < passes.size(); ++i)
        if (passes[i].name == name) return {technique.index, int(i)};
    return {};
}

PassHandle CompiledEffect::pass(TechniqueHandle technique, uint32_t index) const
{
    if (!technique || technique.index >= int(description_.techniques.size())) return {};
    if (index >= description_.techniques[size_t(technique.index)].passes.size()) return {};
    return {technique.index, int(index)};
}

uint32_t CompiledEffect::begin(uint32_t flags)
{
    assert(!begun_ && "begin without end");
    if (!technique_) return 0;
    begun_ = true;
    savedStates_.clear();
    const EffectTechnique& technique = description_.techniques[size_t(technique_.index)];
    if (flags == 0) {
        for (const EffectPass& pass : technique.passes)
            for (const PassStateAssignment& a : pass.states) {
                const bool known = std::any_of(savedStates_.begin(), savedStates_.end(),
                                               [&](const auto& saved) { return saved.first == a.state; });
                if (!known) savedStates_.emplace_back(a.state, device_.renderState(a.state));
            }
    }
    return uint32_t(technique.passes.size());
}

bool CompiledEffect::beginPass(uint32_t index)
{
    if (!begun_ || activePass_ >= 0) return false;
    const EffectTechnique& technique = description_.techniques[size_t(technique_.index)];
    if (index >= technique.passes.size()) return false;
    const EffectPass& pass = technique.passes[index];
    PassRuntime& runtime = passes_[size_t(technique_.index)][index];
    if (!runtime.program) return false;

    for (const PassStateAssignment& a : pass.states) device_.setRenderState(a.state, a.value);
    GLuint program = runtime.program.get();
    if (runtime.hasAlphaTest && device_.renderState(RenderState::AlphaTestEnable) != 0) {
        if (!runtime.alphaTestLinkTried) {
            runtime.alphaTestLinkTried = true;
            std::string log;
            runtime.alphaTestProgram = detail::linkProgram(
                pass.vertexShader.glsl, withDefine(pass.pixelShader.glsl, alphaTestVariantDefine), &log);
            if (!runtime.alphaTestProgram)
                linkMessages_ += technique.name + "/" + pass.name + " (alpha test): " + log + "\n";
            else if (!programUsesLocation(runtime.alphaTestProgram.get(), alphaTestFuncLocation))
                runtime.alphaTestProgram.reset(); // the shader writes no colour to test
        }
        // Without a variant the pass draws untested rather than not at all.
        if (runtime.alphaTestProgram) {
            program = runtime.alphaTestProgram.get();
            GL_CHECK(
                glProgramUniform1i(program, alphaTestFuncLocation, GLint(device_.renderState(RenderState::AlphaFunc))));
            GL_CHECK(glProgramUniform1i(program, alphaTestRefLocation,
                                        GLint(device_.renderState(RenderState::AlphaRef) & 0xFF)));
        }
    }
    // With the alpha-test variant the shader's alpha decides what is kept, so
    // only the plain program has a depth-only twin.
    GLuint depthOnly = 0;
    if (program == runtime.program.get() && runtime.depthOnlyAllowed) {
        if (!runtime.depthOnlyLinkTried
            && (device_.renderState(RenderState::ColorWriteEnable) & ColorWrite::All) == 0) {
            runtime.depthOnlyLinkTried = true;
            std::string log;
            runtime.depthOnlyProgram =
                detail::linkProgram(pass.vertexShader.glsl, emptyPixelShader(pass.pixelShader.glsl), &log);
            // Without it the pass draws with its own program, as before.
        }
        depthOnly = runtime.depthOnlyProgram.get();
    }
    if (runtime.uniformBuffer) {
        if (runtime.blockDirty) {
            for (const UniformMember& member : pass.uniforms.members)
                if (member.parameter >= 0) packUniform(member, values_[size_t(member.parameter)], runtime.block);
            GL_CHECK(glNamedBufferSubData(runtime.uniformBuffer.get(), 0, GLsizeiptr(runtime.block.size()),
                                          runtime.block.data()));
            runtime.blockDirty = false;
        }
        DeviceAccess::bindUniformBuffer(device_, uniformBlockBinding, runtime.uniformBuffer.get());
    }
    for (size_t i = 0; i < pass.samplers.size(); ++i) {
        const SamplerBinding& binding = pass.samplers[i];
        const Texture* texture = binding.textureParameter >= 0 ? textures_[size_t(binding.textureParameter)] : nullptr;
        DeviceAccess::bindTexture(device_, binding.binding, texture);
        DeviceAccess::bindSampler(device_, binding.binding, runtime.samplers[i].get());
    }
    DeviceAccess::setPassProgram(device_, program, depthOnly);
    activePass_ = int(index);
    return true;
}

void CompiledEffect::endPass()
{
    if (activePass_ < 0) return;
    activePass_ = -1;
    DeviceAccess::setPassProgram(device_, 0);
}

void CompiledEffect::end()
{
    endPass();
    if (!begun_) return;
    begun_ = false;
    for (auto it = savedStates_.rbegin(); it != savedStates_.rend(); ++it)
        device_.setRenderState(it->first, it->second);
    savedStates_.clear();
}

void CompiledEffect::setValues(ParameterHandle parameter, std::span<const float> values)
{
    if (!parameter || parameter.index >= int(values_.size())) return;
    std::vector<float>& stored = values_[size_t(parameter.index)];
    if (stored.empty()) return; // objects hold no value
    const size_t count = std::min(values.size(), stored.size());
    // The engine sets every automatic parameter before every pass; most are
    // unchanged, and an unchanged value needs no upload.
    if (std::equal(values.begin(), values.begin() + std::ptrdiff_t(count), stored.begin())) return;
    std::copy_n(values.begin(), count, stored.begin());
    for (auto& technique : passes_)
        for (PassRuntime& runtime : technique)
            if (runtime.uniformBuffer) runtime.blockDirty = true;
}

void CompiledEffect::setTexture(ParameterHandle parameter, Texture* texture)
{
    if (!parameter || parameter.index >= int(textures_.size())) return;
    textures_[size_t(parameter.index)] = texture;
}

void CompiledEffect::setFloat(ParameterHandle parameter, float value)
{
    setValues(parameter, std::span(&value, 1));
}

void CompiledEffect::setVector(ParameterHandle parameter, const Core::Vector4& value)
{
    const float v[4] = {value.x, value.y, value.z, value.w};
    setValues(parameter, v);
}

void CompiledEffect::setMatrix(ParameterHandle parameter, const Core::Matrix& value)
{
    if (!parameter || parameter.index >= int(values_.size())) return;
    const EffectParameter& p = description_.parameters[size_t(parameter.index)];
    // The parameter's rows x columns block of the matrix, row by row.
    float block[16];
    size_t count = 0;
    for (uint32_t r = 0; r < std::min<uint32_t>(p.rows, 4); ++r)
        for (uint32_t c = 0; c < std::min<uint32_t>(p.columns, 4); ++c) block[count++] = value.m[r][c];
    setValues(parameter, std::span<const float>(block, count));
}

std::span<const float> CompiledEffect::parameterValue(ParameterHandle parameter) const
{
    if (!parameter || parameter.index >= int(values_.size())) return {};
    return values_[size_t(parameter.index)];
}

Texture* CompiledEffect::parameterTexture(ParameterHandle parameter) const
{
    if (!parameter || parameter.index >= int(textures_.size())) return nullptr;
    return textures_[size_t(parameter.index)];
}

} // namespace ORV::Gfx
