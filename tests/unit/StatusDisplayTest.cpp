#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "config/SiteConfiguration.h"
#include "console/StatusDisplay.h"
#include "devices/DeviceRegistry.h"
#include "support/FakeDevice.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

using test::FakeDevice;
using test::FakeStream;

constexpr std::uint8_t normal = 0x0F;
constexpr std::uint8_t inverse = 0xF0;
constexpr std::uint8_t alertText = 0x0C;
constexpr std::uint8_t alert = 0xC0;
constexpr std::uint8_t highlight = 0xB0;

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

// Two four-channel devices as a configuration would build them: COM3 answers and records
// channels 1 to 4; COM7 does not answer and records channels 1, 3 and 4 only.
class StatusDisplayTest : public ::testing::Test {
  protected:
    StatusDisplayTest() {
        station.writeConfig("SITE = North Ridge\n");
        EXPECT_TRUE(site.loadConfiguration());
        first = addDevice("COM3");
        second = addDevice("COM7");
        second->setAnswering(false);
        for (std::int32_t channel = 1; channel <= 4; ++channel) {
            addStream(*first, channel, "NR1_A" + std::to_string(channel), 5);
            if (channel != 2)
                addStream(*second, channel, "NR2_B" + std::to_string(channel), 60);
        }
        const std::int64_t instant = test::utcInstant(2011, 5, 4, 10, 20, 7);
        site.modeController.setTimeSource([instant] { return instant; });
        site.modeController.step(site, DataLoggingMode::CALIBRATE);
    }

    FakeDevice* addDevice(const std::string& port) {
        auto device = std::make_unique<FakeDevice>(port);
        FakeDevice* added = device.get();
        site.modeController.devices.addDevice(std::move(device));
        return added;
    }

    FakeStream* addStream(FakeDevice& device, std::int32_t channel, const std::string& id,
                          std::int32_t interval) {
        auto stream = std::make_unique<FakeStream>(id, interval);
        FakeStream* added = stream.get();
        site.modeController.dataLogger.addType(std::move(stream));
        EXPECT_TRUE(added->bindChannel(device, channel));
        return added;
    }

    void showAll() {
        showSiteTable(site);
        showChannelStatus(site);
    }

    std::string row(int y) const { return site.console.screen().rowText(y); }
    std::uint8_t attribute(int x, int y) const {
        return site.console.screen().cell(x, y).attribute;
    }
    // True when every cell of columns [from, to] on row y has the attribute.
    bool painted(int from, int to, int y, std::uint8_t expected) const {
        for (int x = from; x <= to; ++x) {
            if (attribute(x, y) != expected)
                return false;
        }
        return true;
    }

    test::ScratchStation station;
    SiteConfiguration site;
    FakeDevice* first = nullptr;
    FakeDevice* second = nullptr;
};

TEST_F(StatusDisplayTest, TheHeaderLinesShowModeSiteTimeAndColumnTitles) {
    showAll();

    EXPECT_EQ(row(2), padded("Current Mode: * * *  C A L I B R A T E  * * *", 80));
    EXPECT_EQ(attribute(13, 2), normal);
    EXPECT_TRUE(painted(14, 44, 2, inverse));
    EXPECT_EQ(attribute(45, 2), normal);
    EXPECT_EQ(row(3), padded("Monitor Site: North Ridge", 80));
    EXPECT_EQ(row(5), padded("UTC : 2011-05-04 10:20:07", 80));
    EXPECT_EQ(row(7), padded("Port    Device     Chan  DataType   ID          Data     MODE   "
                             "          Rate",
                             80));
}

