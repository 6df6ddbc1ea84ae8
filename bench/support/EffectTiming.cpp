#include "bench/support/EffectTiming.h"

#include "bench/support/Figures.h"
#include "platform/gfx/effect/EffectCompiler.h"
#include "resources/Shader.h"

namespace ORV::Bench {

EffectTime compileAndLink(Gfx::Device& device, const std::string& source, const std::string& sourceName,
                          Gfx::EffectIncludeHandler& includes)
{
    EffectTime time;
    const Clock::time_point start = Clock::now();
    Gfx::EffectCompileTimings timings;
    Core::Result<Gfx::EffectDescription> result =
        Gfx::compileEffect(source, sourceName, Demo::effectDefines(), includes, &timings);
    time.preprocess = timings.preprocess;
    time.frontEnd = timings.frontEnd;
    time.crossCompile = timings.crossCompile;
    if (!result) {
        time.messages = result.messages();
        time.total = millisecondsSince(start);
        return time;
    }
    for (const Gfx::EffectTechnique& technique : result->techniques) time.passes += technique.passes.size();
    const Clock::time_point linkStart = Clock::now();
    const auto effect = Gfx::CompiledEffect::create(device, std::move(result).value());
    time.link = millisecondsSince(linkStart);
    time.total = millisecondsSince(start);
    time.ok = bool(effect->findNextValidTechnique());
    if (!time.ok) time.messages = effect->linkMessages();
    return time;
}

} // namespace ORV::Bench
