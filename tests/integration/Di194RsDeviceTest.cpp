#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/DeviceRegistry.h"
#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"
#include "support/ScratchStation.h"
#include "support/SimulatedDevices.h"

namespace torven {
namespace {

using Fault = sim::Di194RsSimulator::Fault;
using Bytes = std::vector<std::uint8_t>;
using Commands = std::vector<std::string>;

const Commands handshake = {"NZ", "B\x01", "C?", "S1"};

class Di194RsDeviceTest : public ::testing::Test {
  protected:
    // Destroyed in reverse: the device lets go of its port before the simulators stop, and the
    // simulators before the station goes.
    test::ScratchStation station;
    test::SimulatedDevices simulators{station};
    Di194RsDevice device;
};

TEST_F(Di194RsDeviceTest, HandshakeSendsEachCommandOnlyAfterThePreviousReply) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    // A host that did not wait for each reply would send its next command inside this delay.
    simulator.setReplyDelay(std::chrono::milliseconds(40));
    device.setPort("COM3");

    ASSERT_TRUE(device.connect());
    EXPECT_TRUE(device.isConnected());
    EXPECT_EQ(device.connectedPortName(), "COM3");
    EXPECT_EQ(simulator.received(),
              (Bytes{0x00, 0x4E, 0x5A, 0x00, 0x42, 0x01, 0x00, 0x43, 0x3F, 0x00, 0x53, 0x31}));
    EXPECT_EQ(simulator.transcript(),
              (Commands{"> NZ", "< NZ10", "> B\x01", "< B\x01", "> C?", "< C?", "> S1", "< S1"}));
    EXPECT_TRUE(simulator.streaming());
}

TEST_F(Di194RsDeviceTest, NzReplyMustEndInZero) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    device.setPort("COM3");

    simulator.setFault(Fault::WrongNzReply);
    EXPECT_FALSE(device.connect());
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.connectedPortName(), "");
    // The handshake had begun on the configured port, so the device is told to stop.
    EXPECT_EQ(simulators.settledCommands(3), (Commands{"NZ", "S0"}));

    simulator.setFault(Fault::None);
    simulator.clearReceived();
    EXPECT_TRUE(device.connect());
    EXPECT_EQ(simulator.commands(), handshake);
}

void expectAllChannelsInvalid(Di194RsDevice& device) {
    for (int channel = 1; channel <= 4; ++channel) {
        EXPECT_EQ(device.channelValue(channel), noReading) << channel;
        EXPECT_FALSE(device.channel(channel)->valid()) << channel;
    }
}

// Values read before a device went away must not pass for current ones: neither a
// disconnect nor a reconnection that fails leaves a reading behind.
TEST_F(Di194RsDeviceTest, ADeviceThatIsNotConnectedHasNoReading) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    ASSERT_TRUE(device.readSample());
    EXPECT_TRUE(device.disconnect());
    expectAllChannelsInvalid(device);

    ASSERT_TRUE(device.connect());
    ASSERT_TRUE(device.readSample());
    simulator.setFault(Fault::WrongNzReply);
    EXPECT_FALSE(device.connect());
    expectAllChannelsInvalid(device);
}

TEST_F(Di194RsDeviceTest, DisconnectStopsTheDeviceOnlyWhenConnected) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    device.setPort("COM3");
    EXPECT_TRUE(device.disconnect());
    EXPECT_EQ(simulators.settledCommands(3), Commands{});

    ASSERT_TRUE(device.connect());
    simulator.clearReceived();
    EXPECT_TRUE(device.disconnect());
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.connectedPortName(), "COM3");
    EXPECT_EQ(simulators.settledBytes(3), (Bytes{0x00, 0x53, 0x30}));
    EXPECT_FALSE(simulator.streaming());

    simulator.clearReceived();
    EXPECT_TRUE(device.disconnect());
    EXPECT_EQ(simulators.settledCommands(3), Commands{});
}

TEST_F(Di194RsDeviceTest, ConnectOnAConnectedDeviceStopsItAndStartsOver) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    simulator.clearReceived();
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(simulator.commands(), (Commands{"S0", "NZ", "B\x01", "C?", "S1"}));
    EXPECT_TRUE(device.readSample());
}

TEST_F(Di194RsDeviceTest, ValuesMatchTheSimulatedSignals) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    const double volts[] = {1.5, -2.25, -10.0, 9.98};
    for (int channel = 1; channel <= 4; ++channel) {
        simulator.setSignal(channel, {.volts = volts[channel - 1]});
    }
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    // Several samples in a row: the stream keeps pace with the reads.
    for (int sample = 0; sample < 5; ++sample) {
        ASSERT_TRUE(device.readSample()) << sample;
        for (int channel = 1; channel <= 4; ++channel) {
            const double expected =
                sim::Di194RsSimulator::countFor(volts[channel - 1]) * 0.01953125 - 10.0;
            EXPECT_EQ(device.channelValue(channel), expected) << channel;
            EXPECT_NEAR(device.channelValue(channel), volts[channel - 1], 0.01953125);
            EXPECT_TRUE(device.channel(channel)->valid());
        }
    }
}