TEST_F(StatusDisplayTest, EachDeviceBlockHasOneRowPerChannelAndTwoEmptyRowsAfterIt) {
    showAll();

    EXPECT_EQ(row(9),
              "COM3    FAKE-194     1   FAKE-TYPE  NR1_A1      +1.250   ON-LINE             5  ");
    EXPECT_EQ(row(10).substr(0, 25), "ON-Line: COM3        2   ");
    EXPECT_EQ(row(12).substr(20), " 4   FAKE-TYPE  NR1_A4      +1.250   ON-LINE             5  ");
    EXPECT_EQ(row(13), std::string(80, ' '));
    EXPECT_EQ(row(14), std::string(80, ' '));
    EXPECT_EQ(row(15).substr(0, 19), "COM7    FAKE-194   ");
    EXPECT_EQ(row(16).substr(0, 19), "Disconnected       ");
    EXPECT_EQ(row(18).substr(20, 5), " 4   ");
    EXPECT_EQ(row(18).substr(74, 4), "  60");
    EXPECT_EQ(row(19), std::string(80, ' '));
}

TEST_F(StatusDisplayTest, FieldsStartUnderTheirColumnTitles) {
    showAll();
    const std::string header = row(7);
    const std::string channelRow = row(9);

    EXPECT_EQ(channelRow.substr(header.find("Port"), 4), "COM3");
    EXPECT_EQ(channelRow.substr(header.find("Device"), 8), "FAKE-194");
    EXPECT_EQ(channelRow.substr(header.find("Chan"), 4), "  1 ");
    EXPECT_EQ(channelRow.substr(header.find("DataType"), 9), "FAKE-TYPE");
    EXPECT_EQ(channelRow.substr(header.find("ID"), 6), "NR1_A1");
    EXPECT_EQ(channelRow.substr(header.find("Data "), 6), "+1.250");
    EXPECT_EQ(channelRow.substr(header.find("MODE"), 7), "ON-LINE");
    EXPECT_EQ(channelRow.substr(header.find("Rate"), 4), "   5");
}

TEST_F(StatusDisplayTest, AConnectedDeviceShowsItsPortInHighlightColours) {
    showAll();

    EXPECT_EQ(row(10).substr(0, 19), "ON-Line: COM3      ");
    EXPECT_TRUE(painted(0, 18, 10, highlight));
    EXPECT_TRUE(painted(48, 72, 9, normal));
}

TEST_F(StatusDisplayTest, ADisconnectedDeviceShowsDotsAndItsStatusesInBrightRed) {
    showAll();

    EXPECT_TRUE(painted(0, 18, 16, alert));
    EXPECT_EQ(attribute(19, 16), normal);
    for (const int y : {15, 17, 18}) {
        EXPECT_EQ(row(y).substr(48, 25), "........ COM LINK OFF    ") << "row " << y;
        EXPECT_TRUE(painted(48, 72, y, alertText)) << "row " << y;
    }
    EXPECT_EQ(site.console.screen().attribute(), normal);
}

TEST_F(StatusDisplayTest, AnUnboundChannelShowsUnassignedNoIdRateZeroAndNotApplicable) {
    showAll();

    const std::string unbound = row(16);
    EXPECT_EQ(unbound.substr(20, 5), " 2   ");
    EXPECT_EQ(unbound.substr(25, 23), "Unassigned             ");
    EXPECT_EQ(unbound.substr(48, 25), "........ N/A             ");
    EXPECT_EQ(unbound.substr(73, 5), "    0");
}

TEST_F(StatusDisplayTest, StatusWordsFillTheirFieldExactly) {
    showSiteTable(site);
    first->channel(1)->collectionType()->setStatus(CollectionStatus::FileWriteError);
    first->channel(2)->collectionType()->setStatus(CollectionStatus::Logging);
    showChannelStatus(site);

    EXPECT_EQ(row(9).substr(56, 18), " FILE WRITE ERROR ");
    EXPECT_EQ(row(10).substr(56, 18), " LOGGING          ");
}

TEST_F(StatusDisplayTest, AValueTooLongForItsFieldIsCut) {
    first->setReading(-9999.999);
    site.modeController.step(site, DataLoggingMode::CALIBRATE);
    showAll();

    EXPECT_EQ(row(9).substr(48, 9), "-9999.99 ");
}

