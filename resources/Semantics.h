// The automatic parameters of shaders: a process-wide table from semantic
// (compared without regard to letter case) to a setter that writes the current
// value (the display's matrices and camera vectors, or the demo's scene-global
// values) into every parameter with that semantic whenever a shader's
// technique begins. Main thread only.
#pragma once

#include "platform/gfx/CompiledEffect.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ORV::Demo {

class Shader;

// Writes one parameter of the shader's effect. Runs at every begin.
using SemanticSetter = void (*)(Shader& shader, Gfx::ParameterHandle parameter);

// Enters or replaces the setter for a semantic (letter case ignored).
void registerSemantic(const std::string& semantic, SemanticSetter setter);
// The setter for a semantic, or null.
SemanticSetter findSemantic(std::string_view semantic);

// Registers the eighteen built-in semantics, the display's matrices (with
// inverses) and camera vectors; a demo setter registered under a built-in
// name is replaced by the built-in one. Every Shader construction calls it.
void registerBuiltInSemantics();

// Counts the changes of the table, starting at 1, so that a shader knows when
// the setters it found for its parameters may be stale.
std::uint64_t semanticTableVersion();

} // namespace ORV::Demo
