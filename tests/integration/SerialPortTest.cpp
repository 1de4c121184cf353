#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

using platform::SerialPort;
using Bytes = std::vector<std::uint8_t>;

// A bare pseudo-terminal behind COMn, driven by the test from the master side.
class PtyPort {
  public:
    PtyPort(const test::ScratchStation& station, int portNumber) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        const std::string slave = ::ptsname(master_);
        // Kept open so that the pty does not hang up while the port is closed.
        slave_ = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        ::tcgetattr(slave_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(slave_, TCSANOW, &settings);
        std::filesystem::remove(station.portLink(portNumber));
        std::filesystem::create_symlink(slave, station.portLink(portNumber));
    }
    ~PtyPort() { hangUp(); }

    bool ready() const { return master_ >= 0 && slave_ >= 0; }
    void send(const Bytes& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Waits for `count` bytes from the port's side.
    Bytes take(std::size_t count) const {
        Bytes bytes;
        while (bytes.size() < count) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) != 1)
                break;
            std::array<std::uint8_t, 64> chunk{};
            const ssize_t got =
                ::read(master_, chunk.data(), std::min(chunk.size(), count - bytes.size()));
            if (got <= 0)
                break;
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
        }
        return bytes;
    }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
        master_ = slave_ = -1;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
};

TEST(SerialDevicePathTest, PortsAreLinksInThePortsFolderOrSerialDevices) {
    test::ScratchStation station;
    std::filesystem::remove(station.portLink(2));
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM3", "../Ports/COM3"},  // a dangling link counts: it blocks the port
        {"COM20", "../Ports/COM20"},
        {"COM2", "/dev/ttyS1"},
        {"COM21", "/dev/ttyS20"},
        {"COM", ""},
        {"COMx", ""},
        {"COM0", ""},
        {"COM03", ""},
        {"COM3 ", ""},
        {"COM-3", ""},
        {"COM+3", ""},
        {"com3", ""},
        {"COM3/../../x", ""},
        {"", ""},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(platform::serialDevicePath(entry.name), entry.path) << entry.name;
    }
}

class SerialPortTest : public ::testing::Test {
  protected:
    test::ScratchStation station;
    PtyPort pty{station, 4};
};

TEST_F(SerialPortTest, DanglingLinkDoesNotOpen) {
    EXPECT_FALSE(SerialPort::open("COM5").has_value());
}

TEST_F(SerialPortTest, PortIsHeldExclusively) {
    ASSERT_TRUE(pty.ready());
    auto first = SerialPort::open("COM4");
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(SerialPort::open("COM4").has_value());
    EXPECT_TRUE(first->close());
    EXPECT_TRUE(SerialPort::open("COM4").has_value());
}

TEST_F(SerialPortTest, MovedPortKeepsItsDescriptor) {
    ASSERT_TRUE(pty.ready());
    auto opened = SerialPort::open("COM4");
    ASSERT_TRUE(opened.has_value());
    SerialPort moved = std::move(*opened);
    opened.reset();
    EXPECT_FALSE(SerialPort::open("COM4").has_value());
    ASSERT_TRUE(moved.configure(4800));
    const Bytes bytes = {0x00, 0x4E, 0x5A};
    ASSERT_TRUE(moved.write(bytes));
    EXPECT_EQ(pty.take(3), bytes);
}

TEST_F(SerialPortTest, ConfigureFailsOnSomethingThatIsNoTerminal) {
    std::filesystem::remove(station.portLink(6));
    station.writeFile("plain-file", "x");
    std::filesystem::create_symlink(station.path("plain-file"), station.portLink(6));
    auto port = SerialPort::open("COM6");
    ASSERT_TRUE(port.has_value());
    EXPECT_FALSE(port->configure(4800));
}

TEST_F(SerialPortTest, ReadReturnsAsSoonAsTheBufferIsFull) {
    ASSERT_TRUE(pty.ready());
    auto port = SerialPort::open("COM4");
    ASSERT_TRUE(port.has_value());
    ASSERT_TRUE(port->configure(4800));
    // Without a total time-out only a full buffer can end this read.
    port->setTimeouts({.readIntervalMs = 0, .readPerByteMs = 0, .readConstantMs = 0});
    const Bytes bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    pty.send(Bytes(bytes.begin(), bytes.begin() + 4));
    pty.send(Bytes(bytes.begin() + 4, bytes.end()));
    std::array<std::uint8_t, 10> buffer{};
    EXPECT_EQ(port->read(buffer), 10u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), bytes);
}

TEST_F(SerialPortTest, ReadSucceedsWithWhatCameBeforeTheTimeOut) {
    ASSERT_TRUE(pty.ready());
    auto port = SerialPort::open("COM4");
    ASSERT_TRUE(port.has_value());
    ASSERT_TRUE(port->configure(4800));
    port->setTimeouts({.readIntervalMs = 20, .readPerByteMs = 0, .readConstantMs = 0});
    pty.send({0x4E, 0x5A, 0x31});
    std::array<std::uint8_t, 20> buffer{};
    ASSERT_EQ(port->read(buffer), 3u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{0x4E, 0x5A, 0x31}));

    port->setTimeouts({.readIntervalMs = 200, .readPerByteMs = 1, .readConstantMs = 0});
    EXPECT_EQ(port->read(buffer), 0u);  // nothing came: the total time-out ends it
}

TEST_F(SerialPortTest, PurgeDiscardsPendingInput) {
    ASSERT_TRUE(pty.ready());
    auto port = SerialPort::open("COM4");
    ASSERT_TRUE(port.has_value());
    ASSERT_TRUE(port->configure(4800));
    port->setTimeouts({.readIntervalMs = 50, .readPerByteMs = 5, .readConstantMs = 0});
    pty.send({1, 2, 3});
    // Wait until the bytes are there to be discarded: a read of one byte sees them.
    std::array<std::uint8_t, 1> first{};
    ASSERT_EQ(port->read(first), 1u);
    port->purge();
    pty.send({9});
    std::array<std::uint8_t, 4> rest{};
    ASSERT_EQ(port->read(rest), 1u);
    EXPECT_EQ(rest[0], 9);
}

TEST_F(SerialPortTest, HungUpDeviceFailsReadsAndWrites) {
    ASSERT_TRUE(pty.ready());
    auto port = SerialPort::open("COM4");
    ASSERT_TRUE(port.has_value());
    ASSERT_TRUE(port->configure(4800));
    // No time-out at all: only the hang-up can end the read.
    port->setTimeouts({.readIntervalMs = 0, .readPerByteMs = 0, .readConstantMs = 0});
    pty.hangUp();
    std::array<std::uint8_t, 20> buffer{};
    EXPECT_FALSE(port->read(buffer).has_value());
    const Bytes command = {0x00, 0x53, 0x30};
    EXPECT_FALSE(port->write(command));
    port->purge();
    EXPECT_TRUE(port->close());
}

}  // namespace
}  // namespace torven
