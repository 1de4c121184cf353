#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"
#include "support/ScratchStation.h"
#include "support/SimulatedDevices.h"

namespace torven {
namespace {

double deviceValue(double volts) {
    return sim::Di194RsSimulator::countFor(volts) * 0.01953125 - 10.0;
}

TEST(Di194RsSampleStartTest, SamplesStartedTogetherAreMadeOfWhatCameAfterTheStart) {
    test::ScratchStation station;
    test::SimulatedDevices simulators{station};
    Di194RsDevice first;
    Di194RsDevice second;
    first.setPort("COM3");
    second.setPort("COM4");
    for (const int port : {3, 4})
        simulators.plugIn(port).setSignal(1, {.volts = -5.0});
    ASSERT_TRUE(first.connect());
    ASSERT_TRUE(second.connect());
    // Let the stream fill the input with frames of the old value; nothing tells when it has,
    // and too short a pause only makes the test easier to pass, never fail wrongly.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));

    for (const int port : {3, 4})
        simulators.at(port).setSignal(1, {.volts = 5.0});
    first.startSample();
    second.startSample();
    ASSERT_TRUE(first.readSample());
    ASSERT_TRUE(second.readSample());
    EXPECT_EQ(first.channelValue(1), deviceValue(5.0));
    EXPECT_EQ(second.channelValue(1), deviceValue(5.0));
}

TEST(Di194RsSampleStartTest, StartingASampleOnADisconnectedDeviceDoesNothing) {
    test::ScratchStation station;
    test::SimulatedDevices simulators{station};
    Di194RsDevice device;
    device.setPort("COM3");
    simulators.plugIn(3);
    device.startSample();
    EXPECT_FALSE(device.readSample());
    EXPECT_FALSE(device.isConnected());
    EXPECT_TRUE(simulators.settledCommands(3).empty());
}

}  // namespace
}  // namespace torven
