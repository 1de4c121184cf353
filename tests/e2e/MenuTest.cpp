#include "MonitorFixture.h"

namespace torven::test {
namespace {

class MenuTest : public MonitorFixture {
  protected:
    // The message stands on row 0 for half a second only.
    ::testing::AssertionResult showsNotValid() const {
        const bool shown = monitor().waitForScreen(
            [](const std::vector<std::string>& screen) {
                return screen[0] == screenRow("Not a valid menu choice");
            },
            screenTimeout, 20ms);
        if (shown)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no \"Not a valid menu choice\"\n"
                                             << monitor().screenText();
    }
};

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};
const std::string calibrateName = "* * *  C A L I B R A T E  * * *";

TEST_F(MenuTest, SwitchesModesScansAndRejectsOtherKeys) {
    plugDevice(1, deviceVolts);
    // A second device that no configuration names, for the scan to find.
    const sim::Di194RsSimulator& freeDevice = plugDevice(2, {0.0, 0.0, 0.0, 0.0});
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));

    // A menu letter without Escape first does nothing.
    monitor().sendKeys({"c"});
    ASSERT_TRUE(clockAdvances(2));
    EXPECT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond), 1s));

    ASSERT_TRUE(pressMenuKey("x"));
    ASSERT_TRUE(showsNotValid());
    ASSERT_TRUE(rowShows(0, titleRow()));

    // A function key is one key, and no menu choice.
    ASSERT_TRUE(pressMenuKey("F1"));
    ASSERT_TRUE(showsNotValid());
    ASSERT_TRUE(rowShows(0, titleRow()));

    // Escape again closes the menu: the next letter is no choice.
    ASSERT_TRUE(pressMenuKey("Escape"));
    ASSERT_TRUE(rowShows(0, titleRow()));
    monitor().sendKeys({"c"});
    ASSERT_TRUE(clockAdvances(2));
    EXPECT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond), 1s));

    ASSERT_TRUE(pressMenuKey("c"));
    ASSERT_TRUE(statusScreenShows(calibrateName, deviceBlock("ON-LINE", everySecond)));
    ASSERT_TRUE(pressMenuKey("D"));
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    // D while data collection runs changes nothing.
    ASSERT_TRUE(pressMenuKey("d"));
    ASSERT_TRUE(rowShows(0, titleRow()));

    // The configured device holds COM1, so only the free one is found. A device that answers
    // the handshake later than the driver waits is left out; on a starved machine that can
    // befall the simulator, so the scan gets three tries.
    std::vector<std::string> scan;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(pressMenuKey("S"));
        ASSERT_TRUE(screenShows("Press a key to continue..."));
        scan = monitor().capture();
        if (scan[5] == screenRow("DI-194RS: COM2"))
            break;
        monitor().sendKeys({"Escape"});
        ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    }
    EXPECT_EQ(scan[1], screenRow("Supported Devices:"));
    EXPECT_EQ(scan[2], screenRow("DI-194RS"));
    EXPECT_EQ(scan[4], screenRow("Devices / Ports:"));
    EXPECT_EQ(scan[5], screenRow("DI-194RS: COM2")) << "the free device saw:\n"
                                                    << joinLines(freeDevice.transcript());
    EXPECT_EQ(scan[7], screenRow("Press a key to continue..."));
    // The key that ends the prompt is used up there: this Escape opens no menu.
    monitor().sendKeys({"Escape"});
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    ASSERT_TRUE(clockAdvances(1));
    EXPECT_EQ(monitor().capture()[0], titleRow());

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(logMessagesWithoutLinkEvents(), (std::vector<std::string>{
                                                  "Starting TORVEN Application Ver 0.40",
                                                  "Entering Data Collection Mode",
                                                  "Exiting Data Collection Mode",
                                                  "Entering Calibration Mode",
                                                  "Exiting Calibration Mode",
                                                  "Entering Data Collection Mode",
                                                  "Exiting Data Collection Mode",
                                                  "System shutting down",
                                                  "Ending TORVEN Application Ver 0.40",
                                              }));
}

}  // namespace
}  // namespace torven::test
