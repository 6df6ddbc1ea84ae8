// The plain HLSL that glslang's HLSL front end compiles for one shader: the
// parsed effect's declarations and the functions one entry point reaches, with
// the effect-only constructs already taken out by the parser. Compiling it is
// ShaderTranslator's business.
#pragma once

#include "platform/gfx/effect/detail/EffectParser.h"

#include <string>

namespace ORV::Gfx::detail {

// The HLSL for one entry point: every declaration, and the functions the entry
// point reaches (all overloads of a name it uses), plus extra when given.
// #line directives keep glslang's messages pointing into the effect source and
// its include files.
std::string writeHlsl(const ParsedEffect& effect, const std::string& entryPoint, const HlslChunk* extra = nullptr);

// For compile statements with arguments: a function named wrapperName that
// takes the non-uniform parameters of the shader's function and calls it with
// the compile arguments bound to its uniform parameters, as D3DX binds them.
// False with error when no overload has as many uniform parameters.
bool makeEntryWrapper(const ParsedEffect& effect, const ParsedShader& shader, const std::string& wrapperName,
                      HlslChunk& wrapper, std::string& error);

} // namespace ORV::Gfx::detail
