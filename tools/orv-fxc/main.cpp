// orv-fxc FILE.fx [--glsl]
//
// Compiles an effect file with the demo's defines, serving #include from the
// folder of the file, and prints its techniques, passes with their states and
// parameters with semantics, types and default values. --glsl also prints the
// generated GLSL of every pass. Compiler messages go to standard error as
// file:line: error: text, and the exit status is 1.
#include "platform/gfx/effect/EffectCompiler.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace ORV::Gfx;

namespace {

// Serves includes from one folder. The engine serves them from its archive
// mounts instead; only this handler would change.
class FolderIncludes final : public EffectIncludeHandler {
public:
    explicit FolderIncludes(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::optional<std::string> open(const std::string& name) override
    {
        std::ifstream file(folder_ / name, std::ios::binary);
        if (!file)
            return std::nullopt;
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

private:
    std::filesystem::path folder_;
};

const char* typeName(ParameterType type)
{
    static const char* names[] = {"void", "bool", "int", "float", "string", "texture", "texture1D", "texture2D",
                                  "texture3D", "textureCUBE", "sampler", "sampler1D", "sampler2D", "sampler3D",
                                  "samplerCUBE"};
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
    if (p.elements)
        std::cout << "[" << p.elements << "]";
    if (!p.semantic.empty())
        std::cout << " : " << p.semantic;
    std::cout << "  (" << className(p.parameterClass) << ")";
    if (!p.defaultValue.empty())
        std::cout << " = " << numbers(p.defaultValue);
    if (p.type == ParameterType::String)
        std::cout << " = \"" << p.defaultText << "\"";
    if (p.textureParameter >= 0)
        std::cout << " -> " << effect.parameters[size_t(p.textureParameter)].name;
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
        if (m.arrayStride)
            std::cout << " array stride " << m.arrayStride;
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
                  << pass.vertexShader.glsl << "    --- pixel GLSL (" << technique.name << "/" << pass.name
                  << ") ---\n"
                  << pass.pixelShader.glsl;
    }
}

} // namespace

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
    if (!file) {
        std::cerr << path << ": cannot open\n";
        return 1;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();

    // The demo's defines, in the demo's order.
    const EffectDefine defines[] = {{"TELM", ""}, {"TELM_VER", "100"}};
    std::filesystem::path filePath(path);
    FolderIncludes includes(filePath.has_parent_path() ? filePath.parent_path() : std::filesystem::path("."));
    EffectCompileResult result = compileEffect(bytes.str(), filePath.filename().string(), defines, includes);
    if (!result.effect) {
        std::cerr << result.messages;
        return 1;
    }
    const EffectDescription& effect = *result.effect;
    std::cout << filePath.filename().string() << ": " << effect.parameters.size() << " parameters, "
              << effect.techniques.size() << " techniques\n";
    std::cout << "parameters:\n";
    for (const EffectParameter& p : effect.parameters)
        printParameter(effect, p);
    for (const EffectTechnique& technique : effect.techniques) {
        std::cout << "technique " << (technique.name.empty() ? "(unnamed)" : technique.name) << "\n";
        printAnnotations(technique.annotations, "  ");
        for (const EffectPass& pass : technique.passes)
            printPass(effect, technique, pass, glsl);
    }
    return 0;
}
