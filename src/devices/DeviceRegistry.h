#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/PhysicalDevice.h"

namespace torven {

// The configured devices, in the order of the configuration file. It owns them and is the
// only one that destroys them, always after disconnecting.
class DeviceRegistry {
public:
    DeviceRegistry() = default;
    DeviceRegistry(const DeviceRegistry&) = delete;
    DeviceRegistry& operator=(const DeviceRegistry&) = delete;
    ~DeviceRegistry();

    // Creates a device of that type with the port text and appends it; none (and nothing
    // added) when the type is not supported.
    PhysicalDevice* addDevice(const std::string& typeName, const std::string& port);
    // Appends a device made elsewhere (tests use devices of their own).
    PhysicalDevice* addDevice(std::unique_ptr<PhysicalDevice> device);

    int count() const { return static_cast<int>(devices_.size()); }
    // The device at a 0-based position; none outside 0..count-1.
    PhysicalDevice* deviceAt(int index) const;
    PhysicalDevice* lastDevice() const;

    // connect on every device, in order, also after one failed; true when all connected.
    bool connectAll();
    // connect on every device that is not connected; each success is logged as
    // "<type> on port <COMn> has returned online".
    void reconnectAll();
    // readSample on every device, telling the streams bound to its channels whether the
    // link is up (ComLinkOff when not; back to OnLine from ComLinkOff when it is).
    void readAll();
    void disconnectAll();
    // Disconnects and destroys every device.
    void clear();

    // Probes the ports with a short-lived device of every supported type, one report line
    // per type: "<type>: <result>\n". The configured devices are not touched.
    static std::string scanAllDeviceTypes();

private:
    std::vector<std::unique_ptr<PhysicalDevice>> devices_;
};

}  // namespace torven
