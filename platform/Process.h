// A child process started from an argument list, with a pipe to its standard
// input, for tools that hand data to another program (the capture tool feeds
// raw frames to ffmpeg). Standard output and error stay the parent's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ORV::Platform {

class ChildProcess {
public:
    // Starts arguments[0], looked up in PATH, with the rest as its arguments.
    // running() says whether it started; when not, error() says why.
    explicit ChildProcess(const std::vector<std::string>& arguments);
    // Closes the pipe and waits for the child if finish() was not called.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& error() const { return error_; }

    // Writes all bytes to the child's standard input, blocking while the pipe
    // is full. False once the child has stopped reading (it exited or closed
    // its input); a broken pipe never raises a signal in this process.
    bool write(const void* bytes, std::size_t size);

    // Closes the child's standard input and waits for it to exit. Returns its
    // exit status, 128 + the signal number if a signal ended it, or -1 if it
    // never started. Later calls return the same value.
    int finish();

private:
    int pid_ = -1;
    int input_ = -1; // write end of the pipe, -1 once closed
    int status_ = -1;
    bool finished_ = false;
    std::string error_;
};

// Sets an environment variable of this process unless it is set already, for
// tools that choose SDL's drivers before SDL starts. Not thread-safe: call
// before any thread exists.
void setEnvironmentDefault(const char* name, const char* value);

// While it lives, what the process writes to standard output goes to standard
// error instead (the engine's log lines, say), so that a program can keep its
// standard output for one result it prints after. Flushes C's stdout at both
// ends. Main thread only; not nested.
class StandardOutputToError {
public:
    StandardOutputToError();
    ~StandardOutputToError(); // standard output is itself again
    StandardOutputToError(const StandardOutputToError&) = delete;
    StandardOutputToError& operator=(const StandardOutputToError&) = delete;

private:
    int saved_ = -1; // a copy of the original standard output, -1 if none could be made
};

// Whether the process's standard error is a terminal (progress lines that
// redraw themselves are only for a person watching).
bool standardErrorIsTerminal();

} // namespace ORV::Platform
