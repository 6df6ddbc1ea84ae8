// The debugger output channel of the engine. Linux has no debugger channel, so
// these messages go to standard error, where a user running the demo from a
// terminal sees warnings and a log collector keeps them apart from standard
// output.
#pragma once

#include <string_view>

namespace ORV::Platform {

// Writes text unchanged to standard error. Lost silently if there is none.
void debugOutput(std::string_view text);

// True when standard error and standard output are the same file or terminal.
// Writers that copy a text to both (the console log) use it to avoid printing
// every line twice.
bool debugOutputSharesStandardOutput();

} // namespace ORV::Platform
