#include "console/StatusDisplay.h"

#include <cstdint>
#include <string>

#include "collection/DataCollectionType.h"
#include "config/SiteConfiguration.h"
#include "console/Console.h"
#include "devices/DeviceChannel.h"
#include "devices/DeviceFactory.h"
#include "devices/DeviceRegistry.h"
#include "platform/ProgramLock.h"
#include "platform/ScreenBuffer.h"
#include "shell/Program.h"

namespace torven {

namespace {

constexpr const char* titleText = "TORVEN Data Collection Monitor     Press (ESC) for menu";
constexpr const char* menuText =
    "MENU: D)atalog  C)alibrate  S)can for Devices   Q)uit    (ESC) exit menu";
constexpr const char* columnHeader =
    "Port    Device     Chan  DataType   ID          Data     MODE             Rate";
constexpr int firstBlockRow = 9;
constexpr int rowsBetweenBlocks = 2;

// A block is drawn only when all its rows fit above the last screen row: the line feed after
// a channel on the last row would scroll the whole picture, title included, on every refresh.
bool blockFits(const PhysicalDevice& device, int row) {
    return row + device.channelCount() < platform::ScreenBuffer::height;
}

void showChannelRow(Console& console, std::int32_t channelNumber, const DeviceChannel* channel) {
    console.printf("%2u   ", static_cast<unsigned>(channelNumber));
    const DataCollectionType* stream = channel ? channel->collectionType() : nullptr;
    if (stream) {
        console.printf("%-10.10s %-10.10s  %-8.8s %-16.16s %4d\n", stream->typeName().c_str(),
                       stream->id().c_str(), "", "", stream->sampleInterval());
    } else {
        console.printf("%-10.10s %-10.10s  %-8.8s %-16.16s %4d\n", "Unassigned", "", "", "", 0);
    }
}

// Rows 0 to channelCount - 1 of a block: the static part of every channel.
int showDeviceBlock(Console& console, PhysicalDevice& device, int row) {
    console.moveCursor(0, row);
    console.printf("%-6.6s  %-10.10s ", device.port().c_str(), device.typeName().c_str());
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        console.moveCursor(20, row);
        ++row;
        showChannelRow(console, number, device.channel(number));
    }
    return row + rowsBetweenBlocks;
}

void showConnection(Console& console, const PhysicalDevice& device, int row) {
    console.moveCursor(0, row + 1);
    if (device.isConnected()) {
        console.setHighlightColours();
        console.printf("ON-Line: %-8.8s  ", device.connectedPortName().c_str());
    } else {
        console.setAlertColours();
        console.print("Disconnected       ");
    }
    console.setNormalColours();
}

int showDeviceStatus(Console& console, PhysicalDevice& device, int row) {
    showConnection(console, device, row);
    const bool connected = device.isConnected();
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        const DeviceChannel* channel = device.channel(number);
        // No reading is ever shown as a value, also just after a device came back.
        std::string value = "........";
        if (connected && channel != nullptr && channel->valid()) {
            value = channel->valueText();
        } else if (!connected) {
            console.setAlertTextColours();
        }
        const DataCollectionType* stream = channel ? channel->collectionType() : nullptr;
        const std::string status = stream ? stream->statusText() : "N/A";
        console.moveCursor(48, row);
        ++row;
        console.printf("%-8.8s %-16.16s\n", value.c_str(), status.c_str());
        console.setNormalColours();
    }
    return row + rowsBetweenBlocks;
}

}  // namespace

void showTitle(Console& console) {
    console.moveCursor(0, 0);
    console.printf("%-60s  Version %-10.10s", titleText, versionText);
}

void flashTitle(Console& console, bool twice) {
    for (int flash = 0; flash < (twice ? 2 : 1); ++flash) {
        console.setNormalColours();
        showTitle(console);
        platform::ProgramLock::sleepReleased(100);
        console.setHighlightColours();
        showTitle(console);
        platform::ProgramLock::sleepReleased(100);
    }
    console.setNormalColours();
}

void showMenuLine(Console& console) {
    console.moveCursor(0, 0);
    console.printf("%-80.80s", menuText);
}

void showSiteTable(SiteConfiguration& site) {
    Console& console = site.console;
    console.clearScreen();
    flashTitle(console, false);
    console.moveCursor(0, 2);
    console.print("Current Mode: ");
    console.setInverseColours();
    console.print(site.modeController.modeName());
    console.setNormalColours();
    console.moveCursor(0, 3);
    console.printf("Monitor Site: %s\n\n", site.siteId().c_str());
    console.moveCursor(0, 5);
    console.print("UTC :");
    console.moveCursor(0, 7);
    console.print(columnHeader);
    const DeviceRegistry& devices = site.modeController.devices;
    int row = firstBlockRow;
    for (int index = 0; index < devices.count() && blockFits(*devices.deviceAt(index), row);
         ++index) {
        row = showDeviceBlock(console, *devices.deviceAt(index), row);
    }
}

void showChannelStatus(SiteConfiguration& site) {
    Console& console = site.console;
    console.moveCursor(6, 5);
    console.print(site.modeController.clock.dateTimeText());
    const DeviceRegistry& devices = site.modeController.devices;
    int row = firstBlockRow;
    for (int index = 0; index < devices.count() && blockFits(*devices.deviceAt(index), row);
         ++index) {
        row = showDeviceStatus(console, *devices.deviceAt(index), row);
    }
}

void showDeviceScanHeading(Console& console) {
    console.print("\nSupported Devices:\n");
    console.printf("%s\n", DeviceFactory::supportedDeviceTypes().c_str());
    console.print("\nDevices / Ports:\nScanning...\r");
}

void showDeviceScanReport(Console& console, const std::string& report) {
    console.printf("%s\n", report.c_str());
}

}  // namespace torven
