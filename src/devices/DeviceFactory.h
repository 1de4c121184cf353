#pragma once

#include <memory>
#include <string>

#include "devices/PhysicalDevice.h"

namespace torven {

// Makes devices by their type name.
class DeviceFactory {
  public:
    // The supported type names, comma-separated: "DI-194RS".
    static std::string supportedDeviceTypes();
    // A new device for exactly that name (case-sensitive), or none.
    static std::unique_ptr<PhysicalDevice> createDevice(const std::string& typeName);
};

}  // namespace torven
