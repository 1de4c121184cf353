#include <gtest/gtest.h>

#include <set>
#include <string>

#include "config/SiteConfiguration.h"
#include "devices/DeviceChannel.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

const std::string deviceA =
    "DEVICE = DI-194RS, PORT = COM1\nCHANNEL = 1, DATATYPE = KORALI-VX, "
    "StationID = A, MonitorID = 1, SampleRate = 5\n";
const std::string deviceB =
    "DEVICE = DI-194RS, PORT = COM2\nCHANNEL = 2, DATATYPE = KORALI-VX, "
    "StationID = B, MonitorID = 1, SampleRate = 5\n";
const std::string siteLine = "SITE = North Ridge\n";
const std::string devices = siteLine + deviceA + deviceB;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// Reloads with devices that are not connected: which device objects and which streams' data
// files (with their state) a reload keeps, and that every channel link stays two-way.
class ReloadTest : public testing::Test {
  protected:
    void load(const std::string& content) {
        station.writeConfig(content);
        ASSERT_TRUE(site.loadConfiguration());
    }

    // The streams A_1 and B_1 in the middle of their files.
    void loadWritingStreams() {
        load(devices);
        site.modeController.clock.setTo(1304446725);  // 2011-05-03 18:18:45
        for (int index = 0; index < streams.count(); ++index) {
            streams.typeAt(index)->dataFileName(site.modeController.clock);
            streams.typeAt(index)->setLastRowTime(1304446725);
            streams.typeAt(index)->setStatus(CollectionStatus::Logging);
        }
    }

    std::string filesGoingOn() const {
        std::string going;
        for (int index = 0; index < streams.count(); ++index) {
            const DataCollectionType& stream = *streams.typeAt(index);
            if (stream.currentFileName() == "20110503_181845_" + stream.id() + ".csv" &&
                stream.lastRowTime() == 1304446725 &&
                stream.status() == CollectionStatus::Logging) {
                going += stream.id();
            }
        }
        return going;
    }

    void expectLinksBothWays() const {
        int bound = 0;
        for (int index = 0; index < registry.count(); ++index) {
            for (std::int32_t number = 1; number <= 4; ++number) {
                const DeviceChannel* channel = registry.deviceAt(index)->channel(number);
                if (const DataCollectionType* stream = channel->collectionType()) {
                    EXPECT_EQ(stream->boundChannel(), channel);
                    EXPECT_EQ(streams.typeAt(bound++), stream) << "in configuration order";
                }
            }
        }
        EXPECT_EQ(bound, streams.count());
    }

    test::ScratchStation station;
    SiteConfiguration site;
    const DeviceRegistry& registry = site.modeController.devices;
    const DataLogger& streams = site.modeController.dataLogger;
};

TEST_F(ReloadTest, AReloadKeepsWhatTheEditLeavesAlone) {
    const struct {
        std::string content;
        int devicesKept;
        std::string filesGoingOn;
    } edits[] = {
        {"# a comment\n" + devices, 2, "A_1B_1"},
        {siteLine + deviceB + deviceA, 2, "B_1A_1"},
        {replaced(devices, "B,", "B, Comments = x,"), 2, "A_1"},
        {replaced(devices, "North", "South"), 2, ""},
        {replaced(devices, "COM2", "COM3"), 1, "A_1"},
        {replaced(devices, "CHANNEL = 2", "CHANNEL = 3"), 2, "A_1"},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.content);
        loadWritingStreams();
        const std::set<const PhysicalDevice*> before{registry.deviceAt(0), registry.deviceAt(1)};
        load(edit.content);
        EXPECT_EQ(before.count(registry.deviceAt(0)) + before.count(registry.deviceAt(1)),
                  static_cast<std::size_t>(edit.devicesKept));
        EXPECT_EQ(filesGoingOn(), edit.filesGoingOn);
        expectLinksBothWays();
    }
}

}  // namespace
}  // namespace torven
