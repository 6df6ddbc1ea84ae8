#include "resources/EffectIncludes.h"

#include "resources/FileSystem.h"

#include <iterator>

namespace ORV::Demo {

std::optional<std::string> EffectIncludes::open(const std::string& name)
{
    auto stream = openStream(name);
    if (!stream || !*stream) return std::nullopt;
    return std::string{std::istreambuf_iterator<char>(*stream), std::istreambuf_iterator<char>()};
}

} // namespace ORV::Demo
