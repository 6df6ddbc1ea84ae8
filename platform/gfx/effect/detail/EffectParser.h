// The effect structure read from a preprocessed source, and the plain HLSL
// that remains for glslang once the effect-only constructs are taken out.
#pragma once

#include "platform/gfx/effect/EffectDescription.h"
#include "platform/gfx/effect/detail/EffectLexer.h"

#include <string>
#include <vector>

namespace ORV::Gfx::Detail {

struct ParsedShader {
    bool present = false;
    std::string profile;
    std::string entryPoint;
    SourceLocation location;
};

struct ParsedPass {
    std::string name;
    std::vector<EffectAnnotation> annotations;
    std::vector<PassStateAssignment> states;
    ParsedShader vertexShader;
    ParsedShader pixelShader;
    SourceLocation location;
};

struct ParsedTechnique {
    std::string name;
    std::vector<EffectAnnotation> annotations;
    std::vector<ParsedPass> passes;
    SourceLocation location;
};

// One top-level piece of the HLSL text: a declaration kept or rewritten, or a
// function (emitted only when reachable from the entry point being compiled).
struct HlslChunk {
    std::vector<Token> tokens;
    std::string functionName;             // empty unless a function
    std::vector<std::string> identifiers; // identifiers a function's body uses
};

struct ParsedEffect {
    std::vector<EffectParameter> parameters;
    std::vector<ParsedTechnique> techniques;
    std::vector<HlslChunk> chunks;
    std::vector<std::string> files;
};

// Reads the effect structure. On a fault, appends "file:line: error: ..." to
// messages and returns false.
bool parseEffect(const LexedEffect& lexed, ParsedEffect& effect, std::string& messages);

// The HLSL for one entry point: every declaration, and the functions the entry
// point reaches. #line directives keep glslang's messages pointing into the
// effect source and its include files.
std::string writeHlsl(const ParsedEffect& effect, const std::string& entryPoint);

bool hasFunction(const ParsedEffect& effect, const std::string& name);

std::string formatMessage(const SourceLocation& where, const std::string& text);

} // namespace ORV::Gfx::Detail
