#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/SiteConfiguration.h"
#include "devices/DeviceChannel.h"
#include "eventlog/EventLog.h"
#include "platform/SignalWatcher.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

const std::string exampleFile =
    "#site\n"
    "SITE = North Ridge, Longitude = -105.27, Latitude = 40.01, Comments = roof mast\n"
    "DEVICE = DI-194RS, PORT = COM1\n"
    "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = NR1, Frequency = 24.0, MonitorID = 000123, "
    "SampleRate = 5\n"
    "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = NR2, Frequency = 25.2, MonitorID = 000123, "
    "SampleRate = 5\n";

const std::string deviceLine = "DEVICE = DI-194RS, PORT = COM1\n";

// A station of its own with a fresh site object; the event log goes to the station's
// EventLog folder, since the working directory is the station's bin folder.
class SiteConfigurationTest : public testing::Test {
  protected:
    // The entries of the event log without their time stamps: "LEVEL, "message"".
    std::vector<std::string> loggedEntries() const {
        std::vector<std::string> entries;
        for (const std::string& line : station.eventLogLines()) {
            entries.push_back(line.size() > 21 ? line.substr(21) : line);
        }
        return entries;
    }

    // Loading `content` fails with exactly one new entry, an ERROR holding `message`.
    void expectLoadFailsWith(const std::string& content, const std::string& message) {
        const std::size_t earlier = loggedEntries().size();
        station.writeConfig(content);
        EXPECT_FALSE(site.loadConfiguration()) << content;
        const std::vector<std::string> entries = loggedEntries();
        EXPECT_EQ(
            std::vector<std::string>(entries.begin() + static_cast<long>(earlier), entries.end()),
            std::vector<std::string>{"ERROR, \"" + message + "\""})
            << content;
    }

    std::string siteValue(const std::string& name) const {
        std::string value;
        site.siteMetaData().getValue(name, value);
        return value;
    }

    std::vector<std::string> streamIds() const {
        std::vector<std::string> ids;
        for (int i = 0; i < site.modeController.dataLogger.count(); ++i) {
            ids.push_back(site.modeController.dataLogger.typeAt(i)->id());
        }
        return ids;
    }

    test::ScratchStation station;
    SiteConfiguration site;
};

// Counts FATAL entries instead of ending the process, for as long as it lives.
class FatalExitCounter {
  public:
    FatalExitCounter() {
        programEventLog().setFatalExit([this] { ++count; });
    }
    ~FatalExitCounter() {
        programEventLog().setFatalExit([] { platform::exitProcess(-1); });
    }
    int count = 0;
};

