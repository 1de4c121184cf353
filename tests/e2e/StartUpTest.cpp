#include <algorithm>
#include <ctime>
#include <regex>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

using StartUpTest = MonitorFixture;

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};
const std::string calibrateName = "* * *  C A L I B R A T E  * * *";

std::string currentEventLogName() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    gmtime_r(&now, &fields);
    char name[32];
    std::strftime(name, sizeof name, "%Y_%m_EventLOG.txt", &fields);
    return name;
}

TEST_F(StartUpTest, CountsDownCollectsDataAndQuitsWithStatusZero) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();

    ASSERT_TRUE(rowShows(0, "TORVEN Data Collection Program."));
    const std::vector<std::string> banner = monitor().capture();
    EXPECT_EQ(banner[1], screenRow("Version 0.40"));
    EXPECT_EQ(banner[4], screenRow("Press any key to enter calibration mode"));

    // The countdown line counts down in place on row 5 until the status screen replaces it.
    const std::regex countdown("Starting in ([1-5]) Second\\(s\\) *");
    std::vector<int> counts;
    const bool statusScreenUp = monitor().waitForScreen(
        [&](const std::vector<std::string>& screen) {
            std::smatch match;
            if (std::regex_match(screen[5], match, countdown)) {
                const int count = std::stoi(match[1]);
                if (counts.empty() || counts.back() != count)
                    counts.push_back(count);
            }
            return screen[2].starts_with("Current Mode: ");
        },
        screenTimeout, 20ms);
    ASSERT_TRUE(statusScreenUp) << monitor().screenText();
    ASSERT_FALSE(counts.empty());
    EXPECT_TRUE(std::adjacent_find(counts.begin(), counts.end(), std::less_equal<int>()) ==
                counts.end())
        << "the countdown did not count down";

    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    const std::vector<std::string> screen = monitor().capture();
    EXPECT_EQ(screen[0], titleRow());
    EXPECT_EQ(screen[3], screenRow("Monitor Site: Test Ridge"));
    ASSERT_TRUE(screen[5].starts_with("UTC : ")) << screen[5];
    const auto clock = parseDateTime(screen[5].substr(6, 19));
    ASSERT_TRUE(clock) << screen[5];
    EXPECT_GE(*clock, testStart_);
    EXPECT_LE(*clock, std::time(nullptr));

    const auto cells = monitor().captureCells();
    EXPECT_EQ(cells[0][0].background, 14) << "title in black on bright cyan";
    EXPECT_EQ(cells[2][14].background, 15) << "mode name in black on bright white";
    EXPECT_EQ(cells[2][14].foreground, 0);
    EXPECT_EQ(cells[10][0].background, 14) << "ON-Line field in black on bright cyan";
    EXPECT_EQ(cells[9][48].foreground, 15) << "values in bright white";

    // The dump holds the rows from the top down to the cursor's row, below the last channel.
    std::vector<std::string> dump;
    ASSERT_TRUE(splitCrLfLines(consoleDump("ON-Line: COM1"), dump));
    ASSERT_EQ(dump.size(), 14u) << joinLines(dump);
    const std::vector<std::string> shown = monitor().capture();
    for (std::size_t row = 0; row < dump.size(); ++row) {
        EXPECT_EQ(dump[row].size(), 80u) << "row " << row;
        if (row != 5) {
            EXPECT_EQ(dump[row], shown[row]) << "row " << row;
        }
    }

    EXPECT_EQ(quit(), 0);
    const std::vector<std::string> last = monitor().capture();
    EXPECT_EQ(last[2], screenRow("SYSTEM SHUTDOWN:"));
    const auto shutdown = parseShutdownTime(last[3].substr(0, 21));
    ASSERT_TRUE(shutdown) << last[3];
    EXPECT_GE(*shutdown, *clock);
    EXPECT_LE(*shutdown, std::time(nullptr));
    EXPECT_EQ(last[5], screenRow("Program Ending"));

    std::vector<std::string> finalDump;
    ASSERT_TRUE(splitCrLfLines(station_.readFile("tmp/Console.txt"), finalDump));
    EXPECT_EQ(finalDump, std::vector<std::string>(last.begin(), last.begin() + 5));

    EXPECT_EQ(logMessagesWithoutLinkEvents(), (std::vector<std::string>{
                                                  "Starting TORVEN Application Ver 0.40",
                                                  "Entering Data Collection Mode",
                                                  "Exiting Data Collection Mode",
                                                  "System shutting down",
                                                  "Ending TORVEN Application Ver 0.40",
                                              }));
    EXPECT_EQ(logMessages("INFO").size(), 5u);
    EXPECT_EQ(station_.fileNames("EventLog"), std::vector<std::string>{currentEventLogName()});
    const std::regex logLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d, INFO, ".*")");
    for (const std::string& line : station_.eventLogLines()) {
        EXPECT_TRUE(std::regex_match(line, logLine)) << line;
    }
}

