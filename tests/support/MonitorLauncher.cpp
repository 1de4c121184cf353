#include "support/MonitorLauncher.h"

#include <signal.h>

#include <fstream>
#include <sstream>

#include "support/TmuxSession.h"

namespace torven::test {

namespace {

// $1 the run folder, $2 the file size limit in blocks ("none" for no limit), then the
// program. The outer shell outlives the program to read the terminal settings after it; the
// trap keeps it alive through the stop signals, which the program gets with their default
// handling. The inner shell sets the limit, ignores SIGXFSZ (an ignored signal stays ignored
// across exec), records its pid and becomes the program.
constexpr const char* launcherScript = R"(trap : INT TERM HUP
run="$1"; shift
stty -g > "$run/stty-before.part" 2>/dev/null; mv "$run/stty-before.part" "$run/stty-before"
sh -c '
run="$0"; limit="$1"; shift
if [ "$limit" != none ]; then ulimit -f "$limit" || exit 99; fi
trap "" XFSZ
echo $$ > "$run/pid.part" && mv "$run/pid.part" "$run/pid" && exec "$@"' "$run" "$@"
status=$?
stty -g > "$run/stty-after.part" 2>/dev/null; mv "$run/stty-after.part" "$run/stty-after"
printf '%s\n' "$END_LINE"
exit $status)";

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

MonitorLauncher::MonitorLauncher(std::filesystem::path runFolder)
    : runFolder_(std::move(runFolder)) {}

std::vector<std::string> MonitorLauncher::command(const std::string& program) const {
    for (const char* name : {"pid", "stty-before", "stty-after"}) {
        std::error_code ignored;
        std::filesystem::remove(runFolder_ / name, ignored);
    }
    return {"/usr/bin/env",
            std::string("END_LINE=") + endLine,
            "/bin/sh",
            "-c",
            launcherScript,
            "launcher",
            runFolder_.string(),
            fileSizeBlocks_ ? std::to_string(*fileSizeBlocks_) : "none",
            program};
}

std::optional<int> MonitorLauncher::programPid() const {
    const int pid = std::atoi(readFile("pid").c_str());
    if (pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<int> MonitorLauncher::waitForProgramPid(std::chrono::milliseconds timeout) const {
    std::optional<int> pid;
    eventually([&] { return (pid = programPid()).has_value(); }, timeout,
               std::chrono::milliseconds(20));
    return pid;
}

bool MonitorLauncher::signal(int signalNumber) const {
    const std::optional<int> pid = programPid();
    return pid && ::kill(*pid, signalNumber) == 0;
}

std::string MonitorLauncher::terminalSettingsBefore() const {
    return trimmed(readFile("stty-before"));
}

std::string MonitorLauncher::terminalSettingsAfter() const {
    return trimmed(readFile("stty-after"));
}

std::string MonitorLauncher::readFile(const std::string& name) const {
    std::ifstream in(runFolder_ / name);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace torven::test
