#pragma once

#include <cstdint>
#include <string>

namespace torven {

class DeviceChannel;

// A data-acquisition device on a serial port, with its numbered input channels (from 1).
class PhysicalDevice {
  public:
    PhysicalDevice() = default;
    PhysicalDevice(const PhysicalDevice&) = delete;
    PhysicalDevice& operator=(const PhysicalDevice&) = delete;
    virtual ~PhysicalDevice() = default;

    // The configured port text: "COM" and a port number, or "COM*" (any port).
    virtual void setPort(const std::string& port) = 0;
    virtual std::string port() const = 0;
    // Opens the configured port and starts the device; true when it answered and streams.
    virtual bool connect() = 0;
    // Stops the device and releases its port; true when not connected or released cleanly.
    virtual bool disconnect() = 0;
    virtual bool isConnected() const = 0;
    // True when connect and readSample touch nothing but the device itself and its port, so
    // that the registry may run them on a thread of their own, beside those of other devices.
    // A device that says nothing is worked on the calling thread only.
    virtual bool worksOnOwnThread() const { return false; }
    // Marks the moment the next readSample takes its sample from: a device that buffers what
    // it receives drops it, so that the sample is made of what arrives from now on. Called on
    // every device before any is read, all devices fill their buffers at once and a pass
    // waits for one device's line time rather than for each in turn in a row.
    virtual void startSample() {}
    // Reads one fresh sample into the channels. False when not connected, or when the link
    // failed, in which case the channels are invalid and the device has disconnected itself.
    virtual bool readSample() = 0;
    // "COMn" of the current or last successful connection; empty after a failed attempt.
    virtual std::string connectedPortName() const = 0;
    virtual std::string typeName() const = 0;
    virtual std::int32_t channelCount() const = 0;
    // The latest value of channel n; -9999.999 outside 1..channelCount.
    virtual double channelValue(std::int32_t channelNumber) const = 0;
    // Channel n; none outside 1..channelCount. Valid for the device's life.
    virtual DeviceChannel* channel(std::int32_t channelNumber) = 0;
    // Probes the serial ports for devices of this type: the answering port names joined by
    // ", ", or "No <type> found.\n".
    virtual std::string scanPorts() = 0;
};

}  // namespace torven
