// Shaders: compiled effects from ".fx" assets with the technique chosen for
// them, the include handler that serves their #include files from the asset
// file system, and the automatic parameters: a process-wide table from
// semantic (compared without regard to letter case) to a setter that writes
// the current value (the display's matrices and camera vectors, or the demo's
// scene-global values) into every parameter with that semantic whenever a
// shader's technique begins.
#pragma once

#include "core/Math.h"
#include "platform/gfx/Effect.h"
#include "resources/Resource.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Demo {

class Shader;

// Writes one parameter of the shader's effect. Runs at every begin.
using SemanticSetter = void (*)(Shader& shader, Gfx::ParameterHandle parameter);

class Shader : public Resource {
public:
    // Registers the eighteen built-in semantics (again: a demo setter
    // registered under a built-in name is replaced by the built-in one).
    Shader();
    ~Shader() override;

    // Reads the whole stream and compiles it with the defines TELM and
    // TELM_VER=100 and includes from the asset file system, logging
    // "Compiling effect" and any compiler messages to the console log. An
    // effect that does not compile leaves the shader without an effect and is
    // reported to the failure handler (see setEffectFailureHandler);
    // sourceName names the file in messages.
    void compile(std::istream& in, const std::string& sourceName = "effect");

    // Sets the technique, runs the setter of every top-level parameter whose
    // semantic is in the table, begins the technique (flags 0) and returns its
    // pass count. Which parameters have a setter is worked out at the first
    // begin and again only after the semantic table has changed, so a frame's
    // begins do no table lookups.
    uint32_t begin();

    Gfx::Effect* effect() const { return effect_.get(); }
    Gfx::TechniqueHandle technique() const { return technique_; }

private:
    struct AutomaticParameter {
        Gfx::ParameterHandle parameter;
        SemanticSetter setter;
    };
    void findAutomaticParameters();

    std::unique_ptr<Gfx::Effect> effect_;
    Gfx::TechniqueHandle technique_;
    std::vector<AutomaticParameter> automatic_; // in parameter order
    std::uint64_t automaticTableVersion_ = 0;   // table version automatic_ was found with; 0: never
};

// The defines every effect is compiled with: TELM (empty) and TELM_VER=100.
std::span<const Gfx::EffectDefine> effectDefines();

// The registry loader for ".fx" assets.
std::unique_ptr<Resource> loadShader(std::string path, std::string name);

// Enters or replaces the setter for a semantic (letter case ignored).
void registerSemantic(const std::string& semantic, SemanticSetter setter);
// The setter for a semantic, or null.
SemanticSetter findSemantic(std::string_view semantic);

// Inverts m in place through its adjugate; false, and m unchanged, when the
// determinant's magnitude is below 0.0005.
bool invertMatrix(Core::Matrix& m);

// Serves every #include name from the asset file system, looked up from the
// archive root after path normalisation, whatever file includes it.
class EffectIncludes final : public Gfx::EffectIncludeHandler {
public:
    std::optional<std::string> open(const std::string& name) override;
};

// What happens when an effect does not compile, after its messages are in the
// log. With no handler installed (null, the default) one more line in the log
// names the file and the program goes on with a shader that has no effect;
// the demo installs a handler that ends the program (app/EffectFailure.h).
using EffectFailureHandler = void (*)(const std::string& sourceName);
void setEffectFailureHandler(EffectFailureHandler handler);

} // namespace ORV::Demo
