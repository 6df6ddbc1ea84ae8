// One effect compiled as the demo compiles it (its two defines, includes from
// the given handler) and linked on a device, timed step by step.
#pragma once

#include "platform/gfx/CompiledEffect.h"
#include "platform/gfx/Device.h"

#include <cstddef>
#include <string>

namespace ORV::Bench {

struct EffectTime {
    bool ok = false; // compiled, and a technique links
    std::string messages; // the compiler's or the linker's, when not ok
    std::size_t passes = 0; // over every technique
    // Milliseconds: the compiler's own steps, the GL link of every pass, and
    // the wall time of the whole.
    double preprocess = 0, frontEnd = 0, crossCompile = 0, link = 0, total = 0;
};

// The first compilation of a process also pays for glslang's start-up.
EffectTime compileAndLink(Gfx::Device& device, const std::string& source, const std::string& sourceName,
                          Gfx::EffectIncludeHandler& includes);

} // namespace ORV::Bench
