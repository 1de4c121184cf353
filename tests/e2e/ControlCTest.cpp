#include <csignal>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

using ControlCTest = MonitorFixture;

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};

const std::vector<std::string> controlCBox{
    "+-------------------------------+", "|                               |",
    "|       C O N T R O L - C       |", "|                               |",
    "| ***  Program Terminating  *** |", "+-------------------------------+"};

// The last picture: the box on rows 0-5 and the shutdown time on rows 8 and 9.
::testing::AssertionResult showsControlCBox(const std::vector<std::string>& screen) {
    for (std::size_t row = 0; row < controlCBox.size(); ++row) {
        if (screen[row] != screenRow(controlCBox[row])) {
            return ::testing::AssertionFailure() << "row " << row << " is\n" << screen[row];
        }
    }
    if (screen[8] != screenRow("SYSTEM SHUTDOWN:")) {
        return ::testing::AssertionFailure() << "row 8 is\n" << screen[8];
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ControlCTest, DuringTheCountdownEndsWithStatus255BeforeAnyPass) {
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(screenShows("Starting in"));

    monitor().signal(SIGINT);
    EXPECT_EQ(waitForExit(), 255);

    const std::vector<std::string> screen = monitor().capture();
    EXPECT_TRUE(showsControlCBox(screen)) << joinLines(screen);
    // No pass has set the controller's clock yet.
    EXPECT_EQ(screen[9], screenRow("00-Jan-1900  00:00:00"));

    std::vector<std::string> dump;
    ASSERT_TRUE(splitCrLfLines(station_.readFile("tmp/Console.txt"), dump));
    EXPECT_EQ(dump, std::vector<std::string>(screen.begin(), screen.begin() + 11));

    EXPECT_EQ(logMessages(), (std::vector<std::string>{
                                 "User pressed Control-C to terminate program",
                                 "System shutting down",
                             }));
}

TEST_F(ControlCTest, DuringTheConfigurationWaitEndsWithStatus255) {
    startMonitor();
    ASSERT_TRUE(screenShows("*               ERROR                *"));

    monitor().signal(SIGINT);
    EXPECT_EQ(waitForExit(), 255);
    const std::vector<std::string> screen = monitor().capture();
    EXPECT_TRUE(showsControlCBox(screen)) << joinLines(screen);
    EXPECT_EQ(screen[9], screenRow("00-Jan-1900  00:00:00"));
    EXPECT_EQ(logMessages(), (std::vector<std::string>{
                                 "Cannot open Site Configuration file: ..\\Conf\\TORVEN_config.txt",
                                 "User pressed Control-C to terminate program",
                                 "System shutting down",
                             }));
}

TEST_F(ControlCTest, DuringDataCollectionLeavesTheModeAndHandsOverTodaysFiles) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 4; }, screenTimeout));

    // Control-C typed on the terminal: the program's keyboard must leave it a signal.
    monitor().sendKeys({"C-c"});
    EXPECT_EQ(waitForExit(), 255);

    const std::vector<std::string> screen = monitor().capture();
    EXPECT_TRUE(showsControlCBox(screen)) << joinLines(screen);
    const auto shutdown = parseShutdownTime(screen[9].substr(0, 21));
    ASSERT_TRUE(shutdown) << screen[9];
    EXPECT_GE(*shutdown, testStart_);
    EXPECT_LE(*shutdown, std::time(nullptr));

    const std::vector<std::string> messages = logMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(messages.end() - 3, messages.end()),
              (std::vector<std::string>{
                  "User pressed Control-C to terminate program",
                  "Exiting Data Collection Mode",
                  "System shutting down",
              }));
    EXPECT_EQ(countOf(messages, "Ending TORVEN Application Ver 0.40"), 0u);

    EXPECT_TRUE(dataFiles("tmp").empty());
    const std::vector<std::string> handedOver = dataFiles("Data");
    EXPECT_EQ(handedOver.size(), 4u);
    EXPECT_EQ(dataFiles("ToSend"), handedOver);
    for (const std::string& name : handedOver) {
        const std::string content = station_.readFile("Data/" + name);
        EXPECT_EQ(station_.readFile("ToSend/" + name), content) << name;
        // The file of stream NRn ends with a complete row of channel n's value.
        const std::size_t channel = static_cast<std::size_t>(name.at(18) - '1');
        ASSERT_LT(channel, 4u) << name;
        const std::string lastRowEnd = ", " + shownValues[channel] + "\r\n";
        EXPECT_TRUE(content.ends_with(lastRowEnd)) << name << ":\n" << content;
    }
}

// A service manager stops the program with SIGTERM: the same orderly end as Control-C.
TEST_F(ControlCTest, TerminationSignalEndsInTheSameOrder) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 4; }, screenTimeout));

    monitor().signal(SIGTERM);
    EXPECT_EQ(waitForExit(), 255);
    EXPECT_TRUE(showsControlCBox(monitor().capture())) << monitor().screenText();
    const std::vector<std::string> messages = logMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"Exiting Data Collection Mode", "System shutting down"}));
    EXPECT_NE(messages.end()[-3].find("SIGTERM"), std::string::npos) << joinLines(messages);
    EXPECT_TRUE(dataFiles("tmp").empty());
    EXPECT_EQ(dataFiles("Data").size(), 4u);
    EXPECT_EQ(dataFiles("ToSend"), dataFiles("Data"));
}

}  // namespace
}  // namespace torven::test
