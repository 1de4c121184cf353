#include "devices/DeviceRegistry.h"

#include "collection/DataCollectionType.h"
#include "devices/DeviceChannel.h"
#include "devices/DeviceFactory.h"
#include "devices/ListItems.h"
#include "eventlog/EventLog.h"

namespace torven {

namespace {

// Tells the streams bound to the device's channels whether its link is up. A stream that
// lost the link shows it; one that had lost it is back on line. Other states are the data
// file writer's to change.
void reportLinkState(PhysicalDevice& device, bool linkUp) {
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        const DeviceChannel* channel = device.channel(number);
        DataCollectionType* stream = channel ? channel->collectionType() : nullptr;
        if (stream == nullptr)
            continue;
        if (!linkUp) {
            stream->setStatus(CollectionStatus::ComLinkOff);
        } else if (stream->status() == CollectionStatus::ComLinkOff) {
            stream->setStatus(CollectionStatus::OnLine);
        }
    }
}

}  // namespace

DeviceRegistry::~DeviceRegistry() {
    disconnectAll();
}

PhysicalDevice* DeviceRegistry::addDevice(const std::string& typeName, const std::string& port) {
    std::unique_ptr<PhysicalDevice> device = DeviceFactory::createDevice(typeName);
    if (!device)
        return nullptr;
    device->setPort(port);
    return addDevice(std::move(device));
}

PhysicalDevice* DeviceRegistry::addDevice(std::unique_ptr<PhysicalDevice> device) {
    if (!device)
        return nullptr;
    devices_.push_back(std::move(device));
    return devices_.back().get();
}

PhysicalDevice* DeviceRegistry::deviceAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return devices_[index].get();
}

PhysicalDevice* DeviceRegistry::lastDevice() const {
    return devices_.empty() ? nullptr : devices_.back().get();
}

bool DeviceRegistry::connectAll() {
    bool allConnected = true;
    for (const auto& device : devices_) {
        if (!device->connect())
            allConnected = false;
    }
    return allConnected;
}

void DeviceRegistry::reconnectAll() {
    for (const auto& device : devices_) {
        if (device->isConnected() || !device->connect())
            continue;
        logEvent(LogLevel::INFO, device->typeName() + " on port " + device->connectedPortName() +
                                     " has returned online");
    }
}

void DeviceRegistry::readAll() {
    for (const auto& device : devices_) {
        const bool linkUp = device->readSample();
        reportLinkState(*device, linkUp);
    }
}

void DeviceRegistry::disconnectAll() {
    for (const auto& device : devices_)
        device->disconnect();
}

void DeviceRegistry::clear() {
    for (auto& device : devices_) {
        device->disconnect();
        device.reset();
    }
    devices_.clear();
}

std::string DeviceRegistry::scanAllDeviceTypes() {
    const std::string typeNames = DeviceFactory::supportedDeviceTypes();
    std::size_t position = 0;
    std::string report;
    for (std::string typeName = nextListItem(typeNames, position); !typeName.empty();
         typeName = nextListItem(typeNames, position)) {
        report += typeName + ": ";
        if (const std::unique_ptr<PhysicalDevice> device = DeviceFactory::createDevice(typeName)) {
            report += device->scanPorts();
        } else {
            report += "No device handler?";
        }
        report += "\n";
    }
    return report;
}

}  // namespace torven
