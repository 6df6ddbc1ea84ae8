#include "platform/DebugOutput.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace ORV::Platform {

void debugOutput(std::string_view text)
{
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool debugOutputSharesStandardOutput()
{
    struct stat out {
    }, err{};
    if (fstat(STDOUT_FILENO, &out) != 0 || fstat(STDERR_FILENO, &err) != 0) return false;
    return out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

} // namespace ORV::Platform
