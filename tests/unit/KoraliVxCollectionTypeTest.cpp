#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "collection/DataCollectionTypeFactory.h"
#include "collection/KoraliVxCollectionType.h"
#include "config/SiteConfiguration.h"
#include "devices/AnalogChannel.h"
#include "devices/PhysicalDevice.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

// A channel that is not analog: valid, but with no value this type could record.
class CounterChannel : public DeviceChannel {
  public:
    CounterChannel() { setValid(true); }
    void reset() override { setValid(false); }
    std::string valueText() const override { return "7"; }
};

// A device with an analog channel 1 and a counter channel 2.
class TwoChannelDevice : public PhysicalDevice {
  public:
    void setPort(const std::string&) override {}
    std::string port() const override { return ""; }
    bool connect() override { return false; }
    bool disconnect() override { return true; }
    bool isConnected() const override { return false; }
    bool readSample() override { return false; }
    std::string connectedPortName() const override { return ""; }
    std::string typeName() const override { return "TEST"; }
    std::int32_t channelCount() const override { return 2; }
    double channelValue(std::int32_t) const override { return noReading; }
    DeviceChannel* channel(std::int32_t n) override {
        if (n == 1)
            return &analog;
        if (n == 2)
            return &counter;
        return nullptr;
    }
    std::string scanPorts() override { return ""; }

    AnalogChannel analog;
    CounterChannel counter;
};

std::unique_ptr<KoraliVxCollectionType> registeredType() {
    auto type = std::make_unique<KoraliVxCollectionType>();
    type->registerKeywords();
    return type;
}

void set(DataCollectionType& type, const std::string& name, const std::string& value) {
    std::string message;
    ASSERT_TRUE(type.metaData().setValue(MetaDataEntry{name, value}, message)) << message;
}

TEST(KoraliVxCollectionType, KeywordsInTableOrder) {
    const auto type = registeredType();
    const char* names[] = {"StationID",     "Frequency", "MonitorID", "SampleRate", "Range",
                           "DateInstalled", "Contact",   "Problems",  "Comments",   "Observer"};
    ASSERT_EQ(type->metaData().count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(type->metaData().entries()[i].name, names[i]);
        EXPECT_EQ(type->metaData().entries()[i].required, i < 4);
    }
}

TEST(KoraliVxCollectionType, IdIsStationAndTheFirstSixCharactersOfTheMonitor) {
    struct Case {
        const char* station;
        const char* monitor;
        const char* id;
    };
    for (const Case& c : {Case{"S1", "AB", "S1_AB"}, Case{"S1", "ABCDEFGH", "S1_ABCDEF"},
                          Case{"S1", "ABCDEF", "S1_ABCDEF"}, Case{"", "", "_"},
                          Case{"a b", " x_y ", "a b_ x_y "}}) {
        const auto type = registeredType();
        set(*type, "StationID", c.station);
        set(*type, "MonitorID", c.monitor);
        EXPECT_EQ(type->buildId(), c.id);
        EXPECT_EQ(type->id(), c.id);
    }
}

TEST(KoraliVxCollectionType, IdCannotBeFormedWithoutItsEntries) {
    KoraliVxCollectionType type;
    EXPECT_EQ(type.buildId(), "Bad KORALI_VX NAME:&");
    EXPECT_EQ(type.id(), "");
}

TEST(KoraliVxCollectionType, SampleRateParsing) {
    struct Case {
        const char* text;
        std::int32_t interval;
    };
    for (const Case& c : {Case{"10", 10}, Case{"10s", 10}, Case{"abc", 0}, Case{" 7", 7},
                          Case{"", 0}, Case{"+15", 15}, Case{"-5", -5}, Case{"1 5", 1},
                          Case{"99999999999", 2147483647}, Case{"-99999999999", -2147483647 - 1}}) {
        const auto type = registeredType();
        set(*type, "SampleRate", c.text);
        type->readSampleRate();
        EXPECT_EQ(type->sampleInterval(), c.interval) << '"' << c.text << '"';
    }
}

TEST(KoraliVxCollectionType, SampleRateWithoutItsEntryIsZero) {
    const auto type = registeredType();
    set(*type, "SampleRate", "5");
    type->readSampleRate();
    ASSERT_EQ(type->sampleInterval(), 5);
    type->metaData().clear();
    type->readSampleRate();
    EXPECT_EQ(type->sampleInterval(), 0);
}

TEST(KoraliVxCollectionType, SampleText) {
    TwoChannelDevice device;
    KoraliVxCollectionType type;
    EXPECT_EQ(type.sampleText(), "--N/A-");
    EXPECT_FALSE(type.isOnline());

    ASSERT_TRUE(type.bindChannel(device, 1));
    EXPECT_EQ(type.sampleText(), "--N/A-");  // no reading yet
    EXPECT_FALSE(type.isOnline());

    struct Case {
        double value;
        const char* text;
    };
    for (const Case& c :
         {Case{1.5, "+1.500"}, Case{12.3456, "+12.346"}, Case{-12.5, "-12.500"},
          Case{0.0, "+0.000"}, Case{-10.0, "-10.000"}, Case{9.98046875, "+9.980"}}) {
        device.analog.setReading(c.value);
        EXPECT_EQ(type.sampleText(), c.text);
        EXPECT_TRUE(type.isOnline());
    }
    device.analog.reset();
    EXPECT_EQ(type.sampleText(), "--N/A-");
    EXPECT_FALSE(type.isOnline());
}

