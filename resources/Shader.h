// Shaders: compiled effects from ".fx" assets with the technique chosen for
// them. Their #include files are served by EffectIncludes
// (resources/EffectIncludes.h); their automatic parameters are set from the
// semantic table (resources/Semantics.h) whenever a technique begins.
#pragma once

#include "platform/gfx/CompiledEffect.h"
#include "resources/EffectIncludes.h"
#include "resources/Resource.h"
#include "resources/Semantics.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ORV::Demo {

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

    Gfx::CompiledEffect* effect() const { return effect_.get(); }
    Gfx::TechniqueHandle technique() const { return technique_; }

private:
    struct AutomaticParameter {
        Gfx::ParameterHandle parameter;
        SemanticSetter setter;
    };
    void findAutomaticParameters();

    std::unique_ptr<Gfx::CompiledEffect> effect_;
    Gfx::TechniqueHandle technique_;
    std::vector<AutomaticParameter> automatic_; // in parameter order
    std::uint64_t automaticTableVersion_ = 0; // table version automatic_ was found with; 0: never
};

// The defines every effect is compiled with: TELM (empty) and TELM_VER=100.
std::span<const Gfx::EffectDefine> effectDefines();

// The registry loader for ".fx" assets.
std::unique_ptr<Resource> loadShader(std::string path, std::string name);

// What happens when an effect does not compile, after its messages are in the
// log. With no handler installed (null, the default) one more line in the log
// names the file and the program goes on with a shader that has no effect;
// the demo installs a handler that ends the program (app/EffectFailure.h).
using EffectFailureHandler = void (*)(const std::string& sourceName);
void setEffectFailureHandler(EffectFailureHandler handler);

} // namespace ORV::Demo
