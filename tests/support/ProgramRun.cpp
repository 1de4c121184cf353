#include "support/ProgramRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace torven::test {

namespace {

using Clock = std::chrono::steady_clock;

// Both ends of a pipe, closed when it goes.
struct PipeEnds {
    int read = -1;
    int write = -1;
    PipeEnds() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    PipeEnds(const PipeEnds&) = delete;
    PipeEnds& operator=(const PipeEnds&) = delete;
    ~PipeEnds() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

// Appends what the pipe holds now; false at its end (or on an error).
bool drain(PipeEnds& from, std::string& text) {
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(from.read, buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return true;
        from.closeRead();
        return false;
    }
}

std::optional<pid_t> spawn(const std::vector<std::string>& arguments,
                           const ProgramRun::Options& options, PipeEnds& output, PipeEnds& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.terminal >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.terminal, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, options.terminal, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, options.input.c_str(), O_RDONLY,
                                         0);
        posix_spawn_file_actions_adddup2(&actions, output.write, STDOUT_FILENO);
    }
    posix_spawn_file_actions_adddup2(&actions, errors.write, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return std::nullopt;
    return child;
}

int statusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace

ProgramRun ProgramRun::toEnd(const std::vector<std::string>& arguments, const Options& options) {
    ProgramRun run;
    PipeEnds output;
    PipeEnds errors;
    if (output.read < 0 || errors.read < 0 || arguments.empty())
        return run;
    const std::optional<pid_t> child = spawn(arguments, options, output, errors);
    output.closeWrite();
    errors.closeWrite();
    if (!child)
        return run;
    for (const PipeEnds* ends : {&output, &errors})
        ::fcntl(ends->read, F_SETFL, O_NONBLOCK);

    const auto deadline = Clock::now() + options.timeout;
    int waitStatus = 0;
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
        pollfd readable[2] = {{output.read, POLLIN, 0}, {errors.read, POLLIN, 0}};
        ::poll(readable, 2, 50);
        if (output.read >= 0)
            drain(output, run.output);
        if (errors.read >= 0)
            drain(errors, run.errorText);
        ended = ::waitpid(*child, &waitStatus, WNOHANG) == *child;
    }
    // Whatever the program left running in its group goes with it.
    ::kill(-*child, SIGKILL);
    if (!ended) {
        while (::waitpid(*child, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        return run;
    }
    if (output.read >= 0)
        drain(output, run.output);
    if (errors.read >= 0)
        drain(errors, run.errorText);
    run.status = statusOf(waitStatus);
    return run;
}

}  // namespace torven::test