TEST(KoraliVxCollectionType, ANonAnalogChannelHasNoValueToRecord) {
    TwoChannelDevice device;
    KoraliVxCollectionType type;
    ASSERT_TRUE(type.bindChannel(device, 2));
    EXPECT_EQ(type.sampleText(), "--N/A-");
    EXPECT_FALSE(type.isOnline());
}

TEST(KoraliVxCollectionType, TypeNameAndFactory) {
    EXPECT_EQ(KoraliVxCollectionType{}.typeName(), "KORALI-VX");
    EXPECT_EQ(dataCollectionTypeName, "KORALI-VX");
    const auto type = createDataCollectionType("KORALI-VX");
    ASSERT_NE(type, nullptr);
    EXPECT_NE(dynamic_cast<KoraliVxCollectionType*>(type.get()), nullptr);
    EXPECT_EQ(type->status(), CollectionStatus::OffLine);
    for (const char* name : {"korali-vx", "KORALI-VX ", " KORALI-VX", "KORALI-V", ""}) {
        EXPECT_EQ(createDataCollectionType(name), nullptr) << '"' << name << '"';
    }
}

TEST(CollectionStatus, Words) {
    EXPECT_EQ(statusWord(CollectionStatus::OffLine), "OFF-LINE");
    EXPECT_EQ(statusWord(CollectionStatus::OnLine), "ON-LINE");
    EXPECT_EQ(statusWord(CollectionStatus::Logging), "LOGGING");
    EXPECT_EQ(statusWord(CollectionStatus::FileWriteError), "FILE WRITE ERROR");
    EXPECT_EQ(statusWord(CollectionStatus::ComLinkOff), "COM LINK OFF");
    for (int code : {-1, 5}) {
        EXPECT_EQ(statusWord(static_cast<CollectionStatus>(code)),
                  "ERROR: Bad Status value (internal Software error)");
    }
}

class KoraliVxHeader : public testing::Test {
  protected:
    // Loads a configuration and gives its first stream, with the clock at 2011-05-03 18:18:45.
    const DataCollectionType& loadStream(const std::string& config) {
        station.writeConfig(config);
        EXPECT_TRUE(site.loadConfiguration());
        site.modeController.clock.setTo(1304446725);
        return *site.modeController.dataLogger.typeAt(0);
    }

    // The offset and name of the zone XST5, which every header test is run in.
    static std::string zoneLines() {
        return "# UTC_Offset = -05:00\n# TimeZone = " + std::string("XST") + "\n";
    }

    test::ScratchStation station;
    SiteConfiguration site;
};

TEST_F(KoraliVxHeader, ByteForByte) {
    test::TimeZoneSetting zone("XST5");
    const DataCollectionType& stream = loadStream(
        "SITE = Hilltop, Longitude = -105.27, Latitude = 40.01\n"
        "DEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = HT1, Frequency = 24.0, "
        "MonitorID = 123456789, SampleRate = 5\n");
    EXPECT_EQ(stream.id(), "HT1_123456");
    EXPECT_EQ(stream.headerText(site),
              "# Site = Hilltop\n"
              "# Longitude = -105.27\n"
              "# Latitude = 40.01\n"
              "#\n" +
                  zoneLines() +
                  "#\n"
                  "# UTC_StartTime = 2011-05-03 18:18:45\n"
                  "# StationID = HT1\n"
                  "# Frequency = 24.0\n"
                  "# MonitorID = 123456789\n"
                  "# SampleRate = 5\n");
}

TEST_F(KoraliVxHeader, EntriesInTableOrderWithoutTheEmptyOnes) {
    test::TimeZoneSetting zone("XST5");
    const DataCollectionType& stream = loadStream(
        "SITE = Hilltop, Comments = roof\n"
        "DEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 2, DATATYPE = KORALI-VX, Observer = Jo, Range = , SampleRate = 5, "
        "MonitorID = 9, Comments = new, StationID = HT1\n");
    EXPECT_EQ(stream.headerText(site),
              "# Site = Hilltop\n"
              "# Comments = roof\n"
              "#\n" +
                  zoneLines() +
                  "#\n"
                  "# UTC_StartTime = 2011-05-03 18:18:45\n"
                  "# StationID = HT1\n"
                  "# MonitorID = 9\n"
                  "# SampleRate = 5\n"
                  "# Comments = new\n"
                  "# Observer = Jo\n");
}

TEST_F(KoraliVxHeader, EmptyListsRenderAsErrors) {
    test::TimeZoneSetting zone("XST5");
    KoraliVxCollectionType type;
    site.modeController.clock.setTo(1304446725);
    EXPECT_EQ(type.headerText(site),
              "# ERROR? List = Empty\n"
              "#\n" +
                  zoneLines() +
                  "#\n"
                  "# UTC_StartTime = 2011-05-03 18:18:45\n"
                  "# ERROR? List = Empty\n");
}

}  // namespace
}  // namespace torven
