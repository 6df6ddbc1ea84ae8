// Feeds arbitrary effect sources to the effect compiler. Besides not
// crashing, hanging or reading out of bounds, it checks that a failure always
// comes with located messages, and that a success describes passes whose
// uniform members lie inside their block and whose samplers and parameters
// exist, so that packing every default value stays inside the block.
//
// The input is "source" or "source\x01include": the include, when present,
// is served under every name, so includes (and their recursion) are reached.
// Seeds: the effect samples of the tests (tests/platform/effects).
#include "platform/gfx/effect/EffectCompiler.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace ORV::Gfx;

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

class OneFileIncludes final : public EffectIncludeHandler {
public:
    std::optional<std::string> include;
    ORV::Core::Result<std::string> open(const std::string&) override
    {
        if (!include) return ORV::Core::Result<std::string>::failure("cannot open include file");
        return *include;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    OneFileIncludes includes;
    size_t split = input.find('\x01');
    if (split != std::string::npos) {
        includes.include = input.substr(split + 1);
        input.resize(split);
    }
    const EffectDefine defines[] = {{"TELM", ""}, {"TELM_VER", "100"}};
    ORV::Core::Result<EffectDescription> result = compileEffect(input, "fuzz.fx", defines, includes);
    if (!result) {
        check(result.messages().find(": error: ") != std::string::npos);
        return 0;
    }
    const EffectDescription& effect = result.value();
    for (const EffectParameter& p : effect.parameters) check(p.textureParameter < int(effect.parameters.size()));
    for (const EffectTechnique& technique : effect.techniques)
        for (const EffectPass& pass : technique.passes) {
            check(!pass.vertexShader.glsl.empty() && !pass.pixelShader.glsl.empty());
            std::vector<std::byte> block(pass.uniforms.size);
            for (const UniformMember& member : pass.uniforms.members) {
                check(member.parameter >= 0 && member.parameter < int(effect.parameters.size()));
                check(uint64_t(member.offset) + member.size <= pass.uniforms.size);
                packUniform(member, effect.parameters[size_t(member.parameter)].defaultValue, block);
            }
            for (const SamplerBinding& sampler : pass.samplers)
                check(sampler.samplerParameter >= 0 && sampler.samplerParameter < int(effect.parameters.size()));
            for (const VertexInput& input : pass.vertexInputs) check(input.location < 16);
        }
    return 0;
}
