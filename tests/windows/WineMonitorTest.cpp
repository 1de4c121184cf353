// torven-monitor.exe under Wine, end to end: the screen, the keys, the files, the event log
// and the exit status.

#include <ctime>
#include <regex>

#include "WineMonitorFixture.h"

namespace torven::test {
namespace {

using WineMonitorTest = WineMonitorFixture;

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};

const std::vector<std::string> controlCBox{
    "+-------------------------------+", "|                               |",
    "|       C O N T R O L - C       |", "|                               |",
    "| ***  Program Terminating  *** |", "+-------------------------------+"};

TEST_F(WineMonitorTest, CountsDownCollectsRowsAndEndsOnControlC) {
    plugWineDevice(21, deviceVolts);
    writeConfig(deviceConfig(21, everySecond));
    startWindowsMonitor();

    ASSERT_TRUE(rowShows(0, "TORVEN Data Collection Program."));
    const std::regex countdown("Starting in ([1-5]) Second\\(s\\) *");
    std::vector<int> counts;
    const bool statusScreenUp = monitor().waitForScreen(
        [&](const std::vector<std::string>& screen) {
            std::smatch match;
            if (std::regex_match(screen[5], match, countdown) &&
                (counts.empty() || counts.back() != std::stoi(match[1]))) {
                counts.push_back(std::stoi(match[1]));
            }
            return screen[2].starts_with("Current Mode: ");
        },
        screenTimeout, 20ms);
    ASSERT_TRUE(statusScreenUp) << monitor().screenText();
    EXPECT_GE(counts.size(), 2u) << "the countdown did not count";
    EXPECT_TRUE(std::is_sorted(counts.rbegin(), counts.rend()));

    ASSERT_TRUE(statusScreenShows("DATALOG", deviceRows(21, everySecond, "LOGGING")));
    EXPECT_EQ(monitor().capture()[3], screenRow("Monitor Site: Test Ridge"));
    ASSERT_TRUE(eventually([&] { return rowsInTmp(station_, 4, 2); }, screenTimeout))
        << joinLines(station_.fileNames("tmp"));
    const auto [name, content] = *readDataFiles(station_, "tmp").begin();
    EXPECT_TRUE(content.starts_with(
        "# Site = Test Ridge\r\n# Longitude = -105.27\r\n# Latitude = 40.01\r\n#\r\n"
        "# UTC_Offset = +00:00\r\n# TimeZone = UTC\r\n#\r\n# UTC_StartTime = "))
        << content;
    EXPECT_TRUE(content.find("# StationID = NR1\r\n# Frequency = 24.0\r\n# MonitorID = 000123\r\n"
                             "# SampleRate = 1\r\n20") != std::string::npos)
        << content;
    EXPECT_TRUE(isWholeCopyOf(station_.readFile("Data/" + name), content));

    monitor().sendKeys({"C-c"});
    EXPECT_EQ(waitForExit(), 255);
    const std::vector<std::string> screen = monitor().capture();
    for (std::size_t row = 0; row < controlCBox.size(); ++row)
        EXPECT_EQ(screen[row], screenRow(controlCBox[row])) << row;
    EXPECT_EQ(screen[8], screenRow("SYSTEM SHUTDOWN:"));
    const auto shutdown = parseShutdownTime(screen[9].substr(0, 21));
    EXPECT_TRUE(shutdown && *shutdown >= testStart_) << screen[9];

    const std::vector<std::string> messages = logMessagesWithoutLinkEvents();
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Starting TORVEN Application Ver 0.40",
                            "Entering Data Collection Mode",
                            "User pressed Control-C to terminate program",
                            "Exiting Data Collection Mode",
                            "System shutting down",
                        }));
    EXPECT_TRUE(dataFiles("tmp").empty());
    EXPECT_EQ(dataFiles("Data").size(), 4u);
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "Data"));
}

