#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "devices/AnalogChannel.h"
#include "devices/PhysicalDevice.h"
#include "platform/SerialPort.h"

namespace torven {

// The DI-194RS: four analog channels on a serial port at 4800 baud, 8N1. The host starts it
// with the command handshake NZ, B 1, C?, S1 (each command 0x00 and two bytes, each answered
// by an echo of the two bytes) and stops it with S0; in between the device streams 8-byte
// frames of four 10-bit counts. The driver reports through results only; it writes nothing
// to the event log or the screen.
class Di194RsDevice : public PhysicalDevice {
  public:
    static constexpr std::int32_t channels = 4;
    static constexpr unsigned firstPort = 1;
    static constexpr unsigned lastPort = 20;
    static constexpr std::size_t replySize = 20;

    Di194RsDevice() = default;
    ~Di194RsDevice() override;

    void setPort(const std::string& port) override { configuredPort_ = port; }
    std::string port() const override { return configuredPort_; }
    bool connect() override;
    bool disconnect() override;
    bool isConnected() const override { return connectedFlag_; }
    // Its work is on its own fields and port: the program's objects are never touched.
    bool worksOnOwnThread() const override { return true; }
    void startSample() override;
    bool readSample() override;
    std::string connectedPortName() const override { return connectedPortName_; }
    std::string typeName() const override { return "DI-194RS"; }
    std::int32_t channelCount() const override { return channels; }
    double channelValue(std::int32_t channelNumber) const override;
    DeviceChannel* channel(std::int32_t channelNumber) override;
    std::string scanPorts() override;

    // The value of one channel's byte pair: count (0-1023) * 20/1024 - 10.
    static double decodeChannel(std::uint8_t first, std::uint8_t second);
    // The position of the frame start in a read (the first of bytes 0-8 with bit 0 clear),
    // or none when the read is too short (fewer than 17 bytes) or holds no frame start.
    static std::optional<std::size_t> findFrameStart(std::span<const std::uint8_t> bytes);

  private:
    bool openPort(unsigned portNumber);
    bool handshake();
    // Closes the port; false when the close reported an error.
    bool releasePort();
    // Gives up a port whose handshake failed: released, and without the stop command, since
    // whatever answers there has not been started.
    void abandonPort();
    void resetChannels();
    bool sendCommand(std::uint8_t first, std::uint8_t second);
    bool readFrame();
    void decodeFrame(std::size_t frameStart);

    std::array<AnalogChannel, channels> channels_;
    std::string configuredPort_;
    std::string connectedPortName_;
    bool connectedFlag_ = false;
    std::optional<platform::SerialPort> portHandle_;
    std::array<std::uint8_t, replySize> replyBuffer_{};
    std::uint32_t bytesRead_ = 0;
    // Input was discarded by startSample and not read since.
    bool sampleStarted_ = false;
};

}  // namespace torven
