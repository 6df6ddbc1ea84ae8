// Reading archives for throughput figures: the engine's streams drained as a
// loader drains them, and a program such as unzip run beside them for
// comparison.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace ORV::Bench {

// Reads the stream to its end in 64 KiB chunks; the bytes read.
std::size_t readToEnd(std::istream& in);

// Runs a command through the shell (its output is the command's business:
// redirect it); the wall seconds it took, or -1 when it failed.
double timeShellCommand(const std::string& command);

// Whether the shell finds a program of this name.
bool haveProgram(const std::string& name);

// A path quoted for the shell.
std::string shellQuoted(const std::string& path);

} // namespace ORV::Bench
