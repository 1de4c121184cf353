#include "soak/MonitorProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace torven::soak {

namespace {

// Whether an environment entry sets the variable that `other` (NAME=VALUE) sets.
bool setsSameName(const char* entry, const std::string& other) {
    const std::size_t nameEnd = other.find('=') + 1;
    return std::strncmp(entry, other.c_str(), nameEnd) == 0;
}

// The environment of this process with TZ set to UTC, so that the data file headers and the
// monitor's notion of "today" do not depend on the machine's zone, and the entries given in
// place of this process's own of the same names.
std::vector<std::string> monitorEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const bool replaced =
            std::any_of(extra.begin(), extra.end(),
                        [entry](const std::string& e) { return setsSameName(*entry, e); });
        if (std::strncmp(*entry, "TZ=", 3) != 0 && !replaced)
            entries.emplace_back(*entry);
    }
    entries.emplace_back("TZ=UTC");
    entries.insert(entries.end(), extra.begin(), extra.end());
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the child between fork and exec, so it uses async-signal-safe calls only.
[[noreturn]] void becomeMonitor(pid_t parent, const char* program, const char* workDirectory,
                                const char* errorFile, int terminal, char* const* argv,
                                char* const* envp) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    // Should the soak tool itself be killed, the monitor still gets its orderly end.
    prctl(PR_SET_PDEATHSIG, SIGINT);
    if (getppid() != parent)
        _exit(127);
    setpgid(0, 0);
    const int input = terminal >= 0 ? terminal : open("/dev/null", O_RDONLY);
    const int output = terminal >= 0 ? terminal : open("/dev/null", O_WRONLY);
    const int errors = open(errorFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || errors < 0 || chdir(workDirectory) != 0)
        _exit(127);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(errors, STDERR_FILENO);
    execve(program, argv, envp);
    _exit(127);
}

}  // namespace

std::unique_ptr<MonitorProcess> MonitorProcess::start(const std::filesystem::path& program,
                                                      const std::filesystem::path& workDirectory,
                                                      const std::filesystem::path& errorFile,
                                                      const std::vector<std::string>& environment,
                                                      int terminal, std::string& message) {
    if (access(program.c_str(), X_OK) != 0) {
        message = "cannot run the monitor " + program.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    // Absolute, since the child changes its working directory before it starts the program.
    std::error_code error;
    const std::string programText = std::filesystem::absolute(program, error).string();
    const std::string workText = workDirectory.string();
    const std::string errorText = errorFile.string();
    std::vector<std::string> arguments = {programText};
    std::vector<std::string> entries = monitorEnvironment(environment);
    const std::vector<char*> argv = pointersTo(arguments);
    const std::vector<char*> envp = pointersTo(entries);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        message = std::string("fork failed: ") + std::strerror(errno);
        return nullptr;
    }
    if (pid == 0) {
        becomeMonitor(parent, programText.c_str(), workText.c_str(), errorText.c_str(), terminal,
                      argv.data(), envp.data());
    }
    return std::make_unique<MonitorProcess>(pid);
}

MonitorProcess::~MonitorProcess() {
    if (reaped_)
        return;
    if (running()) {
        interrupt();
        if (waitForExit(std::chrono::seconds(10)))
            return;
    }
    killAndReap();
}

bool MonitorProcess::running() {
    if (reaped_)
        return false;
    int status = 0;
    const pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == 0)
        return true;
    reaped_ = true;
    if (result == pid_ && WIFEXITED(status))
        exitStatus_ = WEXITSTATUS(status);
    if (result == pid_ && WIFSIGNALED(status))
        killSignal_ = WTERMSIG(status);
    return false;
}

void MonitorProcess::interrupt() {
    if (!reaped_)
        kill(pid_, SIGINT);
}

bool MonitorProcess::waitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::optional<std::string> MonitorProcess::ending() const {
    if (exitStatus_)
        return "exit status " + std::to_string(*exitStatus_);
    if (killSignal_)
        return "killed by signal " + std::to_string(*killSignal_);
    if (reaped_)
        return "ended, status unknown";
    return std::nullopt;
}

void MonitorProcess::killAndReap() {
    if (reaped_)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_ && WIFSIGNALED(status))
        killSignal_ = WTERMSIG(status);
    reaped_ = true;
}

}  // namespace torven::soak
