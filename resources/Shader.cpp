#include "resources/Shader.h"

#include "console/Console.h"
#include "display/Display.h"
#include "resources/EffectIncludes.h"
#include "resources/FileSystem.h"

namespace ORV::Demo {

namespace {

EffectFailureHandler effectFailureHandler = nullptr;

const Gfx::EffectDefine demoEffectDefines[] = {{"TELM", ""}, {"TELM_VER", "100"}};

} // namespace

std::span<const Gfx::EffectDefine> effectDefines()
{
    return demoEffectDefines;
}

void setEffectFailureHandler(EffectFailureHandler handler)
{
    effectFailureHandler = handler;
}

Shader::Shader()
{
    registerBuiltInSemantics();
}

Shader::~Shader() = default;

void Shader::compile(std::istream& in, const std::string& sourceName)
{
    automaticTableVersion_ = 0; // the parameters found belong to the effect being replaced
    Core::consoleStream << "Compiling effect\n" << std::flush;
    const Core::Result<std::string> source = readWholeStream(in);
    EffectIncludes includes;
    std::string messages;
    if (!source)
        messages = sourceName + ":0: error: the effect source " + source.messages();
    else if (Display::hasDevice())
        effect_ = Gfx::CompiledEffect::create(Display::device(), source.value(), sourceName, effectDefines(), includes,
                                              &messages);
    else
        messages = sourceName + ":0: error: no graphics device to create the effect on";
    if (!messages.empty()) Core::consoleStream << messages << "\n" << std::flush;
    if (!effect_) {
        if (effectFailureHandler)
            effectFailureHandler(sourceName);
        else
            Core::consoleStream << "Effect " << sourceName << " does not compile; the shader has no effect\n"
                                << std::flush;
        return;
    }
    technique_ = effect_->findNextValidTechnique();
}

void Shader::findAutomaticParameters()
{
    automatic_.clear();
    const Gfx::CompiledEffect& e = *effect_;
    const uint32_t count = e.desc().parameters;
    for (uint32_t i = 0; i < count; ++i) {
        const Gfx::ParameterHandle parameter = e.parameter(i);
        const Gfx::ParameterDesc desc = e.parameterDesc(parameter);
        if (desc.semantic.empty()) continue;
        if (SemanticSetter setter = findSemantic(desc.semantic)) automatic_.push_back({parameter, setter});
    }
    automaticTableVersion_ = semanticTableVersion();
}

uint32_t Shader::begin()
{
    if (!effect_) return 0;
    effect_->setTechnique(technique_);
    if (automaticTableVersion_ != semanticTableVersion()) findAutomaticParameters();
    for (const AutomaticParameter& automatic : automatic_) automatic.setter(*this, automatic.parameter);
    return effect_->begin(0);
}

std::unique_ptr<Resource> loadShader(std::string path, std::string /*name*/)
{
    auto shader = std::make_unique<Shader>();
    auto stream = openStream(path);
    shader->compile(*stream, path);
    return shader;
}

} // namespace ORV::Demo
