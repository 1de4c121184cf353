#include <gtest/gtest.h>

#include "platform/SerialPort.h"

namespace torven::platform {
namespace {

// Only "\\.\COMn" reaches COM10 and above; the plain name does not. Anything that is not a
// port name reaches no device at all.
TEST(SerialDevicePathTest, PortsAreDevicesInTheWin32DeviceNamespace) {
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM9", "\\\\.\\COM9"},
        {"COM10", "\\\\.\\COM10"},
        {"COM256", "\\\\.\\COM256"},
        {"COM0", ""},
        {"COM03", ""},
        {"com3", ""},
        {"COM3:", ""},
        {"COM3\\..\\x", ""},
        {"LPT1", ""},
        {"", ""},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(serialDevicePath(entry.name), entry.path) << entry.name;
    }
}

TEST(SerialPortTest, ANameThatIsNoPortNeverOpens) {
    for (const char* name : {"NUL", "COM0", "CON", "..\\tmp\\x"})
        EXPECT_FALSE(SerialPort::open(name).has_value()) << name;
}

}  // namespace
}  // namespace torven::platform
