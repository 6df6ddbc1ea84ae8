// The include handler of the engine's effects: #include files come from the
// asset file system (resources/FileSystem.h), as every other asset does.
#pragma once

#include "platform/gfx/CompiledEffect.h"

#include <optional>
#include <string>

namespace ORV::Demo {

// Serves every #include name from the asset file system, looked up from the
// archive root after path normalisation, whatever file includes it.
class EffectIncludes final : public Gfx::EffectIncludeHandler {
public:
    std::optional<std::string> open(const std::string& name) override;
};

} // namespace ORV::Demo
