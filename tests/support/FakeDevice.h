#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devices/AnalogChannel.h"
#include "devices/PhysicalDevice.h"

namespace torven::test {

// A four-channel device for tests. Whether it answers is scripted with setAnswering(): an
// answering device connects and delivers samples, a silent one fails both, and a failed read
// disconnects it, as a real device does. Every call is counted.
class FakeDevice : public PhysicalDevice {
  public:
    explicit FakeDevice(std::string port = "COM1", std::string typeName = "FAKE-194");

    void setAnswering(bool answering) { answering_ = answering; }
    // An answering device that delivers no usable sample connects, but every read fails.
    void setDeliversSamples(bool delivers) { deliversSamples_ = delivers; }
    // After every connect, only this many reads deliver a sample; the next one fails.
    void setSamplesPerConnection(int samples) { samplesPerConnection_ = samples; }
    // Runs at every connect call, before its outcome: to advance a test clock by what an
    // attempt costs, or to look at the world at that moment.
    void setOnConnect(std::function<void()> onConnect) { onConnect_ = std::move(onConnect); }
    // Runs at every readSample call of a connected device, before its outcome.
    void setOnRead(std::function<void()> onRead) { onRead_ = std::move(onRead); }
    void setOnDisconnect(std::function<void()> onDisconnect) {
        onDisconnect_ = std::move(onDisconnect);
    }
    // Lets the registry run connect and readSample on a thread of their own. Off by default,
    // so that the callbacks and the journal are used on the test's thread only; a test that
    // turns it on makes what its callbacks share safe for threads itself.
    void setWorksOnOwnThread(bool works) { worksOnOwnThread_ = works; }
    // Where startSample and readSample calls are noted in order, as "<port> start" and
    // "<port> read"; shared by several devices, it shows how their calls interleave.
    void setJournal(std::vector<std::string>* journal) { journal_ = journal; }
    // The value every channel reads at the next successful sample.
    void setReading(double value) { reading_ = value; }
    // Connected without a connect call (to set up a display).
    void forceConnected(bool connected);

    int connectCalls() const { return connectCalls_; }
    int disconnectCalls() const { return disconnectCalls_; }
    int readCalls() const { return readCalls_; }

    void setPort(const std::string& port) override { port_ = port; }
    std::string port() const override { return port_; }
    bool connect() override;
    bool disconnect() override;
    bool isConnected() const override { return connected_; }
    bool worksOnOwnThread() const override { return worksOnOwnThread_; }
    void startSample() override;
    bool readSample() override;
    std::string connectedPortName() const override { return connectedPortName_; }
    std::string typeName() const override { return typeName_; }
    std::int32_t channelCount() const override { return channels; }
    double channelValue(std::int32_t channelNumber) const override;
    DeviceChannel* channel(std::int32_t channelNumber) override;
    // Channel n (1..4) with its reading, for tests that set a value directly.
    AnalogChannel& analogChannel(std::int32_t channelNumber) {
        return channels_.at(static_cast<std::size_t>(channelNumber - 1));
    }
    std::string scanPorts() override { return ""; }

    static constexpr std::int32_t channels = 4;

  private:
    void resetChannels();

    std::string port_;
    std::string typeName_;
    std::string connectedPortName_;
    std::array<AnalogChannel, channels> channels_;
    double reading_ = 1.25;
    bool answering_ = true;
    bool deliversSamples_ = true;
    std::optional<int> samplesPerConnection_;
    int samplesLeft_ = 0;
    std::function<void()> onConnect_;
    std::function<void()> onRead_;
    std::function<void()> onDisconnect_;
    bool worksOnOwnThread_ = false;
    std::vector<std::string>* journal_ = nullptr;
    bool connected_ = false;
    int connectCalls_ = 0;
    int disconnectCalls_ = 0;
    int readCalls_ = 0;
};

}  // namespace torven::test
