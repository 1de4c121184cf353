#include "support/SimulatedDevices.h"

#include <gtest/gtest.h>

#include "platform/SerialPort.h"
#include "support/WaitUntil.h"

namespace torven::test {

namespace {

const std::string markerCommand = "ZZ";
const std::vector<std::uint8_t> markerBytes = {0x00, 'Z', 'Z'};

}  // namespace

sim::Di194RsSimulator& SimulatedDevices::plugIn(int portNumber) {
    // The old simulator leaves the link dangling when it stops, so it must go first.
    simulators_.erase(portNumber);
    auto simulator = std::make_unique<sim::Di194RsSimulator>(station_.portLink(portNumber));
    EXPECT_TRUE(simulator->start()) << "no pseudo-terminal for COM" << portNumber;
    auto& slot = simulators_[portNumber];
    slot = std::move(simulator);
    return *slot;
}

bool SimulatedDevices::settle(int portNumber) {
    sim::Di194RsSimulator& simulator = at(portNumber);
    auto port = platform::SerialPort::open("COM" + std::to_string(portNumber));
    EXPECT_TRUE(port.has_value()) << "COM" << portNumber << " is not free";
    if (!port || !port->write(markerBytes))
        return false;
    const bool arrived = waitUntil([&simulator] {
        const auto commands = simulator.commands();
        return !commands.empty() && commands.back() == markerCommand;
    });
    EXPECT_TRUE(arrived) << "the marker did not reach COM" << portNumber;
    return arrived;
}

std::vector<std::string> SimulatedDevices::settledCommands(int portNumber) {
    if (!settle(portNumber))
        return {"(not settled)"};
    std::vector<std::string> commands = at(portNumber).commands();
    commands.pop_back();
    return commands;
}

std::vector<std::uint8_t> SimulatedDevices::settledBytes(int portNumber) {
    if (!settle(portNumber))
        return {};
    std::vector<std::uint8_t> bytes = at(portNumber).received();
    bytes.resize(bytes.size() - markerBytes.size());
    return bytes;
}

}  // namespace torven::test
