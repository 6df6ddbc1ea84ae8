#include "scene/SceneAssembly.h"

#include "resources/Material.h"
#include "resources/Model.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneFile.h"

#include <array>
#include <charconv>
#include <optional>
#include <vector>

namespace ORV::Demo {

namespace {

// Reads whitespace-separated decimal numbers; nothing when the text holds
// fewer than `count` or anything that is not a number among them.
template <size_t Count> std::optional<std::array<float, Count>> parseNumbers(const std::string& text)
{
    std::array<float, Count> values{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    auto skipSpace = [&] {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    };
    for (size_t i = 0; i < Count; ++i) {
        skipSpace();
        if (p < end && *p == '+') ++p; // from_chars takes no plus sign
        const auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc()) return std::nullopt;
        p = next;
    }
    return values;
}

} // namespace

Material* buildMaterial(const MaterialRecord& record)
{
    auto* shader = dynamic_cast<Shader*>(resourceRegistry().findByPath(record.effectName));
    auto* material = new Material(shader);
    material->setPassName(ambientPass, "ambient");
    material->setPassName(shadePass, "shade");
    material->setPassName(emissivePass, "emissive");
    material->setPassName(depthDistPass, "depthdist");
    if (!shader || !shader->effect()) return material;

    const Gfx::CompiledEffect& effect = *shader->effect();
    constexpr float byteToUnit = 0.003921569f; // 1/255 in single precision
    for (const auto& [key, value] : record.parameters) {
        const Gfx::ParameterHandle parameter = effect.parameterByName(key);
        if (!parameter) continue;
        const Gfx::ParameterDesc desc = effect.parameterDesc(parameter);
        switch (desc.type) {
        case Gfx::ParameterType::Texture:
        case Gfx::ParameterType::Texture1D:
        case Gfx::ParameterType::Texture2D:
        case Gfx::ParameterType::Texture3D:
            material->setTexture(key, dynamic_cast<Texture*>(resourceRegistry().findByPath(value, loadTexture)));
            break;
        case Gfx::ParameterType::Float:
            if (desc.parameterClass == Gfx::ParameterClass::Scalar) {
                if (auto number = parseNumbers<1>(value)) material->setFloat(key, (*number)[0]);
            } else if (desc.parameterClass == Gfx::ParameterClass::Vector) {
                if (auto rgb = parseNumbers<3>(value))
                    material->setColor(key,
                                       {(*rgb)[0] * byteToUnit, (*rgb)[1] * byteToUnit, (*rgb)[2] * byteToUnit, 1.0f});
            }
            break;
        default: break; // integers, booleans, matrices, strings, cube textures
        }
    }
    return material;
}

void buildFromMesh(Model& model, const MeshPart& part)
{
    std::vector<ModelVertex> vertices(part.vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        const MeshVertex& in = part.vertices[i];
        vertices[i] = {in.position, in.normal, in.u, in.v, in.tangent};
    }
    model.buildMesh(vertices, part.indices);
}

} // namespace ORV::Demo
