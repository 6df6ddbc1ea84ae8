// The D3DX-style effect compiler: an ".fx" source with its defines and
// includes in, an EffectDescription (EffectDescription.h) or compiler messages
// out. It reads no file itself (includes come through EffectIncludeHandler)
// and touches no GL; linking and drawing are the effect runtime's.
//
// Steps: glslang's preprocessor (defines, #include through the handler), our
// own parser for the effect structure (parameters, samplers, techniques,
// passes, states), plain HLSL per shader entry point compiled by glslang's
// HLSL front end to SPIR-V, and SPIRV-Cross to GLSL 4.50 with reflection.
//
// Thread safety: compileEffect may run on any thread, one compilation at a time
// per handler. It does its work on a thread of its own with a large stack and
// waits for it, so the include handler is called on that thread.
#pragma once

#include "core/Result.h"
#include "platform/gfx/effect/EffectDescription.h"

#include <span>
#include <string>
#include <string_view>

namespace ORV::Gfx {

// Serves the files named by #include "name". The name is passed as written in
// the directive; where to look it up, and which names to refuse, is the
// handler's business (the engine serves names from the asset folder only).
// Called during compileEffect only, at most once per name and compilation.
class EffectIncludeHandler {
public:
    virtual ~EffectIncludeHandler() = default;
    // The file's bytes, or why there are none: the message is reported at the
    // #include line.
    virtual Core::Result<std::string> open(const std::string& name) = 0;
};

// A handler that serves nothing: every #include fails with a message.
class NoEffectIncludes final : public EffectIncludeHandler {
public:
    Core::Result<std::string> open(const std::string&) override
    {
        return Core::Result<std::string>::failure("cannot open include file");
    }
};

struct EffectDefine {
    std::string name;
    std::string definition; // may be empty
};

// Milliseconds spent in each step, summed over all shaders of the effect.
struct EffectCompileTimings {
    double preprocess = 0.0;
    double frontEnd = 0.0; // effect parser and glslang's HLSL to SPIR-V
    double crossCompile = 0.0; // SPIRV-Cross to GLSL and reflection
};

// Compiles an effect. sourceName is the name messages use for the main file.
// On failure, the compiler messages, one per line, each starting with
// "file:line: error: " where file and line point into the effect source or the
// include file the fault is in. When timings is given, it receives the time
// spent in each step, whether or not compilation succeeded.
// Limits on bad input: include nesting is at most maxEffectIncludeDepth deep;
// the preprocessed text, the include count, macro expansion and bracket
// nesting are bounded (detail/PreprocessorBounds.h, detail/EffectLexer.h);
// every fault gives messages, never an exception or an abort.
Core::Result<EffectDescription> compileEffect(std::string_view source, std::string_view sourceName,
                                              std::span<const EffectDefine> defines, EffectIncludeHandler& includes,
                                              EffectCompileTimings* timings = nullptr);

constexpr int maxEffectIncludeDepth = 32;

} // namespace ORV::Gfx
