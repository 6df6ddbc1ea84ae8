// Compiled effects, the runtime half of D3DX's ID3DXEffect on GL: one linked
// program per pass, parameters set by handle or name and uploaded once per
// pass begin, textures bound to the samplers that name them, pass states
// applied at beginPass and (with begin flags 0) restored at end. Compilation
// itself is the effect compiler's (effect/EffectCompiler.h); drawing is the
// device's, with the program of the pass in progress.
//
// Threading: main thread, with the device's GL context current.
#pragma once

#include "core/Math.h"
#include "platform/gfx/effect/EffectCompiler.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Gfx {

class Device;
class Texture;

// Handles name a parameter, technique or pass of one effect; a default handle
// is "none".
struct ParameterHandle {
    int index = -1;
    explicit operator bool() const { return index >= 0; }
    friend bool operator==(ParameterHandle, ParameterHandle) = default;
};
struct TechniqueHandle {
    int index = -1;
    explicit operator bool() const { return index >= 0; }
    friend bool operator==(TechniqueHandle, TechniqueHandle) = default;
};
struct PassHandle {
    int technique = -1;
    int pass = -1;
    explicit operator bool() const { return pass >= 0; }
    friend bool operator==(PassHandle, PassHandle) = default;
};

struct EffectDesc {
    uint32_t parameters = 0; // top-level parameters
    uint32_t techniques = 0;
};

struct ParameterDesc {
    std::string_view name;
    std::string_view semantic; // empty when none
    ParameterClass parameterClass = ParameterClass::Object;
    ParameterType type = ParameterType::Void;
    uint32_t rows = 0, columns = 0, elements = 0;
};

class CompiledEffect {
public:
    // Compiles source (D3DXCreateEffect) and links every pass. Null when the
    // source does not compile, with the compiler's messages in *messages.
    // Passes that do not link leave their technique invalid; their link log is
    // kept in linkMessages().
    static std::unique_ptr<CompiledEffect> create(Device& device, std::string_view source, std::string_view sourceName,
                                                  std::span<const EffectDefine> defines, EffectIncludeHandler& includes,
                                                  std::string* messages);
    // Links an effect already compiled.
    static std::unique_ptr<CompiledEffect> create(Device& device, EffectDescription description);
    ~CompiledEffect();
    CompiledEffect(const CompiledEffect&) = delete;
    CompiledEffect& operator=(const CompiledEffect&) = delete;

    // The first technique after `after` (from the first when none) whose
    // passes all linked; none when there is no such technique.
    TechniqueHandle findNextValidTechnique(TechniqueHandle after = {}) const;
    void setTechnique(TechniqueHandle technique);
    TechniqueHandle technique() const { return technique_; }

    EffectDesc desc() const;
    ParameterHandle parameter(uint32_t index) const; // top-level, none past the end
    ParameterHandle parameterByName(std::string_view name) const;
    ParameterDesc parameterDesc(ParameterHandle parameter) const;
    PassHandle passByName(TechniqueHandle technique, std::string_view name) const;
    PassHandle pass(TechniqueHandle technique, uint32_t index) const;

    // Starts the current technique; returns its pass count (0 without one).
    // flags 0 saves the device states its passes assign, for end to restore.
    uint32_t begin(uint32_t flags = 0);
    // Applies the pass's states, binds its program, uploads the parameters
    // changed since it was last begun and binds its textures. False (and
    // nothing done) for an index past the last pass or outside begin/end.
    bool beginPass(uint32_t index);
    void endPass();
    void end();

    // Unknown handles and names are ignored; values are kept for every pass.
    // Vectors and matrices fill what the parameter holds (a float3 takes x, y,
    // z; a float3x3 the upper-left block), row by row.
    void setTexture(ParameterHandle parameter, Texture* texture);
    void setFloat(ParameterHandle parameter, float value);
    void setVector(ParameterHandle parameter, const Core::Vector4& value);
    void setMatrix(ParameterHandle parameter, const Core::Matrix& value);
    void setTexture(std::string_view name, Texture* texture) { setTexture(parameterByName(name), texture); }
    void setFloat(std::string_view name, float value) { setFloat(parameterByName(name), value); }
    void setVector(std::string_view name, const Core::Vector4& value) { setVector(parameterByName(name), value); }
    void setMatrix(std::string_view name, const Core::Matrix& value) { setMatrix(parameterByName(name), value); }

    // The values as they stand (for tools and tests): floats row by row.
    std::span<const float> parameterValue(ParameterHandle parameter) const;
    Texture* parameterTexture(ParameterHandle parameter) const;

    const EffectDescription& description() const { return description_; }
    const std::string& linkMessages() const { return linkMessages_; }

private:
    struct PassRuntime;
    CompiledEffect(Device& device, EffectDescription description);
    void link();
    void setValues(ParameterHandle parameter, std::span<const float> values);

    Device& device_;
    EffectDescription description_;
    std::vector<std::vector<float>> values_; // per parameter
    std::vector<Texture*> textures_; // per parameter, not owned
    std::vector<std::vector<PassRuntime>> passes_; // per technique
    std::vector<bool> techniqueValid_;
    std::string linkMessages_;
    TechniqueHandle technique_;
    bool begun_ = false;
    int activePass_ = -1;
    // States saved by begin(0): (state, value before the technique).
    std::vector<std::pair<RenderState, uint32_t>> savedStates_;
};

} // namespace ORV::Gfx
