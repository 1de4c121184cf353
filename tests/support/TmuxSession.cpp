#include "support/TmuxSession.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace torven::test {

namespace {

constexpr const char* sessionTarget = "e2e";

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a program with its arguments (no shell) and collects its standard output.
CommandResult runProgram(const std::vector<std::string>& arguments) {
    CommandResult result;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawnError = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawnError == 0) {
        char buffer[4096];
        for (ssize_t count; (count = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
            if (count > 0) {
                result.output.append(buffer, static_cast<std::size_t>(count));
            } else if (errno != EINTR) {
                break;
            }
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(pipeEnds[0]);
    return result;
}

std::filesystem::path makeRunDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torven-tmux-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

std::string uniqueSocketName() {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << "torven-e2e-" << getpid() << '-' << counter++ << '-'
         << std::chrono::steady_clock::now().time_since_epoch().count();
    return name.str();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string padded(std::string row) {
    row.resize(TmuxSession::columns, ' ');
    return row;
}

// Applies the parameters of one SGR sequence ("ESC [ params m") to the current colours.
void applySgr(const std::string& parameters, PaneCell& pen) {
    std::vector<int> values;
    std::istringstream stream(parameters);
    for (std::string part; std::getline(stream, part, ';');) {
        values.push_back(part.empty() ? 0 : std::stoi(part));
    }
    if (values.empty())
        values.push_back(0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int value = values[i];
        if (value == 0) {
            pen.foreground = pen.background = -1;
        } else if (value >= 30 && value <= 37) {
            pen.foreground = value - 30;
        } else if (value >= 90 && value <= 97) {
            pen.foreground = value - 90 + 8;
        } else if (value >= 40 && value <= 47) {
            pen.background = value - 40;
        } else if (value >= 100 && value <= 107) {
            pen.background = value - 100 + 8;
        } else if (value == 39) {
            pen.foreground = -1;
        } else if (value == 49) {
            pen.background = -1;
        } else if ((value == 38 || value == 48) && i + 2 < values.size() && values[i + 1] == 5) {
            (value == 38 ? pen.foreground : pen.background) = values[i + 2];
            i += 2;
        } else if ((value == 38 || value == 48) && i + 4 < values.size() && values[i + 1] == 2) {
            i += 4;
        }
    }
}

// One captured row with escape sequences turned into cells.
std::vector<PaneCell> parseRow(const std::string& row, PaneCell& pen) {
    std::vector<PaneCell> cells;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == '\x1b' && i + 1 < row.size() && row[i + 1] == '[') {
            std::size_t end = i + 2;
            while (end < row.size() && !(row[end] >= 0x40 && row[end] <= 0x7e))
                ++end;
            if (end < row.size() && row[end] == 'm')
                applySgr(row.substr(i + 2, end - i - 2), pen);
            i = end;
            continue;
        }
        PaneCell cell = pen;
        cell.character = row[i];
        cells.push_back(cell);
    }
    PaneCell blank = pen;
    blank.character = ' ';
    cells.resize(TmuxSession::columns, blank);
    return cells;
}

// Runs the program in the foreground of the pane and stays there after it ended, so that
// the pane keeps the last picture. The program's pid and exit status go into files: tmux
// itself can miss the end of a pane's process (a SIGCHLD that comes while it waits for a
// helper of its own is lost), so its pane_dead_status is no reliable witness. The trap keeps
// the shell alive through Control-C and leaves the program the default handling.
constexpr const char* wrapperScript =
    "trap : INT TERM HUP; status=\"$1\"; pidFile=\"$2\"; shift 2; "
    "sh -c 'echo $$ > \"$0.part\" && mv \"$0.part\" \"$0\" && exec \"$@\"' \"$pidFile\" \"$@\"; "
    "echo $? > \"$status.part\"; mv \"$status.part\" \"$status\"; exec sleep 1000000";

}  // namespace

TmuxSession::TmuxSession(const std::vector<std::string>& command,
                         const std::filesystem::path& workingDirectory,
                         const std::vector<std::string>& environment)
    : socketName_(uniqueSocketName()), runDirectory_(makeRunDirectory()) {
    std::vector<std::string> newSession{"new-session",
                                        "-d",
                                        "-s",
                                        sessionTarget,
                                        "-x",
                                        std::to_string(columns),
                                        "-y",
                                        std::to_string(rows),
                                        "-c",
                                        workingDirectory.string(),
                                        "--",
                                        "/usr/bin/env",
                                        "TERM=xterm-256color"};
    newSession.insert(newSession.end(), environment.begin(), environment.end());
    newSession.insert(newSession.end(),
                      {"/bin/sh", "-c", wrapperScript, "sh", (runDirectory_ / "status").string(),
                       (runDirectory_ / "pid").string()});
    newSession.insert(newSession.end(), command.begin(), command.end());
    // The whole window is the pane: no status line.
    const std::vector<std::vector<std::string>> commands{
        {"start-server"}, {"set", "-g", "status", "off"}, newSession};
    std::vector<std::string> arguments;
    for (const auto& tmuxCommandWords : commands) {
        if (!arguments.empty())
            arguments.push_back(";");
        arguments.insert(arguments.end(), tmuxCommandWords.begin(), tmuxCommandWords.end());
    }
    started_ = runProgram(tmuxCommand(arguments)).status == 0;
    if (started_) {
        socketPath_ = query("#{socket_path}");
        eventually([this] { return (pid_ = std::atoi(readFile("pid").c_str())) > 0; },
                   std::chrono::seconds(30));
    }
}

TmuxSession::~TmuxSession() {
    if (started_)
        killProgram();
    runProgram(tmuxCommand({"kill-server"}));
    // The server leaves its socket behind.
    std::error_code ignored;
    if (!socketPath_.empty())
        std::filesystem::remove(socketPath_, ignored);
    std::filesystem::remove_all(runDirectory_, ignored);
}

std::string TmuxSession::query(const std::string& format) const {
    std::string output =
        runProgram(tmuxCommand({"display-message", "-p", "-t", sessionTarget, format})).output;
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

std::string TmuxSession::readFile(const std::string& name) const {
    std::ifstream in(runDirectory_ / name);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> TmuxSession::tmuxCommand(const std::vector<std::string>& arguments) const {
    std::vector<std::string> command{"tmux", "-L", socketName_, "-f", "/dev/null"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

void TmuxSession::killProgram() const {
    if (exitStatus() || pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitForExit(std::chrono::seconds(10));
}

void TmuxSession::sendKeys(const std::vector<std::string>& keys) const {
    std::vector<std::string> arguments{"send-keys", "-t", sessionTarget};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    runProgram(tmuxCommand(arguments));
}

void TmuxSession::typeText(const std::string& text) const {
    runProgram(tmuxCommand({"send-keys", "-t", sessionTarget, "-l", text}));
}

void TmuxSession::signal(int signalNumber) const {
    if (pid_ > 0)
        kill(pid_, signalNumber);
}

std::vector<std::string> TmuxSession::capture() const {
    std::vector<std::string> lines = splitLines(
        runProgram(tmuxCommand({"capture-pane", "-p", "-N", "-t", sessionTarget})).output);
    lines.resize(rows);
    for (std::string& line : lines)
        line = padded(line);
    return lines;
}

std::vector<std::vector<PaneCell>> TmuxSession::captureCells() const {
    const std::vector<std::string> lines = splitLines(
        runProgram(tmuxCommand({"capture-pane", "-p", "-e", "-N", "-t", sessionTarget})).output);
    std::vector<std::vector<PaneCell>> cells;
    PaneCell pen;
    for (const std::string& line : lines)
        cells.push_back(parseRow(line, pen));
    cells.resize(rows, std::vector<PaneCell>(columns));
    return cells;
}

std::string TmuxSession::screenText() const {
    std::string text;
    for (const std::string& row : capture())
        text += row + "|\n";
    return text;
}

bool TmuxSession::waitForText(const std::string& text, std::chrono::milliseconds timeout) const {
    return waitForScreen(
        [&text](const std::vector<std::string>& screen) {
            for (const std::string& row : screen) {
                if (row.find(text) != std::string::npos)
                    return true;
            }
            return false;
        },
        timeout);
}

bool TmuxSession::waitForScreen(
    const std::function<bool(const std::vector<std::string>&)>& condition,
    std::chrono::milliseconds timeout, std::chrono::milliseconds interval) const {
    return eventually([&] { return condition(capture()); }, timeout, interval);
}

std::optional<int> TmuxSession::exitStatus() const {
    const std::string status = readFile("status");
    if (status.empty())
        return std::nullopt;
    return std::atoi(status.c_str());
}

std::optional<int> TmuxSession::waitForExit(std::chrono::milliseconds timeout) const {
    std::optional<int> status;
    eventually([&] { return (status = exitStatus()).has_value(); }, timeout);
    return status;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                std::chrono::milliseconds interval) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

}  // namespace torven::test
