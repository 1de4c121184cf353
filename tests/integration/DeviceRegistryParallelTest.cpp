#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "devices/DeviceChannel.h"
#include "devices/DeviceRegistry.h"
#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"
#include "support/SimulatedDevices.h"

namespace torven {
namespace {

using Commands = std::vector<std::string>;

template <typename Work>
double secondsOf(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Eight simulated devices on COM1 to COM8, configured in that order, with a stream on
// channel 1 of each. The bounds on time are generous: devices worked one after another
// would take four to eight times as long as they allow.
class DeviceRegistryParallelTest : public ::testing::Test {
  protected:
    static constexpr int deviceCount = 8;

    DeviceRegistryParallelTest() {
        for (int port = 1; port <= deviceCount; ++port) {
            simulators.plugIn(port);
            PhysicalDevice* device = registry.addDevice("DI-194RS", "COM" + std::to_string(port));
            streams.push_back(std::make_unique<test::FakeStream>("S" + std::to_string(port), 1));
            device->channel(1)->setCollectionType(streams.back().get());
        }
    }

    // Destroyed in reverse: the registry lets go of its ports before the simulators stop.
    test::ScratchStation station;
    test::SimulatedDevices simulators{station};
    std::vector<std::unique_ptr<test::FakeStream>> streams;
    DeviceRegistry registry;
};

TEST_F(DeviceRegistryParallelTest, EightDevicesConnectInAboutOneHandshakesTime) {
    Di194RsDevice alone;
    alone.setPort("COM1");
    bool connected = false;
    const double handshake = secondsOf([&] { connected = alone.connect(); });
    ASSERT_TRUE(connected);
    alone.disconnect();
    simulators.at(1).clearReceived();

    const double all = secondsOf([&] { connected = registry.connectAll(); });
    EXPECT_TRUE(connected);
    EXPECT_LT(all, 3 * handshake) << "one handshake takes " << handshake << " s";
    for (int port = 1; port <= deviceCount; ++port) {
        EXPECT_EQ(simulators.at(port).commands(), (Commands{"NZ", "B\x01", "C?", "S1"})) << port;
        EXPECT_EQ(registry.deviceAt(port - 1)->connectedPortName(), "COM" + std::to_string(port));
    }
}

TEST_F(DeviceRegistryParallelTest, DevicesGoingSilentTogetherCostOneFailingRead) {
    using Fault = sim::Di194RsSimulator::Fault;
    ASSERT_TRUE(registry.connectAll());
    simulators.at(1).setFault(Fault::Silent);
    const double oneSilent = secondsOf([&] { registry.readAll(); });
    ASSERT_FALSE(registry.deviceAt(0)->isConnected());

    simulators.at(1).setFault(Fault::None);
    ASSERT_TRUE(registry.connectAll());
    for (const auto& stream : streams)
        stream->setStatus(CollectionStatus::OnLine);
    for (int port = 1; port <= deviceCount; port += 2)
        simulators.at(port).setFault(Fault::Silent);
    const double fourSilent = secondsOf([&] { registry.readAll(); });
    EXPECT_LT(fourSilent, 2 * oneSilent) << "one silent device costs " << oneSilent << " s";
    for (int port = 1; port <= deviceCount; ++port) {
        const bool silent = port % 2 == 1;
        EXPECT_EQ(streams[port - 1]->status(),
                  silent ? CollectionStatus::ComLinkOff : CollectionStatus::OnLine)
            << port;
        EXPECT_EQ(registry.deviceAt(port - 1)->isConnected(), !silent) << port;
    }

    for (int port = 1; port <= deviceCount; port += 2)
        simulators.at(port).setFault(Fault::None);
    registry.reconnectAll(60000, [] { return 0; });
    EXPECT_EQ(station.eventLogMessages(),
              (std::vector<std::string>{"DI-194RS on port COM1 has returned online",
                                        "DI-194RS on port COM3 has returned online",
                                        "DI-194RS on port COM5 has returned online",
                                        "DI-194RS on port COM7 has returned online"}));
}

}  // namespace
}  // namespace torven