TEST_F(StatusDisplayTest, AConnectedDeviceWithoutAReadingShowsDotsNotTheNoReadingValue) {
    showAll();
    // As just after a device came back: connected, its first sample still to come.
    first->analogChannel(1).reset();
    showChannelStatus(site);

    EXPECT_EQ(row(9).substr(48, 9), "........ ");
    EXPECT_EQ(row(10).substr(48, 9), "+1.250   ");
}

TEST_F(StatusDisplayTest, TheStatusLayerOverwritesOnlyItsOwnFields) {
    showAll();
    const std::string before = row(9);
    first->setReading(-2.5);
    site.modeController.step(site, DataLoggingMode::CALIBRATE);
    showChannelStatus(site);

    EXPECT_EQ(row(9), before.substr(0, 48) + "-2.500  " + before.substr(56));
}

TEST_F(StatusDisplayTest, WithoutDevicesOnlyTheClockIsRefreshed) {
    site.modeController.dataLogger.clear();
    site.modeController.devices.clear();
    showAll();

    EXPECT_EQ(row(5), padded("UTC : 2011-05-04 10:20:07", 80));
    for (int y = 8; y < 51; ++y)
        EXPECT_EQ(row(y), std::string(80, ' ')) << "row " << y;
}

TEST_F(StatusDisplayTest, BlocksBeyondTheLastRowAreLeftOutInsteadOfScrollingThePicture) {
    for (int port = 10; port < 16; ++port)
        addDevice("COM" + std::to_string(port));
    showAll();

    EXPECT_EQ(row(2).substr(0, 14), "Current Mode: ");
    EXPECT_EQ(row(45).substr(0, 19), "COM14   FAKE-194   ") << "the seventh block fits";
    EXPECT_EQ(row(48).substr(20, 5), " 4   ");
    EXPECT_EQ(row(50), std::string(80, ' ')) << "the eighth block does not";
}

const std::string titleLine =
    padded("TORVEN Data Collection Monitor     Press (ESC) for menu", 60) + "  Version 0.40      ";

TEST_F(StatusDisplayTest, AFlashedTitleStaysBlackOnBrightCyan) {
    flashTitle(site.console, true);

    EXPECT_EQ(row(0), titleLine);
    EXPECT_TRUE(painted(0, 79, 0, highlight));
    EXPECT_EQ(site.console.screen().attribute(), normal);
}

TEST_F(StatusDisplayTest, TheMenuLineUnderNormalColoursIsBrightWhiteOnBlack) {
    flashTitle(site.console, false);
    site.console.setNormalColours();
    showMenuLine(site.console);

    EXPECT_EQ(row(0), padded("MENU: D)atalog  C)alibrate  S)can for Devices   Q)uit    (ESC) "
                             "exit menu",
                             80));
    EXPECT_TRUE(painted(0, 79, 0, normal));
}

TEST_F(StatusDisplayTest, TheSiteTableBeginsWithTheTitle) {
    showSiteTable(site);

    EXPECT_EQ(row(0), titleLine);
    EXPECT_TRUE(painted(0, 79, 0, highlight));
    EXPECT_EQ(row(1), std::string(80, ' '));
}

TEST_F(StatusDisplayTest, TheScanScreenListsTheSupportedTypesAndThePortScan) {
    site.console.clearScreen();
    showDeviceScanHeading(site.console);
    EXPECT_EQ(row(5), padded("Scanning...", 80));
    showDeviceScanReport(site.console, DeviceRegistry::scanAllDeviceTypes());

    EXPECT_EQ(row(1), padded("Supported Devices:", 80));
    EXPECT_EQ(row(2), padded("DI-194RS", 80));
    EXPECT_EQ(row(4), padded("Devices / Ports:", 80));
    EXPECT_EQ(row(5).rfind("DI-194RS: ", 0), 0u) << row(5);
    EXPECT_EQ(row(5).find("Scanning..."), std::string::npos) << "the result overwrites it";
}

}  // namespace
}  // namespace torven
