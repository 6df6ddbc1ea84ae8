#include "bench/support/ArchiveRead.h"

#include "bench/support/Figures.h"

#include <cstdlib>
#include <vector>

namespace ORV::Bench {

std::size_t readToEnd(std::istream& in)
{
    std::vector<char> chunk(std::size_t(1) << 16);
    std::size_t total = 0;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        total += static_cast<std::size_t>(in.gcount());
    }
    return total;
}

double timeShellCommand(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1.0;
    return secondsSince(start);
}

bool haveProgram(const std::string& name)
{
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

std::string shellQuoted(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace ORV::Bench
