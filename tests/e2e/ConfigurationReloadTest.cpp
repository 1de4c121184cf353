#include "MonitorFixture.h"

namespace torven::test {
namespace {

using ConfigurationReloadTest = MonitorFixture;

const std::string calibrateName = "* * *  C A L I B R A T E  * * *";
const std::string returned = "DI-194RS on port COM1 has returned online";

const std::string twoStreams =
    "SITE = Test Ridge\n"
    "DEVICE = DI-194RS, PORT = COM1\n" +
    koraliChannelLine(1, "NR1", 1) + koraliChannelLine(2, "NR2", 1);

const std::string fourStreams =
    "SITE = North Ridge\n"
    "DEVICE = DI-194RS, PORT = COM1\n" +
    koraliChannelLine(1, "NX1", 5) + koraliChannelLine(2, "NR2", 1) +
    koraliChannelLine(3, "NR3", 10) + koraliChannelLine(4, "NR4", 60);

std::vector<std::string> twoStreamRows() {
    return {channelRow(deviceField("COM1"), 1, "NR1_000123", shownValues[0], "ON-LINE", 1),
            channelRow(onLineField("COM1"), 2, "NR2_000123", shownValues[1], "ON-LINE", 1),
            channelRow("", 3, "", shownValues[2], "N/A", 0, "Unassigned"),
            channelRow("", 4, "", shownValues[3], "N/A", 0, "Unassigned")};
}

// Streams built by a reload start OFF-LINE, and in calibration nothing moves them on.
std::vector<std::string> fourStreamRows() {
    return {channelRow(deviceField("COM1"), 1, "NX1_000123", shownValues[0], "OFF-LINE", 5),
            channelRow(onLineField("COM1"), 2, "NR2_000123", shownValues[1], "OFF-LINE", 1),
            channelRow("", 3, "NR3_000123", shownValues[2], "OFF-LINE", 10),
            channelRow("", 4, "NR4_000123", shownValues[3], "OFF-LINE", 60)};
}

TEST_F(ConfigurationReloadTest, EditsWhileCalibratingRedrawAndABrokenFileWaits) {
    plugDevice(1, deviceVolts);
    writeConfig(twoStreams);
    startMonitor();
    ASSERT_TRUE(screenShows("Starting in"));
    monitor().typeText("x");
    ASSERT_TRUE(statusScreenShows(calibrateName, twoStreamRows()));

    writeConfig(fourStreams);
    ASSERT_TRUE(statusScreenShows(calibrateName, fourStreamRows()));
    EXPECT_EQ(monitor().capture()[3], screenRow("Monitor Site: North Ridge"));
    ASSERT_TRUE(clockAdvances(2));
    EXPECT_TRUE(statusScreenShows(calibrateName, fourStreamRows(), 1s));

    writeConfig("SITE = North Ridge\nBOGUS = 1\n" + fourStreams);
    ASSERT_TRUE(rowShows(6, "Message : ERROR: Invalid configuration keyword: BOGUS"));
    EXPECT_EQ(monitor().capture()[3], screenRow("*               ERROR                *"));
    EXPECT_EQ(monitor().captureCells()[50][79].background, 9) << "the whole screen turns red";

    writeConfig("# repaired\n" + fourStreams);
    ASSERT_TRUE(statusScreenShows(calibrateName, fourStreamRows()));
    EXPECT_NE(monitor().captureCells()[50][79].background, 9) << "normal colours again";

    EXPECT_EQ(quit(), 0);
    const std::vector<std::string> messages = logMessages();
    EXPECT_EQ(logMessages("ERROR"),
              std::vector<std::string>{"Invalid configuration keyword: BOGUS"});
    // A reload rebuilds the devices without entering the mode again.
    EXPECT_EQ(countOf(messages, "Entering Calibration Mode"), 1u) << joinLines(messages);
    EXPECT_EQ(countOf(messages, returned), 0u) << "nothing came back: " << joinLines(messages);
    EXPECT_TRUE(containsInOrder(
        messages, {"Entering Calibration Mode", "Invalid configuration keyword: BOGUS",
                   "Exiting Calibration Mode"}));
    EXPECT_TRUE(dataFiles("tmp").empty());
    EXPECT_TRUE(dataFiles("Data").empty());
}

// An edit of the site while collecting: every stream goes on in a new file under its new
// header, which is neither a loss nor a return.
TEST_F(ConfigurationReloadTest, AReloadWhileCollectingLogsNoLossAndNoReturn) {
    plugDevice(1, deviceVolts);
    writeConfig(twoStreams);
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", {channelRow(deviceField("COM1"), 1, "NR1_000123",
                                                         shownValues[0], "LOGGING", 1)}));
    writeConfig(twoStreams + "SITE = Test Ridge East\n");
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 4; }, screenTimeout))
        << "each stream begins a second file after the load";
    ASSERT_TRUE(clockAdvances(2));
    EXPECT_EQ(quit(), 0);

    const std::vector<std::string> messages = logMessages();
    EXPECT_EQ(logMessagesWithoutLinkEvents(), messages) << joinLines(messages);
    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "ToSend"));
}

}  // namespace
}  // namespace torven::test