TEST_F(WineMonitorTest, MenuKeysSwitchModesAndTheScanFindsTheFreeDevice) {
    // The scan tries COM1 to COM20: here they lead to the two simulators or to nothing.
    for (int port = 1; port <= 20; ++port) {
        if (port != 3 && port != 4)
            linkToNothing(port);
    }
    const sim::Di194RsSimulator& configuredDevice = plugWineDevice(3, deviceVolts);
    const sim::Di194RsSimulator& freeDevice = plugWineDevice(4, {0.0, 0.0, 0.0, 0.0});
    writeConfig(deviceConfig(3, everySecond));
    startWindowsMonitor();
    ASSERT_TRUE(screenShows("Starting in"));
    monitor().typeText("x");
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceRows(3, everySecond, "ON-LINE")));

    ASSERT_TRUE(pressMenuKey("x"));
    ASSERT_TRUE(monitor().waitForScreen(
        [](const auto& screen) { return screen[0] == screenRow("Not a valid menu choice"); },
        screenTimeout, 20ms))
        << monitor().screenText();
    ASSERT_TRUE(pressMenuKey("Escape"));
    ASSERT_TRUE(rowShows(0, titleRow()));
    ASSERT_TRUE(pressMenuKey("d"));
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceRows(3, everySecond, "LOGGING")));
    ASSERT_TRUE(pressMenuKey("c"));
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceRows(3, everySecond, "ON-LINE")));

    // The configured device holds COM3, so only the free one is found. A starved machine can
    // make the simulator answer later than the driver waits, so the scan gets three tries.
    const std::vector<std::string> commandsBeforeScan = configuredDevice.commands();
    std::vector<std::string> scan;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(pressMenuKey("s"));
        ASSERT_TRUE(screenShows("Press a key to continue..."));
        scan = monitor().capture();
        if (scan[5] == screenRow("DI-194RS: COM4"))
            break;
        monitor().sendKeys({"Escape"});
        ASSERT_TRUE(rowShows(0, titleRow()));
    }
    EXPECT_EQ(scan[1], screenRow("Supported Devices:"));
    EXPECT_EQ(scan[2], screenRow("DI-194RS"));
    EXPECT_EQ(scan[4], screenRow("Devices / Ports:"));
    EXPECT_EQ(scan[5], screenRow("DI-194RS: COM4")) << joinLines(freeDevice.transcript());
    EXPECT_EQ(configuredDevice.commands(), commandsBeforeScan)
        << "the scan must not open the port the configured device holds";
    monitor().sendKeys({"Escape"});
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceRows(3, everySecond, "ON-LINE")));

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(logMessagesWithoutLinkEvents(), (std::vector<std::string>{
                                                  "Starting TORVEN Application Ver 0.40",
                                                  "Entering Calibration Mode",
                                                  "Exiting Calibration Mode",
                                                  "Entering Data Collection Mode",
                                                  "Exiting Data Collection Mode",
                                                  "Entering Calibration Mode",
                                                  "Exiting Calibration Mode",
                                                  "System shutting down",
                                                  "Ending TORVEN Application Ver 0.40",
                                              }));
}

TEST_F(WineMonitorTest, ABrokenConfigurationShowsTheErrorBoxUntilItIsRepaired) {
    constexpr std::array<int, 4> twoStreams{1, 1, 0, 0};
    plugWineDevice(22, deviceVolts);
    writeConfig(deviceConfig(22, twoStreams));
    startWindowsMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceRows(22, twoStreams, "LOGGING")));

    writeConfig("BOGUS = 1\n" + deviceConfig(22, twoStreams));
    ASSERT_TRUE(rowShows(6, "Message : ERROR: Invalid configuration keyword: BOGUS"));
    EXPECT_EQ(monitor().capture()[3], screenRow("*               ERROR                *"));
    EXPECT_EQ(monitor().captureCells()[50][79].background, 9) << "the whole screen turns red";

    writeConfig(deviceConfig(22, everySecond, "North Ridge"));
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceRows(22, everySecond, "LOGGING")));
    EXPECT_EQ(monitor().capture()[3], screenRow("Monitor Site: North Ridge"));
    EXPECT_NE(monitor().captureCells()[50][79].background, 9) << "normal colours again";

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(logMessages("ERROR"),
              std::vector<std::string>{"Invalid configuration keyword: BOGUS"});
    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "Data"));
    EXPECT_EQ(dataFiles("Data").size(), 6u) << "two streams before the error, four after";
}

}  // namespace
}  // namespace torven::test
