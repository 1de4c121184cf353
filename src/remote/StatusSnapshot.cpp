#include "remote/StatusSnapshot.h"

#include <algorithm>
#include <set>

#include "collection/DataCollectionType.h"
#include "config/SiteConfiguration.h"
#include "devices/DeviceChannel.h"
#include "eventlog/EventLog.h"
#include "platform/FileSystem.h"
#include "shell/Program.h"

namespace torven {

namespace {

StreamSnapshot streamSnapshot(const DataCollectionType& stream) {
    return {.id = stream.id(),
            .typeName = stream.typeName(),
            .status = stream.statusText(),
            .statusCode = static_cast<std::int32_t>(stream.status()),
            .sampleInterval = stream.sampleInterval(),
            .rowsWritten = stream.rowsWritten(),
            .fileWriteErrors = stream.fileWriteErrors(),
            .lastRowTime = stream.lastRowTime(),
            .currentFileName = stream.currentFileName()};
}

// A reading is shown only while its device is connected, as on the console.
ChannelSnapshot channelSnapshot(PhysicalDevice& device, std::int32_t number) {
    ChannelSnapshot snapshot{.number = number, .value = {}, .valueText = "........", .stream = {}};
    const DeviceChannel* channel = device.channel(number);
    if (channel == nullptr)
        return snapshot;
    if (device.isConnected() && channel->valid()) {
        snapshot.value = device.channelValue(number);
        snapshot.valueText = channel->valueText();
    }
    if (const DataCollectionType* stream = channel->collectionType())
        snapshot.stream = streamSnapshot(*stream);
    return snapshot;
}

DeviceSnapshot deviceSnapshot(const DeviceRegistry& devices, int index) {
    PhysicalDevice& device = *devices.deviceAt(index);
    const DeviceRegistry::LinkCounts counts = devices.linkCountsAt(index);
    DeviceSnapshot snapshot{.port = device.port(),
                            .connectedPort = device.connectedPortName(),
                            .typeName = device.typeName(),
                            .connected = device.isConnected(),
                            .reconnections = counts.reconnections,
                            .failedHandshakes = counts.failedHandshakes,
                            .failedReads = counts.failedReads,
                            .channels = {}};
    for (std::int32_t number = 1; number <= device.channelCount(); ++number)
        snapshot.channels.push_back(channelSnapshot(device, number));
    return snapshot;
}

}  // namespace

void countFinishedFiles(StatusSnapshot& snapshot, const std::string& tmpDirectory) {
    std::set<std::string> current;
    for (const DeviceSnapshot& device : snapshot.devices) {
        for (const ChannelSnapshot& channel : device.channels) {
            if (channel.stream && !channel.stream->currentFileName.empty())
                current.insert(channel.stream->currentFileName);
        }
    }
    const std::vector<std::string> files = platform::listFiles(tmpDirectory, ".csv");
    snapshot.finishedFilesWaiting = static_cast<std::uint64_t>(
        std::count_if(files.begin(), files.end(),
                      [&current](const std::string& name) { return !current.contains(name); }));
}

StatusSnapshot takeStatusSnapshot(const SiteConfiguration& site, std::int64_t startTime) {
    const ModeController& controller = site.modeController;
    StatusSnapshot snapshot;
    snapshot.version = versionText;
    snapshot.mode = modeName(controller.mode());
    snapshot.modeText = controller.modeName();
    // Read directly: asking the site for its ID would log a FATAL entry before the first load.
    site.siteMetaData().getValue("Site", snapshot.site);
    if (controller.lastPassMilliseconds() > 0) {
        snapshot.lastPassTime = controller.clock.seconds();
        snapshot.lastPassText = controller.clock.dateTimeText();
    }
    snapshot.configurationError = site.shownConfigurationError;
    snapshot.startTime = startTime;
    snapshot.eventLogLines = programEventLog().entryCounts();
    for (int index = 0; index < controller.devices.count(); ++index)
        snapshot.devices.push_back(deviceSnapshot(controller.devices, index));
    return snapshot;
}

}  // namespace torven
