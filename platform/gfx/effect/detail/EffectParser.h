// The effect structure (parameters, samplers, techniques, passes, states) read
// from the tokens of a preprocessed source, with the HLSL that remains kept as
// chunks of tokens. Constant expressions are ConstantEvaluator's; turning the
// chunks into HLSL per entry point is HlslWriter's.
#pragma once

#include "platform/gfx/effect/EffectDescription.h"
#include "platform/gfx/effect/detail/EffectLexer.h"

#include <string>
#include <vector>

namespace ORV::Gfx::detail {

struct ParsedShader {
    bool present = false;
    std::string profile;
    std::string entryPoint;
    // compile ps_2_0 f(true, 2.0): the expressions bound, in order, to the
    // uniform parameters of f. Empty for f().
    std::vector<std::vector<Token>> arguments;
    std::string argumentsText;
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
    std::string functionName; // empty unless a function
    std::vector<std::string> identifiers; // identifiers a function's body uses
    // Functions: the return type (without storage modifiers), the parameters
    // as written, and what stands between ')' and the body (the semantic).
    std::vector<Token> returnType;
    std::vector<std::vector<Token>> parameters;
    std::vector<Token> returnSemantic;
};

struct ParsedEffect {
    std::vector<EffectParameter> parameters;
    std::vector<ParsedTechnique> techniques;
    std::vector<HlslChunk> chunks;
    std::vector<std::string> files;
};

// Limits on what the parser passes on to glslang's HLSL front end, whose
// recursive descent has no depth limit of its own: far above real effects
// (whose functions are a few thousand tokens), and a few times below where
// its recursion overflows the compiler's stack (EffectCompiler.cpp).
constexpr int maxBracketNesting = 64;
constexpr int maxChunkTokens = 8192;
// Real shaders nest loops two or three deep.
constexpr int maxLoopNesting = 8;

// Reads the effect structure. On a fault, appends "file:line: error: ..." to
// messages and returns false.
bool parseEffect(const LexedEffect& lexed, ParsedEffect& effect, std::string& messages);

// "file:line: error: text" and a newline: the form of every compiler message.
std::string formatMessage(const SourceLocation& where, const std::string& text);

} // namespace ORV::Gfx::detail
