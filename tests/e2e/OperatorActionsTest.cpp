#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

constexpr int deviceCount = 8;

std::string streamId(int device) {
    return "S" + std::to_string(device) + "_000123";
}

// Eight devices, each with one stream that owes a row every second.
std::string eightDeviceConfig(const std::string& comment) {
    std::string config = comment + "SITE = Test Ridge\n";
    for (int device = 1; device <= deviceCount; ++device) {
        config += "DEVICE = DI-194RS, PORT = COM" + std::to_string(device) + "\n" +
                  koraliChannelLine(1, "S" + std::to_string(device), 1);
    }
    return config;
}

class OperatorActionsTest : public MonitorFixture {
  protected:
    // The rows one stream has in tmp so far.
    std::size_t rowsInTmp(int device) const {
        std::size_t rows = 0;
        for (const std::string& name : dataFiles("tmp")) {
            if (name.find(streamId(device)) != std::string::npos)
                rows += wholeRows(station_.readFile("tmp/" + name)).size();
        }
        return rows;
    }
    ::testing::AssertionResult rowsGrowBy(std::size_t rows) const {
        const std::size_t start = rowsInTmp(1);
        if (eventually([&] { return rowsInTmp(1) >= start + rows; }, screenTimeout))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no " << rows << " more rows\n"
                                             << monitor().screenText();
    }

    // When the event log says the message was logged (its last entry).
    std::optional<std::time_t> loggedAt(const std::string& message) const {
        std::optional<std::time_t> at;
        for (const std::string& line : station_.eventLogLines()) {
            if (line.find("\"" + message + "\"") != std::string::npos)
                at = parseDateTime(line.substr(0, 19));
        }
        return at;
    }
};

// What an operator does in a day's work, with every healthy stream owing a row every second:
// an edit of a comment in the configuration, a port scan whose report is left standing, and a
// switch to calibration and back. Outside calibration no second goes without its row.
TEST_F(OperatorActionsTest, ReloadScanAndCalibrationCostNoRowOutsideCalibration) {
    for (int device = 1; device <= deviceCount; ++device)
        plugDevice(device, deviceVolts);
    writeConfig(eightDeviceConfig(""));
    startMonitor();
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == deviceCount; }, screenTimeout));
    ASSERT_TRUE(rowsGrowBy(3));

    writeConfig(eightDeviceConfig("# checked the mast today\n"));
    ASSERT_TRUE(rowsGrowBy(3));

    ASSERT_TRUE(pressMenuKey("S"));
    ASSERT_TRUE(screenShows("Press a key to continue..."));
    ASSERT_TRUE(rowsGrowBy(4)) << "the report stands while rows go on";
    monitor().sendKeys({"x"});
    ASSERT_TRUE(screenShows("Current Mode: DATALOG"));

    ASSERT_TRUE(pressMenuKey("C"));
    ASSERT_TRUE(screenShows("C A L I B R A T E"));
    ASSERT_TRUE(clockAdvances(2));
    ASSERT_TRUE(pressMenuKey("D"));
    ASSERT_TRUE(screenShows("Current Mode: DATALOG"));
    ASSERT_TRUE(rowsGrowBy(3));
    EXPECT_EQ(quit(), 0);

    const std::vector<std::string> messages = logMessages();
    EXPECT_EQ(logMessagesWithoutLinkEvents(), messages) << joinLines(messages);
    const std::optional<std::time_t> calibrating = loggedAt("Entering Calibration Mode");
    const std::optional<std::time_t> collecting = loggedAt("Entering Data Collection Mode");
    ASSERT_TRUE(calibrating && collecting);

    std::map<std::string, std::set<std::time_t>> seconds;
    for (const auto& [name, content] : readDataFiles(station_, "ToSend")) {
        for (const std::string& row : wholeRows(content))
            seconds[name.substr(16)].insert(parseDateTime(row.substr(0, 19)).value_or(0));
    }
    ASSERT_EQ(seconds.size(), static_cast<std::size_t>(deviceCount))
        << "one file for each stream: " << joinLines(dataFiles("ToSend"));
    std::time_t first = 0;
    std::time_t last = std::numeric_limits<std::time_t>::max();
    for (const auto& [stream, rows] : seconds) {
        first = std::max(first, *rows.begin());
        last = std::min(last, *rows.rbegin());
    }
    for (const auto& [stream, rows] : seconds) {
        for (std::time_t second = first; second <= last; ++second) {
            const bool calibration = second >= *calibrating && second <= *collecting;
            EXPECT_TRUE(calibration || rows.count(second) == 1)
                << stream << " has no row at " << second - first << " s";
        }
    }
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
}

}  // namespace
}  // namespace torven::test
