// The include handler of the engine's effects: #include files come from the
// asset folder (resources/FileSystem.h), as every other asset does, and from
// nowhere else.
#pragma once

#include "platform/gfx/CompiledEffect.h"

#include <string>

namespace ORV::Demo {

// Serves every #include name from the mount points (archive members and loose
// files below the working directory), looked up from the archive root after
// path normalisation, whatever file includes it. Absolute names, names with a
// ".." segment, and names no mount point knows (folders, devices, files
// outside the asset folder) are refused with a message; so is a file larger
// than maxEffectIncludeBytes.
class EffectIncludes final : public Gfx::EffectIncludeHandler {
public:
    Core::Result<std::string> open(const std::string& name) override;
};

// Include files are a few kilobytes of shader code.
constexpr std::size_t maxEffectIncludeBytes = std::size_t(1) << 20;

} // namespace ORV::Demo
