#include "devices/DeviceFactory.h"

#include <new>

#include "devices/Di194RsDevice.h"

namespace torven {

std::string DeviceFactory::supportedDeviceTypes() {
    return "DI-194RS";
}

std::unique_ptr<PhysicalDevice> DeviceFactory::createDevice(const std::string& typeName) {
    if (typeName != "DI-194RS")
        return nullptr;
    // A device that cannot be had is reported like an unsupported name.
    try {
        return std::make_unique<Di194RsDevice>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace torven
