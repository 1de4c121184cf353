#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace torven::soak {

// The monitor program under test, started in a station's bin/ folder with TZ=UTC, a terminal
// as its standard input and output (or /dev/null for both), standard error kept in a file, in
// a process group of its own so that Control-C at the terminal reaches only the soak tool.
// A monitor still running when this goes away gets SIGINT, and SIGKILL when it does not end.
class MonitorProcess {
  public:
    // `environment` holds NAME=VALUE entries the monitor gets besides this process's own;
    // `terminal` is the descriptor of its terminal, or -1 for none.
    static std::unique_ptr<MonitorProcess> start(const std::filesystem::path& program,
                                                 const std::filesystem::path& workDirectory,
                                                 const std::filesystem::path& errorFile,
                                                 const std::vector<std::string>& environment,
                                                 int terminal, std::string& message);
    // Takes charge of a child process that is already running.
    explicit MonitorProcess(int pid) : pid_(pid) {}
    MonitorProcess(const MonitorProcess&) = delete;
    MonitorProcess& operator=(const MonitorProcess&) = delete;
    ~MonitorProcess();

    int pid() const { return pid_; }
    bool running();
    void interrupt();
    // Waits for the end, at most `limit`; true when it ended.
    bool waitForExit(std::chrono::milliseconds limit);
    // How it ended, e.g. "exit status 255" or "killed by signal 9"; none while it runs.
    std::optional<std::string> ending() const;
    std::optional<int> exitStatus() const { return exitStatus_; }

  private:
    void killAndReap();

    int pid_;
    bool reaped_ = false;
    std::optional<int> exitStatus_;
    std::optional<int> killSignal_;
};

}  // namespace torven::soak
