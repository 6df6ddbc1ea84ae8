// The demo's answer to an effect that does not compile: it cannot play
// without its effects, so it stops. Installed by the main function before
// anything is loaded; the engine itself only reports the failure.
#pragma once

#include <string>

namespace ORV::Demo {

// Ends the program with a non-zero status and one line on standard error
// naming the file; the compiler's messages are already in the log. An
// EffectFailureHandler (resources/Shader.h).
[[noreturn]] void stopOnEffectFailure(const std::string& sourceName);

} // namespace ORV::Demo
