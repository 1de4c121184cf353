#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "MonitorFixture.h"
#include "support/PseudoTerminal.h"

extern char** environ;

namespace torven::test {
namespace {

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};
constexpr int refusedStatus = 2;

struct EndedRun {
    std::optional<int> status;  // none when it did not end in time
    std::string errorText;      // what it wrote to standard error
    std::string drawn;          // what it drew on its terminal
    bool terminalSettingsKept = false;
};

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Runs one more monitor in the working directory (the station's bin/) on a terminal of its
// own, with standard error on a pipe, until it ends.
EndedRun runAnotherMonitor() {
    EndedRun run;
    PseudoTerminal terminal(false);
    TerminalOutput output(terminal);
    termios before{};
    ::tcgetattr(terminal.programSide(), &before);
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, terminal.programSide(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, terminal.programSide(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    char* argv[] = {const_cast<char*>(TORVEN_MONITOR_PATH), nullptr};
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorPipe[1]);
    if (spawned) {
        int status = 0;
        if (eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, screenTimeout,
                       20ms)) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(errorPipe[0], buffer, sizeof buffer)) > 0)
            run.errorText.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(errorPipe[0]);
    termios after{};
    ::tcgetattr(terminal.programSide(), &after);
    run.terminalSettingsKept = sameSettings(before, after);
    run.drawn = output.takeOutput();
    return run;
}

class StationLockTest : public MonitorFixture {
  protected:
    std::string refusal() const {
        return "torven-monitor: the station " +
               std::filesystem::canonical(station_.root()).string() +
               " is already monitored by process " + std::to_string(monitor().pid()) +
               "; this monitor ends without touching it.\n";
    }
};

// A second monitor in a station that one already collects in is turned away at once: it
// names the one that runs, draws nothing, logs nothing and leaves every file to the first,
// which goes on writing rows. Once the first has ended, the lock file it leaves behind is
// no obstacle to the next monitor.
TEST_F(StationLockTest, ASecondMonitorLeavesTheStationToTheFirst) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    ASSERT_TRUE(eventually([&] { return dataFiles("Data").size() == 4; }, screenTimeout));
    const std::vector<std::string> logBefore = logMessagesWithoutLinkEvents();
    std::map<std::string, std::map<std::string, std::string>> before;
    for (const char* folder : {"tmp", "Data", "ToSend"})
        before[folder] = readDataFiles(station_, folder);

    const EndedRun second = runAnotherMonitor();
    EXPECT_EQ(second.status, refusedStatus);
    EXPECT_EQ(second.errorText, refusal());
    EXPECT_EQ(second.drawn, "");
    EXPECT_TRUE(second.terminalSettingsKept);

    // The first goes on: two more seconds of rows, and none of the rows seen before is lost.
    ASSERT_TRUE(clockAdvances(2));
    for (const char* folder : {"tmp", "Data"})
        EXPECT_TRUE(keepsEveryRowOf(station_, folder, before[folder])) << folder;
    EXPECT_EQ(readDataFiles(station_, "ToSend"), before["ToSend"]);
    for (const auto& [name, content] : readDataFiles(station_, "Data"))
        EXPECT_GT(content.size(), before["Data"][name].size()) << name;
    EXPECT_EQ(logMessagesWithoutLinkEvents(), logBefore);
    EXPECT_FALSE(consoleDump("Current Mode: DATALOG").empty());

    ASSERT_EQ(quit(), 0);
    startMonitor();
    EXPECT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    EXPECT_EQ(station_.readFile("torven-monitor.lock"), std::to_string(monitor().pid()) + "\n");
    EXPECT_EQ(quit(), 0);
}

}  // namespace
}  // namespace torven::test
