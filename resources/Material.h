// Materials: a shader with one effect pass named per render pass and a set of
// named effect parameters. Drawing protocol: one select (selectForCurrentPass
// or selectPass), then beginNextPass in a loop with one draw per true result,
// then endPasses. The loop body runs at most once per select.
#pragma once

#include "display/PassId.h"
#include "platform/gfx/CompiledEffect.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ORV::Demo {

class Shader;
class Texture;

class Material {
public:
    // shader is not owned and may be null: such a material selects nothing.
    // Its effect is the one the material keeps parameter handles of, so it is
    // compiled once, before the material is made, and never again.
    explicit Material(Shader* shader = nullptr) : shader_(shader) {}
    virtual ~Material() = default;

    void setPassName(PassId pass, const std::string& name) { passNames_[pass] = name; }
    // Parameters are addressed by effect parameter name; a name the effect
    // lacks is harmless. Texture pointers are not owned (the registry's, or a
    // render target's).
    void setTexture(const std::string& name, Texture* texture) { set(textures_, name, texture); }
    void setFloat(const std::string& name, float value) { set(floats_, name, value); }
    void setVector2(const std::string& name, std::array<float, 2> value) { set(vectors2_, name, value); }
    void setVector3(const std::string& name, std::array<float, 3> value) { set(vectors3_, name, value); }
    void setColor(const std::string& name, std::array<float, 4> value) { set(colors_, name, value); }
    void setMatrix3(const std::string& name, std::array<float, 9> value) { set(matrices3_, name, value); }
    void setMatrix4(const std::string& name, std::array<float, 16> value) { set(matrices4_, name, value); }

    // Selects the pass named for the display's current render pass; false
    // without touching the effect when none is named.
    bool selectForCurrentPass();
    // Begins the shader's technique, finds the pass by name and applies every
    // parameter. False when there is no shader or no such pass; the technique
    // stays begun either way until endPasses.
    bool selectPass(const std::string& name);
    // Ends an open pass, then begins the selected pass once.
    bool beginNextPass();
    // Ends the technique (also after a select that found no pass).
    void endPasses();

    Shader* shader() const { return shader_; }
    const std::map<PassId, std::string>& passNames() const { return passNames_; }
    const std::map<std::string, Texture*>& textures() const { return textures_; }
    const std::map<std::string, float>& floats() const { return floats_; }
    const std::map<std::string, std::array<float, 4>>& colors() const { return colors_; }
    bool passOpen() const { return passOpen_; }

private:
    template <class Map, class Value> void set(Map& map, const std::string& name, const Value& value)
    {
        if (map.insert_or_assign(name, value).second) parameterHandlesFound_ = false;
    }
    void applyParameters();

    bool passOpen_ = false;
    uint32_t passCount_ = 0;
    Shader* shader_ = nullptr;
    int32_t passIndex_ = -1;
    std::map<PassId, std::string> passNames_;
    std::map<std::string, Texture*> textures_;
    std::map<std::string, float> floats_;
    std::map<std::string, std::array<float, 2>> vectors2_;
    std::map<std::string, std::array<float, 3>> vectors3_;
    std::map<std::string, std::array<float, 4>> colors_;
    std::map<std::string, std::array<float, 9>> matrices3_;
    std::map<std::string, std::array<float, 16>> matrices4_;
    // The effect parameter of every map entry, map by map in key order, found
    // by name at the first select after an entry was added rather than at
    // every select.
    std::vector<Gfx::ParameterHandle> parameterHandles_;
    bool parameterHandlesFound_ = false;
};

} // namespace ORV::Demo
