#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torven::test {

// Starts the monitor through a shell of its own, for tests of faults around the program:
// - an optional limit on the size of every file the program writes (ulimit -f, with
//   SIGXFSZ ignored, so that a write past the limit fails as on a full disk);
// - the terminal settings (stty -g) saved before the program starts and after it ended,
//   and a line printed after its end, to show whether it gave the terminal back;
// - the program's own process id, so that a signal reaches the program and not a shell.
// The command is meant for a TmuxSession; its exit status is the program's.
class MonitorLauncher {
  public:
    // The launcher's files go into runFolder, which must exist.
    explicit MonitorLauncher(std::filesystem::path runFolder);

    // Every file the program writes may grow to this many 512-byte blocks at most.
    void limitFileSize(std::uint64_t blocks) { fileSizeBlocks_ = blocks; }

    // The command line that starts `program` (forgets what an earlier start left behind).
    std::vector<std::string> command(const std::string& program) const;

    // The running program's process id once it is known; none before.
    std::optional<int> programPid() const;
    std::optional<int> waitForProgramPid(std::chrono::milliseconds timeout) const;
    // Sends a signal to the program; false when its pid is not known.
    bool signal(int signalNumber) const;

    // The terminal settings before the program started and after it ended (stty -g); empty
    // while not known.
    std::string terminalSettingsBefore() const;
    std::string terminalSettingsAfter() const;

    // What the shell prints on the pane once the program has ended.
    static constexpr const char* endLine = "-- the monitor has ended --";

  private:
    std::string readFile(const std::string& name) const;

    std::filesystem::path runFolder_;
    std::optional<std::uint64_t> fileSizeBlocks_;
};

}  // namespace torven::test
