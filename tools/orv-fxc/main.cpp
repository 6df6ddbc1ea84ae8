// orv-fxc FILE.fx [--glsl]
//
// Compiles an effect file as the demo does: with its defines, and with
// #include served from the archives and files below the current folder, looked
// up from their root whatever folder the effect is in. Prints its techniques,
// passes with their states and parameters with semantics, types and default
// values; --glsl also prints the generated GLSL of every pass. Where an
// off-screen GL context can be had, every pass is also linked, and each
// technique is reported valid or not, as the demo would choose it. Compiler
// messages go to standard error as file:line: error: text, and the exit status
// is 1.
#include "platform/DeviceWindow.h"
#include "platform/gfx/CompiledEffect.h"
#include "platform/gfx/effect/EffectCompiler.h"
#include "resources/FileSystem.h"
#include "resources/Shader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace ORV::Gfx;

namespace {

const char* typeName(ParameterType type)
{
    static const char* names[] = {"void",    "bool",      "int",       "float",     "string",
                                  "texture", "texture1D", "texture2D", "texture3D", "textureCUBE",
                                  "sampler", "sampler1D", "sampler2D", "sampler3D", "samplerCUBE"};
    return names[size_t(type)];
}

const char* className(ParameterClass c)
{
    static const char* names[] = {"scalar", "vector", "matrix (rows)", "matrix (columns)", "object", "struct"};
    return names[size_t(c)];
}

std::string numbers(const std::vector<float>& values)
{
    std::string text = "{";
    char buffer[32];
    for (size_t i = 0; i < values.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%s%g", i ? ", " : "", double(values[i]));
        text += buffer;
    }
    return text + "}";
}

void printAnnotations(const std::vector<EffectAnnotation>& annotations, const char* indent)
{
    for (const EffectAnnotation& a : annotations)
        std::cout << indent << "<" << a.typeName << " " << a.name << " = "
                  << (a.typeName == "string" ? "\"" + a.text + "\"" : numbers(a.numbers)) << ">\n";
}

void printParameter(const EffectDescription& effect, const EffectParameter& p)
{
    std::cout << "  " << typeName(p.type);
    if (p.parameterClass != ParameterClass::Object && p.parameterClass != ParameterClass::Scalar)
        std::cout << (p.rows > 1 ? std::to_string(p.rows) + "x" : "") << p.columns;
    std::cout << " " << p.name;
    if (p.elements) std::cout << "[" << p.elements << "]";
    if (!p.semantic.empty()) std::cout << " : " << p.semantic;
    std::cout << "  (" << className(p.parameterClass) << ")";
    if (!p.defaultValue.empty()) std::cout << " = " << numbers(p.defaultValue);
    if (p.type == ParameterType::String) std::cout << " = \"" << p.defaultText << "\"";
    if (p.textureParameter >= 0) std::cout << " -> " << effect.parameters[size_t(p.textureParameter)].name;
    std::cout << "\n";
    for (const SamplerStateAssignment& s : p.samplerStates)
        std::cout << "      " << samplerStateName(s.state) << " = " << samplerStateValueName(s.state, s.value) << "\n";
    printAnnotations(p.annotations, "      ");
}

void printPass(const EffectDescription& effect, const EffectTechnique& technique, const EffectPass& pass, bool glsl)
{
    std::cout << "  pass " << (pass.name.empty() ? "(unnamed)" : pass.name) << "\n";
    printAnnotations(pass.annotations, "    ");
    std::cout << "    VertexShader = compile " << pass.vertexShader.profile << " " << pass.vertexShader.entryPoint
              << "()\n";
    std::cout << "    PixelShader = compile " << pass.pixelShader.profile << " " << pass.pixelShader.entryPoint
              << "()\n";
    for (const PassStateAssignment& s : pass.states)
        std::cout << "    " << renderStateName(s.state) << " = " << renderStateValueName(s.state, s.value) << "\n";
    std::cout << "    vertex inputs:";
    for (const VertexInput& input : pass.vertexInputs)
        std::cout << " " << input.semantic << input.semanticIndex << "@" << input.location;
    std::cout << "\n    uniform block: " << pass.uniforms.size << " bytes\n";
    for (const UniformMember& m : pass.uniforms.members) {
        std::cout << "      " << effect.parameters[size_t(m.parameter)].name << " offset " << m.offset << " size "
                  << m.size;
        if (m.arrayStride) std::cout << " array stride " << m.arrayStride;
        if (m.matrixStride)
            std::cout << " matrix stride " << m.matrixStride << (m.writeTransposed ? " (write transposed)" : "");
        std::cout << "\n";
    }
    for (const SamplerBinding& s : pass.samplers)
        std::cout << "    sampler " << effect.parameters[size_t(s.samplerParameter)].name << " -> unit " << s.binding
                  << (s.textureParameter >= 0 ? " (" + effect.parameters[size_t(s.textureParameter)].name + ")"
                                              : std::string())
                  << "\n";
    if (glsl) {
        std::cout << "    --- vertex GLSL (" << technique.name << "/" << pass.name << ") ---\n"
                  << pass.vertexShader.glsl << "    --- pixel GLSL (" << technique.name << "/" << pass.name << ") ---\n"
                  << pass.pixelShader.glsl;
    }
}

} // namespace

