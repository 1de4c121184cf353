#include "MonitorFixture.h"

namespace torven::test {
namespace {

using DeviceLossTest = MonitorFixture;

constexpr std::array<int, 4> everySecond{1, 1, 1, 1};

std::vector<std::string> disconnectedBlock() {
    const std::array<std::string, 4> fields{deviceField("COM1"), "Disconnected", "", ""};
    std::vector<std::string> rows;
    for (int channel = 1; channel <= 4; ++channel) {
        rows.push_back(channelRow(fields[static_cast<std::size_t>(channel - 1)], channel,
                                  "NR" + std::to_string(channel) + "_000123", "........",
                                  "COM LINK OFF", 1));
    }
    return rows;
}

TEST_F(DeviceLossTest, UnpluggedDeviceShowsComLinkOffAndReturnsOnce) {
    sim::Di194RsSimulator& device = plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig(everySecond));
    startMonitor();
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));

    device.unplug();
    ASSERT_TRUE(statusScreenShows("DATALOG", disconnectedBlock()));
    const auto cells = monitor().captureCells();
    EXPECT_EQ(cells[10][0].background, 9) << "\"Disconnected\" in black on bright red";
    EXPECT_EQ(cells[10][0].foreground, 0);
    EXPECT_EQ(cells[9][48].foreground, 9) << "values in bright red";
    EXPECT_EQ(cells[12][57].foreground, 9) << "status in bright red";
    // It stays so while the port has no device behind it.
    ASSERT_TRUE(clockAdvances(2));
    EXPECT_TRUE(statusScreenShows("DATALOG", disconnectedBlock(), 1s));

    ASSERT_TRUE(device.plug());
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", everySecond)));
    EXPECT_EQ(monitor().captureCells()[10][0].background, 14) << "ON-Line field highlighted again";

    EXPECT_EQ(quit(), 0);
    const std::vector<std::string> messages = logMessages();
    // One entry per loss and return: one of each for the unplugging, and one more of each
    // for every time a starved machine made the device miss its reads.
    const std::string returned = "DI-194RS on port COM1 has returned online";
    const std::size_t returns = countOf(messages, returned);
    EXPECT_GE(returns, 1u) << joinLines(messages);
    for (int channel = 1; channel <= 4; ++channel) {
        const std::string lost =
            "Data collection: Lost connection for NR" + std::to_string(channel) + "_000123";
        EXPECT_EQ(countOf(messages, lost), returns) << joinLines(messages);
        EXPECT_TRUE(containsInOrder(messages, {lost, returned}));
    }

    // Each stream kept its one file, and no row stands for a missing reading.
    const std::vector<std::string> files = dataFiles("Data");
    EXPECT_EQ(files.size(), 4u);
    for (const std::string& name : files) {
        const std::string content = station_.readFile("Data/" + name);
        EXPECT_EQ(content.find("N/A"), std::string::npos) << name;
        EXPECT_EQ(content.find("-9999"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace torven::test
