#include "platform/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ORV::Platform {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        error_ = "no program named";
        return;
    }
    // A child that dies while we write would otherwise end this process with
    // SIGPIPE; with it ignored, write() reports EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copy, so only the read end survives as
    // the child's standard input.
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    if (failed != 0) {
        ::close(ends[1]);
        error_ = "cannot start " + arguments[0] + ": " + std::strerror(failed);
        return;
    }
    pid_ = pid;
    input_ = ends[1];
    // A larger pipe lets a whole frame wait in it while the child works, so
    // the writer blocks less often (best effort: the system may refuse).
    ::fcntl(input_, F_SETPIPE_SZ, 1 << 20);
}

ChildProcess::~ChildProcess()
{
    finish();
}

bool ChildProcess::write(const void* bytes, std::size_t size)
{
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        if (input_ < 0) return false;
        const ssize_t written = ::write(input_, at, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        at += written;
        size -= std::size_t(written);
    }
    return true;
}

int ChildProcess::finish()
{
    if (finished_ || pid_ <= 0) return status_;
    finished_ = true;
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid_, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != pid_)
        status_ = -1;
    else if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        status_ = 128 + WTERMSIG(status);
    return status_;
}

void setEnvironmentDefault(const char* name, const char* value)
{
    ::setenv(name, value, 0);
}

StandardOutputToError::StandardOutputToError()
{
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    if (saved_ >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        close(saved_);
        saved_ = -1;
    }
}

StandardOutputToError::~StandardOutputToError()
{
    std::fflush(stdout);
    if (saved_ < 0) return;
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace ORV::Platform