// Links every pass on an off-screen GL context and reports which techniques
// are valid. False when no technique is; true (with a note) when no context
// can be had, since compiling is all this tool can then check.
bool linkPasses(const EffectDescription& description)
{
    auto opened = ORV::Platform::DeviceWindow::openOffscreen(16, 16);
    if (!opened) {
        std::cout << "not linked: " << opened.messages() << "\n";
        return true;
    }
    auto window = std::move(opened).value();
    auto effect = CompiledEffect::create(window->device(), description);
    bool anyValid = false;
    for (size_t i = 0; i < description.techniques.size(); ++i) {
        const bool valid = effect->findNextValidTechnique(TechniqueHandle{int(i) - 1}).index == int(i);
        anyValid = anyValid || valid;
        std::cout << "technique " << description.techniques[i].name << ": " << (valid ? "valid" : "does not link")
                  << "\n";
    }
    if (!effect->linkMessages().empty()) std::cerr << effect->linkMessages();
    const TechniqueHandle chosen = effect->findNextValidTechnique();
    if (chosen)
        std::cout << "the demo uses technique " << description.techniques[size_t(chosen.index)].name << "\n";
    else
        std::cerr << "no technique links: the demo cannot use this effect\n";
    return anyValid;
}

int main(int argc, char** argv)
{
    std::string path;
    bool glsl = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--glsl")
            glsl = true;
        else if (path.empty() && arg.rfind("--", 0) != 0)
            path = arg;
        else {
            std::cerr << "usage: orv-fxc FILE.fx [--glsl]\n";
            return 2;
        }
    }
    if (path.empty()) {
        std::cerr << "usage: orv-fxc FILE.fx [--glsl]\n";
        return 2;
    }
    std::ifstream file(path, std::ios::binary);
    const ORV::Core::Result<std::string> source = ORV::Demo::readWholeStream(file);
    if (!source) {
        std::cerr << path << ": " << source.messages() << "\n";
        return 1;
    }

    std::filesystem::path filePath(path);
    ORV::Demo::EffectIncludes includes; // the mounts of the current folder, as the demo has them
    ORV::Core::Result<EffectDescription> result =
        compileEffect(source.value(), filePath.filename().string(), ORV::Demo::effectDefines(), includes);
    if (!result) {
        std::cerr << result.messages() << '\n';
        return 1;
    }
    const EffectDescription& effect = result.value();
    std::cout << filePath.filename().string() << ": " << effect.parameters.size() << " parameters, "
              << effect.techniques.size() << " techniques\n";
    std::cout << "parameters:\n";
    for (const EffectParameter& p : effect.parameters) printParameter(effect, p);
    for (const EffectTechnique& technique : effect.techniques) {
        std::cout << "technique " << (technique.name.empty() ? "(unnamed)" : technique.name) << "\n";
        printAnnotations(technique.annotations, "  ");
        for (const EffectPass& pass : technique.passes) printPass(effect, technique, pass, glsl);
    }
    return linkPasses(effect) ? 0 : 1;
}
