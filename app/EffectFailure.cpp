#include "app/EffectFailure.h"

#include <cstdio>
#include <cstdlib>

namespace ORV::Demo {

void stopOnEffectFailure(const std::string& sourceName)
{
    std::fprintf(stderr, "demo: the effect %s does not compile; its messages are in the log\n", sourceName.c_str());
    std::exit(EXIT_FAILURE);
}

} // namespace ORV::Demo
