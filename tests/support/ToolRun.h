// Runs a program the way a user would from a shell, for the tests of the
// command-line tools: its exit status and everything it printed.
#pragma once

#include <string>

namespace ORV::Test {

struct ToolRun {
    int status = -1; // the exit status; -1 when it did not start or did not exit
    std::string output; // standard output and standard error together
};

// Runs command through the shell with standard error joined to standard output.
ToolRun runCommand(const std::string& command);

} // namespace ORV::Test
