#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "config/SiteConfiguration.h"
#include "devices/DeviceChannel.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

const std::string twoDevices =
    "SITE = North Ridge, Comments = roof mast\n"
    "DEVICE = DI-194RS, PORT = COM1\n"
    "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = A1, MonitorID = 000123, SampleRate = 5\n"
    "DEVICE = DI-194RS, PORT = COM2\n"
    "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = B2, MonitorID = 000123, SampleRate = 5\n";

const std::string swappedDevices =
    "SITE = North Ridge, Comments = roof mast\n"
    "DEVICE = DI-194RS, PORT = COM2\n"
    "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = B2, MonitorID = 000123, SampleRate = 5\n"
    "DEVICE = DI-194RS, PORT = COM1\n"
    "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = A1, MonitorID = 000123, SampleRate = 5\n";

const std::array<std::string, 2> ids{"A1_000123", "B2_000123"};
constexpr std::int64_t lastRow = 1304446725;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// Reloads of a loaded configuration with devices that are not connected: which device
// objects and which streams' data files a reload keeps.
class ReloadTest : public testing::Test {
  protected:
    void SetUp() override {
        station.writeConfig(twoDevices);
        ASSERT_TRUE(site.loadConfiguration());
        site.modeController.clock.setTo(lastRow);
        const DataLogger& streams = site.modeController.dataLogger;
        for (int index = 0; index < streams.count(); ++index) {
            DataCollectionType& stream = *streams.typeAt(index);
            stream.dataFileName(site.modeController.clock);
            stream.setCurrentFileBytes(300);
            stream.setLastRowTime(lastRow);
            stream.setStatus(CollectionStatus::Logging);
            stream.setLossLogged(true);
        }
    }

    const DataCollectionType* stream(const std::string& id) const {
        const DataLogger& streams = site.modeController.dataLogger;
        for (int index = 0; index < streams.count(); ++index) {
            if (streams.typeAt(index)->id() == id)
                return streams.typeAt(index);
        }
        return nullptr;
    }

    // The device whose channel the stream records.
    const PhysicalDevice* deviceOf(const DataCollectionType& type) const {
        const DeviceRegistry& devices = site.modeController.devices;
        for (int index = 0; index < devices.count(); ++index) {
            for (std::int32_t number = 1; number <= 4; ++number) {
                if (devices.deviceAt(index)->channel(number) == type.boundChannel())
                    return devices.deviceAt(index);
            }
        }
        return nullptr;
    }

    bool goesOnInItsFile(const std::string& id) const {
        const DataCollectionType* found = stream(id);
        return found != nullptr && found->currentFileName() == "20110503_181845_" + id + ".csv" &&
               found->currentFileBytes() == 300 && found->lastRowTime() == lastRow &&
               found->status() == CollectionStatus::Logging && found->lossLogged();
    }

    // Every channel link goes both ways between live streams and channels of the registry.
    void expectLinksBothWays() const {
        const DeviceRegistry& devices = site.modeController.devices;
        int bound = 0;
        for (int index = 0; index < devices.count(); ++index) {
            for (std::int32_t number = 1; number <= 4; ++number) {
                const DeviceChannel* channel = devices.deviceAt(index)->channel(number);
                if (const DataCollectionType* type = channel->collectionType()) {
                    EXPECT_EQ(type->boundChannel(), channel);
                    EXPECT_EQ(stream(type->id()), type);
                    ++bound;
                }
            }
        }
        EXPECT_EQ(bound, site.modeController.dataLogger.count());
    }

    test::ScratchStation station;
    SiteConfiguration site;
};

TEST_F(ReloadTest, AReloadKeepsWhatTheEditLeavesAlone) {
    struct Edit {
        const char* what;
        std::string content;
        std::array<bool, 2> devicesKept;
        std::array<bool, 2> filesKept;
    };
    const Edit edits[] = {
        {"a comment", "# edited\n" + twoDevices, {true, true}, {true, true}},
        {"the devices' order", swappedDevices, {true, true}, {true, true}},
        {"a stream's item",
         replaced(twoDevices, "B2,", "B2, Comments = x,"),
         {true, true},
         {true, false}},
        {"a site item", replaced(twoDevices, "roof mast", "pole"), {true, true}, {false, false}},
        {"a port", replaced(twoDevices, "COM2", "COM3"), {true, false}, {true, false}},
        {"a channel",
         replaced(twoDevices, "CHANNEL = 2", "CHANNEL = 3"),
         {true, true},
         {true, false}},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        SetUp();
        const DeviceRegistry& devices = site.modeController.devices;
        const std::set<const PhysicalDevice*> before{devices.deviceAt(0), devices.deviceAt(1)};
        station.writeConfig(edit.content);
        ASSERT_TRUE(site.loadConfiguration());
        for (std::size_t index = 0; index < ids.size(); ++index) {
            const DataCollectionType* found = stream(ids[index]);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(before.contains(deviceOf(*found)), edit.devicesKept[index]) << ids[index];
            EXPECT_EQ(goesOnInItsFile(ids[index]), edit.filesKept[index]) << ids[index];
        }
        expectLinksBothWays();
    }
}

TEST_F(ReloadTest, AFailedLoadInBetweenBuildsEverythingAnew) {
    station.writeConfig("BOGUS = 1\n" + twoDevices);
    EXPECT_FALSE(site.loadConfiguration());
    station.writeConfig(twoDevices);
    ASSERT_TRUE(site.loadConfiguration());
    for (const std::string& id : ids) {
        ASSERT_NE(stream(id), nullptr);
        EXPECT_EQ(stream(id)->currentFileName(), "") << id;
        EXPECT_EQ(stream(id)->status(), CollectionStatus::OffLine) << id;
    }
    expectLinksBothWays();
}

}  // namespace
}  // namespace torven
