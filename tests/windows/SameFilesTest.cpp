// The Windows and the Linux program write the same files for the same inputs: both run at
// once, each in a station of its own against a simulator of its own with the same channel
// values and the same configuration, and are stopped after the same rows.

#include <ctime>
#include <regex>

#include "WineMonitorFixture.h"

namespace torven::test {
namespace {

// The Linux program beside the Windows one: a run of the Linux end-to-end fixture itself,
// set up and torn down with this object.
class LinuxRun : public MonitorFixture {
  public:
    LinuxRun() { MonitorFixture::SetUp(); }
    ~LinuxRun() override { MonitorFixture::TearDown(); }
    void TestBody() override {}

    using MonitorFixture::consoleDump;
    using MonitorFixture::monitor;
    using MonitorFixture::plugDevice;
    using MonitorFixture::pressMenuKey;
    using MonitorFixture::quit;
    using MonitorFixture::screenShows;
    using MonitorFixture::startMonitor;
    using MonitorFixture::station_;
    using MonitorFixture::statusScreenShows;
    using MonitorFixture::writeConfig;
};

using SameFilesTest = WineMonitorFixture;

constexpr int port = 23;
constexpr std::array<int, 4> everyTenSeconds{10, 10, 10, 10};

// The text with the clock masked where a line begins with it (each line keeps its line end):
// - an event log entry begins with its time stamp "YYYY-MM-DD hh:mm:ss": each program logs
//   in the second it acts, and the two never act in the same instant;
// - the screen dump of the status display (tmp/Console.txt while collecting) holds the
//   controller's clock on row 5, "UTC : YYYY-MM-DD hh:mm:ss", as of the instant of the dump;
// - the screen dump taken at the end holds the shutdown time "dd-Mon-yyyy  hh:mm:ss" on row 3,
//   under "SYSTEM SHUTDOWN:", the second in which each program ended.
std::string maskClock(const std::string& text) {
    static const std::regex clock(
        R"(^(UTC : )?(\d{4}-\d\d-\d\d|\d\d-[A-Z][a-z]{2}-\d{4} ) \d\d:\d\d:\d\d)");
    std::string masked;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        masked += std::regex_replace(text.substr(start, end - start), clock, "$1<clock>",
                                     std::regex_constants::format_first_only);
        start = end;
    }
    return masked;
}

std::map<std::string, std::string> eventLogs(const ScratchStation& station) {
    std::map<std::string, std::string> logs;
    for (const std::string& name : station.fileNames("EventLog"))
        logs[name] = maskClock(station.readFile("EventLog/" + name));
    return logs;
}

TEST_F(SameFilesTest, TheWindowsProgramWritesWhatTheLinuxProgramWrites) {
    LinuxRun linuxRun;
    const std::string config = deviceConfig(port, everyTenSeconds);
    plugWineDevice(port, deviceVolts);
    linuxRun.plugDevice(port, deviceVolts);
    writeConfig(config);
    linuxRun.writeConfig(config);
    // Both start in calibration, by a key during the countdown.
    startWindowsMonitor();
    linuxRun.startMonitor();
    const auto calibrating = deviceRows(port, everyTenSeconds, "ON-LINE");
    auto bothDo = [&](const auto& step) {
        step(*this);
        step(linuxRun);
    };
    bothDo([&](auto& run) {
        ASSERT_TRUE(run.screenShows("Starting in"));
        run.monitor().typeText("x");
    });
    bothDo([&](auto& run) { ASSERT_TRUE(run.statusScreenShows(calibrateName, calibrating)); });
    ASSERT_FALSE(HasFatalFailure());

    // Both enter data collection early in the same ten seconds, so both write their first row
    // at the next second that ten divides.
    ASSERT_TRUE(eventually([] { return std::time(nullptr) % 10 == 1; }, 20s, 10ms));
    const std::time_t nextRow = std::time(nullptr) + 9;
    bothDo([&](auto& run) { ASSERT_TRUE(run.pressMenuKey("d")); });
    bothDo([&](auto& run) { ASSERT_TRUE(run.statusScreenShows("DATALOG", {})); });
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_LT(std::time(nullptr), nextRow - 2) << "too slow to enter data collection in time";

    // Once every stream is logging, both dump the same status display.
    std::vector<std::string> statusDumps;
    bothDo([&](auto& run) {
        ASSERT_TRUE(eventually([&] { return rowsInTmp(run.station_, 4, 1); }, 30s));
        statusDumps.push_back(maskClock(run.consoleDump(
            channelRow("", 4, "NR4_000123", shownValues[3], "LOGGING", everyTenSeconds[3]))));
    });
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_NE(statusDumps[0], "");
    EXPECT_EQ(statusDumps[0], statusDumps[1]);

    // Both have the rows of the same two due seconds and end before the third.
    bothDo([&](auto& run) {
        ASSERT_TRUE(eventually([&] { return rowsInTmp(run.station_, 4, 2); }, 30s))
            << joinLines(run.station_.fileNames("tmp"));
    });
    bothDo([&](auto& run) { EXPECT_EQ(run.quit(), 0); });
    ASSERT_FALSE(HasFatalFailure());

    for (const char* folder : {"tmp", "Data", "ToSend"}) {
        EXPECT_EQ(readDataFiles(station_, folder), readDataFiles(linuxRun.station_, folder))
            << folder;
    }
    EXPECT_EQ(readDataFiles(station_, "Data").size(), 4u);
    EXPECT_EQ(eventLogs(station_), eventLogs(linuxRun.station_));
    const std::string lastDump = maskClock(station_.readFile("tmp/Console.txt"));
    EXPECT_NE(lastDump.find("SYSTEM SHUTDOWN:"), std::string::npos) << lastDump;
    EXPECT_EQ(lastDump, maskClock(linuxRun.station_.readFile("tmp/Console.txt")));
}

}  // namespace
}  // namespace torven::test