TEST_F(Di194RsDeviceTest, ThreeFailedReadsInvalidateTheChannelsAndDisconnect) {
    for (const Fault fault : {Fault::Silent, Fault::NoFrameStart}) {
        sim::Di194RsSimulator& simulator = simulators.plugIn(3);
        device.setPort("COM3");
        ASSERT_TRUE(device.connect());
        ASSERT_TRUE(device.readSample());

        simulator.setFault(fault);
        simulator.clearReceived();
        EXPECT_FALSE(device.readSample());
        EXPECT_FALSE(device.isConnected());
        expectAllChannelsInvalid(device);
        EXPECT_EQ(simulators.settledCommands(3), Commands{"S0"});
        EXPECT_FALSE(device.readSample());
    }
}

TEST_F(Di194RsDeviceTest, UnpluggedAdapterFailsTheReadAndComesBackWhenPluggedIn) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    ASSERT_TRUE(device.readSample());

    simulator.unplug();
    EXPECT_FALSE(device.readSample());
    EXPECT_FALSE(device.isConnected());
    expectAllChannelsInvalid(device);
    EXPECT_FALSE(device.connect());
    EXPECT_EQ(device.connectedPortName(), "");

    ASSERT_TRUE(simulator.plug());
    simulator.clearReceived();
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(simulator.commands(), handshake);
    EXPECT_TRUE(device.readSample());
}

TEST_F(Di194RsDeviceTest, AnyPortTriesPortsInOrderAndStopsAtTheFirstDevice) {
    // Ports 1 to 3 answer but fail the handshake; port 4 has the device; port 5 must not be
    // touched.
    for (int port = 1; port <= 3; ++port) {
        simulators.plugIn(port).setFault(Fault::WrongNzReply);
    }
    simulators.plugIn(4);
    simulators.plugIn(5);
    device.setPort("COM*");

    ASSERT_TRUE(device.connect());
    EXPECT_EQ(device.connectedPortName(), "COM4");
    EXPECT_EQ(simulators.at(4).commands(), handshake);
    for (int port = 1; port <= 3; ++port) {
        // Given up without the stop command, and released.
        EXPECT_EQ(simulators.settledCommands(port), Commands{"NZ"}) << port;
    }
    EXPECT_EQ(simulators.settledCommands(5), Commands{});
    EXPECT_TRUE(device.readSample());
}

TEST_F(Di194RsDeviceTest, AnyPortFailsWhenNoPortAnswers) {
    simulators.plugIn(20).setFault(Fault::Silent);
    device.setPort("COM*");
    EXPECT_FALSE(device.connect());
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.connectedPortName(), "");
    EXPECT_EQ(simulators.settledCommands(20), Commands{"NZ"});
}

TEST_F(Di194RsDeviceTest, NumberedPortTriesThatPortOnly) {
    simulators.plugIn(1);
    simulators.plugIn(12);
    device.setPort("COM12");
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(device.connectedPortName(), "COM12");
    EXPECT_EQ(simulators.settledCommands(1), Commands{});
}

TEST_F(Di194RsDeviceTest, PortTextsWithoutAPortNumberOpenNothing) {
    simulators.plugIn(1);
    for (const char* port : {"", "COM", "COMx", "COM0", "COM-1", "COM 0", "com*"}) {
        device.setPort(port);
        EXPECT_FALSE(device.connect()) << '"' << port << '"';
        EXPECT_FALSE(device.isConnected());
    }
    EXPECT_EQ(simulators.settledCommands(1), Commands{});
}

TEST_F(Di194RsDeviceTest, PortNumberIsReadFromTheFourthCharacterOn) {
    simulators.plugIn(7);
    device.setPort("COM 7 spare");
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(device.connectedPortName(), "COM7");
}

TEST_F(Di194RsDeviceTest, PortHeldByAnotherDeviceCannotBeOpened) {
    simulators.plugIn(3);
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    Di194RsDevice second;
    second.setPort("COM3");
    EXPECT_FALSE(second.connect());
    EXPECT_TRUE(device.readSample());
}

TEST_F(Di194RsDeviceTest, ClearingTheRegistryStopsAConnectedDevice) {
    sim::Di194RsSimulator& simulator = simulators.plugIn(3);
    DeviceRegistry registry;
    ASSERT_NE(registry.addDevice("DI-194RS", "COM3"), nullptr);
    ASSERT_TRUE(registry.connectAll());
    simulator.clearReceived();
    registry.clear();
    EXPECT_EQ(registry.count(), 0);
    EXPECT_EQ(simulators.settledCommands(3), Commands{"S0"});
}

}  // namespace
}  // namespace torven
