#include "MonitorFixture.h"
#include "shell/ScanScreen.h"

namespace torven::test {
namespace {

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};

// Four streams with a row every second from the device on COM1, a free device on COM2 for the
// scan to find, Escape S and the wait for the report.
class ScanScreenTest : public MonitorFixture {
  protected:
    void SetUp() override {
        MonitorFixture::SetUp();
        plugDevice(1, deviceVolts);
        plugDevice(2, deviceVolts);
        writeConfig(oneDeviceConfig(everySecond));
        startMonitor();
        ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
        scanStart_ = std::time(nullptr);
        rowsBefore_ = rowsInTmp();
        ASSERT_TRUE(pressMenuKey("S"));
        ASSERT_TRUE(screenShows("Press a key to continue..."));
    }

    // The rows of one stream's file in tmp.
    long rowsInTmp() const {
        return static_cast<long>(wholeRows(station_.readFile("tmp/" + dataFiles("tmp")[0])).size());
    }

    // A row for at least three quarters of the seconds since the scan began (a starved machine
    // may let a pass miss its second), where a scan that held collection up left none.
    void expectRowsSinceTheScan() const {
        EXPECT_GE(4 * (rowsInTmp() - rowsBefore_), 3 * (std::time(nullptr) - scanStart_ - 1));
    }

    std::time_t scanStart_ = 0;
    long rowsBefore_ = 0;
};

TEST_F(ScanScreenTest, CollectionGoesOnWhileTheReportStandsUntilAKey) {
    const std::vector<std::string> report = monitor().capture();
    const long rowsAtReport = rowsInTmp();
    ASSERT_TRUE(eventually([&] { return rowsInTmp() >= rowsAtReport + 6; }, screenTimeout));
    expectRowsSinceTheScan();

    // The dump shows the screen as it stands: the scan screen, not the status display.
    const std::string dump = consoleDump("Press a key to continue...");
    EXPECT_NE(dump.find("Devices / Ports:"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("Current Mode:"), std::string::npos) << dump;
    EXPECT_EQ(monitor().capture(), report);

    monitor().sendKeys({"x"});
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    EXPECT_EQ(quit(), 0);
}

// About seventy seconds: the report stands for its whole minute.
TEST_F(ScanScreenTest, WithoutAKeyTheStatusDisplayReturnsAfterAMinute) {
    const std::chrono::milliseconds stands(ScanScreen::resultStandsMilliseconds);
    ASSERT_TRUE(
        statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond), stands + screenTimeout));
    EXPECT_GE(std::time(nullptr) - scanStart_, stands.count() / 1000);
    expectRowsSinceTheScan();
    EXPECT_EQ(quit(), 0);
}

}  // namespace
}  // namespace torven::test
