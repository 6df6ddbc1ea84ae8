#include "resources/EffectIncludes.h"

#include "resources/FileSystem.h"

namespace ORV::Demo {

Core::Result<std::string> EffectIncludes::open(const std::string& name)
{
    using Result = Core::Result<std::string>;
    if (!isAssetPath(name)) return Result::failure("include file \"" + name + "\" is outside the asset folder");
    auto stream = openMountedStream(name);
    if (!stream) return Result::failure("cannot open include file \"" + name + "\": no such asset");
    Result bytes = readWholeStream(*stream, maxEffectIncludeBytes);
    if (!bytes) return Result::failure("include file \"" + name + "\" " + bytes.messages());
    return bytes;
}

} // namespace ORV::Demo