TEST_F(StartUpTest, KeyDuringCountdownSelectsCalibrationWithoutDataFiles) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();

    ASSERT_TRUE(screenShows("Starting in"));
    monitor().typeText("x");
    ASSERT_TRUE(screenOrDumpShows("OK. Entering Calibration mode"));
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceBlock("ON-LINE", everySecond)));
    const auto cells = monitor().captureCells();
    EXPECT_EQ(cells[2][14].background, 15) << "mode name in black on bright white";

    // Calibration reads the device as often as data collection does, but writes nothing.
    ASSERT_TRUE(clockAdvances(3));
    EXPECT_EQ(station_.fileNames("tmp"), std::vector<std::string>{"Console.txt"});
    EXPECT_TRUE(station_.fileNames("Data").empty());
    EXPECT_TRUE(station_.fileNames("ToSend").empty());
    EXPECT_TRUE(statusScreenShows(calibrateName, deviceBlock("ON-LINE", everySecond)));

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(logMessagesWithoutLinkEvents(), (std::vector<std::string>{
                                                  "Starting TORVEN Application Ver 0.40",
                                                  "Entering Calibration Mode",
                                                  "Exiting Calibration Mode",
                                                  "System shutting down",
                                                  "Ending TORVEN Application Ver 0.40",
                                              }));
    EXPECT_TRUE(dataFiles("tmp").empty());
    EXPECT_TRUE(station_.fileNames("Data").empty());
}

TEST_F(StartUpTest, MissingConfigurationShowsErrorBoxUntilAFileArrives) {
    plugDevice(1, deviceVolts);
    startMonitor();

    ASSERT_TRUE(rowShows(3, "*               ERROR                *"));
    const std::string message = "Cannot open Site Configuration file: ..\\Conf\\TORVEN_config.txt";
    ASSERT_TRUE(rowShows(6, "Message : ERROR: " + message));
    const std::vector<std::string> box = monitor().capture();
    const std::string stars = "**************************************";
    EXPECT_EQ(box[0], screenRow(""));
    EXPECT_EQ(box[2], screenRow(stars));
    EXPECT_EQ(box[4], screenRow(stars));
    EXPECT_EQ(box[8], screenRow(" Fix the configuration problem and the"));
    EXPECT_EQ(box[9], screenRow(" application will try to recover      "));
    const std::vector<std::string> logLines = station_.eventLogLines();
    ASSERT_FALSE(logLines.empty());
    EXPECT_EQ(box[5], screenRow("Time:     " + logLines.front().substr(0, 19)));

    // The whole screen is black on bright red, not only the box.
    const auto cells = monitor().captureCells();
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{79, 50}, std::pair{40, 25}}) {
        EXPECT_EQ(cells[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)].background, 9)
            << "cell " << x << "," << y;
    }
    EXPECT_EQ(cells[3][0].foreground, 0);

    std::vector<std::string> dump;
    ASSERT_TRUE(splitCrLfLines(consoleDump("ERROR"), dump));
    ASSERT_EQ(dump.size(), 10u) << joinLines(dump);
    for (std::size_t row = 0; row < dump.size(); ++row)
        EXPECT_EQ(dump[row], box[row]);

    // A key pressed while the box shows is still waiting when the countdown looks.
    monitor().typeText("k");
    writeConfig(oneDeviceConfig(everySecond));
    ASSERT_TRUE(screenShows("TORVEN Data Collection Program."));
    ASSERT_TRUE(screenOrDumpShows("OK. Entering Calibration mode"));
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceBlock("ON-LINE", everySecond)));

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(logMessages("ERROR"), std::vector<std::string>{message});
    EXPECT_TRUE(containsInOrder(logMessages(), {message, "Starting TORVEN Application Ver 0.40",
                                                "Entering Calibration Mode"}));
}

TEST_F(StartUpTest, UnknownDataTypeEndsTheProgramAfterAKey) {
    writeConfig(
        "SITE = Test Ridge\n"
        "DEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 1, DATATYPE = KORALI-XX, StationID = NR1, MonitorID = 000123\n");
    startMonitor();

    const std::string message = "Software Error: Could not allocate Measurement Type KORALI-XX";
    ASSERT_TRUE(screenShows("* FATAL ERROR CAUSED SYSTEM SHUTDOWN *"));
    ASSERT_TRUE(screenShows("Message : " + message));
    ASSERT_TRUE(screenShows(" Press a Key to exit the application"));
    EXPECT_FALSE(monitor().exitStatus()) << "the program must wait for a key";
    EXPECT_EQ(logMessages("FATAL"), std::vector<std::string>{message});
    EXPECT_EQ(countOf(logMessages(), "Starting TORVEN Application Ver 0.40"), 0u);

    monitor().typeText("x");
    EXPECT_EQ(waitForExit(), 255);
}

}  // namespace
}  // namespace torven::test
