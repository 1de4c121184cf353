#include <gtest/gtest.h>

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
using Commands = std::vector<std::string>;

const Commands startAndStop = {"NZ", "B\x01", "C?", "S1", "S0"};

class PortScanTest : public ::testing::Test {
  protected:
    test::ScratchStation station;
    test::SimulatedDevices simulators{station};
};

TEST_F(PortScanTest, ListsEveryAnsweringPortAndLeavesThemStopped) {
    simulators.plugIn(2);
    simulators.plugIn(7);
    simulators.plugIn(9).setFault(Fault::WrongNzReply);
    Di194RsDevice scanner;

    EXPECT_EQ(scanner.scanPorts(), "COM2, COM7");
    EXPECT_FALSE(scanner.isConnected());
    for (const int port : {2, 7}) {
        EXPECT_EQ(simulators.settledCommands(port), startAndStop) << port;
        EXPECT_FALSE(simulators.at(port).streaming()) << port;
    }
    EXPECT_EQ(simulators.settledCommands(9), Commands{"NZ"});
}

TEST_F(PortScanTest, ReportsWhenNoPortAnswers) {
    Di194RsDevice scanner;
    EXPECT_EQ(scanner.scanPorts(), "No DI-194RS found.\n");
    EXPECT_EQ(DeviceRegistry::scanAllDeviceTypes(), "DI-194RS: No DI-194RS found.\n\n");
}

TEST_F(PortScanTest, ReportOfAllTypesSkipsPortsThatConfiguredDevicesHold) {
    simulators.plugIn(3);
    simulators.plugIn(5);
    DeviceRegistry registry;
    PhysicalDevice* configured = registry.addDevice("DI-194RS", "COM3");
    ASSERT_TRUE(registry.connectAll());
    simulators.at(3).clearReceived();

    EXPECT_EQ(DeviceRegistry::scanAllDeviceTypes(), "DI-194RS: COM5\n");
    EXPECT_TRUE(configured->isConnected());
    EXPECT_TRUE(configured->readSample());
    EXPECT_EQ(simulators.at(3).commands(), Commands{});
    EXPECT_TRUE(simulators.at(3).streaming());
    EXPECT_EQ(simulators.settledCommands(5), startAndStop);
}

}  // namespace
}  // namespace torven