TEST_F(SiteConfigurationTest, LoadsTheCompleteExampleFile) {
    station.writeConfig(exampleFile);
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_TRUE(loggedEntries().empty());
    EXPECT_EQ(site.configFilePath(), "..\\Conf\\TORVEN_config.txt");

    EXPECT_EQ(site.siteId(), "North Ridge");
    EXPECT_EQ(site.siteMetaDataText("# ", "\n"),
              "# Site = North Ridge\n# Longitude = -105.27\n# Latitude = 40.01\n"
              "# Comments = roof mast");

    const DeviceRegistry& devices = site.modeController.devices;
    ASSERT_EQ(devices.count(), 1);
    EXPECT_EQ(devices.deviceAt(0)->typeName(), "DI-194RS");
    EXPECT_EQ(devices.deviceAt(0)->port(), "COM1");

    const DataLogger& streams = site.modeController.dataLogger;
    ASSERT_EQ(streams.count(), 2);
    EXPECT_EQ(streamIds(), (std::vector<std::string>{"NR1_000123", "NR2_000123"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(streams.typeAt(i)->typeName(), "KORALI-VX");
        EXPECT_EQ(streams.typeAt(i)->sampleInterval(), 5);
        EXPECT_EQ(streams.typeAt(i)->boundChannel(), devices.deviceAt(0)->channel(i + 1));
        EXPECT_EQ(devices.deviceAt(0)->channel(i + 1)->collectionType(), streams.typeAt(i));
    }
    std::string frequency;
    EXPECT_TRUE(streams.typeAt(1)->metaData().getValue("Frequency", frequency));
    EXPECT_EQ(frequency, "25.2");

    ASSERT_EQ(site.metaDataCatalogue().size(), 1u);
    EXPECT_EQ(site.metaDataCatalogue()[0].first, "Site");
    EXPECT_EQ(site.metaDataCatalogue()[0].second, &site.siteMetaData());
}

TEST_F(SiteConfigurationTest, CrLfFileLoadsLikeLfFile) {
    std::string crLf;
    for (char c : exampleFile) {
        if (c == '\n')
            crLf += '\r';
        crLf += c;
    }
    station.writeConfig(crLf);
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(streamIds(), (std::vector<std::string>{"NR1_000123", "NR2_000123"}));
    EXPECT_EQ(siteValue("Comments"), "roof mast");
}

TEST_F(SiteConfigurationTest, KeywordsInAnyLetterCase) {
    station.writeConfig(
        "site = Hill, longitude = 1, LATITUDE = 2\n"
        "Device = DI-194RS, port = COM3\n"
        "channel = 4, datatype = KORALI-VX, stationid = H1, MONITORID = 42, samplerate = 10\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(siteValue("Latitude"), "2");
    EXPECT_EQ(site.modeController.devices.deviceAt(0)->port(), "COM3");
    EXPECT_EQ(streamIds(), std::vector<std::string>{"H1_42"});
    EXPECT_EQ(site.modeController.dataLogger.typeAt(0)->sampleInterval(), 10);
}

TEST_F(SiteConfigurationTest, SiteLinesSetOnlyWhatTheyName) {
    station.writeConfig("SITE = First, Comments = c\n\n# later\nSITE = Second\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(site.siteId(), "Second");
    EXPECT_EQ(siteValue("Comments"), "c");
    EXPECT_EQ(siteValue("Longitude"), "");
}

TEST_F(SiteConfigurationTest, ItemsAfterPortAreIgnored) {
    station.writeConfig("DEVICE = DI-194RS, PORT = COM2, Baud = 9600, anything = at all\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(site.modeController.devices.deviceAt(0)->port(), "COM2");
}

TEST_F(SiteConfigurationTest, ACommentNotAfterACommaBelongsToTheValue) {
    station.writeConfig("DEVICE = DI-194RS, PORT = COM2 # the mast\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(site.modeController.devices.deviceAt(0)->port(), "COM2 # the mast");
}

TEST_F(SiteConfigurationTest, CannotOpenTheFile) {
    EXPECT_FALSE(site.loadConfiguration());
    EXPECT_EQ(loggedEntries(),
              std::vector<std::string>{"ERROR, \"Cannot open Site Configuration file: "
                                       "..\\Conf\\TORVEN_config.txt\""});
}

TEST_F(SiteConfigurationTest, InvalidConfigurationKeyword) {
    expectLoadFailsWith("SITES = x\n", "Invalid configuration keyword: SITES");
}

TEST_F(SiteConfigurationTest, LineStartingWithATabIsAnInvalidKeyword) {
    expectLoadFailsWith("\tSITE = x\n", "Invalid configuration keyword: \tSITE");
}

TEST_F(SiteConfigurationTest, LineStartingWithEqualsIsAnInvalidKeyword) {
    expectLoadFailsWith("= x\n", "Invalid configuration keyword: ");
}

TEST_F(SiteConfigurationTest, SiteLineItemNotASiteKeyword) {
    expectLoadFailsWith("SITE = North, DEVICE = DI-194RS\n", "'DEVICE' is not a valid keyword");
}

TEST_F(SiteConfigurationTest, DeviceTypeNameIsCaseSensitive) {
    expectLoadFailsWith("DEVICE = di-194rs, PORT = COM1\n",
                        "di-194rs No such Physical Device type is defined");
}

TEST_F(SiteConfigurationTest, SpaceBeforeTheCommaNamesNoDeviceType) {
    expectLoadFailsWith("DEVICE = DI-194RS , PORT = COM1\n",
                        "DI-194RS  No such Physical Device type is defined");
}

TEST_F(SiteConfigurationTest, PortNotTheNextItem) {
    expectLoadFailsWith("DEVICE = DI-194RS, Baud = 4800, PORT = COM1\n",
                        "Port for device DI-194RS is undefined");
    // The device stays in the registry until the next load.
    EXPECT_EQ(site.modeController.devices.count(), 1);
}

TEST_F(SiteConfigurationTest, DeviceLineWithoutPort) {
    expectLoadFailsWith("DEVICE = DI-194RS\n", "Port for device DI-194RS is undefined");
}

TEST_F(SiteConfigurationTest, ChannelBeforeAnyDevice) {
    expectLoadFailsWith("CHANNEL = 1, DATATYPE = KORALI-VX\n",
                        "Config file has defined a channel before a device");
}

TEST_F(SiteConfigurationTest, ChannelLineEndingAfterTheChannel) {
    expectLoadFailsWith(deviceLine + "CHANNEL = 1\n",
                        "Invalid, 'DataType' expected in config file");
}

TEST_F(SiteConfigurationTest, DataTypeNotTheNextItem) {
    expectLoadFailsWith(deviceLine + "CHANNEL = 1, StationID = A, DATATYPE = KORALI-VX\n",
                        "Invalid, 'DataType' expected in config file");
}

TEST_F(SiteConfigurationTest, DataTypeThatNamesNoTypeIsFatal) {
    for (const std::string typeName : {"KORALI-VX ", "korali-vx", ""}) {
        FatalExitCounter fatalExits;
        const std::size_t earlier = loggedEntries().size();
        station.writeConfig(deviceLine + "CHANNEL = 1, DATATYPE = " + typeName +
                            ", StationID = A\n");
        EXPECT_FALSE(site.loadConfiguration());
        EXPECT_EQ(fatalExits.count, 1);
        EXPECT_EQ(loggedEntries().size(), earlier + 1);
        EXPECT_EQ(
            loggedEntries().back(),
            "FATAL, \"Software Error: Could not allocate Measurement Type " + typeName + "\"");
        EXPECT_EQ(site.modeController.dataLogger.count(), 0);
    }
}

TEST_F(SiteConfigurationTest, SiteIdWithoutASiteListIsFatal) {
    FatalExitCounter fatalExits;
    EXPECT_EQ(site.siteId(), "");
    EXPECT_EQ(fatalExits.count, 1);
    EXPECT_EQ(loggedEntries(), std::vector<std::string>{
                                   "FATAL, \"Unique Site ID undefined, cannot continue program\""});
}

TEST_F(SiteConfigurationTest, ChannelNumberTheDeviceDoesNotHave) {
    for (const std::string number : {"5", "0", "-1", "five"}) {
        expectLoadFailsWith(deviceLine + "CHANNEL = " + number + ", DATATYPE = KORALI-VX\n",
                            "Invalid channel Number: " + number);
    }
}

TEST_F(SiteConfigurationTest, ChannelNumberWithBlanksAndSign) {
    station.writeConfig(deviceLine + "CHANNEL =  +3, DATATYPE = KORALI-VX\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(site.modeController.dataLogger.typeAt(0)->boundChannel(),
              site.modeController.devices.deviceAt(0)->channel(3));
}

TEST_F(SiteConfigurationTest, ChannelLineItemNotAKeywordOfTheType) {
    expectLoadFailsWith(deviceLine + "CHANNEL = 1, DATATYPE = KORALI-VX, Station = A\n",
                        "'Station' is not a valid keyword");
}

TEST_F(SiteConfigurationTest, DuplicateIds) {
    expectLoadFailsWith(deviceLine +
                            "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = S, MonitorID = "
                            "1234567\n"
                            "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = T, MonitorID = 1\n"
                            "CHANNEL = 3, DATATYPE = KORALI-VX, StationID = S, MonitorID = "
                            "1234568\n",
                        "Not Unique IDS : S_123456");
}

TEST_F(SiteConfigurationTest, IdsDifferingInLetterCaseAreDistinct) {
    station.writeConfig(deviceLine +
                        "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = s, MonitorID = a\n"
                        "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = S, MonitorID = A\n");
    EXPECT_TRUE(site.loadConfiguration());
}

TEST_F(SiteConfigurationTest, ASingleStreamWithoutIdLoads) {
    station.writeConfig(deviceLine + "CHANNEL = 1, DATATYPE = KORALI-VX\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(streamIds(), std::vector<std::string>{"_"});
}

TEST_F(SiteConfigurationTest, IdsThatCannotNameAFile) {
    for (const std::string stationId : {"a/b", "a\\b", "a\tb", "a\x7f"}) {
        expectLoadFailsWith(deviceLine + "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = " +
                                stationId + ", MonitorID = 9\n",
                            "Invalid character in ID: " + stationId + "_9");
    }
}

TEST_F(SiteConfigurationTest, IdsTooLongForADataFileNameFailWhileTheLongestThatFitsLoads) {
    // A name is date and start tag (16), the ID and ".csv"; its hidden copies add 6 more.
    const std::string longest(255 - 16 - 4 - 6 - 2, 'L');
    station.writeConfig(deviceLine + "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = " + longest +
                        ", MonitorID = 9\n");
    EXPECT_TRUE(site.loadConfiguration());
    expectLoadFailsWith(deviceLine + "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = " + longest +
                            "L, MonitorID = 9\n",
                        "ID too long for a data file name: " + longest + "L_9");
}

TEST_F(SiteConfigurationTest, TwoStreamsOnOneChannelOfADeviceFail) {
    expectLoadFailsWith(deviceLine +
                            "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = A, MonitorID = 1\n"
                            "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = B, MonitorID = 1\n",
                        "Channel defined twice for one device: 2");
    station.writeConfig(deviceLine +
                        "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = A, MonitorID = 1\n"
                        "DEVICE = DI-194RS, PORT = COM2\n"
                        "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = B, MonitorID = 1\n");
    EXPECT_TRUE(site.loadConfiguration()) << "the same channel of two devices";
}

TEST_F(SiteConfigurationTest, IdWithBlanksAndPunctuationLoads) {
    station.writeConfig(deviceLine +
                        "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = N R.1, MonitorID = ~x\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(streamIds(), std::vector<std::string>{"N R.1_~x"});
}

TEST_F(SiteConfigurationTest, AnyPortIsOnlyForTheOnlyDevice) {
    station.writeConfig("DEVICE = DI-194RS, PORT = COM*\n");
    EXPECT_TRUE(site.loadConfiguration());
    expectLoadFailsWith("DEVICE = DI-194RS, PORT = COM1\nDEVICE = DI-194RS, PORT = COM*\n",
                        "COM* is ONLY okay if it is the only device in the system");
}

TEST_F(SiteConfigurationTest, AReloadBuildsTheStreamsAnew) {
    station.writeConfig(exampleFile);
    ASSERT_TRUE(site.loadConfiguration());
    station.writeConfig(
        "SITE = South\n"
        "DEVICE = DI-194RS, PORT = COM2\nDEVICE = DI-194RS, PORT = COM3\n"
        "CHANNEL = 4, DATATYPE = KORALI-VX, StationID = SO, MonitorID = 77, SampleRate = 15\n");
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_EQ(site.siteId(), "South");
    EXPECT_EQ(siteValue("Longitude"), "");
    EXPECT_EQ(site.modeController.devices.count(), 2);
    EXPECT_EQ(streamIds(), std::vector<std::string>{"SO_77"});
    EXPECT_EQ(site.modeController.dataLogger.typeAt(0)->boundChannel(),
              site.modeController.devices.deviceAt(1)->channel(4));
    EXPECT_EQ(site.modeController.dataLogger.typeAt(0)->sampleInterval(), 15);
    EXPECT_EQ(site.metaDataCatalogue().size(), 1u);
}

TEST_F(SiteConfigurationTest, AMissingFileKeepsTheSiteMetaDataButDropsDevicesAndStreams) {
    station.writeConfig(exampleFile);
    ASSERT_TRUE(site.loadConfiguration());
    std::filesystem::remove(station.path("Conf/TORVEN_config.txt"));
    EXPECT_FALSE(site.loadConfiguration());
    EXPECT_EQ(site.modeController.devices.count(), 0);
    EXPECT_EQ(site.modeController.dataLogger.count(), 0);
    EXPECT_EQ(site.siteId(), "North Ridge");
}

TEST_F(SiteConfigurationTest, NothingIsSetUpBeforeTheFirstLoad) {
    EXPECT_EQ(site.siteMetaData().count(), 0);
    EXPECT_EQ(site.modeController.devices.count(), 0);
    EXPECT_EQ(site.modeController.dataLogger.count(), 0);
    EXPECT_EQ(site.configFilePath(), "");
    EXPECT_EQ(site.siteMetaDataText("# ", "\n"), "# ERROR? List = Empty");
}

TEST_F(SiteConfigurationTest, ChangeDetection) {
    EXPECT_TRUE(site.configurationChanged());  // before the first load

    EXPECT_FALSE(site.loadConfiguration());  // no file yet
    EXPECT_FALSE(site.configurationChanged());

    station.writeConfig(exampleFile);
    EXPECT_TRUE(site.configurationChanged());
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_FALSE(site.configurationChanged());  // reading it is no change
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_FALSE(site.configurationChanged());

    station.writeConfig(exampleFile + "\n");
    EXPECT_TRUE(site.configurationChanged());
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_FALSE(site.configurationChanged());
}

TEST_F(SiteConfigurationTest, AnEditWithinTheSameSecondIsNoticed) {
    station.writeConfig(exampleFile);
    const auto path = station.path("Conf/TORVEN_config.txt");
    const std::int64_t second = 1304446725;
    ASSERT_TRUE(test::setModificationTime(path, second, 100));
    ASSERT_TRUE(site.loadConfiguration());
    EXPECT_FALSE(site.configurationChanged());

    // Same size, same second: only the fractions of the second tell the edit apart.
    ASSERT_TRUE(test::setModificationTime(path, second, 200));
    EXPECT_TRUE(site.configurationChanged());
}

TEST_F(SiteConfigurationTest, ProgramSiteIsOneObject) {
    EXPECT_EQ(&programSite(), &programSite());
    EXPECT_EQ(programSite().eventLogDirectory, "..\\EventLog\\");
    EXPECT_EQ(programSite().tmpDirectory, "..\\tmp\\");
    EXPECT_EQ(programSite().dataDirectory, "..\\Data\\");
    EXPECT_EQ(programSite().confDirectory, "..\\Conf\\");
    EXPECT_EQ(programSite().toSendDirectory, "..\\ToSend\\");
}

}  // namespace
}  // namespace torven
