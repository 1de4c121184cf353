#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace torven::test {

// One character cell of a captured pane with its colours as terminal colour numbers
// (0-7 normal, 8-15 bright, 16-255 extended; -1 is the terminal's default colour).
struct PaneCell {
    char character = ' ';
    int foreground = -1;
    int background = -1;
};

// A program running in a tmux pane of its own, 80 columns by 51 rows, on a tmux server of
// its own (a unique socket), so that tests may run side by side. The pane stays after the
// program ended, so the last picture and the exit status can still be read. The destructor
// kills the program if it still runs and then the server.
class TmuxSession {
  public:
    static constexpr int columns = 80;
    static constexpr int rows = 51;

    // Runs command (program path and arguments, no shell) in workingDirectory, with the
    // given "NAME=value" settings added to the environment and TERM=xterm-256color.
    TmuxSession(const std::vector<std::string>& command,
                const std::filesystem::path& workingDirectory,
                const std::vector<std::string>& environment);
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;
    ~TmuxSession();

    // False when tmux could not start the session.
    bool started() const { return started_; }
    // The process id of the program in the pane (0 when unknown).
    int pid() const { return pid_; }

    // Named keys as tmux knows them ("Escape", "F1", "Up", "Enter", "C-c", "x"), one press
    // per element.
    void sendKeys(const std::vector<std::string>& keys) const;
    // Text typed literally, byte for byte.
    void typeText(const std::string& text) const;
    // A real signal to the program (kill), e.g. SIGINT for Control-C.
    void signal(int signalNumber) const;

    // The pane's rows, each exactly `columns` characters.
    std::vector<std::string> capture() const;
    // The pane's cells with their colours.
    std::vector<std::vector<PaneCell>> captureCells() const;
    // The pane's rows joined with line feeds, for messages.
    std::string screenText() const;

    // Polls the pane until a row holds text; false at the deadline.
    bool waitForText(const std::string& text, std::chrono::milliseconds timeout) const;
    // Polls the pane until condition(rows) holds; false at the deadline.
    bool waitForScreen(const std::function<bool(const std::vector<std::string>&)>& condition,
                       std::chrono::milliseconds timeout,
                       std::chrono::milliseconds interval = std::chrono::milliseconds(50)) const;

    // The program's exit status (128 + n after signal n), none while it runs.
    std::optional<int> exitStatus() const;
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) const;

  private:
    std::vector<std::string> tmuxCommand(const std::vector<std::string>& arguments) const;
    std::string query(const std::string& format) const;
    std::string readFile(const std::string& name) const;
    void killProgram() const;

    std::string socketName_;
    std::filesystem::path socketPath_;
    std::filesystem::path runDirectory_;  // the program's pid and exit status
    bool started_ = false;
    int pid_ = 0;
};

// Polls condition every interval until it holds; false at the deadline.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                std::chrono::milliseconds interval = std::chrono::milliseconds(100));

}  // namespace torven::test
