#include "FaultFixture.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>

namespace torven::test {

namespace {

// Where the status word stands in a channel row of the status screen.
constexpr std::size_t statusColumn = 57;
constexpr std::size_t statusWidth = 16;

std::string sanitizerOptions(const char* variable, const std::string& extra) {
    const char* current = std::getenv(variable);
    std::string options = current != nullptr ? std::string(current) + ":" : std::string();
    return std::string(variable) + "=" + options + extra;
}

std::string withoutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

}  // namespace

void FaultFixture::TearDown() {
    // The launcher's shell is what tmux knows of; the program itself is ended here.
    if (monitor_ && !monitor_->exitStatus()) {
        launcher_.signal(SIGKILL);
        monitor_->waitForExit(screenTimeout);
    }
    MonitorFixture::TearDown();
}

void FaultFixture::startLaunchedMonitor() {
    monitor_.reset();
    std::filesystem::create_directories(station_.path("launcher"));
    const std::string report = station_.path("sanitizer-report").string();
    monitor_ = std::make_unique<TmuxSession>(
        launcher_.command(TORVEN_MONITOR_PATH), station_.path("bin"),
        std::vector<std::string>{
            "TZ=UTC", sanitizerOptions("ASAN_OPTIONS", "log_path=" + report),
            sanitizerOptions("UBSAN_OPTIONS", "print_stacktrace=1:log_path=" + report),
            sanitizerOptions("TSAN_OPTIONS", "log_path=" + report)});
    ASSERT_TRUE(monitor_->started()) << "tmux did not start the launcher";
    ASSERT_TRUE(launcher_.waitForProgramPid(screenTimeout)) << "the program did not start\n"
                                                            << monitor_->screenText();
}

::testing::AssertionResult FaultFixture::signalProgram(int signalNumber) const {
    if (launcher_.signal(signalNumber))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no program to send signal " << signalNumber << " to";
}

::testing::AssertionResult FaultFixture::terminalGivenBack() const {
    if (!monitor_->exitStatus())
        return ::testing::AssertionFailure() << "the program still runs";
    const std::string before = launcher_.terminalSettingsBefore();
    const std::string after = launcher_.terminalSettingsAfter();
    if (before.empty() || before != after) {
        return ::testing::AssertionFailure() << "terminal settings before: \"" << before
                                             << "\"\nand after the program: \"" << after << "\"";
    }
    if (!monitor_->waitForText(MonitorLauncher::endLine, screenTimeout)) {
        return ::testing::AssertionFailure() << "the shell's line after the program is missing\n"
                                             << monitor_->screenText();
    }
    const std::vector<std::string> rows = monitor_->capture();
    const auto cells = monitor_->captureCells();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].find(MonitorLauncher::endLine) == std::string::npos)
            continue;
        const PaneCell& cell = cells[row][0];
        if (cell.foreground != -1 || cell.background != -1) {
            return ::testing::AssertionFailure()
                   << "the line after the program is in colours " << cell.foreground << " on "
                   << cell.background << ", not the terminal's own";
        }
    }
    return ::testing::AssertionSuccess();
}

std::string FaultFixture::streamRow(const std::string& id) const {
    for (const std::string& row : monitor_->capture()) {
        if (row.find(" " + id + " ") != std::string::npos)
            return row;
    }
    return "";
}

::testing::AssertionResult FaultFixture::streamShows(const std::string& id,
                                                     const std::string& status) const {
    const bool shown = monitor_->waitForScreen(
        [&](const std::vector<std::string>& screen) {
            for (const std::string& row : screen) {
                if (row.find(" " + id + " ") != std::string::npos &&
                    withoutTrailingBlanks(row.substr(statusColumn, statusWidth)) == status) {
                    return true;
                }
            }
            return false;
        },
        screenTimeout);
    if (shown)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "stream " << id << " never showed " << status << "\n"
                                         << monitor_->screenText();
}

void FaultFixture::expectEverythingHandedOver() const {
    EXPECT_TRUE(dataFiles("tmp").empty()) << joinLines(dataFiles("tmp"));
    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "Data"));
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
    // No half-made copy is left under a temporary name.
    for (const char* folder : {"Data", "ToSend"}) {
        EXPECT_EQ(station_.fileNames(folder), dataFiles(folder)) << folder;
    }
}

}  // namespace torven::test
